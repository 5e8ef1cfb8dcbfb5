// Block helpers of the frame path: copy, append, sample shift and row crop of frame buffers.
#pragma once

#include <cstddef>
#include <cstdint>

// Every helper handles every byte it is given: whole vector blocks where the compiler can
// use them and the remaining tail bytes after them. Source and destination must not overlap.

// Copies @n bytes.
void MemCopy_neon(uint8_t *dst, const uint8_t *src, size_t n);
// Copies sources[0] (sizes[0] bytes) and then sources[1] (sizes[1] bytes) back to back.
void MemAppend_neon(const uint8_t *const sources[2], uint8_t *dst, const size_t sizes[2]);
// Copies @n bytes of 16-bit little-endian samples, each shifted right by @shift when it is
// 2, 4 or 6 (else copied unchanged); an odd trailing byte is copied as it is.
void BitShift_neon(uint8_t *dst, const uint8_t *src, size_t n, unsigned shift);
// Copies @rows rows of @rowBytes bytes each from @src (rows @pitch bytes apart) to @dst
// (rows packed): writes exactly rows x rowBytes bytes.
void CropImages_neon(uint8_t *dst, const uint8_t *src, size_t pitch, size_t rows, size_t rowBytes);
