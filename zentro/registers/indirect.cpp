// Indirect registers: an address register selects what a data register reads or writes.
#include "registers/indirect.h"

#include "registers/access.h"
#include "registers/mcu_access.h"
#include "registers/transfer.h"

#include "registers/cache.h"
#include "registers/lookup.h"
#include "zentro_errors.h"

namespace {

ze_reg_t *firstExisting(ze_camera_t *camera, const char *name, const char *fallback)
{
    ze_reg_t *reg = zentro::findSensorRegister(camera, name);
    return reg ? reg : zentro::findSensorRegister(camera, fallback);
}

ze_reg_t *addressRegister(ze_camera_t *camera)
{
    return firstExisting(camera, "INDIRECT_ADDR", "INDIRECT_ADDRESS");
}

ze_reg_t *dataRegister(ze_camera_t *camera, bool forWrite)
{
    return firstExisting(camera, "INDIRECT_DATA", forWrite ? "INDIRECT_WRITE" : "INDIRECT_READ");
}

bool usable(ze_camera_t *camera)
{
    return camera && camera->context && camera->sensor;
}

// The hardware read, without the cache rules: address, then data.
int readIndHardware(ze_camera_t *camera, uint32_t addr, uint32_t *value)
{
    *value = 0;
    ze_reg_t *address = addressRegister(camera);
    ze_reg_t *data = dataRegister(camera, false);
    if (!address || !data)
        return CAMERA_ERROR;
    int result = zentro::writeRegNolock(camera, address, addr);
    if (result == CAMERA_SUCCESS)
        result = zentro::readRegHardwareNolock(camera, data, value);
    if (result == CAMERA_SUCCESS)
        zentro::setCacheValueAddr(camera, ZE_SPACE_IND, 0, addr, *value);
    return result;
}

} // namespace

namespace zentro {

int readIndNolock(ze_camera_t *camera, uint32_t addr, uint32_t *value)
{
    if (!usable(camera) || !value)
        return CAMERA_ERROR;
    *value = 0;
    if (isNullCamera(camera)) {
        *value = storedValueAt(camera, ZE_SPACE_IND, 0, addr);
        return CAMERA_SUCCESS;
    }
    const uint32_t mode = threadSettings(camera).useRegCache;
    if (mode != kCacheModeOff) {
        if (getCacheValueAddr(camera, ZE_SPACE_IND, 0, addr, value) == kCacheHit)
            return CAMERA_SUCCESS;
        if (mode == kCacheModeOnly)
            return CAMERA_ERROR;
    }
    return readIndHardware(camera, addr, value);
}

int writeIndNolock(ze_camera_t *camera, uint32_t addr, uint32_t value)
{
    if (!usable(camera))
        return CAMERA_ERROR;
    ze_reg_t *address = addressRegister(camera);
    ze_reg_t *data = dataRegister(camera, true);
    if (!address || !data)
        return CAMERA_ERROR;
    int result = writeRegNolock(camera, address, addr);
    if (result == CAMERA_SUCCESS)
        result = writeRegNolock(camera, data, value);
    if (result == CAMERA_SUCCESS)
        setCacheValueAddr(camera, ZE_SPACE_IND, 0, addr, value);
    return result;
}

} // namespace zentro

extern "C" {

ZE_API int ze_ReadInd(ze_camera_t *camera, uint32_t addr, uint32_t *value)
{
    if (!value)
        return CAMERA_ERROR;
    *value = 0;
    zentro::RegisterLockGuard lock(camera);
    return zentro::readIndNolock(camera, addr, value);
}

ZE_API int ze_WriteInd(ze_camera_t *camera, uint32_t addr, uint32_t value)
{
    zentro::RegisterLockGuard lock(camera);
    return zentro::writeIndNolock(camera, addr, value);
}

ZE_API int ze_ReadInds(ze_camera_t *camera, uint32_t addr, uint32_t count, uint32_t *values)
{
    if (!usable(camera) || (!values && count > 0))
        return CAMERA_ERROR;
    zentro::RegisterLockGuard lock(camera);
    int failure = CAMERA_SUCCESS;
    for (uint32_t i = 0; i < count; ++i) {
        // A camera without hardware has nothing to send the address to.
        const int result = zentro::isNullCamera(camera)
                               ? zentro::readIndNolock(camera, addr + i, &values[i])
                               : readIndHardware(camera, addr + i, &values[i]);
        if (result != CAMERA_SUCCESS)
            failure = result;
    }
    return failure;
}

} // extern "C"
