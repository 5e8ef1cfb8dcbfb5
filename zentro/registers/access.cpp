// Reading and writing one register of any address space, by record or by name and bitfield.
#include "registers/access.h"

#include <bit>
#include <vector>

#include "registers/cache.h"
#include "registers/far_regs.h"
#include "registers/indirect.h"
#include "registers/lookup.h"
#include "registers/mcu_access.h"
#include "registers/ram_alias.h"
#include "registers/transfer.h"
#include "zentro_errors.h"
#include "zentro_osal.h"
#include "zentro_reg.h"

namespace {

constexpr uint32_t kDirectDefaultBits = 16;
constexpr uint32_t kMaxSpan = 32;

uint32_t unitCount(const ze_reg_t *reg)
{
    return reg->span > 1 ? reg->span : 1;
}

// Units of a register too wide for any value are refused rather than overrun.
bool spanFits(const ze_reg_t *reg)
{
    return unitCount(reg) <= kMaxSpan;
}

// A camera without hardware answers every read from its register entries, stale or not.
uint32_t storedValueOf(ze_camera_t *camera, const ze_reg_t *reg)
{
    uint32_t value = 0;
    zentro::storedCacheValue(camera, zentro::cacheIndexOf(camera, reg), &value);
    return value;
}

int readCachedOnFileCamera(ze_camera_t *camera, ze_reg_t *reg, uint32_t *value)
{
    if (!zentro::isFileCamera(camera))
        return CAMERA_ERROR;
    *value = storedValueOf(camera, reg);
    zentro::setCacheValueReg(camera, reg, *value);
    return CAMERA_SUCCESS;
}

uint32_t aliasDataBits(ze_camera_t *camera, const zentro::RamAlias &alias)
{
    return alias.target ? ze_dataSize(camera, alias.target) : kDirectDefaultBits;
}

int readPlainRegister(ze_camera_t *camera, ze_reg_t *reg, uint32_t *value)
{
    const zentro::RamAlias alias = zentro::resolveRamAlias(camera, reg);
    int result;
    if (alias.style == ZE_MCU_STYLE_DIRECT)
        result =
            zentro::readDirectNolock(camera, reg->addr, aliasDataBits(camera, alias), 1, value);
    else
        result = zentro::readPlainUnitsNolock(camera, reg, value);
    if (result == CAMERA_SUCCESS)
        zentro::trackDirectAccess(camera, reg, *value, false);
    return result;
}

int readBySpaceType(ze_camera_t *camera, ze_reg_t *reg, uint32_t *value)
{
    const uint32_t bytes = ze_dataSize(camera, reg) / 8;
    switch (zentro::spaceTypeOf(reg)) {
    case ZE_SPACE_REG:
        return readPlainRegister(camera, reg, value);
    case ZE_SPACE_MCU:
        return zentro::readVarsNolock(camera, zentro::spaceIdOf(reg), reg->addr, 1, bytes, value);
    case ZE_SPACE_SFR:
        return zentro::readSfrsNolock(camera, zentro::spaceIdOf(reg), reg->addr, 1, bytes, value);
    case ZE_SPACE_IND:
        return zentro::readIndNolock(camera, reg->addr, value);
    case ZE_SPACE_FAR1:
    case ZE_SPACE_FAR2:
        return zentro::readFarRegNolock(camera, reg, value);
    default:
        return readCachedOnFileCamera(camera, reg, value);
    }
}

// Reads the hardware (or the cache, as the thread's mode says) without the lookups of a
// null camera.
int readFromSource(ze_camera_t *camera, ze_reg_t *reg, uint32_t *value)
{
    const uint32_t mode = zentro::threadSettings(camera).useRegCache;
    if (mode != zentro::kCacheModeOff) {
        if (zentro::getCacheValueReg(camera, reg, value) == zentro::kCacheHit)
            return CAMERA_SUCCESS;
        if (mode == zentro::kCacheModeOnly)
            return CAMERA_ERROR;
    }
    const int result = readBySpaceType(camera, reg, value);
    if (result != CAMERA_SUCCESS) {
        *value = 0;
        return result;
    }
    zentro::setCacheValueReg(camera, reg, *value);
    return CAMERA_SUCCESS;
}

int writePlainRegister(ze_camera_t *camera, ze_reg_t *reg, uint32_t value)
{
    const zentro::RamAlias alias = zentro::resolveRamAlias(camera, reg);
    int result;
    if (alias.style == ZE_MCU_STYLE_DIRECT || alias.style == ZE_MCU_STYLE_ADVANCED_BASE) {
        const uint32_t bits = alias.target ? ze_dataSize(camera, alias.target)
                                           : unitCount(reg) * camera->sensor->regDataSize;
        result = zentro::writeDirectNolock(camera, reg->addr, bits, 1, &value);
    } else {
        result = zentro::writePlainUnitsNolock(camera, reg, value);
    }
    if (result != CAMERA_SUCCESS)
        return result;
    if (alias.target)
        zentro::setCacheValueReg(camera, alias.target, value & alias.target->mask);
    else
        zentro::setCacheValueReg(camera, reg, value);
    zentro::trackDirectAccess(camera, reg, value, true);
    return CAMERA_SUCCESS;
}

int writeBySpaceType(ze_camera_t *camera, ze_reg_t *reg, uint32_t value)
{
    const uint32_t bytes = ze_dataSize(camera, reg) / 8;
    switch (zentro::spaceTypeOf(reg)) {
    case ZE_SPACE_REG:
        return writePlainRegister(camera, reg, value);
    case ZE_SPACE_MCU:
        return zentro::writeVarNolock(camera, zentro::spaceIdOf(reg), reg->addr, bytes, value);
    case ZE_SPACE_SFR:
        return zentro::writeSfrNolock(camera, zentro::spaceIdOf(reg), reg->addr, bytes, value);
    case ZE_SPACE_IND:
        return zentro::writeIndNolock(camera, reg->addr, value);
    case ZE_SPACE_FAR1:
    case ZE_SPACE_FAR2:
        return zentro::writeFarRegNolock(camera, reg, value);
    default:
        if (!zentro::isFileCamera(camera))
            return CAMERA_ERROR;
        zentro::setCacheValueReg(camera, reg, value);
        return CAMERA_SUCCESS;
    }
}

uint32_t lowestBit(uint32_t mask)
{
    return static_cast<uint32_t>(std::countr_zero(mask));
}

bool isEmpty(const char *text)
{
    return !text || !*text;
}

bool nameIs(const ze_reg_t *reg, const char *name)
{
    return osal_stricmp(reg->name, name) == 0;
}

// ACCESS_CTL_STAT: bit 2 set means physical addressing, bits 6 and 7 the SFR page.
constexpr uint32_t kPhysicalBit = 0x4;
constexpr uint32_t kPageShift = 6;
constexpr uint32_t kPageMask = 0x3;

void takeAccessControl(ze_common_context::DirectAccessState &state, uint32_t value)
{
    state.page = (value >> kPageShift) & kPageMask;
    state.bit0 = value & 1u;
}

bool usesAccessControl(uint32_t style)
{
    return style == ZE_MCU_STYLE_PHYSICAL || style == ZE_MCU_STYLE_LOGICAL ||
           style == ZE_MCU_STYLE_DIRECT;
}

void trackWrite(ze_common_context::DirectAccessState &state, uint32_t style, const ze_reg_t *reg,
                uint32_t value)
{
    if (style == ZE_MCU_STYLE_ADVANCED_BASE) {
        if (nameIs(reg, "ADVANCED_BASE"))
            state.advancedBase = value;
        return;
    }
    if (!usesAccessControl(style))
        return;
    if (nameIs(reg, "ACCESS_CTL_STAT")) {
        takeAccessControl(state, value);
        return;
    }
    const bool portStyle = style == ZE_MCU_STYLE_PHYSICAL;
    if (nameIs(reg, portStyle ? "PHYSICAL_ADDR_ACCESS" : "PHYSICAL_ADDRESS_ACCESS"))
        state.logical = 0;
    else if (nameIs(reg, portStyle ? "MCU_ADDRESS" : "LOGICAL_ADDRESS_ACCESS"))
        state.logical = 1;
}

} // namespace

namespace zentro {

uint32_t spaceTypeOf(const ze_reg_t *reg)
{
    return reg && reg->addrSpace ? reg->addrSpace->type : ZE_SPACE_REG;
}

uint32_t spaceIdOf(const ze_reg_t *reg)
{
    return reg && reg->addrSpace ? static_cast<uint32_t>(reg->addrSpace->id) : 0;
}

bool isNullCamera(ze_camera_t *camera)
{
    return ze_IsNul(camera) != 0;
}

bool isFileCamera(ze_camera_t *camera)
{
    return ze_IsFile(camera) != 0;
}

int readRegNolock(ze_camera_t *camera, ze_reg_t *reg, uint32_t *value)
{
    if (!camera || !camera->context || !camera->sensor || !reg || !value)
        return CAMERA_ERROR;
    *value = 0;
    if (isNullCamera(camera)) {
        const RamAlias alias = resolveRamAlias(camera, reg);
        *value = storedValueOf(camera, alias.target ? alias.target : reg);
        if (spaceTypeOf(reg) == ZE_SPACE_REG)
            trackDirectAccess(camera, reg, *value, false);
        return CAMERA_SUCCESS;
    }
    return readFromSource(camera, reg, value);
}

int readRegHardwareNolock(ze_camera_t *camera, ze_reg_t *reg, uint32_t *value)
{
    ScopedCacheMode hardware(camera, kCacheModeOff);
    return readRegNolock(camera, reg, value);
}

int writeRegNolock(ze_camera_t *camera, ze_reg_t *reg, uint32_t value)
{
    if (!camera || !camera->context || !camera->sensor || !reg)
        return CAMERA_ERROR;
    const int result = writeBySpaceType(camera, reg, value);
    if (result == CAMERA_SUCCESS && spaceTypeOf(reg) != ZE_SPACE_REG)
        setCacheValueReg(camera, reg, value);
    return result;
}

int readNamedNolock(ze_camera_t *camera, const char *name, uint32_t *value)
{
    *value = 0;
    ze_reg_t *reg = findSensorRegister(camera, name);
    return reg ? readRegNolock(camera, reg, value) : CAMERA_ERROR;
}

int readNamedHardwareNolock(ze_camera_t *camera, const char *name, uint32_t *value)
{
    ScopedCacheMode hardware(camera, kCacheModeOff);
    return readNamedNolock(camera, name, value);
}

int writeNamedNolock(ze_camera_t *camera, const char *name, uint32_t value)
{
    ze_reg_t *reg = findSensorRegister(camera, name);
    return reg ? writeRegNolock(camera, reg, value) : CAMERA_ERROR;
}

int readRegStrNolock(ze_camera_t *camera, const char *regName, const char *bitfieldName,
                     uint32_t *value)
{
    *value = 0;
    ze_reg_t *reg = ze_FindRegister(camera, regName);
    if (!reg)
        return CAMERA_ERROR;
    uint32_t mask = 0;
    if (!isEmpty(bitfieldName)) {
        mask = ze_BitfieldMask(reg, bitfieldName);
        if (mask == 0)
            return CAMERA_ERROR;
    }
    uint32_t whole = 0;
    const int result = readRegNolock(camera, reg, &whole);
    if (result != CAMERA_SUCCESS)
        return result;
    *value = mask == 0 ? whole : (whole & mask) >> lowestBit(mask);
    return CAMERA_SUCCESS;
}

int writeRegStrNolock(ze_camera_t *camera, const char *regName, const char *bitfieldName,
                      uint32_t value)
{
    ze_reg_t *reg = ze_FindRegister(camera, regName);
    if (!reg)
        return CAMERA_ERROR;
    if (isEmpty(bitfieldName))
        return writeRegNolock(camera, reg, value);
    const uint32_t mask = ze_BitfieldMask(reg, bitfieldName);
    if (mask == 0)
        return CAMERA_ERROR;
    uint32_t old = 0;
    {
        // Sensors with 16-bit register addresses may change bits by themselves: only the
        // small 8-bit parts trust the cache for the bits that stay.
        constexpr uint32_t kCacheTrustingAddrBits = 8;
        ScopedCacheMode mode(camera, camera->sensor->regAddrSize == kCacheTrustingAddrBits
                                         ? kCacheModeFirst
                                         : kCacheModeOff);
        const int result = readRegNolock(camera, reg, &old);
        if (result != CAMERA_SUCCESS)
            return result;
    }
    const uint32_t shifted = lowestBit(mask) < 32 ? value << lowestBit(mask) : 0;
    return writeRegNolock(camera, reg, (old & ~mask) | (shifted & mask));
}

int readPlainUnitsNolock(ze_camera_t *camera, const ze_reg_t *reg, uint32_t *value)
{
    if (!spanFits(reg))
        return CAMERA_ERROR;
    const ze_sensor_t *sensor = camera->sensor;
    const uint32_t span = unitCount(reg);
    uint32_t units[kMaxSpan] = {};
    const int result =
        transferReadSensorRegisters(camera, reg->addrSpaceId, reg->addr, span, units);
    if (result != CAMERA_SUCCESS) {
        *value = 0;
        return result;
    }
    *value = _packValueBySpan(units, sensor->regDataSize, sensor->regDataLE, span);
    return CAMERA_SUCCESS;
}

int writePlainUnitsNolock(ze_camera_t *camera, const ze_reg_t *reg, uint32_t value)
{
    if (!spanFits(reg))
        return CAMERA_ERROR;
    const ze_sensor_t *sensor = camera->sensor;
    const uint32_t span = unitCount(reg);
    uint32_t units[kMaxSpan] = {};
    _unpackValueBySpan(units, value, sensor->regDataSize, sensor->regDataLE, span);
    return transferWriteSensorRegisters(camera, reg->addrSpaceId, reg->addr, span, units);
}

int readDirectNolock(ze_camera_t *camera, uint32_t addr, uint32_t dataBits, uint32_t count,
                     uint32_t *values)
{
    const ze_sensor_t *sensor = camera->sensor;
    ScopedTransferFormat format(camera, sensor->regAddrSize, dataBits, sensor->regDataLE);
    if (count == 1)
        return transferReadRegister(camera, sensor->shipBaseAddr, addr, values);
    return transferReadRegisters(camera, sensor->shipBaseAddr, addr, count, values);
}

int writeDirectNolock(ze_camera_t *camera, uint32_t addr, uint32_t dataBits, uint32_t count,
                      uint32_t *values)
{
    const ze_sensor_t *sensor = camera->sensor;
    ScopedTransferFormat format(camera, sensor->regAddrSize, dataBits, sensor->regDataLE);
    if (count == 1)
        return transferWriteRegister(camera, sensor->shipBaseAddr, addr, values[0]);
    return transferWriteRegisters(camera, sensor->shipBaseAddr, addr, count, values);
}

ze_common_context::DirectAccessState &directAccessState(ze_camera_t *camera)
{
    return camera->context->directAccess;
}

void trackDirectAccess(ze_camera_t *camera, const ze_reg_t *reg, uint32_t value, bool written)
{
    const uint32_t style = ze_McuAddrStyle(camera);
    if (style == ZE_MCU_STYLE_NONE || style == ZE_MCU_STYLE_WINDOW)
        return;
    ze_common_context::DirectAccessState &state = directAccessState(camera);
    if (written) {
        trackWrite(state, style, reg, value);
        return;
    }
    if (usesAccessControl(style) && nameIs(reg, "ACCESS_CTL_STAT")) {
        state.logical = (value & kPhysicalBit) ? 0 : 1;
        takeAccessControl(state, value);
    } else if (style == ZE_MCU_STYLE_ADVANCED_BASE && nameIs(reg, "ADVANCED_BASE")) {
        // What the hardware holds is what the window shows, read or written.
        state.advancedBase = value;
    }
}

void refreshDirectAccessState(ze_camera_t *camera)
{
    if (!camera || !camera->context || !camera->sensor)
        return;
    const uint32_t style = ze_McuAddrStyle(camera);
    uint32_t value = 0;
    if (usesAccessControl(style))
        readNamedHardwareNolock(camera, "ACCESS_CTL_STAT", &value);
    else if (style == ZE_MCU_STYLE_ADVANCED_BASE)
        readNamedHardwareNolock(camera, "ADVANCED_BASE", &value);
}

} // namespace zentro

extern "C" {

ZE_API int ze_ReadSensorReg(ze_camera_t *camera, ze_reg_t *reg, uint32_t *value)
{
    if (!value)
        return CAMERA_ERROR;
    *value = 0;
    zentro::RegisterLockGuard lock(camera);
    return zentro::readRegNolock(camera, reg, value);
}

ZE_API int ze_WriteSensorReg(ze_camera_t *camera, ze_reg_t *reg, uint32_t value)
{
    zentro::RegisterLockGuard lock(camera);
    return zentro::writeRegNolock(camera, reg, value);
}

ZE_API int ze_ReadSensorRegStr(ze_camera_t *camera, const char *reg_name, const char *bitfield_name,
                               uint32_t *value)
{
    if (!value)
        return CAMERA_ERROR;
    *value = 0;
    if (!camera || !camera->sensor)
        return CAMERA_ERROR;
    zentro::RegisterLockGuard lock(camera);
    return zentro::readRegStrNolock(camera, reg_name, bitfield_name, value);
}

ZE_API uint32_t _readReg(ze_camera_t *camera, const char *reg_name, const char *bitfield_name,
                         uint32_t cache_mode)
{
    if (!camera || !camera->sensor)
        return 0;
    zentro::RegisterLockGuard lock(camera);
    const zentro::ScopedCacheMode mode(camera, cache_mode);
    uint32_t value = 0;
    zentro::readRegStrNolock(camera, reg_name, bitfield_name, &value);
    return value;
}

ZE_API int ze_WriteSensorRegStr(ze_camera_t *camera, const char *reg_name,
                                const char *bitfield_name, uint32_t value)
{
    if (!camera || !camera->sensor)
        return CAMERA_ERROR;
    zentro::RegisterLockGuard lock(camera);
    return zentro::writeRegStrNolock(camera, reg_name, bitfield_name, value);
}

} // extern "C"
