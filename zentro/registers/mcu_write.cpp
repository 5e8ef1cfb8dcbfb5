// What MCU variables and special-function registers share: the camera they need, and writes:
// a single value is cached, a burst leaves its range to be read again.
#include "registers/cache.h"
#include "registers/mcu_access.h"
#include "zentro_errors.h"

namespace zentro {

bool canReachMcu(ze_camera_t *camera)
{
    return camera && camera->context && camera->sensor;
}

int writeMcuValue(ze_camera_t *camera, uint32_t spaceType, uint32_t id, uint32_t addr,
                  uint32_t bytes, uint32_t value, McuValueWrite write)
{
    if (!canReachMcu(camera))
        return CAMERA_ERROR;
    bytes = varBytes(bytes);
    const int result = write(camera, id, addr, bytes, value);
    if (result == CAMERA_SUCCESS)
        setCacheValueAddr(camera, spaceType, id, addr, value);
    return result;
}

int writeMcuBurst(ze_camera_t *camera, uint32_t spaceType, uint32_t id, uint32_t addr,
                  uint32_t count, uint32_t bytes, const uint32_t *values, McuValueWrite write)
{
    if (!canReachMcu(camera) || (!values && count > 0))
        return CAMERA_ERROR;
    bytes = varBytes(bytes);
    int result = CAMERA_SUCCESS;
    for (uint32_t i = 0; i < count && result == CAMERA_SUCCESS; ++i)
        result = write(camera, id, addr + i * bytes, bytes, values[i]);
    invalidateCacheRange(camera, spaceType, id, addr, addr + count * bytes);
    return result;
}

} // namespace zentro
