// MCU variables: through the transport's system registers or the sensor's port registers.
#include <algorithm>

#include "registers/access.h"
#include "registers/cache.h"
#include "registers/lookup.h"
#include "registers/mcu_access.h"
#include "registers/transfer.h"
#include "zentro_errors.h"
#include "zentro_reg.h"

namespace {

constexpr uint32_t kUnitBits = 16;
constexpr uint32_t kUnitMask = 0xFFFF;
constexpr uint32_t kByteMask = 0xFF;
constexpr uint32_t kByteBits = 8;
constexpr uint32_t kWideBytes = 4;
// Window style (16): driver << 8 | 8-bit offset, 0xA000 for a byte, else 0x2000.
constexpr uint32_t kWindowDriverShift = 8;
constexpr uint32_t kWindowOffsetMask = 0xFF;
constexpr uint32_t kWindowByteFlags = 0xA000;
constexpr uint32_t kWindowWordFlags = 0x2000;
// Physical (44), logical (54) and direct (55): driver << 10 | 10-bit offset; 0x8000 for a
// byte through a port, the direct window from 0x8000 on.
constexpr uint32_t kLogicalDriverShift = 10;
constexpr uint32_t kLogicalOffsetMask = 0x3FF;
constexpr uint32_t kPortByteFlag = 0x8000;
constexpr uint32_t kDirectWindow = 0x8000;
constexpr uint32_t kLogicalAddrMask = 0x7FFF;
// Sensor type 54 in its first version keeps byte access on until told otherwise.
constexpr uint32_t kStickyByteType = 54;
constexpr uint32_t kStickyByteVersion = 1;

struct Ports {
    ze_reg_t *address = nullptr;
    ze_reg_t *data = nullptr;
};

Ports portsOf(ze_camera_t *camera, uint32_t style)
{
    switch (style) {
    case ZE_MCU_STYLE_WINDOW:
    case ZE_MCU_STYLE_PHYSICAL:
        return {zentro::findSensorRegister(camera, "MCU_ADDRESS"),
                zentro::findSensorRegister(camera, "MCU_DATA_0")};
    case ZE_MCU_STYLE_LOGICAL:
        return {zentro::findSensorRegister(camera, "LOGICAL_ADDRESS_ACCESS"),
                zentro::findSensorRegister(camera, "MCU_VARIABLE_DATA0")};
    default:
        return {};
    }
}

uint32_t logicalAddress(uint32_t driver, uint32_t offset)
{
    return (driver << kLogicalDriverShift) | (offset & kLogicalOffsetMask);
}

uint32_t portAddressWord(uint32_t style, uint32_t driver, uint32_t offset, uint32_t bytes)
{
    if (style == ZE_MCU_STYLE_WINDOW)
        return (driver << kWindowDriverShift) | (offset & kWindowOffsetMask) |
               (bytes == 1 ? kWindowByteFlags : kWindowWordFlags);
    return logicalAddress(driver, offset) | (bytes == 1 ? kPortByteFlag : 0);
}

bool isSystemReadDone(int result)
{
    return result != CAMERA_NOT_SUPPORTED;
}

void cacheVars(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t count, uint32_t step,
               const uint32_t *values)
{
    for (uint32_t i = 0; i < count; ++i)
        zentro::setCacheValueAddr(camera, ZE_SPACE_MCU, driver, offset + i * step, values[i]);
}

// Style 55: switch to logical addressing when needed, then the variable is a register.
int selectLogicalWindow(ze_camera_t *camera, uint32_t driver, uint32_t offset)
{
    if (zentro::directAccessState(camera).logical == 1)
        return CAMERA_SUCCESS;
    return zentro::writeNamedNolock(camera, "LOGICAL_ADDRESS_ACCESS",
                                    logicalAddress(driver, offset) & kLogicalAddrMask);
}

int readDirectVars(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t count,
                   uint32_t bytes, uint32_t *values)
{
    const int selected = selectLogicalWindow(camera, driver, offset);
    if (selected != CAMERA_SUCCESS)
        return selected;
    return zentro::readDirectNolock(camera, logicalAddress(driver, offset) | kDirectWindow,
                                    bytes * kByteBits, count, values);
}

int readPortVars(ze_camera_t *camera, uint32_t style, uint32_t driver, uint32_t offset,
                 uint32_t count, uint32_t bytes, uint32_t *values)
{
    const Ports ports = portsOf(camera, style);
    if (!ports.address || !ports.data)
        return CAMERA_ERROR;
    return zentro::forEachValue(offset, count, bytes, values, [&](uint32_t at, uint32_t &value) {
        const int result = zentro::writeRegNolock(camera, ports.address,
                                                  portAddressWord(style, driver, at, bytes));
        if (result != CAMERA_SUCCESS)
            return result;
        return zentro::readPortData(camera, ports.data, style, bytes, &value);
    });
}

int writeOneVarByStyle(ze_camera_t *camera, uint32_t style, uint32_t driver, uint32_t offset,
                       uint32_t bytes, uint32_t value)
{
    if (style == ZE_MCU_STYLE_DIRECT) {
        const int selected = selectLogicalWindow(camera, driver, offset);
        if (selected != CAMERA_SUCCESS)
            return selected;
        return zentro::writeDirectNolock(camera, logicalAddress(driver, offset) | kDirectWindow,
                                         bytes * kByteBits, 1, &value);
    }
    const Ports ports = portsOf(camera, style);
    if (!ports.address || !ports.data)
        return CAMERA_ERROR;
    const int result = zentro::writeRegNolock(camera, ports.address,
                                              portAddressWord(style, driver, offset, bytes));
    if (result != CAMERA_SUCCESS)
        return result;
    return zentro::writePortData(camera, ports.data, style, bytes, value);
}

int writeOneVar(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t bytes,
                uint32_t value)
{
    if (camera->context->ops.writeSystemRegisters) {
        const int result = zentro::transferWriteSystemRegisters(
            camera, zentro::kSystemKindMcu, driver, offset, bytes * kByteBits, 1, &value);
        if (isSystemReadDone(result))
            return result;
    }
    const uint32_t style = ze_McuAddrStyle(camera);
    const int result = writeOneVarByStyle(camera, style, driver, offset, bytes, value);
    zentro::clearByteAccess(camera, bytes, "LOGICAL_ADDRESS_ACCESS", "LOGICAL_BYTE_ACCESS");
    return result;
}

} // namespace

namespace zentro {

// A 4-byte value is two transfers of the same port: the port advances its address.
int readPortData(ze_camera_t *camera, const ze_reg_t *port, uint32_t style, uint32_t bytes,
                 uint32_t *value)
{
    uint32_t units[2] = {};
    const uint32_t count = bytes == kWideBytes ? 2 : 1;
    for (uint32_t i = 0; i < count; ++i) {
        const int result =
            transferReadSensorRegisters(camera, port->addrSpaceId, port->addr, 1, &units[i]);
        if (result != CAMERA_SUCCESS) {
            *value = 0;
            return result;
        }
        setCacheValueReg(camera, port, units[i]);
    }
    if (bytes == kWideBytes)
        *value = ((units[0] & kUnitMask) << kUnitBits) | (units[1] & kUnitMask);
    else if (bytes == 1)
        *value = style == ZE_MCU_STYLE_LOGICAL ? (units[0] >> kByteBits) & kByteMask
                                               : units[0] & kByteMask;
    else
        *value = units[0] & kUnitMask;
    return CAMERA_SUCCESS;
}

int writePortData(ze_camera_t *camera, const ze_reg_t *port, uint32_t style, uint32_t bytes,
                  uint32_t value)
{
    uint32_t units[2] = {value & kUnitMask, 0};
    uint32_t count = 1;
    if (bytes == kWideBytes) {
        units[0] = (value >> kUnitBits) & kUnitMask;
        units[1] = value & kUnitMask;
        count = 2;
    } else if (bytes == 1) {
        units[0] =
            style == ZE_MCU_STYLE_LOGICAL ? (value & kByteMask) << kByteBits : value & kByteMask;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const int result =
            transferWriteSensorRegisters(camera, port->addrSpaceId, port->addr, 1, &units[i]);
        if (result != CAMERA_SUCCESS)
            return result;
        setCacheValueReg(camera, port, units[i]);
    }
    return CAMERA_SUCCESS;
}

void clearByteAccess(ze_camera_t *camera, uint32_t bytes, const char *portName,
                     const char *bitfieldName)
{
    const ze_sensor_t *sensor = camera->sensor;
    if (bytes != 1 || sensor->sensorType != kStickyByteType ||
        sensor->sensorVersion != kStickyByteVersion ||
        !ze_ExistsBitfield(camera, portName, bitfieldName))
        return;
    writeRegStrNolock(camera, portName, bitfieldName, 0);
}

uint32_t storedValueAt(ze_camera_t *camera, uint32_t spaceType, uint32_t spaceValue, uint32_t addr)
{
    uint32_t value = 0;
    storedCacheValue(camera,
                     cacheIndexOf(camera, ze_FindRegisterAddr(camera, addr, spaceValue, spaceType)),
                     &value);
    return value;
}

int readVarsNolock(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t count,
                   uint32_t bytes, uint32_t *values)
{
    if (!canReachMcu(camera) || (!values && count > 0))
        return CAMERA_ERROR;
    bytes = varBytes(bytes);
    std::fill(values, values + count, 0u);
    const uint32_t style = ze_McuAddrStyle(camera);
    if (isNullCamera(camera)) {
        for (uint32_t i = 0; i < count; ++i)
            values[i] = storedValueAt(camera, ZE_SPACE_MCU, driver, offset + i * bytes);
        return CAMERA_SUCCESS;
    }
    if (camera->context->ops.readSystemRegisters) {
        const int result = transferReadSystemRegisters(camera, kSystemKindMcu, driver, offset,
                                                       bytes * kByteBits, count, values);
        if (isSystemReadDone(result)) {
            if (result == CAMERA_SUCCESS)
                cacheVars(camera, driver, offset, count, style == ZE_MCU_STYLE_COMMAND ? 1 : bytes,
                          values);
            return result;
        }
    }
    int result;
    if (style == ZE_MCU_STYLE_DIRECT) {
        result = readDirectVars(camera, driver, offset, count, bytes, values);
        if (result == CAMERA_SUCCESS)
            cacheVars(camera, driver, offset, count, bytes, values);
    } else {
        // Port reads go value by value: those before a failure stay read and cached.
        result = forEachValue(offset, count, bytes, values, [&](uint32_t at, uint32_t &value) {
            const int one = readPortVars(camera, style, driver, at, 1, bytes, &value);
            if (one == CAMERA_SUCCESS)
                setCacheValueAddr(camera, ZE_SPACE_MCU, driver, at, value);
            return one;
        });
    }
    clearByteAccess(camera, bytes, "LOGICAL_ADDRESS_ACCESS", "LOGICAL_BYTE_ACCESS");
    return result;
}

int readVarNolock(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t bytes,
                  uint32_t *value)
{
    if (!canReachMcu(camera) || !value)
        return CAMERA_ERROR;
    *value = 0;
    if (isNullCamera(camera))
        return readVarsNolock(camera, driver, offset, 1, bytes, value);
    const uint32_t mode = threadSettings(camera).useRegCache;
    if (mode != kCacheModeOff) {
        if (getCacheValueAddr(camera, ZE_SPACE_MCU, driver, offset, value) == kCacheHit)
            return CAMERA_SUCCESS;
        if (mode == kCacheModeOnly)
            return CAMERA_ERROR;
    }
    return readVarsNolock(camera, driver, offset, 1, bytes, value);
}

int writeVarNolock(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t bytes,
                   uint32_t value)
{
    return writeMcuValue(camera, ZE_SPACE_MCU, driver, offset, bytes, value, writeOneVar);
}

int writeVarBurstNolock(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t count,
                        uint32_t bytes, const uint32_t *values)
{
    return writeMcuBurst(camera, ZE_SPACE_MCU, driver, offset, count, bytes, values, writeOneVar);
}

} // namespace zentro

extern "C" {

ZE_API int ze_ReadVar(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t bytes,
                      uint32_t *value)
{
    if (!value)
        return CAMERA_ERROR;
    *value = 0;
    zentro::RegisterLockGuard lock(camera);
    return zentro::readVarNolock(camera, driver, offset, bytes, value);
}

ZE_API int ze_ReadVars(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t count,
                       uint32_t bytes, uint32_t *values)
{
    zentro::RegisterLockGuard lock(camera);
    return zentro::readVarsNolock(camera, driver, offset, count, bytes, values);
}

ZE_API int ze_WriteVar(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t bytes,
                       uint32_t value)
{
    zentro::RegisterLockGuard lock(camera);
    return zentro::writeVarNolock(camera, driver, offset, bytes, value);
}

ZE_API int ze_WriteVarBurst(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t count,
                            uint32_t bytes, const uint32_t *values)
{
    zentro::RegisterLockGuard lock(camera);
    return zentro::writeVarBurstNolock(camera, driver, offset, count, bytes, values);
}

} // extern "C"
