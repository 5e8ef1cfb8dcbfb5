// The generic camera-level register operations: lock, cache, transfer with NACK retry.
#include "camera/generic_ops.h"

#include <algorithm>
#include <optional>

#include "camera/context.h"
#include "registers/access.h"
#include "registers/cache.h"
#include "registers/transfer.h"
#include "zentro_errors.h"
#include "zentro_reg.h"

namespace {

constexpr uint32_t kCacheOnly = 2;

// Sensor types whose address step differs from the address and data sizes.
constexpr uint32_t kTypeDoubleStep = 35;
constexpr uint32_t kTypesSingleStepReg[] = {37, 45};
constexpr uint32_t kFirstSingleStepType = 136;
constexpr uint32_t kLastSingleStepType = 140;
constexpr uint32_t kWideBits = 16;
// Sensors that select a space by the index of a mask bit: their select switch caches
// the index itself, which is not the space id.
constexpr uint32_t kTypesIndexSelect[] = {105, 118};

bool typeIsIn(uint32_t type, const auto &types)
{
    return std::find(std::begin(types), std::end(types), type) != std::end(types);
}

// A run of data units of the sensor's own registers in one REG space.
struct UnitRun {
    uint32_t spaceValue;
    uint32_t start;
    uint32_t count;
    uint32_t step;
};

bool isNullCamera(const ze_camera_t *camera)
{
    return (camera->transportType & ZE_TRANSPORT_NUL) != 0;
}

void clearValues(uint32_t *values, uint32_t count)
{
    std::fill(values, values + count, 0u);
}

// Calls @visit(register, first unit) for each database register whose units all lie in
// @run, in address order; units that belong to no register are passed over.
template <class Visit>
void forEachRegister(ze_camera_t *camera, const UnitRun &run, Visit visit)
{
    uint32_t unit = 0;
    while (unit < run.count) {
        ze_reg_t *reg =
            ze_FindRegisterAddr(camera, run.start + unit * run.step, run.spaceValue, ZE_SPACE_REG);
        const uint32_t span = reg ? std::max(reg->span, 1u) : 1u;
        if (reg && span <= run.count - unit) {
            visit(*reg, unit);
            unit += span;
        } else {
            ++unit;
        }
    }
}

uint32_t packUnits(const ze_sensor_t *sensor, const uint32_t *units, uint32_t span)
{
    return _packValueBySpan(units, sensor->regDataSize, sensor->regDataLE, span);
}

void unpackUnits(const ze_sensor_t *sensor, uint32_t *units, uint32_t value, uint32_t span)
{
    _unpackValueBySpan(units, value, sensor->regDataSize, sensor->regDataLE, span);
}

// A camera without hardware: every register reads what its entry holds, other units 0.
void readStoredValues(ze_camera_t *camera, const UnitRun &run, uint32_t *values)
{
    clearValues(values, run.count);
    forEachRegister(camera, run, [&](const ze_reg_t &reg, uint32_t unit) {
        uint32_t value = 0;
        if (zentro::storedCacheValue(camera, zentro::cacheIndexOf(camera, &reg), &value))
            unpackUnits(camera->sensor, values + unit, value, std::max(reg.span, 1u));
    });
}

// True when every unit of @run belongs to a register whose entry is a hit.
bool readHits(ze_camera_t *camera, const UnitRun &run, uint32_t *values)
{
    uint32_t covered = 0;
    forEachRegister(camera, run, [&](const ze_reg_t &reg, uint32_t unit) {
        uint32_t value = 0;
        if (zentro::getCacheValueReg(camera, &reg, &value) != zentro::kCacheHit)
            return;
        const uint32_t span = std::max(reg.span, 1u);
        unpackUnits(camera->sensor, values + unit, value, span);
        covered += span;
    });
    return covered == run.count;
}

void storeRead(ze_camera_t *camera, const UnitRun &run, const uint32_t *values)
{
    forEachRegister(camera, run, [&](const ze_reg_t &reg, uint32_t unit) {
        zentro::setCacheValueIndex(
            camera, zentro::cacheIndexOf(camera, &reg),
            packUnits(camera->sensor, values + unit, std::max(reg.span, 1u)));
    });
}

void storeWritten(ze_camera_t *camera, const UnitRun &run, const uint32_t *values)
{
    forEachRegister(camera, run, [&](const ze_reg_t &reg, uint32_t unit) {
        zentro::setCacheValueReg(camera, &reg,
                                 packUnits(camera->sensor, values + unit, std::max(reg.span, 1u)));
    });
}

// Reads @count values: from the cache when the camera has no hardware or the thread's
// cache mode allows it, else through @transfer, whose result is stored in the cache.
template <class Transfer>
int readThroughCache(ze_camera_t *camera, const std::optional<UnitRun> &run, uint32_t count,
                     uint32_t *values, Transfer transfer)
{
    if (run && isNullCamera(camera)) {
        readStoredValues(camera, *run, values);
        return CAMERA_SUCCESS;
    }
    const uint32_t mode = zentro::threadSettings(camera).useRegCache;
    if (run && mode != 0) {
        if (readHits(camera, *run, values))
            return CAMERA_SUCCESS;
        if (mode == kCacheOnly) {
            clearValues(values, count);
            return CAMERA_ERROR;
        }
    }
    const int result = transfer();
    if (result != CAMERA_SUCCESS) {
        clearValues(values, count);
        return result;
    }
    if (run)
        storeRead(camera, *run, values);
    return CAMERA_SUCCESS;
}

// Writes always reach the transport; what it accepted is cached.
template <class Transfer>
int writeThroughCache(ze_camera_t *camera, const std::optional<UnitRun> &run,
                      const uint32_t *values, Transfer transfer)
{
    const int result = transfer();
    if (result == CAMERA_SUCCESS && run)
        storeWritten(camera, *run, values);
    return result;
}

bool hasSensorRegisters(const ze_camera_t *camera)
{
    return camera->sensor && camera->sensor->regs && camera->sensor->regCount > 0;
}

UnitRun sensorRun(const ze_camera_t *camera, uint32_t addrSpace, uint32_t start, uint32_t count)
{
    return {addrSpace, start, count, zentro::sensorUnitStep(camera->sensor)};
}

// The run a raw transfer covers in the sensor's database: only at the sensor's own bus
// address with units of the sensor's width, in the space currently selected for that
// direction (nothing when that selection is unknown).
std::optional<UnitRun> rawRun(ze_camera_t *camera, uint32_t busAddr, uint32_t start, uint32_t count,
                              bool forWrite)
{
    const ze_sensor_t *sensor = camera->sensor;
    if (!hasSensorRegisters(camera) || busAddr != sensor->shipBaseAddr ||
        zentro::threadSettings(camera).regDataSize != sensor->regDataSize)
        return std::nullopt;
    const uint32_t space =
        forWrite ? zentro::cachedWriteSelect(camera) : zentro::cachedReadSelect(camera);
    if (space == zentro::kNoCachedSelect)
        return std::nullopt;
    return UnitRun{space, start, count, zentro::sensorUnitStep(sensor)};
}

// After a transfer in space @id the device has that space selected.
void rememberSelection(ze_camera_t *camera, uint32_t id, bool forWrite)
{
    if (typeIsIn(camera->sensor->sensorType, kTypesIndexSelect))
        return;
    if (forWrite)
        zentro::setCachedWriteSelect(camera, id);
    else
        zentro::setCachedReadSelect(camera, id);
}

bool usable(const ze_camera_t *camera, uint32_t count, const uint32_t *values)
{
    return camera && camera->context && (values || count == 0);
}

} // namespace

namespace zentro {

uint32_t sensorUnitStep(const ze_sensor_t *sensor)
{
    if (!sensor)
        return 1;
    const uint32_t type = sensor->sensorType;
    if (type >= kFirstSingleStepType && type <= kLastSingleStepType)
        return 1;
    if (typeIsIn(type, kTypesSingleStepReg))
        return 1;
    if (type == kTypeDoubleStep)
        return 2;
    return sensor->regAddrSize == kWideBits && sensor->regDataSize == kWideBits ? 2 : 1;
}

int genericReadSensorRegisters(ze_camera_t *camera, uint32_t addrSpace, uint32_t start,
                               uint32_t count, uint32_t *values)
{
    if (!usable(camera, count, values))
        return CAMERA_ERROR;
    RegisterLockGuard lock(camera);
    std::optional<UnitRun> run;
    if (hasSensorRegisters(camera))
        run = sensorRun(camera, addrSpace, start, count);
    bool transferred = false;
    const int result = readThroughCache(camera, run, count, values, [&] {
        transferred = true;
        return transferReadSensorRegisters(camera, addrSpace, start, count, values);
    });
    if (result == CAMERA_SUCCESS && transferred && camera->sensor)
        rememberSelection(camera, addrSpace, false);
    return result;
}

int genericWriteSensorRegisters(ze_camera_t *camera, uint32_t addrSpace, uint32_t start,
                                uint32_t count, uint32_t *values)
{
    if (!usable(camera, count, values))
        return CAMERA_ERROR;
    RegisterLockGuard lock(camera);
    std::optional<UnitRun> run;
    if (hasSensorRegisters(camera))
        run = sensorRun(camera, addrSpace, start, count);
    const int result = writeThroughCache(camera, run, values, [&] {
        return transferWriteSensorRegisters(camera, addrSpace, start, count, values);
    });
    if (result == CAMERA_SUCCESS && camera->sensor)
        rememberSelection(camera, addrSpace, true);
    return result;
}

int genericReadRegisters(ze_camera_t *camera, uint32_t busAddr, uint32_t start, uint32_t count,
                         uint32_t *values)
{
    if (!usable(camera, count, values))
        return CAMERA_ERROR;
    RegisterLockGuard lock(camera);
    return readThroughCache(
        camera, rawRun(camera, busAddr, start, count, false), count, values,
        [&] { return transferReadRegisters(camera, busAddr, start, count, values); });
}

int genericWriteRegisters(ze_camera_t *camera, uint32_t busAddr, uint32_t start, uint32_t count,
                          uint32_t *values)
{
    if (!usable(camera, count, values))
        return CAMERA_ERROR;
    RegisterLockGuard lock(camera);
    return writeThroughCache(camera, rawRun(camera, busAddr, start, count, true), values, [&] {
        return transferWriteRegisters(camera, busAddr, start, count, values);
    });
}

int genericReadRegister(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr, uint32_t *value)
{
    if (!usable(camera, 1, value))
        return CAMERA_ERROR;
    RegisterLockGuard lock(camera);
    return readThroughCache(camera, rawRun(camera, busAddr, regAddr, 1, false), 1, value,
                            [&] { return transferReadRegister(camera, busAddr, regAddr, value); });
}

int genericWriteRegister(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr, uint32_t value)
{
    if (!camera || !camera->context)
        return CAMERA_ERROR;
    RegisterLockGuard lock(camera);
    return writeThroughCache(camera, rawRun(camera, busAddr, regAddr, 1, true), &value, [&] {
        return transferWriteRegister(camera, busAddr, regAddr, value);
    });
}

} // namespace zentro
