// The GPIO chip's line states: level, direction, holder and consumers, kept in the board dir.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace boardsim {

struct GpioLine {
    int level = 0; // physical level
    bool output = false;
    bool activeLow = false;
    int holderPid = 0;    // process holding a request, 0 = free
    std::string consumer; // consumer of the current request
    std::string lastConsumer;
};

class GpioLines
{
public:
    GpioLines(uint32_t count, std::string directory);

    // Re-reads the shared state; requests of processes that have ended are dropped.
    void load();
    void store() const;
    size_t size() const { return lines_.size(); }
    GpioLine &at(uint32_t offset) { return lines_.at(offset); }
    const std::string &directory() const { return directory_; }

private:
    std::vector<GpioLine> lines_;
    std::string directory_;
};

} // namespace boardsim
