// What the simulated capture driver has been told: properties, groups, tables, node formats.
#pragma once

#include "board_description.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace boardsim {

struct TableEntry {
    uint16_t address;
    uint16_t value;
};

struct NodeFormat {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t pixelFormat = 0;
    uint32_t bytesPerLine = 0;
};

struct DriverState {
    uint8_t i2cAddress = 0;
    uint32_t i2cSpeed = 0;
    uint32_t serializerAddress = 0;
    uint32_t deserializerAddress = 0;
    uint32_t resetLine = 1; // 1 = sensor released
    uint32_t pixelClock = 0;
    uint32_t lineLength = 0;
    std::optional<uint32_t> inputClock; // Hz, set by the board's sensor clock script
    std::array<int32_t, 9> version{};
    std::array<uint32_t, 6> frameFormat{};         // 0xF000..0xF005
    std::array<uint32_t, 5> imageProperties{};     // 0xF000..0xF004
    std::map<uint16_t, uint32_t> signalProperties; // 0xF002, 0xF003, 0xF008..0xF00B
    std::map<uint16_t, std::vector<TableEntry>> tables;
    std::map<uint32_t, uint32_t> controlApplied; // extended control -> times applied
    std::map<int, NodeFormat> nodeFormats;       // video node -> last format set

    void reset(const BoardDescription &description);
    // The text kept in the board directory's "driver.state" (one "key = value" per line).
    std::string serialize() const;
    // Reads what serialize() wrote; unknown or malformed lines are ignored.
    void deserialize(const std::string &text);
};

} // namespace boardsim
