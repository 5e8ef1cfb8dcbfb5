// Selection of the sensor's address space (register page) before a sensor-register transfer.
#include "registers/space_switch.h"

#include <algorithm>
#include <bit>

#include "registers/cache.h"
#include "registers/transfer.h"
#include "zentro_errors.h"

namespace {

// Sensors whose read select takes the index of a bit of the space id, and whose write
// select is written only for a non-zero id; both select registers take 16-bit big-endian
// data.
constexpr uint32_t kIndexSelectTypes[] = {105, 118};
constexpr uint32_t kIndexSelectBits = 16;
constexpr uint32_t kIndexSelectDataBits = 16;

bool selectsByIndex(const ze_sensor_t *sensor)
{
    return std::ranges::find(kIndexSelectTypes, sensor->sensorType) != std::end(kIndexSelectTypes);
}

uint32_t cachedSelection(ze_camera_t *camera, bool forWrite)
{
    return forWrite ? zentro::cachedWriteSelect(camera) : zentro::cachedReadSelect(camera);
}

void rememberSelection(ze_camera_t *camera, uint32_t value, bool forWrite)
{
    if (forWrite)
        zentro::setCachedWriteSelect(camera, value);
    else
        zentro::setCachedReadSelect(camera, value);
}

// Writes @value to the select register unless the cache knows it is there already.
int writeSelect(ze_camera_t *camera, uint32_t selectAddr, uint32_t value, bool forWrite)
{
    if (zentro::threadSettings(camera).useRegCache != zentro::kCacheModeOff &&
        cachedSelection(camera, forWrite) == value)
        return CAMERA_SUCCESS;
    const int result =
        zentro::transferWriteRegister(camera, camera->sensor->shipBaseAddr, selectAddr, value);
    if (result == CAMERA_SUCCESS)
        rememberSelection(camera, value, forWrite);
    return result;
}

int switchByIndex(ze_camera_t *camera, uint32_t selectAddr, uint32_t id, bool forWrite)
{
    const ze_sensor_t *sensor = camera->sensor;
    zentro::ScopedTransferFormat format(camera, sensor->regAddrSize, kIndexSelectDataBits, 0);
    if (forWrite)
        return id == 0 ? CAMERA_SUCCESS : writeSelect(camera, selectAddr, id, true);
    const uint32_t lowBits = id & ((1u << kIndexSelectBits) - 1);
    if (lowBits == 0)
        return CAMERA_SUCCESS;
    return writeSelect(camera, selectAddr, static_cast<uint32_t>(std::countr_zero(lowBits)), false);
}

} // namespace

namespace zentro {

int switchAddrSpace(ze_camera_t *camera, uint32_t id, bool forWrite)
{
    if (!camera || !camera->context || !camera->sensor)
        return CAMERA_ERROR;
    const ze_addr_space_list_t *table = camera->sensor->addrSpaces;
    if (!table || table->readSelectAddr == 0)
        return CAMERA_SUCCESS;
    const uint32_t selectAddr = forWrite ? table->writeSelectAddr : table->readSelectAddr;
    if (selectAddr == 0)
        return CAMERA_SUCCESS;
    if (selectsByIndex(camera->sensor))
        return switchByIndex(camera, selectAddr, id, forWrite);
    return writeSelect(camera, selectAddr, id, forWrite);
}

} // namespace zentro
