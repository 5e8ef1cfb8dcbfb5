// The simulated sensor's test pattern, as the tests expect to find it in delivered frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace csi::testing {

constexpr uint32_t kCounterSamples = 4; // row 0 starts with the frame number's bytes

// Sample (x, y) of frame @frame at @bitDepth bits.
inline uint32_t patternSample(uint32_t x, uint32_t y, uint32_t frame, uint32_t bitDepth)
{
    if (y == 0 && x < kCounterSamples)
        return (frame >> (8 * x)) & 0xFF;
    return (x + 2 * y + frame) & ((1u << bitDepth) - 1);
}

// A frame as it lies in memory: samples of @bytesPerSample bytes (little-endian), rows
// @pitch bytes apart, each sample moved up by @alignment bits in its word (the board's capture
// buffers of 10- to 14-bit formats; 0 once the plug-in has delivered the frame).
struct FrameLayout {
    uint32_t width;
    uint32_t height;
    size_t pitch;
    uint32_t bytesPerSample;
    uint32_t bitDepth;
    unsigned alignment;
};

inline uint32_t wordAt(const uint8_t *data, const FrameLayout &f, uint32_t x, uint32_t y)
{
    const uint8_t *p = data + y * f.pitch + size_t{x} * f.bytesPerSample;
    return f.bytesPerSample == 1 ? p[0] : static_cast<uint32_t>(p[0] | p[1] << 8);
}

inline uint32_t sampleAt(const uint8_t *data, const FrameLayout &f, uint32_t x, uint32_t y)
{
    return wordAt(data, f, x, y) >> f.alignment;
}

// The frame number @data holds when every sample follows the pattern; none otherwise (a
// sample off the pattern, or bits below the alignment that are not zero).
inline std::optional<uint32_t> matchingFrameNumber(const uint8_t *data, const FrameLayout &f)
{
    uint32_t n = 0;
    for (uint32_t x = 0; x < kCounterSamples && x < f.width; ++x)
        n |= (sampleAt(data, f, x, 0) & 0xFF) << (8 * x);
    for (uint32_t y = 0; y < f.height; ++y)
        for (uint32_t x = 0; x < f.width; ++x)
            if (wordAt(data, f, x, y) != patternSample(x, y, n, f.bitDepth) << f.alignment)
                return std::nullopt;
    return n;
}

} // namespace csi::testing
