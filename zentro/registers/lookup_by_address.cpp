// Lookup of a register by its address within an address space.
#include "registers/lookup.h"
#include "registers/ram_alias.h"
#include "zentro_reg.h"

namespace {

// Far spaces whose far addresses are this wide or narrower are told apart by their id.
constexpr uint32_t kWidestIdSelectedFarAddr = 8;

bool hasReadSelect(const ze_sensor_t *sensor)
{
    return sensor->addrSpaces && sensor->addrSpaces->readSelectAddr != 0;
}

// Whether a space of @type must carry the requested value as its id to match.
bool idMustMatch(const ze_sensor_t *sensor, const ze_addr_space_t &space, uint32_t type,
                 uint32_t mcuStyle)
{
    switch (type) {
    case ZE_SPACE_REG:
        // Without a select register every REG space reads the same registers.
        return hasReadSelect(sensor);
    case ZE_SPACE_MCU:
        return mcuStyle != ZE_MCU_STYLE_COMMAND;
    case ZE_SPACE_SFR:
        return mcuStyle != ZE_MCU_STYLE_WINDOW && mcuStyle != ZE_MCU_STYLE_PHYSICAL &&
               mcuStyle != ZE_MCU_STYLE_ADVANCED_BASE;
    case ZE_SPACE_IND:
        return false;
    case ZE_SPACE_FAR1:
    case ZE_SPACE_FAR2:
        return space.farAddrSize <= kWidestIdSelectedFarAddr;
    default:
        return true;
    }
}

bool needsMcuStyle(uint32_t type)
{
    return type == ZE_SPACE_MCU || type == ZE_SPACE_SFR;
}

ze_reg_t *findAtAddress(ze_camera_t *camera, uint32_t addr, uint32_t value, uint32_t type,
                        uint32_t mcuStyle)
{
    const ze_sensor_t *sensor = camera->sensor;
    int32_t found = zentro::findSensorRegisterAt(camera, addr, [&](const ze_reg_t &reg) {
        return !reg.addrSpace ||
               zentro::spaceAcceptsValue(sensor, *reg.addrSpace, type, value, mcuStyle);
    });
    return found < 0 ? nullptr : &camera->sensor->regs[found];
}

// A plain address that no register has may be a window onto an MCU variable or SFR.
ze_reg_t *ramAliasAt(ze_camera_t *camera, uint32_t addr, uint32_t value)
{
    if (!camera->context)
        return nullptr;
    ze_reg_t temporary{};
    temporary.addr = addr;
    temporary.addrSpaceId = value;
    temporary.span = 1;
    return zentro::resolveRamAlias(camera, &temporary).target;
}

} // namespace

namespace zentro {

bool spaceAcceptsValue(const ze_sensor_t *sensor, const ze_addr_space_t &space, uint32_t type,
                       uint32_t value, uint32_t mcuStyle)
{
    if (space.type != type)
        return false;
    return !idMustMatch(sensor, space, type, mcuStyle) || static_cast<uint32_t>(space.id) == value;
}

} // namespace zentro

extern "C" {

ZE_API ze_reg_t *ze_FindRegisterAddr(ze_camera_t *camera, uint32_t addr, uint32_t space_value,
                                     uint32_t space_type)
{
    if (!camera || !camera->sensor || !camera->sensor->regs)
        return nullptr;
    const uint32_t mcuStyle = needsMcuStyle(space_type) ? ze_McuAddrStyle(camera) : 0;
    ze_reg_t *reg = findAtAddress(camera, addr, space_value, space_type, mcuStyle);
    // Array imagers keep sub-array copies of a register; space 0 holds the common one.
    if (!reg && space_value != 0 && zentro::isArrayImager(camera->sensor))
        reg = findAtAddress(camera, addr, 0, space_type, mcuStyle);
    if (!reg && space_type == ZE_SPACE_REG)
        reg = ramAliasAt(camera, addr, space_value);
    return reg;
}

} // extern "C"
