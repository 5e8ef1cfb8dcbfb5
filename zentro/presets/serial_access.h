// Raw serial-bus access of presets: the transfer sizes a command sets before it talks to a
// device on the bus.
#ifndef ZENTRO_PRESETS_SERIAL_ACCESS_H
#define ZENTRO_PRESETS_SERIAL_ACCESS_H

#include <cstdint>
#include <optional>
#include <string_view>

#include "zentro_camera.h"

namespace zentro::presets {

struct SerialSizes {
    uint32_t addrBits = 8;
    uint32_t dataBits = 16;
};

// "addrbits:databits"; nothing when the text is not of that form.
std::optional<SerialSizes> parseSerialSizes(std::string_view text);

// Sets the calling thread's ZE_REG_ADDR_SIZE, ZE_REG_DATA_SIZE and ZE_REG_DATA_LE (0) for raw
// transfers; they stay set after the preset, as callers of older presets expect.
void useSerialSizes(ze_camera_t *camera, SerialSizes sizes);

} // namespace zentro::presets

#endif // ZENTRO_PRESETS_SERIAL_ACCESS_H
