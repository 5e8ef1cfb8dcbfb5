// Register values by address for preset commands: address translation of direct registers,
// writes under a mask and masked reads with the cache bypassed.
#include "presets/register_values.h"

#include "presets/arguments.h"
#include "zentro.h"

namespace zentro::presets {

namespace {

constexpr uint32_t kWholeValue = 0xFFFFFFFFu;
// MCU styles with a window of MCU addresses above the direct registers.
constexpr uint32_t kXdmaStyle = 55;
constexpr uint32_t kFirstXdmaAddr = 0x8000;
constexpr uint32_t kXdmaOffsetMask = 0x7FFF;
constexpr uint32_t kXdmaA15 = 0x8000;
constexpr uint32_t kLogicalDriverShift = 10;
constexpr uint32_t kLogicalDriverMask = 31;
constexpr uint32_t kLogicalOffsetMask = 0x3FF;
// MCU styles whose direct addresses 0xE000 to 0xEFFF open a window at the advanced base.
constexpr uint32_t kAdvancedBaseStyles[] = {71, 103, 110, 111, 119};
constexpr uint32_t kAdvancedWindowFirst = 0xE000;
constexpr uint32_t kAdvancedWindowLast = 0xEFFF;

uint32_t mode(ze_camera_t *camera, uint32_t which)
{
    uint32_t value = 0;
    ze_getMode(camera, which, &value);
    return value;
}

bool isAdvancedBaseStyle(uint32_t style)
{
    for (uint32_t candidate : kAdvancedBaseStyles) {
        if (candidate == style)
            return true;
    }
    return false;
}

uint32_t shiftIntoMask(uint32_t value, uint32_t mask)
{
    return (value << lowestBit(mask)) & mask;
}

int readWhere(ze_camera_t *camera, ze_reg_t *reg, RegisterAddress where, uint32_t bytes,
              uint32_t *value)
{
    return reg ? ze_ReadSensorReg(camera, reg, value)
               : ze_ReadSensorRegAddr(camera, where.space, where.page, where.addr, bytes, value);
}

int writeWhere(ze_camera_t *camera, ze_reg_t *reg, RegisterAddress where, uint32_t bytes,
               uint32_t value)
{
    return reg ? ze_WriteSensorReg(camera, reg, value)
               : ze_WriteSensorRegAddr(camera, where.space, where.page, where.addr, bytes, value);
}

} // namespace

CacheModeScope::CacheModeScope(ze_camera_t *camera, uint32_t mode) : camera_(camera)
{
    if (camera_ && ze_getMode(camera_, ZE_USE_REG_CACHE, &saved_) == CAMERA_SUCCESS) {
        restore_ = true;
        ze_setMode(camera_, ZE_USE_REG_CACHE, mode);
    }
}

CacheModeScope::~CacheModeScope()
{
    if (restore_)
        ze_setMode(camera_, ZE_USE_REG_CACHE, saved_);
}

RegisterAddress translateDirect(ze_camera_t *camera, RegisterAddress where)
{
    const uint32_t style = ze_McuDirectStyle(camera);
    if (style == kXdmaStyle && where.addr >= kFirstXdmaAddr) {
        if (mode(camera, ZE_XDMA_LOGICAL) != 0)
            return {ZE_SPACE_MCU, (where.addr >> kLogicalDriverShift) & kLogicalDriverMask,
                    where.addr & kLogicalOffsetMask};
        uint32_t addr = where.addr & kXdmaOffsetMask;
        if (mode(camera, ZE_XDMA_PHY_A15) != 0)
            addr += kXdmaA15;
        return {ZE_SPACE_SFR, mode(camera, ZE_XDMA_PHY_REGION), addr};
    }
    if (isAdvancedBaseStyle(style) && where.addr >= kAdvancedWindowFirst &&
        where.addr <= kAdvancedWindowLast)
        return {ZE_SPACE_SFR, 0,
                where.addr + mode(camera, ZE_XDMA_ADV_BASE) - kAdvancedWindowFirst};
    return where;
}

int writeMasked(ze_camera_t *camera, RegisterAddress where, uint32_t bytes, uint32_t mask,
                uint32_t value)
{
    if (!camera || !camera->sensor)
        return CAMERA_SUCCESS;
    ze_reg_t *reg = ze_FindRegisterAddr(camera, where.addr, where.page, where.space);
    if (mask == 0 || mask == kWholeValue)
        return writeWhere(camera, reg, where, bytes, value);
    uint32_t old = 0;
    int result;
    {
        // Sensors with 8-bit addresses are commonly system-on-chip parts whose registers the
        // cache follows; the others are read from the device.
        CacheModeScope cache(camera, camera->sensor->regAddrSize == 8 ? 1u : 0u);
        result = readWhere(camera, reg, where, bytes, &old);
    }
    if (result != CAMERA_SUCCESS)
        return result;
    return writeWhere(camera, reg, where, bytes, (old & ~mask) | shiftIntoMask(value, mask));
}

std::optional<uint32_t> readMasked(ze_camera_t *camera, RegisterAddress where, uint32_t mask)
{
    if (!camera || !camera->sensor)
        return 0u;
    ze_reg_t *reg = ze_FindRegisterAddr(camera, where.addr, where.page, where.space);
    uint32_t value = 0;
    {
        CacheModeScope cache(camera, 0);
        const int result = readWhere(camera, reg, where, 0, &value);
        if (result != CAMERA_SUCCESS) {
            if (reg)
                return std::nullopt;
            value = 0;
        }
    }
    if (mask == 0)
        return 0u;
    return (value & mask) >> lowestBit(mask);
}

bool hasSelectRegister(ze_camera_t *camera)
{
    return camera && camera->sensor && camera->sensor->addrSpaces &&
           camera->sensor->addrSpaces->readSelectAddr != 0;
}

uint32_t databaseBytes(ze_camera_t *camera, RegisterAddress where)
{
    if (!camera || !camera->sensor)
        return 0;
    const ze_reg_t *reg = ze_FindRegisterAddr(camera, where.addr, where.page, where.space);
    return reg ? ze_dataSize(camera, reg) / 8 : 0;
}

} // namespace zentro::presets
