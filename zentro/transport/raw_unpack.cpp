// Turns packed samples into whole 16- or 32-bit samples.
#include "transport/raw_unpack.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint64_t kV210Align = 128;

uint64_t littleEndian(const uint8_t *bytes, uint32_t count)
{
    uint64_t value = 0;
    for (uint32_t i = 0; i < count; ++i)
        value |= uint64_t(bytes[i]) << (8 * i);
    return value;
}

void storeSample(uint8_t *out, uint64_t value, uint32_t bytes)
{
    for (uint32_t i = 0; i < bytes; ++i)
        out[i] = uint8_t(value >> (8 * i));
}

// Sample @k of a row packed at @bits bits per sample: its bits from bit k x bits on.
uint64_t packedSample(const uint8_t *row, uint64_t k, uint32_t bits)
{
    const uint64_t firstBit = k * bits;
    const uint32_t shift = uint32_t(firstBit % 8);
    const uint32_t bytes = (shift + bits + 7) / 8;
    return (littleEndian(row + firstBit / 8, bytes) >> shift) & ((uint64_t(1) << bits) - 1);
}

uint64_t appendStatus(const zentro::RawUnpackLayout &l, const uint8_t *status, uint64_t available,
                      uint8_t *out, uint64_t written, uint64_t outSize)
{
    if (l.statusBytes && available >= l.statusBytes && written + l.statusBytes <= outSize) {
        memcpy(out + written, status, l.statusBytes);
        written += l.statusBytes;
    }
    return written;
}

} // namespace

namespace zentro {

uint64_t v210RowBytes(uint32_t width)
{
    const uint64_t samples = (uint64_t(2) * width & ~uint64_t(3)) | 2;
    const uint64_t bytes = 4 * samples / 3;
    return (bytes + kV210Align - 1) / kV210Align * kV210Align;
}

uint64_t unpackPacked(const RawUnpackLayout &l, const uint8_t *in, uint64_t inSize, uint8_t *out,
                      uint64_t outSize)
{
    const uint32_t bits = l.bitsPerPixel;
    const bool known = bits == 10 || bits == 12 || bits == 20 || bits == 24;
    const uint64_t inRow = (uint64_t(l.width) * bits + 7) / 8;
    const uint32_t sampleBytes = bits <= 16 ? 2 : 4;
    const uint64_t outRow = known ? uint64_t(l.width) * sampleBytes : inRow;
    if (inRow == 0 || outRow == 0)
        return 0;
    const uint64_t rows = std::min({uint64_t(l.height), inSize / inRow, outSize / outRow});
    for (uint64_t r = 0; r < rows; ++r) {
        const uint8_t *src = in + r * inRow;
        uint8_t *dst = out + r * outRow;
        if (!known) {
            memcpy(dst, src, inRow);
            continue;
        }
        for (uint64_t k = 0; k < l.width; ++k)
            storeSample(dst + k * sampleBytes, packedSample(src, k, bits), sampleBytes);
    }
    const uint64_t used = rows * inRow;
    return appendStatus(l, in + used, inSize - used, out, rows * outRow, outSize);
}

uint64_t unpackV210(const RawUnpackLayout &l, const uint8_t *in, uint64_t inSize, uint8_t *out,
                    uint64_t outSize)
{
    constexpr uint32_t kSampleBits = 10;
    constexpr uint32_t kSamplesPerWord = 3;
    const uint64_t inRow = v210RowBytes(l.width);
    const uint64_t samples = uint64_t(2) * l.width & ~uint64_t(3);
    const uint64_t outRow = samples * 2;
    if (outRow == 0)
        return 0;
    const uint64_t rows = std::min({uint64_t(l.height), inSize / inRow, outSize / outRow});
    for (uint64_t r = 0; r < rows; ++r) {
        const uint8_t *src = in + r * inRow;
        uint8_t *dst = out + r * outRow;
        for (uint64_t k = 0; k < samples; ++k) {
            const uint64_t word = littleEndian(src + 4 * (k / kSamplesPerWord), 4);
            const uint64_t value = (word >> (kSampleBits * (k % kSamplesPerWord))) & 0x3FF;
            storeSample(dst + 2 * k, value, 2);
        }
    }
    const uint64_t used = rows * inRow;
    return appendStatus(l, in + used, inSize - used, out, rows * outRow, outSize);
}

} // namespace zentro
