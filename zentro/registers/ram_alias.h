// RAM aliases: plain registers that stand for an MCU variable or special-function register.
#ifndef ZENTRO_REGISTERS_RAM_ALIAS_H
#define ZENTRO_REGISTERS_RAM_ALIAS_H

#include <cstdint>

#include "zentro_camera.h"
#include "zentro_sensor.h"

namespace zentro {

struct RamAlias {
    ze_reg_t *target = nullptr; // the MCU variable or SFR the register stands for
    uint32_t style = 0;         // MCU style of the alias; 0 when the register is none
};
// The alias of a REG-space register; no target for registers in any other space.
RamAlias resolveRamAlias(ze_camera_t *camera, const ze_reg_t *reg);

} // namespace zentro

#endif // ZENTRO_REGISTERS_RAM_ALIAS_H
