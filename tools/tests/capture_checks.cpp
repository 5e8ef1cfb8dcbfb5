// Test-pattern checks of raw files.
#include "capture_checks.h"

#include <cstdlib>
#include <sstream>

#include "tool_runner.h"

namespace tooltest {
namespace {

constexpr unsigned kCounterSamples = 4;

uint32_t sampleAt(const uint8_t *frame, const RawLayout &l, uint32_t x, uint32_t y)
{
    const uint8_t *p = frame + size_t{y} * l.bytesPerLine + 2 * size_t{x};
    return (uint32_t{p[1]} << 8 | p[0]) >> (16 - l.depth);
}

} // namespace

std::vector<uint32_t> frameNumbers(const std::string &raw, const RawLayout &l, std::string &message)
{
    std::vector<uint32_t> numbers;
    const auto *bytes = reinterpret_cast<const uint8_t *>(raw.data());
    const uint32_t mask = (1u << l.depth) - 1;
    for (size_t at = 0; at + l.frameBytes() <= raw.size(); at += l.frameBytes()) {
        const uint8_t *frame = bytes + at;
        uint32_t n = 0;
        for (unsigned i = 0; i < kCounterSamples; ++i)
            n |= sampleAt(frame, l, i, 0) << (8 * i);
        numbers.push_back(n);
        for (uint32_t y = 0; y < l.height && message.empty(); ++y)
            for (uint32_t x = y == 0 ? kCounterSamples : 0; x < l.width; ++x)
                if (sampleAt(frame, l, x, y) != ((x + 2 * y + n) & mask)) {
                    std::ostringstream m;
                    m << "frame " << numbers.size() - 1 << " sample (" << x << ", " << y << ") is "
                      << sampleAt(frame, l, x, y);
                    message = m.str();
                    break;
                }
    }
    return numbers;
}

std::vector<uint32_t> printedFrameCounts(const std::string &out)
{
    const std::string prefix = "Sensor Frame Count - ";
    std::vector<uint32_t> counts;
    for (const auto &line : linesWith(out, prefix))
        counts.push_back(static_cast<uint32_t>(
            std::strtoul(line.c_str() + line.find(prefix) + prefix.size(), nullptr, 10)));
    return counts;
}

} // namespace tooltest
