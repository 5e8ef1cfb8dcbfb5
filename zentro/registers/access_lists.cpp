// Reading and writing lists of registers, by record or by name and bitfield.
#include <algorithm>
#include <vector>

#include "registers/access.h"
#include "registers/batch_read.h"
#include "registers/cache.h"
#include "zentro_errors.h"

namespace {

void clearOutputs(uint32_t count, uint32_t *values, int *results)
{
    std::fill(values, values + count, 0u);
    if (results)
        std::fill(results, results + count, CAMERA_SUCCESS);
}

void store(int *results, uint32_t i, int result)
{
    if (results)
        results[i] = result;
}

// A write-only register cannot be read back: its last written value is what it holds.
int readWriteOnly(ze_camera_t *camera, const ze_reg_t *reg, uint32_t *value)
{
    zentro::storedCacheValue(camera, zentro::cacheIndexOf(camera, reg), value);
    return CAMERA_SUCCESS;
}

const char *bitfieldAt(const char **bitfieldNames, uint32_t i)
{
    return bitfieldNames ? bitfieldNames[i] : nullptr;
}

bool usable(ze_camera_t *camera)
{
    return camera && camera->context && camera->sensor;
}

} // namespace

extern "C" {

ZE_API int ze_ReadSensorRegs(ze_camera_t *camera, uint32_t count, ze_reg_t **regs, uint32_t *values,
                             int *results)
{
    if (!usable(camera) || !regs || !values)
        return CAMERA_ERROR;
    clearOutputs(count, values, results);
    zentro::RegisterLockGuard lock(camera);
    std::vector<ze_reg_t *> deferred;
    std::vector<uint32_t> positions;
    int result = CAMERA_SUCCESS;
    for (uint32_t i = 0; i < count; ++i) {
        ze_reg_t *reg = regs[i];
        if (!reg)
            continue;
        if (reg->access == ZE_ACCESS_WO) {
            result = readWriteOnly(camera, reg, &values[i]);
        } else if (zentro::deferredToBatch(camera, reg)) {
            deferred.push_back(reg);
            positions.push_back(i);
            continue;
        } else {
            result = zentro::readRegNolock(camera, reg, &values[i]);
        }
        store(results, i, result);
    }
    if (!deferred.empty())
        result = zentro::readBatchNolock(camera, deferred.data(), positions.data(),
                                         static_cast<uint32_t>(deferred.size()), values, results);
    return result;
}

ZE_API int ze_WriteSensorRegs(ze_camera_t *camera, uint32_t count, ze_reg_t **regs,
                              uint32_t *values, int *results)
{
    if (!usable(camera) || !regs || !values)
        return CAMERA_ERROR;
    if (results)
        std::fill(results, results + count, CAMERA_SUCCESS);
    zentro::RegisterLockGuard lock(camera);
    int result = CAMERA_SUCCESS;
    for (uint32_t i = 0; i < count; ++i) {
        if (!regs[i])
            continue;
        result = zentro::writeRegNolock(camera, regs[i], values[i]);
        if (result != CAMERA_SUCCESS)
            values[i] = 0;
        store(results, i, result);
    }
    return result;
}

ZE_API int ze_ReadSensorRegsStr(ze_camera_t *camera, uint32_t count, const char **reg_names,
                                const char **bitfield_names, uint32_t *values, int *results)
{
    if (!usable(camera) || !reg_names || !values)
        return CAMERA_ERROR;
    clearOutputs(count, values, results);
    zentro::RegisterLockGuard lock(camera);
    int result = CAMERA_SUCCESS;
    for (uint32_t i = 0; i < count; ++i) {
        result = zentro::readRegStrNolock(camera, reg_names[i], bitfieldAt(bitfield_names, i),
                                          &values[i]);
        store(results, i, result);
    }
    return result;
}

ZE_API int ze_WriteSensorRegsStr(ze_camera_t *camera, uint32_t count, const char **reg_names,
                                 const char **bitfield_names, uint32_t *values, int *results)
{
    if (!usable(camera) || !reg_names || !values)
        return CAMERA_ERROR;
    if (results)
        std::fill(results, results + count, CAMERA_SUCCESS);
    zentro::RegisterLockGuard lock(camera);
    int result = CAMERA_SUCCESS;
    for (uint32_t i = 0; i < count; ++i) {
        result = zentro::writeRegStrNolock(camera, reg_names[i], bitfieldAt(bitfield_names, i),
                                           values[i]);
        if (result != CAMERA_SUCCESS)
            values[i] = 0;
        store(results, i, result);
    }
    return result;
}

} // extern "C"
