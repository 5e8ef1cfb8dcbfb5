// Register defaults of a simulated sensor, read from a text sensor-data file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace boardsim {

constexpr size_t kRegisterSpaceBytes = 0x10000;

struct SensorDefaults {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kRegisterSpaceBytes, 0); // big-endian image
    std::optional<uint16_t> chipVersionRegister; // from CHIP_VERSION_REG
};

// Reads the register addresses and default values of a text sensor-data file (registers of
// plain register spaces with addresses below 0x10000). Malformed register lines are skipped;
// false with a message when the file cannot be read.
bool loadSensorDefaults(const std::string &path, SensorDefaults &out, std::string &error);
// The same from the text of such a file.
SensorDefaults parseSensorDefaults(const std::string &text);

} // namespace boardsim
