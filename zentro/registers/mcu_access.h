// MCU variables and special-function registers of the sensor's MCU, with the register lock
// held: through the transport's system registers or the sensor's port registers.
#ifndef ZENTRO_REGISTERS_MCU_ACCESS_H
#define ZENTRO_REGISTERS_MCU_ACCESS_H

#include <cstdint>

#include "zentro_camera.h"
#include "zentro_sensor.h"

namespace zentro {

int readVarsNolock(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t count,
                   uint32_t bytes, uint32_t *values);
int readVarNolock(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t bytes,
                  uint32_t *value);
// A single write is cached; a burst leaves its range to be read again (writeMcuBurst).
int writeVarNolock(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t bytes,
                   uint32_t value);
int writeVarBurstNolock(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t count,
                        uint32_t bytes, const uint32_t *values);
int readSfrsNolock(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t count,
                   uint32_t bytes, uint32_t *values);
int readSfrNolock(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t bytes,
                  uint32_t *value);
int writeSfrNolock(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t bytes,
                   uint32_t value);
int writeSfrBurstNolock(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t count,
                        uint32_t bytes, const uint32_t *values);
// A camera with a context and a sensor record, which every MCU access needs.
bool canReachMcu(ze_camera_t *camera);
// Bytes of an MCU or SFR value; 0 means 2.
inline uint32_t varBytes(uint32_t bytes)
{
    return bytes == 0 ? 2 : bytes;
}

// How one MCU variable or SFR value of @bytes bytes at @addr of driver or page @id reaches the
// device.
using McuValueWrite = int (*)(ze_camera_t *camera, uint32_t id, uint32_t addr, uint32_t bytes,
                              uint32_t value);
// One value through @write; on success the cache keeps it under (@spaceType, @id, @addr).
int writeMcuValue(ze_camera_t *camera, uint32_t spaceType, uint32_t id, uint32_t addr,
                  uint32_t bytes, uint32_t value, McuValueWrite write);
// @count values from @addr on, stepping by @bytes, through @write up to the first failure.
// The cache is told to read the whole range again, whatever the outcome: the device may
// adjust what it took, and after a failure it holds the values written before it.
int writeMcuBurst(ze_camera_t *camera, uint32_t spaceType, uint32_t id, uint32_t addr,
                  uint32_t count, uint32_t bytes, const uint32_t *values, McuValueWrite write);
// One value of @bytes bytes through data port register @port under MCU style @style (two
// transfers of the port, high half first, for 4 bytes; the high byte of the unit for 1 byte on
// style 54). The port register's cache entry follows.
int readPortData(ze_camera_t *camera, const ze_reg_t *port, uint32_t style, uint32_t bytes,
                 uint32_t *value);
int writePortData(ze_camera_t *camera, const ze_reg_t *port, uint32_t style, uint32_t bytes,
                  uint32_t value);
// Runs @count single-value accesses at @addr stepping by @bytes: values already done stay,
// the failing one and later ones are 0 (reads).
template <class Access>
int forEachValue(uint32_t addr, uint32_t count, uint32_t bytes, uint32_t *values, Access access)
{
    for (uint32_t i = 0; i < count; ++i) {
        const int result = access(addr + i * bytes, values[i]);
        if (result != 0) {
            for (uint32_t j = i; j < count; ++j)
                values[j] = 0;
            return result;
        }
    }
    return 0;
}
// The stored value of the register at (@spaceType, @spaceValue, @addr) whatever its
// flags (a camera without hardware); 0 when there is none.
uint32_t storedValueAt(ze_camera_t *camera, uint32_t spaceType, uint32_t spaceValue, uint32_t addr);
// Clears the byte-access bitfield that sensor type 54 version 1 leaves set after 1-byte
// accesses through @portName.
void clearByteAccess(ze_camera_t *camera, uint32_t bytes, const char *portName,
                     const char *bitfieldName);

} // namespace zentro

#endif // ZENTRO_REGISTERS_MCU_ACCESS_H
