// The simulated sensor's test pattern, as the tests expect to find it in delivered frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace csi::testing {

constexpr uint32_t kCounterSamples = 4; // row 0 starts with the frame number's bytes

// Sample (x, y) of frame @frame at @bitDepth bits, before any delivery shift.
inline uint32_t patternSample(uint32_t x, uint32_t y, uint32_t frame, uint32_t bitDepth)
{
    if (y == 0 && x < kCounterSamples)
        return (frame >> (8 * x)) & 0xFF;
    return (x + 2 * y + frame) & ((1u << bitDepth) - 1);
}

// A frame as it lies in memory: samples of @bytesPerSample bytes (little-endian), rows
// @pitch bytes apart, each sample shifted right by @shift.
struct FrameLayout {
    uint32_t width;
    uint32_t height;
    size_t pitch;
    uint32_t bytesPerSample;
    uint32_t bitDepth;
    unsigned shift;
};

inline uint32_t sampleAt(const uint8_t *data, const FrameLayout &f, uint32_t x, uint32_t y)
{
    const uint8_t *p = data + y * f.pitch + size_t{x} * f.bytesPerSample;
    return f.bytesPerSample == 1 ? p[0] : static_cast<uint32_t>(p[0] | p[1] << 8);
}

// The frame number for which @data holds the pattern everywhere; none when no number fits.
// Shifted samples lose their low bits, so candidates are tried against the whole frame.
inline std::optional<uint32_t> matchingFrameNumber(const uint8_t *data, const FrameLayout &f,
                                                   uint32_t maxFrame = 4096)
{
    for (uint32_t n = 0; n < maxFrame; ++n) {
        bool fits = true;
        for (uint32_t y = 0; y < f.height && fits; ++y)
            for (uint32_t x = 0; x < f.width && fits; ++x)
                fits = sampleAt(data, f, x, y) == patternSample(x, y, n, f.bitDepth) >> f.shift;
        if (fits)
            return n;
    }
    return std::nullopt;
}

} // namespace csi::testing
