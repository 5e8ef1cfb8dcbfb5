// Unpacking of recordings stored without gaps between samples.
#ifndef ZENTRO_TRANSPORT_RAW_UNPACK_H
#define ZENTRO_TRANSPORT_RAW_UNPACK_H

#include <cstdint>

namespace zentro {

struct RawUnpackLayout {
    uint32_t width; // samples per row
    uint32_t height;
    uint32_t bitsPerPixel;
    uint32_t statusBytes;
};

// Bytes of one V210 row of @width pixels: 4 bytes per 3 samples, rounded up to 128.
uint64_t v210RowBytes(uint32_t width);

// Unpacks @inSize bytes of packed rows into 16-bit (10 and 12 bits) or 32-bit (20 and 24
// bits) samples in @out of @outSize bytes; other depths copy rows unchanged. Rows stop at
// the end of either buffer; the status bytes follow when they fit. The bytes written.
uint64_t unpackPacked(const RawUnpackLayout &layout, const uint8_t *in, uint64_t inSize,
                      uint8_t *out, uint64_t outSize);

// Unpacks V210 rows (three 10-bit samples per little-endian word) into 16-bit samples.
uint64_t unpackV210(const RawUnpackLayout &layout, const uint8_t *in, uint64_t inSize, uint8_t *out,
                    uint64_t outSize);

} // namespace zentro

#endif // ZENTRO_TRANSPORT_RAW_UNPACK_H
