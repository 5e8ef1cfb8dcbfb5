// RAM aliases: plain registers that stand for an MCU variable or special-function register.
#include "registers/ram_alias.h"

#include "registers/access.h"

#include <cstring>

#include "registers/cache.h"
#include "registers/lookup.h"
#include "zentro_osal.h"
#include "zentro_reg.h"

namespace {

using State = ze_common_context::DirectAccessState;

// Advanced base: the SFR space shows through a 4 KiB window of the register space.
constexpr uint32_t kWindowFirst = 0xE000;
constexpr uint32_t kWindowLast = 0xEFFF;
constexpr uint32_t kWindowOffsetMask = 0xFFF;
// Direct and logical styles: registers from 0x8000 on are variables or SFRs.
constexpr uint32_t kDirectFirst = 0x8000;
constexpr uint32_t kDirectOffsetMask = 0x7FFF;
constexpr uint32_t kPhysicalHighBitShift = 15;
// Logical address: driver in bits 10 to 14, offset in bits 0 to 9.
constexpr uint32_t kLogicalDriverShift = 10;
constexpr uint32_t kLogicalDriverMask = 0x1F;
constexpr uint32_t kLogicalOffsetMask = 0x3FF;
// Window style: driver in bits 8 to 12, offset in bits 0 to 7, bits 13 and 14 = 1 logical.
constexpr uint32_t kWindowDriverShift = 8;
constexpr uint32_t kWindowDriverMask = 0x1F;
constexpr uint32_t kWindowVarOffsetMask = 0xFF;
constexpr uint32_t kWindowModeShift = 13;
constexpr uint32_t kWindowModeMask = 0x3;
constexpr uint32_t kWindowLogicalMode = 1;
// Sensor type 54 in its first version maps nothing from 0x8000 on.
constexpr uint32_t kUnmappedType = 54;
constexpr uint32_t kUnmappedVersion = 1;

bool known(uint32_t value)
{
    return value != State::kUnknown;
}

bool nameBegins(const ze_reg_t *reg, const char *prefix)
{
    return osal_strnicmp(reg->name, prefix, strlen(prefix)) == 0;
}

ze_reg_t *variableAtLogical(ze_camera_t *camera, uint32_t logical)
{
    const uint32_t driver = (logical >> kLogicalDriverShift) & kLogicalDriverMask;
    return ze_FindRegisterAddr(camera, logical & kLogicalOffsetMask, driver, ZE_SPACE_MCU);
}

// The SFR at a 15-bit physical address; bit 0 of ACCESS_CTL_STAT is its bit 15.
ze_reg_t *sfrAtPhysical(ze_camera_t *camera, const State &state, uint32_t physical)
{
    if (!known(state.page) || !known(state.bit0))
        return nullptr;
    const uint32_t addr = (physical & kDirectOffsetMask) | (state.bit0 << kPhysicalHighBitShift);
    return ze_FindRegisterAddr(camera, addr, state.page, ZE_SPACE_SFR);
}

ze_reg_t *targetOfAddress(ze_camera_t *camera, const State &state, uint32_t addr)
{
    if (!known(state.logical))
        return nullptr;
    return state.logical ? variableAtLogical(camera, addr & kDirectOffsetMask)
                         : sfrAtPhysical(camera, state, addr);
}

// The variable or SFR whose address the named address register holds in the cache.
ze_reg_t *targetOfPort(ze_camera_t *camera, const State &state, const char *logicalRegister,
                       const char *physicalRegister)
{
    if (!known(state.logical))
        return nullptr;
    ze_reg_t *addressReg =
        zentro::findSensorRegister(camera, state.logical ? logicalRegister : physicalRegister);
    uint32_t word = 0;
    if (!addressReg || zentro::getCacheValueReg(camera, addressReg, &word) != zentro::kCacheHit)
        return nullptr;
    return state.logical ? variableAtLogical(camera, word) : sfrAtPhysical(camera, state, word);
}

ze_reg_t *targetOfWindowPort(ze_camera_t *camera)
{
    ze_reg_t *addressReg = zentro::findSensorRegister(camera, "MCU_ADDRESS");
    uint32_t word = 0;
    if (!addressReg || zentro::getCacheValueReg(camera, addressReg, &word) != zentro::kCacheHit)
        return nullptr;
    if (((word >> kWindowModeShift) & kWindowModeMask) != kWindowLogicalMode)
        return nullptr;
    const uint32_t driver = (word >> kWindowDriverShift) & kWindowDriverMask;
    return ze_FindRegisterAddr(camera, word & kWindowVarOffsetMask, driver, ZE_SPACE_MCU);
}

bool unmappedSensor(const ze_sensor_t *sensor)
{
    return sensor->sensorType == kUnmappedType && sensor->sensorVersion == kUnmappedVersion;
}

zentro::RamAlias advancedBaseAlias(ze_camera_t *camera, const ze_reg_t *reg, const State &state)
{
    zentro::RamAlias alias{nullptr, ZE_MCU_STYLE_ADVANCED_BASE};
    if (reg->addr < kWindowFirst || reg->addr > kWindowLast)
        return {};
    if (!known(state.advancedBase))
        return alias;
    const uint32_t page = known(state.page) ? state.page : 0;
    alias.target = ze_FindRegisterAddr(camera, state.advancedBase + (reg->addr & kWindowOffsetMask),
                                       page, ZE_SPACE_SFR);
    return alias;
}

zentro::RamAlias logicalAlias(ze_camera_t *camera, const ze_reg_t *reg, uint32_t style,
                              const State &state)
{
    if (reg->addr >= kDirectFirst && !unmappedSensor(camera->sensor))
        return {targetOfAddress(camera, state, reg->addr), ZE_MCU_STYLE_DIRECT};
    if (reg->span <= 1 && nameBegins(reg, "MCU_VARIABLE_DATA0"))
        return {targetOfPort(camera, state, "LOGICAL_ADDRESS_ACCESS", "PHYSICAL_ADDRESS_ACCESS"),
                style};
    return {};
}

zentro::RamAlias windowAlias(ze_camera_t *camera, const ze_reg_t *reg, uint32_t style,
                             const State &state)
{
    if (reg->span > 1 || !nameBegins(reg, "MCU_DATA_0"))
        return {};
    if (style == ZE_MCU_STYLE_PHYSICAL)
        return {targetOfPort(camera, state, "MCU_ADDRESS", "PHYSICAL_ADDR_ACCESS"), style};
    return {targetOfWindowPort(camera), style};
}

} // namespace

namespace zentro {

RamAlias resolveRamAlias(ze_camera_t *camera, const ze_reg_t *reg)
{
    if (!camera || !camera->context || !camera->sensor || !reg || spaceTypeOf(reg) != ZE_SPACE_REG)
        return {};
    const uint32_t style = ze_McuAddrStyle(camera);
    const State &state = directAccessState(camera);
    switch (style) {
    case ZE_MCU_STYLE_ADVANCED_BASE:
        return advancedBaseAlias(camera, reg, state);
    case ZE_MCU_STYLE_LOGICAL:
    case ZE_MCU_STYLE_DIRECT:
        return logicalAlias(camera, reg, style, state);
    case ZE_MCU_STYLE_WINDOW:
    case ZE_MCU_STYLE_PHYSICAL:
        return windowAlias(camera, reg, style, state);
    default:
        return {};
    }
}

} // namespace zentro
