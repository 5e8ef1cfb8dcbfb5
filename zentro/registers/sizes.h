// Sizes of registers and raw transfers by address-space kind.
#ifndef ZENTRO_REGISTERS_SIZES_H
#define ZENTRO_REGISTERS_SIZES_H

#include <cstdint>

#include "zentro_camera.h"

namespace zentro {

// True for the MCU and SFR kinds, near and far: values of 1, 2 or 4 bytes.
bool isVariableSpaceType(uint32_t type);

// Address bits of registers in spaces of @spaceType.
uint32_t addrSizeOfSpace(ze_camera_t *camera, uint32_t spaceType);

} // namespace zentro

#endif // ZENTRO_REGISTERS_SIZES_H
