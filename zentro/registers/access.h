// Reading and writing one register of any address space with the register lock held (the
// "Nolock" operations behind every public register operation), and the direct-access state
// of the registers that control MCU addressing.
#ifndef ZENTRO_REGISTERS_ACCESS_H
#define ZENTRO_REGISTERS_ACCESS_H

#include <cstdint>

#include "camera/context.h"
#include "zentro_camera.h"
#include "zentro_errors.h"
#include "zentro_reg_access.h"
#include "zentro_sensor.h"

namespace zentro {

uint32_t spaceTypeOf(const ze_reg_t *reg);
uint32_t spaceIdOf(const ze_reg_t *reg);
bool isNullCamera(ze_camera_t *camera);
bool isFileCamera(ze_camera_t *camera);
// Reads or writes one register of any space, cache rules included (the core of every public
// register operation). A failed read leaves the value 0.
int readRegNolock(ze_camera_t *camera, ze_reg_t *reg, uint32_t *value);
int writeRegNolock(ze_camera_t *camera, ze_reg_t *reg, uint32_t value);
// The hardware, whatever the thread's cache mode (polling, data ports).
int readRegHardwareNolock(ze_camera_t *camera, ze_reg_t *reg, uint32_t *value);
// By name: a register the sensor lacks gives CAMERA_ERROR without a log entry.
int readNamedNolock(ze_camera_t *camera, const char *name, uint32_t *value);
int readNamedHardwareNolock(ze_camera_t *camera, const char *name, uint32_t *value);
int writeNamedNolock(ze_camera_t *camera, const char *name, uint32_t value);
// Bitfield forms, as ze_ReadSensorRegStr and ze_WriteSensorRegStr (lookups are logged).
int readRegStrNolock(ze_camera_t *camera, const char *regName, const char *bitfieldName,
                     uint32_t *value);
int writeRegStrNolock(ze_camera_t *camera, const char *regName, const char *bitfieldName,
                      uint32_t value);
// A plain sensor register's units through the sensor-register transfers (no cache).
int readPlainUnitsNolock(ze_camera_t *camera, const ze_reg_t *reg, uint32_t *value);
int writePlainUnitsNolock(ze_camera_t *camera, const ze_reg_t *reg, uint32_t value);
// Plain registers at @addr of the sensor's bus address with the sensor's address width,
// @dataBits per value and the sensor's byte order (MCU variables mapped into registers).
int readDirectNolock(ze_camera_t *camera, uint32_t addr, uint32_t dataBits, uint32_t count,
                     uint32_t *values);
int writeDirectNolock(ze_camera_t *camera, uint32_t addr, uint32_t dataBits, uint32_t count,
                      uint32_t *values);

// The direct-access state.
ze_common_context::DirectAccessState &directAccessState(ze_camera_t *camera);
// Follows a successful plain access of a register that controls MCU addressing.
void trackDirectAccess(ze_camera_t *camera, const ze_reg_t *reg, uint32_t value, bool written);
// Re-reads ACCESS_CTL_STAT or ADVANCED_BASE from the hardware when the MCU style uses one.
void refreshDirectAccessState(ze_camera_t *camera);

// Polls register @name (from the hardware) at most @attempts times until @done accepts
// its value; CAMERA_TIMEOUT when it never does. The last value read goes to @last.
template <class Done>
int pollNamed(ze_camera_t *camera, const char *name, uint32_t attempts, Done done,
              uint32_t *last = nullptr)
{
    for (uint32_t i = 0; i < attempts; ++i) {
        uint32_t value = 0;
        const int result = readNamedHardwareNolock(camera, name, &value);
        if (result != 0)
            return result;
        if (last)
            *last = value;
        if (done(value))
            return 0;
    }
    return CAMERA_TIMEOUT;
}

} // namespace zentro

#endif // ZENTRO_REGISTERS_ACCESS_H
