// Sizes, byte orders and address steps of registers and raw transfers.
#include "registers/sizes.h"

#include "registers/access.h"

#include <algorithm>

#include "camera/generic_ops.h"

namespace {

constexpr uint32_t kWholeValueBits = 32;
constexpr uint32_t kIndirectUnitBits = 16;
constexpr uint32_t kOtherSpaceBits = 16;
constexpr uint32_t kByteBits = 8;
constexpr uint32_t kByteLimit = 0x100;
constexpr uint32_t kWordLimit = 0x10000;
constexpr uint32_t kWideBits = 16;
constexpr uint32_t kUnitStepBits = 16;
// Sensors that step every address by one.
constexpr uint32_t kFirstSingleStepType = 136;
constexpr uint32_t kLastSingleStepType = 140;

bool isFarType(uint32_t type)
{
    return type == ZE_SPACE_FAR1 || type == ZE_SPACE_FAR2;
}

bool isFarSpaceKind(uint32_t type)
{
    return type >= ZE_SPACE_FAR1 && type <= ZE_SPACE_FAR2_SFR;
}

uint32_t spanOf(const ze_reg_t *reg)
{
    return std::max(reg->span, 1u);
}

// The first space of @type in the sensor's table, or nullptr.
const ze_addr_space_t *firstSpaceOfType(const ze_sensor_t *sensor, uint32_t type)
{
    const ze_addr_space_list_t *table = sensor ? sensor->addrSpaces : nullptr;
    if (!table || !table->spaces)
        return nullptr;
    for (int32_t i = 0; i < table->count; ++i) {
        if (table->spaces[i].type == type)
            return &table->spaces[i];
    }
    return nullptr;
}

uint32_t dataSizeOf(const ze_sensor_t *sensor, const ze_reg_t *reg)
{
    const uint32_t type = zentro::spaceTypeOf(reg);
    if (isFarType(type))
        return spanOf(reg) * reg->addrSpace->farDataSize;
    if (type == ZE_SPACE_IND)
        return spanOf(reg) * kIndirectUnitBits;
    if (type == ZE_SPACE_REG)
        return spanOf(reg) * (sensor ? sensor->regDataSize : kOtherSpaceBits);
    if (zentro::isVariableSpaceType(type))
        return kByteBits * std::max(spanOf(reg), ze_varMaskToIs8(reg->mask));
    return kOtherSpaceBits;
}

uint32_t increment(ze_camera_t *camera, uint32_t busAddr, uint32_t spaceType)
{
    const ze_sensor_t *sensor = camera ? camera->sensor : nullptr;
    if (!sensor || busAddr != sensor->shipBaseAddr)
        return 1;
    if (sensor->sensorType >= kFirstSingleStepType && sensor->sensorType <= kLastSingleStepType)
        return 1;
    if (isFarType(spaceType) && sensor->addrSpaces) {
        const ze_addr_space_t *space = firstSpaceOfType(sensor, spaceType);
        if (!space || space->farAddrSize != kWideBits)
            return 1;
        return space->farDataSize == kWideBits ? 2 : 1;
    }
    if (spaceType == ZE_SPACE_REG || isFarType(spaceType))
        return zentro::sensorUnitStep(sensor);
    return 1;
}

uint32_t incrementForDataSize(ze_camera_t *camera, uint32_t busAddr, uint32_t spaceType,
                              uint32_t dataBits)
{
    const ze_sensor_t *sensor = camera ? camera->sensor : nullptr;
    if (sensor && busAddr == sensor->shipBaseAddr && sensor->regDataSize != 0)
        return std::max(increment(camera, busAddr, spaceType) * dataBits / sensor->regDataSize, 1u);
    return std::max(dataBits / kUnitStepBits, 1u);
}

} // namespace

namespace zentro {

bool isVariableSpaceType(uint32_t type)
{
    switch (type) {
    case ZE_SPACE_MCU:
    case ZE_SPACE_SFR:
    case ZE_SPACE_FAR1_MCU:
    case ZE_SPACE_FAR1_SFR:
    case ZE_SPACE_FAR2_MCU:
    case ZE_SPACE_FAR2_SFR:
        return true;
    default:
        return false;
    }
}

uint32_t addrSizeOfSpace(ze_camera_t *camera, uint32_t spaceType)
{
    const ze_sensor_t *sensor = camera ? camera->sensor : nullptr;
    if (!sensor)
        return 0;
    if (isFarType(spaceType) && sensor->addrSpaces) {
        const ze_addr_space_t *space = firstSpaceOfType(sensor, spaceType);
        return space ? space->farAddrSize : 0;
    }
    if (spaceType != ZE_SPACE_REG && sensor->addrSpaces)
        return 0;
    return sensor->regAddrSize;
}

} // namespace zentro

extern "C" {

ZE_API uint32_t ze_dataSize(ze_camera_t *camera, const ze_reg_t *reg)
{
    if (!reg)
        return kWholeValueBits;
    return dataSizeOf(camera ? camera->sensor : nullptr, reg);
}

ZE_API uint32_t ze_dataLE(ze_camera_t *camera, const ze_reg_t *reg)
{
    if (reg && reg->addrSpace && isFarSpaceKind(reg->addrSpace->type))
        return reg->addrSpace->farDataLE;
    return camera && camera->sensor ? camera->sensor->regDataLE : 0;
}

ZE_API uint32_t ze_shipDataLE(ze_camera_t *camera, uint32_t bus_addr)
{
    if (!camera || !camera->sensor)
        return 0;
    if (bus_addr == camera->sensor->shipBaseAddr)
        return camera->sensor->regDataLE;
    for (int32_t i = 0; camera->boardChips && i < camera->boardChipCount; ++i) {
        if (camera->boardChips[i].activeBaseAddr == bus_addr)
            return camera->boardChips[i].dataLE;
    }
    return 0;
}

ZE_API uint32_t ze_varMaskToIs8(uint32_t mask)
{
    if (mask < kByteLimit)
        return 1;
    return mask < kWordLimit ? 2 : 4;
}

ZE_API uint32_t ze_GetAddrIncrement(ze_camera_t *camera, uint32_t bus_addr, uint32_t space_type)
{
    return increment(camera, bus_addr, space_type);
}

ZE_API uint32_t ze_GetAddrIncrementDataSize(ze_camera_t *camera, uint32_t bus_addr,
                                            uint32_t space_type)
{
    if (!camera || !camera->context)
        return 1;
    return incrementForDataSize(camera, bus_addr, space_type,
                                zentro::threadSettings(camera).regDataSize);
}

ZE_API uint32_t ze_GetSensorAddrIncrement(ze_camera_t *camera, uint32_t space_type)
{
    if (!camera || !camera->sensor)
        return 1;
    return incrementForDataSize(camera, camera->sensor->shipBaseAddr, space_type,
                                camera->sensor->regDataSize);
}

} // extern "C"
