// Batch reads of ze_ReadSensorRegs: MCU variables read together, far registers deferred.
#include "registers/batch_read.h"

#include "registers/access.h"
#include "registers/mcu_access.h"

#include <algorithm>
#include <array>
#include <vector>

#include "registers/cache.h"
#include "zentro_errors.h"
#include "zentro_reg.h"

namespace {

constexpr uint32_t kByteBits = 8;
constexpr uint32_t kCommandStyleType = 159;
// Sensors whose camera adapter can sample far registers into general-purpose registers.
constexpr std::array<uint32_t, 6> kFarBatchTypes = {95, 99, 120, 127, 128, 129};
constexpr const char *kGprRegisters[] = {
    "CAM_ADAPT_GPR_0_ADDRESS", "CAM_ADAPT_GPR_0_VALUE_ABOVE_TH", "CAM_ADAPT_GPR_0_GPR_CONTROL",
    "CAM_ADAPT_GPR_7_ADDRESS", "CAM_ADAPT_GPR_7_VALUE_ABOVE_TH", "CAM_ADAPT_GPR_7_GPR_CONTROL"};

bool hasGprRegisters(ze_camera_t *camera)
{
    return std::ranges::all_of(kGprRegisters,
                               [&](const char *name) { return ze_ExistsRegister(camera, name); });
}

bool isFar(uint32_t type)
{
    return type == ZE_SPACE_FAR1 || type == ZE_SPACE_FAR2;
}

uint32_t bytesOf(ze_camera_t *camera, const ze_reg_t *reg)
{
    return ze_dataSize(camera, reg) / kByteBits;
}

// Whether @next continues the run of variables that ends with @last.
bool continuesRun(ze_camera_t *camera, const ze_reg_t *last, const ze_reg_t *next)
{
    const uint32_t bytes = bytesOf(camera, last);
    return zentro::spaceIdOf(next) == zentro::spaceIdOf(last) && bytesOf(camera, next) == bytes &&
           next->addr == last->addr + bytes;
}

void place(uint32_t position, uint32_t value, int result, uint32_t *values, int *results)
{
    values[position] = value;
    if (results)
        results[position] = result;
}

// Consecutive variables of one driver and size go to the hardware in one read.
int readVariableRuns(ze_camera_t *camera, ze_reg_t **regs, const uint32_t *positions,
                     uint32_t count, uint32_t *values, int *results)
{
    int result = CAMERA_SUCCESS;
    std::vector<uint32_t> run;
    for (uint32_t first = 0; first < count;) {
        uint32_t end = first + 1;
        while (end < count && continuesRun(camera, regs[end - 1], regs[end]))
            ++end;
        run.assign(end - first, 0);
        result = zentro::readVarsNolock(camera, zentro::spaceIdOf(regs[first]), regs[first]->addr,
                                        end - first, bytesOf(camera, regs[first]), run.data());
        for (uint32_t i = first; i < end; ++i) {
            if (result == CAMERA_SUCCESS)
                zentro::setCacheValueReg(camera, regs[i], run[i - first]);
            place(positions[i], run[i - first], result, values, results);
        }
        first = end;
    }
    return result;
}

} // namespace

namespace zentro {

bool deferredToBatch(ze_camera_t *camera, const ze_reg_t *reg)
{
    const uint32_t type = spaceTypeOf(reg);
    const uint32_t sensorType = camera->sensor->sensorType;
    if (sensorType == kCommandStyleType)
        return type == ZE_SPACE_MCU;
    return isFar(type) && std::ranges::find(kFarBatchTypes, sensorType) != kFarBatchTypes.end() &&
           hasGprRegisters(camera);
}

int readBatchNolock(ze_camera_t *camera, ze_reg_t **regs, const uint32_t *positions, uint32_t count,
                    uint32_t *values, int *results)
{
    if (camera->sensor->sensorType == kCommandStyleType && !isNullCamera(camera))
        return readVariableRuns(camera, regs, positions, count, values, results);
    // The adapter's general-purpose-register protocol is not known here: deferred far
    // registers are read one by one, still after every other register of the list.
    int result = CAMERA_SUCCESS;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t value = 0;
        result = readRegNolock(camera, regs[i], &value);
        place(positions[i], value, result, values, results);
    }
    return result;
}

} // namespace zentro
