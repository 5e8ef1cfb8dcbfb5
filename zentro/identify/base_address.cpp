// The sensor's serial-bus base address: setting it, and finding the one the sensor answers at.
#include <algorithm>

#include "camera/context.h"
#include "identify/probe_access.h"
#include "registers/lookup.h"
#include "zentro_cache.h"
#include "zentro_errors.h"
#include "zentro_identify.h"
#include "zentro_modes.h"
#include "zentro_reg_access.h"

namespace {

constexpr const char *kChipVersionReg = "CHIP_VERSION_REG";

bool chipVersionAnswers(ze_camera_t *camera, ze_reg_t *chipVersion)
{
    uint32_t value = 0;
    return ze_ReadSensorReg(camera, chipVersion, &value) == CAMERA_SUCCESS &&
           (value & chipVersion->mask) == (chipVersion->defaultValue & chipVersion->mask);
}

// Sets the calling thread's register-cache mode for the object's lifetime.
class CacheModeOverride
{
public:
    CacheModeOverride(ze_camera_t *camera, uint32_t mode) : camera_(camera)
    {
        ze_getMode(camera, ZE_USE_REG_CACHE, &saved_);
        ze_setMode(camera, ZE_USE_REG_CACHE, mode);
    }
    ~CacheModeOverride() { ze_setMode(camera_, ZE_USE_REG_CACHE, saved_); }
    CacheModeOverride(const CacheModeOverride &) = delete;
    CacheModeOverride &operator=(const CacheModeOverride &) = delete;

private:
    ze_camera_t *camera_;
    uint32_t saved_ = 0;
};

} // namespace

extern "C" {

ZE_API int ze_SetSensorBaseAddr(ze_camera_t *camera, uint32_t addr)
{
    if (!camera || !camera->sensor)
        return CAMERA_ERROR;
    const bool changed = camera->sensor->shipBaseAddr != addr;
    const bool spi = (addr & zentro::kSpiBaseAddrBit) != 0;
    camera->sensor->shipBaseAddr = addr;
    ze_setMode(camera, ZE_SHIP_TO_SPI, spi ? 1 : 0);
    if (changed || spi)
        ze_InvalidateRegCache(camera);
    return CAMERA_SUCCESS;
}

ZE_API int ze_DetectSensorBaseAddr(ze_camera_t *camera)
{
    if (!camera || !camera->context || !camera->sensor)
        return 1;
    ze_reg_t *chipVersion = zentro::findSensorRegister(camera, kChipVersionReg);
    if (!chipVersion)
        return 1;
    const uint32_t startAddr = camera->sensor->shipBaseAddr;
    uint32_t startSpi = 0;
    ze_getMode(camera, ZE_SHIP_TO_SPI, &startSpi);
    {
        CacheModeOverride uncached(camera, 0);
        if (chipVersionAnswers(camera, chipVersion))
            return 0;
        const zentro::IdentData &ident = camera->context->ident;
        const int32_t count = std::clamp(ident.baseAddrCount, 0, zentro::kMaxBaseAddrs);
        for (int32_t i = 0; i < count; ++i) {
            const uint32_t addr = ident.baseAddrs[i];
            camera->sensor->shipBaseAddr = addr;
            ze_setMode(camera, ZE_SHIP_TO_SPI, (addr & zentro::kSpiBaseAddrBit) ? 1 : 0);
            if (chipVersionAnswers(camera, chipVersion)) {
                ze_InvalidateRegCache(camera);
                return 0;
            }
        }
    }
    camera->sensor->shipBaseAddr = startAddr;
    ze_setMode(camera, ZE_SHIP_TO_SPI, startSpi);
    return 1;
}

} // extern "C"
