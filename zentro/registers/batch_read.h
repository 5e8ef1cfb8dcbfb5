// Batch reads of ze_ReadSensorRegs: MCU variables read together, far registers deferred.
#ifndef ZENTRO_REGISTERS_BATCH_READ_H
#define ZENTRO_REGISTERS_BATCH_READ_H

#include <cstdint>

#include "zentro_camera.h"
#include "zentro_sensor.h"

namespace zentro {

// Whether @reg is deferred to a batch read on this sensor.
bool deferredToBatch(ze_camera_t *camera, const ze_reg_t *reg);
// Reads the deferred registers (indexes into the caller's arrays); results at their places.
int readBatchNolock(ze_camera_t *camera, ze_reg_t **regs, const uint32_t *positions, uint32_t count,
                    uint32_t *values, int *results);

} // namespace zentro

#endif // ZENTRO_REGISTERS_BATCH_READ_H
