// Block reads of contiguous sensor registers.
#include "register_batch.h"

#include <algorithm>

namespace zcli {
namespace {

// Widest register value the library assembles from units.
constexpr uint32_t kMaxSpan = 32;
// Units asked for in one request: bounds the reply a board has to send at once.
constexpr uint32_t kMaxRunUnits = 1024;

size_t blockReads = 0;

struct Run {
    uint32_t spaceId = 0;
    uint32_t start = 0;
    uint32_t count = 0;          // units
    std::vector<size_t> members; // indexes into the caller's list
};

uint32_t spanOf(const ze_reg_t *reg)
{
    return std::max(reg->span, 1u);
}

bool readableInRuns(const ze_reg_t *reg)
{
    const bool plainSpace = !reg->addrSpace || reg->addrSpace->type == ZE_SPACE_REG;
    return plainSpace && reg->access != ZE_ACCESS_WO && spanOf(reg) <= kMaxSpan;
}

// Asked once per listing: on a remote camera each question may cost a request.
uint32_t addressStep(ze_camera_t *camera)
{
    return std::max(ze_GetSensorAddrIncrement(camera, ZE_SPACE_REG), 1u);
}

std::vector<Run> planRuns(ze_camera_t *camera, const std::vector<ze_reg_t *> &regs, uint32_t step,
                          std::vector<size_t> &singles)
{
    // Sensors that map MCU variables into the register space read those through the MCU path.
    const bool plainSensor = ze_McuDirectStyle(camera) == ZE_MCU_STYLE_NONE;
    std::vector<size_t> order;
    for (size_t i = 0; i < regs.size(); ++i) {
        if (plainSensor && readableInRuns(regs[i]))
            order.push_back(i);
        else if (regs[i]->access != ZE_ACCESS_WO)
            singles.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const ze_reg_t *x = regs[a];
        const ze_reg_t *y = regs[b];
        return x->addrSpaceId != y->addrSpaceId ? x->addrSpaceId < y->addrSpaceId
                                                : x->addr < y->addr;
    });
    std::vector<Run> runs;
    for (const size_t index : order) {
        const ze_reg_t *reg = regs[index];
        const uint32_t units = spanOf(reg);
        Run *run = runs.empty() ? nullptr : &runs.back();
        const uint64_t runEnd = run ? uint64_t{run->start} + uint64_t{run->count} * step : 0;
        const bool joins = run && run->spaceId == reg->addrSpaceId && reg->addr <= runEnd &&
                           (reg->addr - run->start) % step == 0;
        if (joins) {
            const uint32_t needed = (reg->addr - run->start) / step + units;
            if (needed <= kMaxRunUnits) {
                run->count = std::max(run->count, needed);
                run->members.push_back(index);
                continue;
            }
        }
        runs.push_back(Run{reg->addrSpaceId, reg->addr, units, {index}});
    }
    return runs;
}

void readOne(ze_camera_t *camera, ze_reg_t *reg, RegisterReading &reading)
{
    reading.result = ze_ReadSensorReg(camera, reg, &reading.value);
}

void readRun(ze_camera_t *camera, const Run &run, uint32_t step,
             const std::vector<ze_reg_t *> &regs, std::vector<RegisterReading> &readings)
{
    const ze_sensor_t *sensor = camera->sensor;
    std::vector<uint32_t> units(run.count, 0);
    ++blockReads;
    const int result =
        ze_readSensorRegisters(camera, run.spaceId, run.start, run.count, units.data());
    for (const size_t index : run.members) {
        ze_reg_t *reg = regs[index];
        if (result != CAMERA_SUCCESS) {
            // One register that does not answer must not hide its neighbours.
            readOne(camera, reg, readings[index]);
            continue;
        }
        const uint32_t offset = (reg->addr - run.start) / step;
        readings[index].value = _packValueBySpan(units.data() + offset, sensor->regDataSize,
                                                 sensor->regDataLE, spanOf(reg));
    }
}

} // namespace

std::vector<RegisterReading> readRegisters(ze_camera_t *camera, const std::vector<ze_reg_t *> &regs)
{
    blockReads = 0;
    std::vector<RegisterReading> readings(regs.size());
    for (size_t i = 0; i < regs.size(); ++i)
        if (regs[i]->access == ZE_ACCESS_WO)
            readings[i].result = CAMERA_NOT_SUPPORTED;
    std::vector<size_t> singles;
    const uint32_t step = addressStep(camera);
    for (const Run &run : planRuns(camera, regs, step, singles))
        readRun(camera, run, step, regs, readings);
    for (const size_t index : singles)
        readOne(camera, regs[index], readings[index]);
    return readings;
}

size_t lastBlockReadCount()
{
    return blockReads;
}

} // namespace zcli
