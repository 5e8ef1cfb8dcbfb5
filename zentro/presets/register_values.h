// Register values by address for preset commands: address translation of direct registers,
// writes under a mask and masked reads with the cache bypassed.
#ifndef ZENTRO_PRESETS_REGISTER_VALUES_H
#define ZENTRO_PRESETS_REGISTER_VALUES_H

#include <cstdint>
#include <optional>

#include "zentro_camera.h"

namespace zentro::presets {

struct RegisterAddress {
    uint32_t space; // ZE_SPACE_...
    uint32_t page;  // the address-space select value (the driver for MCU variables)
    uint32_t addr;
};

// Maps the MCU and advanced-base windows of direct addresses to their spaces (space 0 on
// entry); other addresses stay as they are.
RegisterAddress translateDirect(ze_camera_t *camera, RegisterAddress where);

// Writes @value under @mask (0 and 0xFFFFFFFF: the whole value) with @bytes bytes (0: as the
// database says); the value is shifted into the mask. Nothing without a sensor.
int writeMasked(ze_camera_t *camera, RegisterAddress where, uint32_t bytes, uint32_t mask,
                uint32_t value);

// The register's value under @mask, shifted down to bit 0, read from the device. 0 without
// a sensor; nothing when the database knows the register and reading it fails.
std::optional<uint32_t> readMasked(ze_camera_t *camera, RegisterAddress where, uint32_t mask);

// The data size in bytes the database gives the register at @where, 0 when it has none.
uint32_t databaseBytes(ze_camera_t *camera, RegisterAddress where);

// True when the sensor selects pages through a select register (the section's current
// page then comes from the device).
bool hasSelectRegister(ze_camera_t *camera);

// Sets ZE_USE_REG_CACHE for the scope of the object and restores it after.
class CacheModeScope
{
public:
    CacheModeScope(ze_camera_t *camera, uint32_t mode);
    ~CacheModeScope();
    CacheModeScope(const CacheModeScope &) = delete;
    CacheModeScope &operator=(const CacheModeScope &) = delete;

private:
    ze_camera_t *camera_;
    uint32_t saved_ = 0;
    bool restore_ = false;
};

} // namespace zentro::presets

#endif // ZENTRO_PRESETS_REGISTER_VALUES_H
