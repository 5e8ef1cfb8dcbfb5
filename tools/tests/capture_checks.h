// Checks of the capture tool's raw files against the simulated sensor's test pattern.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tooltest {

struct RawLayout {
    uint32_t width;        // image pixels per row
    uint32_t height;       // rows
    uint32_t bytesPerLine; // stored row length
    unsigned depth;        // significant bits, stored in the upper bits of 16-bit words
    size_t frameBytes() const { return size_t{bytesPerLine} * height; }
};

// The frame numbers of a raw file's frames; every sample is checked against the pattern
// (x + 2y + n) mod 2^depth, the first four samples of row 0 carrying n. A sample that differs
// is reported through message (empty when all match).
std::vector<uint32_t> frameNumbers(const std::string &raw, const RawLayout &layout,
                                   std::string &message);

// The numbers printed after "Sensor Frame Count - " in the tool's output.
std::vector<uint32_t> printedFrameCounts(const std::string &out);

} // namespace tooltest
