// Block helpers as plain loops that the compiler turns into vector code on every target.
#include "block_helpers.h"

#include <bit>
#include <cstring>

namespace {

constexpr size_t kSampleBytes = 2;

bool isSampleShift(unsigned shift)
{
    return shift == 2 || shift == 4 || shift == 6;
}

// Little-endian hosts shift the samples in place as 16-bit words, which vectorises.
void shiftLittleEndian(uint8_t *__restrict dst, const uint8_t *__restrict src, size_t samples,
                       unsigned shift)
{
    for (size_t i = 0; i < samples; ++i) {
        uint16_t v;
        std::memcpy(&v, src + i * kSampleBytes, kSampleBytes);
        v = static_cast<uint16_t>(v >> shift);
        std::memcpy(dst + i * kSampleBytes, &v, kSampleBytes);
    }
}

void shiftAnyEndian(uint8_t *__restrict dst, const uint8_t *__restrict src, size_t samples,
                    unsigned shift)
{
    for (size_t i = 0; i < samples; ++i) {
        const uint8_t *in = src + i * kSampleBytes;
        const auto v = static_cast<uint16_t>((in[0] | in[1] << 8) >> shift);
        dst[i * kSampleBytes] = static_cast<uint8_t>(v);
        dst[i * kSampleBytes + 1] = static_cast<uint8_t>(v >> 8);
    }
}

} // namespace

void MemCopy_neon(uint8_t *dst, const uint8_t *src, size_t n)
{
    if (n != 0)
        std::memcpy(dst, src, n);
}

void MemAppend_neon(const uint8_t *const sources[2], uint8_t *dst, const size_t sizes[2])
{
    MemCopy_neon(dst, sources[0], sizes[0]);
    MemCopy_neon(dst + sizes[0], sources[1], sizes[1]);
}

void BitShift_neon(uint8_t *dst, const uint8_t *src, size_t n, unsigned shift)
{
    if (!isSampleShift(shift)) {
        MemCopy_neon(dst, src, n);
        return;
    }
    const size_t samples = n / kSampleBytes;
    if constexpr (std::endian::native == std::endian::little)
        shiftLittleEndian(dst, src, samples, shift);
    else
        shiftAnyEndian(dst, src, samples, shift);
    if (n % kSampleBytes != 0)
        dst[n - 1] = src[n - 1];
}

void CropImages_neon(uint8_t *dst, const uint8_t *src, size_t pitch, size_t rows, size_t rowBytes)
{
    for (size_t row = 0; row < rows; ++row)
        MemCopy_neon(dst + row * rowBytes, src + row * pitch, rowBytes);
}
