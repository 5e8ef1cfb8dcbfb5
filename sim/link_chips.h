// Serializer/deserializer pairs on the camera links of video4 and video5.
#pragma once

#include "sensor_data_defaults.h"

#include <cstdint>
#include <vector>

namespace boardsim {

// One chip of a link: 16-bit register addresses, 8-bit registers, its id at kLinkChipIdRegister.
struct LinkChip {
    uint8_t address;
    uint8_t id;
};

constexpr uint32_t kLinkChipIdRegister = 0x000D;

// The chips a board of the given link generation (2 or 3) carries: the pair of video5's link,
// then the pair of video4's, each deserializer first. Other generations carry none.
std::vector<LinkChip> linkChips(uint32_t generation);

// The register layout of a link chip: every register reads 0 except the read-only id.
SensorDefaults linkChipLayout(uint8_t id);

} // namespace boardsim
