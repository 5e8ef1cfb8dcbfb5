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
    // Level changes so far and when the last one happened (CLOCK_MONOTONIC, ns), kept in
    // "gpio.changes": watchers in any process tell every edge from them, however many
    // happened between two looks.
    uint64_t changes = 0;
    uint64_t changedAt = 0;
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
    // Sets a line's physical level, counting a change.
    void drive(uint32_t offset, int level);
    const std::string &directory() const { return directory_; }

private:
    void loadChanges();

    std::vector<GpioLine> lines_;
    std::string directory_;
};

} // namespace boardsim
