// Register access by address: the database register there, or a temporary one of the size asked.
#include "registers/access.h"
#include "registers/sizes.h"

#include "registers/cache.h"
#include "registers/lookup.h"
#include "zentro_errors.h"
#include "zentro_reg.h"

namespace {

constexpr uint32_t kByteBits = 8;
constexpr uint32_t kTemporaryFarBits = 8;
constexpr uint32_t kTemporaryDataType = 1;

bool isRegisterKind(uint32_t type)
{
    return type == ZE_SPACE_REG || type == ZE_SPACE_FAR1 || type == ZE_SPACE_FAR2;
}

struct Shape {
    uint32_t mask;
    uint32_t span;
};

Shape temporaryShape(uint32_t type, uint32_t bytes)
{
    constexpr uint32_t kAll = 0xFFFFFFFFu;
    if (zentro::isVariableSpaceType(type)) {
        if (bytes == 1)
            return {0xFF, 1};
        if (bytes == 0 || bytes == 2)
            return {0xFFFF, 2};
        return {kAll, bytes};
    }
    if (isRegisterKind(type))
        return {kAll, bytes == 0 ? 1 : bytes};
    return {kAll, 1};
}

// A register made for one access by address, with its space when the table has none.
struct TemporaryRegister {
    ze_reg_t reg{};
    ze_addr_space_t space{};

    TemporaryRegister(ze_camera_t *camera, uint32_t type, uint32_t value, uint32_t addr,
                      uint32_t bytes)
    {
        const Shape shape = temporaryShape(type, bytes);
        reg.addr = addr;
        reg.addrSpaceId = value;
        reg.mask = shape.mask;
        reg.span = shape.span;
        reg.access = ZE_ACCESS_RW;
        reg.dataType = kTemporaryDataType;
        reg.addrSpace = tableSpace(camera, type, value);
        if (!reg.addrSpace) {
            space.id = static_cast<int32_t>(value);
            space.type = type;
            space.farAddrSize = kTemporaryFarBits;
            space.farDataSize = kTemporaryFarBits;
            reg.addrSpace = &space;
        }
    }
    TemporaryRegister(const TemporaryRegister &) = delete;
    TemporaryRegister &operator=(const TemporaryRegister &) = delete;

    static ze_addr_space_t *tableSpace(ze_camera_t *camera, uint32_t type, uint32_t value)
    {
        const ze_sensor_t *sensor = camera->sensor;
        ze_addr_space_list_t *table = sensor->addrSpaces;
        if (!table || !table->spaces)
            return nullptr;
        const uint32_t style = ze_McuAddrStyle(camera);
        for (int32_t i = 0; i < table->count; ++i) {
            if (zentro::spaceAcceptsValue(sensor, table->spaces[i], type, value, style))
                return &table->spaces[i];
        }
        return nullptr;
    }
};

// Calls @access with the database register at the address when it has the size asked,
// else with a temporary register.
template <class Access>
int withRegisterAt(ze_camera_t *camera, uint32_t type, uint32_t value, uint32_t addr,
                   uint32_t bytes, Access access)
{
    ze_reg_t *found = ze_FindRegisterAddr(camera, addr, value, type);
    if (found && (bytes == 0 || ze_dataSize(camera, found) == bytes * kByteBits))
        return access(found);
    TemporaryRegister temporary(camera, type, value, addr, bytes);
    return access(&temporary.reg);
}

bool usable(ze_camera_t *camera)
{
    return camera && camera->context && camera->sensor;
}

int readAddrNolock(ze_camera_t *camera, uint32_t type, uint32_t value, uint32_t addr,
                   uint32_t bytes, uint32_t *out)
{
    *out = 0;
    if (!usable(camera))
        return CAMERA_ERROR;
    return withRegisterAt(camera, type, value, addr, bytes,
                          [&](ze_reg_t *reg) { return zentro::readRegNolock(camera, reg, out); });
}

int writeAddrNolock(ze_camera_t *camera, uint32_t type, uint32_t value, uint32_t addr,
                    uint32_t bytes, uint32_t in)
{
    if (!usable(camera))
        return CAMERA_ERROR;
    return withRegisterAt(camera, type, value, addr, bytes,
                          [&](ze_reg_t *reg) { return zentro::writeRegNolock(camera, reg, in); });
}

bool arraysPresent(const uint32_t *types, const uint32_t *spaceValues, const uint32_t *addrs,
                   const uint32_t *bytes, const uint32_t *values)
{
    return types && spaceValues && addrs && bytes && values;
}

} // namespace

extern "C" {

ZE_API int ze_ReadSensorRegAddr(ze_camera_t *camera, uint32_t space_type, uint32_t space_value,
                                uint32_t addr, uint32_t bytes, uint32_t *value)
{
    if (!value)
        return CAMERA_ERROR;
    zentro::RegisterLockGuard lock(camera);
    return readAddrNolock(camera, space_type, space_value, addr, bytes, value);
}

ZE_API int ze_WriteSensorRegAddr(ze_camera_t *camera, uint32_t space_type, uint32_t space_value,
                                 uint32_t addr, uint32_t bytes, uint32_t value)
{
    zentro::RegisterLockGuard lock(camera);
    return writeAddrNolock(camera, space_type, space_value, addr, bytes, value);
}

ZE_API int ze_ReadSensorRegsAddr(ze_camera_t *camera, uint32_t count, const uint32_t *space_types,
                                 const uint32_t *space_values, const uint32_t *addrs,
                                 const uint32_t *bytes, uint32_t *values, int *results)
{
    if (!usable(camera) || !arraysPresent(space_types, space_values, addrs, bytes, values))
        return CAMERA_ERROR;
    zentro::RegisterLockGuard lock(camera);
    int result = CAMERA_SUCCESS;
    for (uint32_t i = 0; i < count; ++i) {
        result =
            readAddrNolock(camera, space_types[i], space_values[i], addrs[i], bytes[i], &values[i]);
        if (results)
            results[i] = result;
    }
    return result;
}

ZE_API int ze_WriteSensorRegsAddr(ze_camera_t *camera, uint32_t count, const uint32_t *space_types,
                                  const uint32_t *space_values, const uint32_t *addrs,
                                  const uint32_t *bytes, uint32_t *values, int *results)
{
    if (!usable(camera) || !arraysPresent(space_types, space_values, addrs, bytes, values))
        return CAMERA_ERROR;
    zentro::RegisterLockGuard lock(camera);
    int result = CAMERA_SUCCESS;
    for (uint32_t i = 0; i < count; ++i) {
        result =
            writeAddrNolock(camera, space_types[i], space_values[i], addrs[i], bytes[i], values[i]);
        if (result != CAMERA_SUCCESS)
            values[i] = 0;
        if (results)
            results[i] = result;
    }
    return result;
}

} // extern "C"
