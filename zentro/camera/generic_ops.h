// The library's generic camera-level register operations: lock, cache, transport-level call.
#ifndef ZENTRO_CAMERA_GENERIC_OPS_H
#define ZENTRO_CAMERA_GENERIC_OPS_H

#include <cstdint>

#include "camera/default_ops.h"
#include "zentro_camera.h"

namespace zentro {

// A transport puts these into the register slots of its ze_camera_t. Each takes the
// camera's register lock, answers reads from the register cache when the calling thread's
// ZE_USE_REG_CACHE allows it (a camera without hardware always reads from the cache),
// calls the context's transport-level operation otherwise (again while the bus does not
// acknowledge, up to ZE_NACK_RETRIES more times), and stores what was read or
// written in the cache. Results: the transport's, CAMERA_NOT_SUPPORTED when the context
// lacks the operation, CAMERA_ERROR for absent arguments or a cache-only read that misses.
// A failed read leaves every output value 0.

// Sensor registers in the address space with id @addrSpace, @count units from @start.
int genericReadSensorRegisters(ze_camera_t *camera, uint32_t addrSpace, uint32_t start,
                               uint32_t count, uint32_t *values);
int genericWriteSensorRegisters(ze_camera_t *camera, uint32_t addrSpace, uint32_t start,
                                uint32_t count, uint32_t *values);

// Raw registers of the device at serial-bus address @busAddr. The cache takes part only
// at the sensor's own bus address with the sensor's data width, in the currently
// selected address space.
int genericReadRegister(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr, uint32_t *value);
int genericWriteRegister(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr, uint32_t value);
int genericReadRegisters(ze_camera_t *camera, uint32_t busAddr, uint32_t start, uint32_t count,
                         uint32_t *values);
int genericWriteRegisters(ze_camera_t *camera, uint32_t busAddr, uint32_t start, uint32_t count,
                          uint32_t *values);

// Puts the generic register operations above and the generic grab into @camera's
// camera-level slots: register access and grabs then take the camera's locks and keep the
// register cache.
inline void installGenericCameraSlots(ze_camera_t *camera)
{
    camera->readSensorRegisters = genericReadSensorRegisters;
    camera->writeSensorRegisters = genericWriteSensorRegisters;
    camera->readRegister = genericReadRegister;
    camera->writeRegister = genericWriteRegister;
    camera->readRegisters = genericReadRegisters;
    camera->writeRegisters = genericWriteRegisters;
    camera->grabFrame = genericGrabFrame;
}

// Address step between consecutive data units of the sensor's own registers (REG space).
uint32_t sensorUnitStep(const ze_sensor_t *sensor);

} // namespace zentro

#endif // ZENTRO_CAMERA_GENERIC_OPS_H
