// The sensor match test: does the sensor on the bus answer as the camera's sensor record
// describes, at one of its base addresses?
#include "identify/sensor_match.h"

#include <algorithm>
#include <optional>

#include "camera/context.h"
#include "identify/group_tests.h"
#include "identify/probe_access.h"
#include "registers/lookup.h"
#include "zentro_errors.h"
#include "zentro_modes.h"
#include "zentro_reg_access.h"
#include "zentro_identify.h"

namespace zentro {

namespace {

// Mode through which a transport may answer the match test itself.
constexpr uint32_t kTransportMatchMode = 93;
constexpr const char *kChipVersionReg = "CHIP_VERSION_REG";

// A head board of sensor type 3 that carries this device is not a match.
constexpr uint32_t kHeadBoardType = 3;
constexpr uint32_t kHeadBoardDeviceAddr = 0xE0;
constexpr uint32_t kHeadBoardIdReg = 0;
constexpr uint32_t kHeadBoardId = 0x8212;
constexpr uint32_t kHeadBoardStatusReg = 16;
constexpr uint32_t kSensorEnableReg = 40;

// The file's bus speeds, set for the test; the ones they replaced come back on a mismatch.
class BusSpeeds
{
public:
    explicit BusSpeeds(ze_camera_t *camera) : camera_(camera)
    {
        const IdentData &ident = camera->context->ident;
        apply(ZE_SHIP_SPEED, ident.shipSpeed, shipSpeed_);
        apply(ZE_SPI_SPEED, ident.spiSpeed, spiSpeed_);
    }
    void restore()
    {
        if (shipSpeed_ != 0)
            ze_setMode(camera_, ZE_SHIP_SPEED, shipSpeed_);
        if (spiSpeed_ != 0)
            ze_setMode(camera_, ZE_SPI_SPEED, spiSpeed_);
    }

private:
    void apply(uint32_t mode, uint32_t fileSpeed, uint32_t &previous)
    {
        if (fileSpeed == 0)
            return;
        ze_getMode(camera_, mode, &previous);
        ze_setMode(camera_, mode, fileSpeed);
    }

    ze_camera_t *camera_;
    uint32_t shipSpeed_ = 0;
    uint32_t spiSpeed_ = 0;
};

// The transport's own answer: 0 match, another code no match; nothing when it leaves
// the decision to the library.
std::optional<bool> transportAnswer(ze_camera_t *camera, bool skipGroups)
{
    if (!camera->getMode)
        return std::nullopt;
    uint32_t value = skipGroups ? 1 : 0;
    const int result = camera->getMode(camera, kTransportMatchMode, &value);
    if (result == CAMERA_NOT_SUPPORTED)
        return std::nullopt;
    return result == CAMERA_SUCCESS;
}

enum class AddressAnswer { Absent, Other, ChipVersion };

AddressAnswer chipVersionAt(ze_camera_t *camera, ze_reg_t *chipVersion, uint32_t address)
{
    ze_SetSensorBaseAddr(camera, address);
    if (isAddressAbsent(camera, address))
        return AddressAnswer::Absent;
    uint32_t value = 0;
    int result;
    {
        SpaceSelectionKeeper selection(camera);
        result = ze_ReadSensorReg(camera, chipVersion, &value);
    }
    if (result == I2C_NACK_ERROR) {
        markAddressAbsent(camera, address);
        return AddressAnswer::Absent;
    }
    const uint32_t mask = chipVersion->mask;
    if (result != CAMERA_SUCCESS || (value & mask) != (chipVersion->defaultValue & mask))
        return AddressAnswer::Other;
    return AddressAnswer::ChipVersion;
}

// The first group that matches decides; groups are tried at one address only.
bool anyGroupMatches(ze_camera_t *camera, bool *resetDone)
{
    const int32_t groups = std::clamp(camera->context->ident.groupCount, 0, kMaxIdentGroups);
    for (int32_t g = 0; g < groups; ++g) {
        if (groupMatches(camera, g, resetDone))
            return true;
    }
    return false;
}

// A type-3 sensor whose head board carries the marked device is that board's, not this
// file's; the board's sensor is enabled on the way when the board asks for it.
bool headBoardClaimsSensor(ze_camera_t *camera)
{
    if (camera->sensor->sensorType != kHeadBoardType)
        return false;
    uint32_t id = 0;
    if (ze_readRegister(camera, kHeadBoardDeviceAddr, kHeadBoardIdReg, &id) != CAMERA_SUCCESS ||
        id != kHeadBoardId)
        return false;
    uint32_t status = 0;
    if (ze_readRegister(camera, kHeadBoardDeviceAddr, kHeadBoardStatusReg, &status) ==
            CAMERA_SUCCESS &&
        (status & 1u) != 0)
        ze_writeRegister(camera, camera->sensor->shipBaseAddr, kSensorEnableReg, 1);
    return true;
}

bool matchAtBaseAddresses(ze_camera_t *camera, bool skipGroups, bool *resetDone)
{
    ze_reg_t *chipVersion = findSensorRegister(camera, kChipVersionReg);
    if (!chipVersion)
        return false;
    const IdentData &ident = camera->context->ident;
    const int32_t count = std::clamp(ident.baseAddrCount, 0, kMaxBaseAddrs);
    for (int32_t i = 0; i < count; ++i) {
        if (chipVersionAt(camera, chipVersion, ident.baseAddrs[i]) != AddressAnswer::ChipVersion)
            continue;
        return skipGroups || anyGroupMatches(camera, resetDone);
    }
    return false;
}

} // namespace

bool checkSensorMatch(ze_camera_t *camera, bool skipGroups)
{
    if (!camera || !camera->context || !camera->sensor)
        return false;
    if (std::optional<bool> answer = transportAnswer(camera, skipGroups))
        return *answer;
    ze_setMode(camera, ZE_SHIP_TO_SPI, (camera->sensor->shipBaseAddr & kSpiBaseAddrBit) ? 1 : 0);
    BusSpeeds speeds(camera);
    bool resetDone = false;
    if (matchAtBaseAddresses(camera, skipGroups, &resetDone) && !headBoardClaimsSensor(camera))
        return true;
    if (resetDone)
        pulseSensorReset(camera);
    speeds.restore();
    return false;
}

} // namespace zentro
