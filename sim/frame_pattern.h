// The test pattern of simulated frames and the pixel formats the capture nodes offer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace boardsim {

struct PixelFormatInfo {
    uint32_t fourcc;
    unsigned bitDepth;
    unsigned bytesPerPixel;
    const char *description;
};

// The offered formats; nullptr for any other code.
const PixelFormatInfo *findPixelFormat(uint32_t fourcc);
const PixelFormatInfo *pixelFormatAt(size_t index);
// The format a sensor of this bit depth delivers by default.
const PixelFormatInfo &defaultPixelFormat(unsigned bitDepth);

// Fills one frame: sample (x, y) of frame n is (x + 2y + n) modulo 2^depth, except that the
// first four samples of row 0 hold the frame number's bytes, least significant first.
// Samples of 16-bit words are little-endian and, when narrower than 16 bits, stored in the
// word's upper bits (a 12-bit sample v is v << 4); row padding up to bytesPerLine is zero.
void drawTestFrame(uint8_t *frame, const PixelFormatInfo &format, uint32_t width, uint32_t height,
                   uint32_t bytesPerLine, uint32_t frameNumber);

} // namespace boardsim
