// Far registers: registers of a sub-device behind the sensor's own serial-bus master.
#include "registers/far_regs.h"

#include "registers/access.h"
#include "registers/mcu_access.h"
#include "registers/transfer.h"

#include <algorithm>
#include <array>

#include "core/log.h"
#include "registers/cache.h"
#include "registers/lookup.h"
#include "zentro_reg.h"

namespace {

constexpr uint32_t kMaxUnits = 32;
constexpr std::array<uint32_t, 4> kDmaTypes = {71, 103, 111, 112};
constexpr std::array<uint32_t, 3> kBusMasterTypes = {44, 46, 56};
constexpr std::array<uint32_t, 2> kHostCommandTypes = {159, 176};

enum class Mechanism { None, Dma, BusMaster, HostCommand, SerialPort };

template <size_t N>
bool listed(const std::array<uint32_t, N> &types, uint32_t type)
{
    return std::ranges::find(types, type) != types.end();
}

Mechanism mechanismOf(ze_camera_t *camera)
{
    const uint32_t type = camera->sensor->sensorType;
    if (listed(kDmaTypes, type))
        return Mechanism::Dma;
    if (listed(kBusMasterTypes, type))
        return Mechanism::BusMaster;
    if (listed(kHostCommandTypes, type))
        return Mechanism::HostCommand;
    if (ze_ExistsRegister(camera, "SipmTrgrReg"))
        return Mechanism::SerialPort;
    return Mechanism::None;
}

uint32_t farSelectAddress(const ze_sensor_t *sensor, uint32_t spaceType)
{
    const ze_addr_space_list_t *table = sensor->addrSpaces;
    if (!table)
        return 0;
    return spaceType == ZE_SPACE_FAR2 ? table->far2SelectAddr : table->far1SelectAddr;
}

zentro::FarTarget targetOf(ze_camera_t *camera, const ze_reg_t *reg)
{
    const ze_addr_space_t &space = *reg->addrSpace;
    return {space.farBase,
            space.farAddrSize,
            space.farDataSize,
            space.type,
            static_cast<uint32_t>(space.id),
            farSelectAddress(camera->sensor, space.type)};
}

bool farAccessSwitchedOff(ze_camera_t *camera)
{
    return zentro::storedMode(camera, ZE_ALLOW_FAR_ACCESS) == 0;
}

int unsupportedMechanism(const char *what)
{
    return ZE_ERRORLOGF(CAMERA_NOT_SUPPORTED, "Far register access through %s is not supported",
                        what);
}

int transferByMechanism(ze_camera_t *camera, const zentro::FarTarget &target, uint32_t addr,
                        uint32_t count, uint32_t *units, bool write)
{
    switch (mechanismOf(camera)) {
    case Mechanism::Dma:
        return zentro::dmaFarTransfer(camera, target, addr, count, units, write);
    case Mechanism::BusMaster:
        return zentro::busMasterFarTransfer(camera, target, addr, count, units, write);
    case Mechanism::HostCommand:
        return unsupportedMechanism("the host-command interface");
    case Mechanism::SerialPort:
        return unsupportedMechanism("the serial-interface port masters");
    default:
        return CAMERA_ERROR;
    }
}

// Units of a far register: the transport's own far operation when it has one, else the
// sensor family's mechanism under the far access switch and the allow-list.
int farTransfer(ze_camera_t *camera, const ze_reg_t *reg, uint32_t addr, uint32_t count,
                uint32_t *units, bool write)
{
    const zentro::FarTarget target = targetOf(camera, reg);
    ze_common_context_t *context = camera->context;
    auto transportOperation = write ? context->writeFarRegisters : context->readFarRegisters;
    if (transportOperation)
        return transportOperation(camera, target.base, addr, target.addrBits, target.dataBits,
                                  count, units);
    if (farAccessSwitchedOff(camera)) {
        if (!write)
            std::fill(units, units + count, 0u);
        return CAMERA_SUCCESS;
    }
    if (!context->farAllowList.allows(target.base))
        return I2C_NACK_ERROR;
    return transferByMechanism(camera, target, addr, count, units, write);
}

bool isFarRegister(const ze_reg_t *reg)
{
    const uint32_t type = zentro::spaceTypeOf(reg);
    return reg && reg->addrSpace && (type == ZE_SPACE_FAR1 || type == ZE_SPACE_FAR2);
}

uint32_t unitsOf(const ze_reg_t *reg)
{
    return std::max(reg->span, 1u);
}

// A camera without a live far bus (null or file playback) answers from its cache.
bool readsFromCache(ze_camera_t *camera)
{
    return zentro::isNullCamera(camera) || zentro::isFileCamera(camera);
}

bool usable(ze_camera_t *camera)
{
    return camera && camera->context && camera->sensor;
}

// Probing the far bus of the DMA families: a write request per address, answered or not.
constexpr uint32_t kFirstProbeAddr = 2;
constexpr uint32_t kLastProbeAddr = 254;
constexpr uint32_t kProbePolls = 50;
constexpr uint32_t kBusyBit = 0x1;

struct ProbeRegisters {
    uint32_t addressSfr, dataSfr, controlSfr, statusSfr, bytes, start;
    uint32_t statusAfterSfr; // 0: the control register's own bits tell
    uint32_t absentBit;
};
constexpr uint32_t kProbeType71 = 71;
constexpr ProbeRegisters kProbe71 = {0x94006, 0x9400A, 0x94002, 0x94002, 2, 0x11, 0, 0x10};
constexpr ProbeRegisters kProbe103 = {0x290008, 0x29000C, 0x290000, 0x290000, 4, 1, 0x290004, 0x8};
constexpr uint32_t kProbeStatusClear = 0x290004;

bool probeAddress(ze_camera_t *camera, const ProbeRegisters &probe, uint32_t busAddr)
{
    const bool hasStatusRegister = probe.statusAfterSfr != 0;
    int result = zentro::writeSfrNolock(camera, 0, probe.addressSfr, probe.bytes, busAddr);
    const uint32_t zero = 0;
    if (result == CAMERA_SUCCESS)
        result = zentro::writeSfrNolock(camera, 0, probe.dataSfr, probe.bytes, zero);
    if (result == CAMERA_SUCCESS && hasStatusRegister)
        result = zentro::writeSfrNolock(camera, 0, kProbeStatusClear, probe.bytes, zero);
    if (result == CAMERA_SUCCESS)
        result = zentro::writeSfrNolock(camera, 0, probe.controlSfr, probe.bytes, probe.start);
    if (result != CAMERA_SUCCESS)
        return false;
    uint32_t status = kBusyBit;
    for (uint32_t i = 0; i < kProbePolls && (status & kBusyBit); ++i) {
        zentro::ScopedCacheMode hardware(camera, zentro::kCacheModeOff);
        if (zentro::readSfrNolock(camera, 0, probe.statusSfr, probe.bytes, &status) !=
            CAMERA_SUCCESS)
            return false;
    }
    if (status & kBusyBit)
        return false;
    if (hasStatusRegister) {
        zentro::ScopedCacheMode hardware(camera, zentro::kCacheModeOff);
        if (zentro::readSfrNolock(camera, 0, probe.statusAfterSfr, probe.bytes, &status) !=
            CAMERA_SUCCESS)
            return false;
    }
    return (status & probe.absentBit) == 0;
}

const ProbeRegisters *probeOf(uint32_t sensorType)
{
    if (sensorType == kProbeType71)
        return &kProbe71;
    if (sensorType == 103 || sensorType == 111)
        return &kProbe103;
    return nullptr;
}

void probeFarBus(ze_camera_t *camera)
{
    ze_common_context::FarAllowList &allowed = camera->context->farAllowList;
    if (!listed(kDmaTypes, camera->sensor->sensorType)) {
        allowed.setAll(true);
        return;
    }
    ze_InvalidateRegCache(camera);
    allowed.setAll(false);
    if (const ProbeRegisters *probe = probeOf(camera->sensor->sensorType)) {
        for (uint32_t busAddr = kFirstProbeAddr; busAddr <= kLastProbeAddr; busAddr += 2) {
            if (!allowed.allows(busAddr) && probeAddress(camera, *probe, busAddr))
                allowed.allow(busAddr);
        }
    }
    zentro::setStoredMode(camera, ZE_ALLOW_FAR_ACCESS, 0);
}

} // namespace

namespace zentro {

int readFarUnitsNolock(ze_camera_t *camera, const ze_reg_t *reg, uint32_t addr, uint32_t count,
                       uint32_t *units)
{
    if (!usable(camera) || !isFarRegister(reg) || (!units && count > 0))
        return CAMERA_ERROR;
    std::fill(units, units + count, 0u);
    if (readsFromCache(camera)) {
        uint32_t value = 0;
        storedCacheValue(camera, cacheIndexOf(camera, reg), &value);
        const uint32_t span = std::min(unitsOf(reg), count);
        std::vector<uint32_t> stored(std::max(unitsOf(reg), 1u));
        _unpackValueBySpan(stored.data(), value, reg->addrSpace->farDataSize,
                           reg->addrSpace->farDataLE, unitsOf(reg));
        std::copy(stored.begin(), stored.begin() + span, units);
        return CAMERA_SUCCESS;
    }
    const int result = farTransfer(camera, reg, addr, count, units, false);
    if (result != CAMERA_SUCCESS)
        std::fill(units, units + count, 0u);
    return result;
}

int readFarRegNolock(ze_camera_t *camera, const ze_reg_t *reg, uint32_t *value)
{
    if (!value)
        return CAMERA_ERROR;
    *value = 0;
    if (!isFarRegister(reg) || unitsOf(reg) > kMaxUnits)
        return CAMERA_ERROR;
    uint32_t units[kMaxUnits] = {};
    const int result = readFarUnitsNolock(camera, reg, reg->addr, unitsOf(reg), units);
    if (result != CAMERA_SUCCESS)
        return result;
    *value = _packValueBySpan(units, reg->addrSpace->farDataSize, reg->addrSpace->farDataLE,
                              unitsOf(reg));
    setCacheValueReg(camera, reg, *value);
    return CAMERA_SUCCESS;
}

int writeFarRegNolock(ze_camera_t *camera, const ze_reg_t *reg, uint32_t value)
{
    if (!usable(camera) || !isFarRegister(reg) || unitsOf(reg) > kMaxUnits)
        return CAMERA_ERROR;
    int result = CAMERA_SUCCESS;
    if (!readsFromCache(camera)) {
        uint32_t units[kMaxUnits] = {};
        _unpackValueBySpan(units, value, reg->addrSpace->farDataSize, reg->addrSpace->farDataLE,
                           unitsOf(reg));
        result = farTransfer(camera, reg, reg->addr, unitsOf(reg), units, true);
    }
    if (result == CAMERA_SUCCESS)
        setCacheValueReg(camera, reg, value);
    return result;
}

} // namespace zentro

extern "C" {

ZE_API int ze_ReadFarReg(ze_camera_t *camera, ze_reg_t *reg, uint32_t *value)
{
    zentro::RegisterLockGuard lock(camera);
    return zentro::readFarRegNolock(camera, reg, value);
}

ZE_API int ze_ReadFarRegs(ze_camera_t *camera, uint32_t space_type, uint32_t space_value,
                          uint32_t addr, uint32_t count, uint32_t *values)
{
    if (!usable(camera) || (!values && count > 0))
        return CAMERA_ERROR;
    std::fill(values, values + count, 0u);
    zentro::RegisterLockGuard lock(camera);
    ze_reg_t *reg = ze_FindRegisterAddr(camera, addr, space_value, space_type);
    if (!reg)
        return CAMERA_ERROR;
    return zentro::readFarUnitsNolock(camera, reg, addr, count, values);
}

ZE_API int ze_WriteFarReg(ze_camera_t *camera, ze_reg_t *reg, uint32_t value)
{
    zentro::RegisterLockGuard lock(camera);
    return zentro::writeFarRegNolock(camera, reg, value);
}

ZE_API int ze_ProbeFarBus(ze_camera_t *camera)
{
    if (!usable(camera))
        return CAMERA_ERROR;
    zentro::RegisterLockGuard lock(camera);
    probeFarBus(camera);
    return CAMERA_SUCCESS;
}

} // extern "C"
