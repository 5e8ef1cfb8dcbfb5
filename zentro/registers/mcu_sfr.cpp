// Special-function registers of the sensor's MCU: system registers, port registers or windows.
#include <algorithm>

#include "registers/access.h"
#include "registers/cache.h"
#include "registers/lookup.h"
#include "registers/mcu_access.h"
#include "registers/transfer.h"
#include "zentro_errors.h"
#include "zentro_reg.h"

namespace {

constexpr uint32_t kByteBits = 8;
// Advanced base: a 4 KiB window at 0xE000 onto the SFR space, based at ADVANCED_BASE.
constexpr uint32_t kWindowBase = 0xE000;
constexpr uint32_t kPageBytes = 0x1000;
constexpr uint32_t kPageOffsetMask = kPageBytes - 1;
// Direct, logical and physical styles: 15 address bits in the address register, bit 15
// in ACCESS_CTL_STAT bit 0, the page in its bits 6 and 7.
constexpr uint32_t kHighAddrBit = 0x8000;
constexpr uint32_t kLowAddrMask = 0x7FFF;
constexpr uint32_t kDirectWindowMask = 0xFFFF;
constexpr uint32_t kPageIdMask = 0x3;
constexpr uint32_t kPageShift = 6;
// Window style: a physical address with the byte flag, the logical bits 13 and 14 clear.
constexpr uint32_t kWindowAddrMask = 0x1FFF;
constexpr uint32_t kWindowByteFlag = 0x8000;
constexpr uint32_t kPhysicalByteFlag = 0x8000;

uint32_t accessControlWord(uint32_t style, uint32_t page, uint32_t addr)
{
    const uint32_t high = (addr & kHighAddrBit) ? 1 : 0;
    if (style == ZE_MCU_STYLE_PHYSICAL)
        return high;
    return ((page & kPageIdMask) << kPageShift) | high;
}

struct SfrPorts {
    const char *control = nullptr; // ACCESS_CTL_STAT, when the style uses it
    const char *address = nullptr;
    const char *data = nullptr;
};

SfrPorts portsOf(uint32_t style)
{
    switch (style) {
    case ZE_MCU_STYLE_LOGICAL:
        return {"ACCESS_CTL_STAT", "PHYSICAL_ADDRESS_ACCESS", "MCU_VARIABLE_DATA0"};
    case ZE_MCU_STYLE_PHYSICAL:
        return {"ACCESS_CTL_STAT", "PHYSICAL_ADDR_ACCESS", "MCU_DATA_0"};
    case ZE_MCU_STYLE_WINDOW:
        return {nullptr, "MCU_ADDRESS", "MCU_DATA_0"};
    default:
        return {};
    }
}

uint32_t portAddressWord(uint32_t style, uint32_t addr, uint32_t bytes)
{
    if (style == ZE_MCU_STYLE_WINDOW)
        return (addr & kWindowAddrMask) | (bytes == 1 ? kWindowByteFlag : 0);
    if (style == ZE_MCU_STYLE_PHYSICAL)
        return (addr & kLowAddrMask) | (bytes == 1 ? kPhysicalByteFlag : 0);
    return addr & kLowAddrMask;
}

// Points the MCU at SFR @addr of @page: the control word (when used), then the address.
int selectSfr(ze_camera_t *camera, uint32_t style, const SfrPorts &ports, uint32_t page,
              uint32_t addr, uint32_t bytes)
{
    if (ports.control) {
        const int result =
            zentro::writeNamedNolock(camera, ports.control, accessControlWord(style, page, addr));
        if (result != CAMERA_SUCCESS)
            return result;
    }
    return zentro::writeNamedNolock(camera, ports.address, portAddressWord(style, addr, bytes));
}

ze_reg_t *dataPort(ze_camera_t *camera, const SfrPorts &ports)
{
    return ports.data ? zentro::findSensorRegister(camera, ports.data) : nullptr;
}

bool portsExist(ze_camera_t *camera, const SfrPorts &ports)
{
    return ports.address && zentro::findSensorRegister(camera, ports.address) &&
           dataPort(camera, ports) &&
           (!ports.control || zentro::findSensorRegister(camera, ports.control));
}

// Style 55: control word and address register, then the SFR is a register from 0x8000 on.
int selectDirectSfr(ze_camera_t *camera, uint32_t page, uint32_t addr)
{
    const int result = zentro::writeNamedNolock(camera, "ACCESS_CTL_STAT",
                                                accessControlWord(ZE_MCU_STYLE_DIRECT, page, addr));
    if (result != CAMERA_SUCCESS)
        return result;
    return zentro::writeNamedNolock(camera, "PHYSICAL_ADDRESS_ACCESS", addr & kLowAddrMask);
}

uint32_t directWindowAddress(uint32_t addr)
{
    return (addr | kHighAddrBit) & kDirectWindowMask;
}

// Style 71: moves ADVANCED_BASE to the page of @addr unless it is there already.
int selectAdvancedBase(ze_camera_t *camera, uint32_t addr)
{
    const uint32_t base = addr & ~kPageOffsetMask;
    if (zentro::directAccessState(camera).advancedBase == base)
        return CAMERA_SUCCESS;
    return zentro::writeNamedNolock(camera, "ADVANCED_BASE", base);
}

// Values of one 4 KiB page from @addr on.
uint32_t valuesInPage(uint32_t addr, uint32_t bytes, uint32_t left)
{
    return std::min(left, std::max((kPageBytes - (addr & kPageOffsetMask)) / bytes, 1u));
}

template <class Transfer>
int eachAdvancedBaseRun(ze_camera_t *camera, uint32_t addr, uint32_t count, uint32_t bytes,
                        Transfer transfer)
{
    if (count == 0)
        return CAMERA_NOT_SUPPORTED;
    for (uint32_t done = 0; done < count;) {
        const uint32_t at = addr + done * bytes;
        const uint32_t run = valuesInPage(at, bytes, count - done);
        int result = selectAdvancedBase(camera, at);
        if (result == CAMERA_SUCCESS)
            result = transfer(kWindowBase + (at & kPageOffsetMask), done, run);
        if (result != CAMERA_SUCCESS)
            return result;
        done += run;
    }
    return CAMERA_SUCCESS;
}

void cacheSfrs(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t count, uint32_t bytes,
               const uint32_t *values)
{
    for (uint32_t i = 0; i < count; ++i)
        zentro::setCacheValueAddr(camera, ZE_SPACE_SFR, page, addr + i * bytes, values[i]);
}

// Reads through the style's window or ports; every value read is cached at once, so that
// those before a failure stay read and cached.
int readSfrsByStyle(ze_camera_t *camera, uint32_t style, uint32_t page, uint32_t addr,
                    uint32_t count, uint32_t bytes, uint32_t *values)
{
    if (style == ZE_MCU_STYLE_ADVANCED_BASE)
        return eachAdvancedBaseRun(
            camera, addr, count, bytes, [&](uint32_t windowAddr, uint32_t done, uint32_t run) {
                const int result = zentro::readDirectNolock(camera, windowAddr, bytes * kByteBits,
                                                            run, values + done);
                if (result == CAMERA_SUCCESS)
                    cacheSfrs(camera, page, addr + done * bytes, run, bytes, values + done);
                return result;
            });
    const SfrPorts ports = portsOf(style);
    if (style != ZE_MCU_STYLE_DIRECT && !portsExist(camera, ports))
        return CAMERA_ERROR;
    return zentro::forEachValue(addr, count, bytes, values, [&](uint32_t at, uint32_t &value) {
        int result;
        if (style == ZE_MCU_STYLE_DIRECT) {
            result = selectDirectSfr(camera, page, at);
            if (result == CAMERA_SUCCESS)
                result = zentro::readDirectNolock(camera, directWindowAddress(at),
                                                  bytes * kByteBits, 1, &value);
        } else {
            result = selectSfr(camera, style, ports, page, at, bytes);
            if (result == CAMERA_SUCCESS)
                result =
                    zentro::readPortData(camera, dataPort(camera, ports), style, bytes, &value);
        }
        if (result == CAMERA_SUCCESS)
            cacheSfrs(camera, page, at, 1, bytes, &value);
        return result;
    });
}

int writeOneSfrByStyle(ze_camera_t *camera, uint32_t style, uint32_t page, uint32_t addr,
                       uint32_t bytes, uint32_t value)
{
    if (style == ZE_MCU_STYLE_ADVANCED_BASE)
        return eachAdvancedBaseRun(
            camera, addr, 1, bytes, [&](uint32_t windowAddr, uint32_t, uint32_t) {
                return zentro::writeDirectNolock(camera, windowAddr, bytes * kByteBits, 1, &value);
            });
    if (style == ZE_MCU_STYLE_DIRECT) {
        const int result = selectDirectSfr(camera, page, addr);
        if (result != CAMERA_SUCCESS)
            return result;
        return zentro::writeDirectNolock(camera, directWindowAddress(addr), bytes * kByteBits, 1,
                                         &value);
    }
    const SfrPorts ports = portsOf(style);
    if (!portsExist(camera, ports))
        return CAMERA_ERROR;
    const int result = selectSfr(camera, style, ports, page, addr, bytes);
    if (result != CAMERA_SUCCESS)
        return result;
    return zentro::writePortData(camera, dataPort(camera, ports), style, bytes, value);
}

void clearPhysicalByteAccess(ze_camera_t *camera, uint32_t style, uint32_t bytes)
{
    if (style == ZE_MCU_STYLE_LOGICAL || style == ZE_MCU_STYLE_DIRECT)
        zentro::clearByteAccess(camera, bytes, "PHYSICAL_ADDRESS_ACCESS", "PHYSICAL_BYTE_ACCESS");
}

int writeOneSfr(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t bytes, uint32_t value)
{
    if (camera->context->ops.writeSystemRegisters) {
        const int result = zentro::transferWriteSystemRegisters(
            camera, zentro::kSystemKindSfr, page, addr, bytes * kByteBits, 1, &value);
        if (result != CAMERA_NOT_SUPPORTED)
            return result;
    }
    const uint32_t style = ze_McuAddrStyle(camera);
    const int result = writeOneSfrByStyle(camera, style, page, addr, bytes, value);
    clearPhysicalByteAccess(camera, style, bytes);
    return result;
}

} // namespace

namespace zentro {

int readSfrsNolock(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t count,
                   uint32_t bytes, uint32_t *values)
{
    if (!canReachMcu(camera) || (!values && count > 0))
        return CAMERA_ERROR;
    bytes = varBytes(bytes);
    std::fill(values, values + count, 0u);
    if (isNullCamera(camera)) {
        for (uint32_t i = 0; i < count; ++i)
            values[i] = storedValueAt(camera, ZE_SPACE_SFR, page, addr + i * bytes);
        return CAMERA_SUCCESS;
    }
    if (camera->context->ops.readSystemRegisters) {
        const int result = transferReadSystemRegisters(camera, kSystemKindSfr, page, addr,
                                                       bytes * kByteBits, count, values);
        if (result != CAMERA_NOT_SUPPORTED) {
            if (result == CAMERA_SUCCESS)
                cacheSfrs(camera, page, addr, count, bytes, values);
            return result;
        }
    }
    const uint32_t style = ze_McuAddrStyle(camera);
    const int result = readSfrsByStyle(camera, style, page, addr, count, bytes, values);
    clearPhysicalByteAccess(camera, style, bytes);
    return result;
}

int readSfrNolock(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t bytes,
                  uint32_t *value)
{
    if (!canReachMcu(camera) || !value)
        return CAMERA_ERROR;
    *value = 0;
    if (!isNullCamera(camera)) {
        const uint32_t mode = threadSettings(camera).useRegCache;
        if (mode != kCacheModeOff) {
            if (getCacheValueAddr(camera, ZE_SPACE_SFR, page, addr, value) == kCacheHit)
                return CAMERA_SUCCESS;
            if (mode == kCacheModeOnly)
                return CAMERA_ERROR;
        }
    }
    return readSfrsNolock(camera, page, addr, 1, bytes, value);
}

int writeSfrNolock(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t bytes,
                   uint32_t value)
{
    return writeMcuValue(camera, ZE_SPACE_SFR, page, addr, bytes, value, writeOneSfr);
}

int writeSfrBurstNolock(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t count,
                        uint32_t bytes, const uint32_t *values)
{
    return writeMcuBurst(camera, ZE_SPACE_SFR, page, addr, count, bytes, values, writeOneSfr);
}

} // namespace zentro

extern "C" {

ZE_API int ze_ReadSfr(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t bytes,
                      uint32_t *value)
{
    if (!value)
        return CAMERA_ERROR;
    *value = 0;
    zentro::RegisterLockGuard lock(camera);
    return zentro::readSfrNolock(camera, page, addr, bytes, value);
}

ZE_API int ze_ReadSfrs(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t count,
                       uint32_t bytes, uint32_t *values)
{
    zentro::RegisterLockGuard lock(camera);
    return zentro::readSfrsNolock(camera, page, addr, count, bytes, values);
}

ZE_API int ze_WriteSfr(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t bytes,
                       uint32_t value)
{
    zentro::RegisterLockGuard lock(camera);
    return zentro::writeSfrNolock(camera, page, addr, bytes, value);
}

ZE_API int ze_WriteSfrBurst(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t count,
                            uint32_t bytes, const uint32_t *values)
{
    zentro::RegisterLockGuard lock(camera);
    return zentro::writeSfrBurstNolock(camera, page, addr, count, bytes, values);
}

} // extern "C"
