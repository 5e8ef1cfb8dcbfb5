// Far registers: registers of a sub-device behind the sensor's own serial-bus master, and
// the sensor families' mechanisms that reach them.
#ifndef ZENTRO_REGISTERS_FAR_REGS_H
#define ZENTRO_REGISTERS_FAR_REGS_H

#include <cstdint>

#include "zentro_camera.h"
#include "zentro_sensor.h"

namespace zentro {

// @count units of far register @reg; a register of span n reads n units.
int readFarUnitsNolock(ze_camera_t *camera, const ze_reg_t *reg, uint32_t addr, uint32_t count,
                       uint32_t *units);
int readFarRegNolock(ze_camera_t *camera, const ze_reg_t *reg, uint32_t *value);
int writeFarRegNolock(ze_camera_t *camera, const ze_reg_t *reg, uint32_t value);
// The far device a register lives on, from its far space.
struct FarTarget {
    uint32_t base;     // 8-bit serial-bus address
    uint32_t addrBits; // far register address width
    uint32_t dataBits; // far unit width
    uint32_t spaceType;
    uint32_t spaceId;
    uint32_t selectAddr; // the far device's space-select register, 0 for none
};
// The sensor families' own far mechanisms:
// @count units at @addr, read into or written from @units.
int dmaFarTransfer(ze_camera_t *camera, const FarTarget &target, uint32_t addr, uint32_t count,
                   uint32_t *units, bool write);
int busMasterFarTransfer(ze_camera_t *camera, const FarTarget &target, uint32_t addr,
                         uint32_t count, uint32_t *units, bool write);

} // namespace zentro

#endif // ZENTRO_REGISTERS_FAR_REGS_H
