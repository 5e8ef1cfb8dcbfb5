// Two threads hammering register reads and writes on one camera: every value read is one
// that was written, even while the other thread switches the address space.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "camera/context.h"
#include "support/fake_bus.h"
#include "support/test_support.h"
#include "zentro.h"

namespace zentro::test {
namespace {

constexpr int kIterations = 4000;
constexpr uint32_t kTagCore = 0xA000;
constexpr uint32_t kTagIfp = 0xB000;
constexpr uint32_t kTagMask = 0xF000;
constexpr uint32_t kIndexMask = 0x0FFF;
constexpr uint32_t kFieldMask = 0xFF;

// Two pages selected at 0xF0. GAIN and TINT share an
// address in different pages: a page switch between select and transfer would swap them.
const std::string kPagedSensor = std::string(kPagedSensorHead) + R"([REGISTERS]
GAIN = {0x04, CORE, 1, 0xFFFF, RW, 0x0010, "Gain" ""}
SHARED = {0x05, CORE, 1, 0xFFFF, RW, 0x0000, "Written by both" ""}
TINT = {0x04, IFP, 1, 0xFFFF, RW, 0x0777, "Tint" ""}
FIELDS = {0x06, IFP, 1, 0xFFFF, RW, 0x0000, "Two bitfields" ""}
    {LOW, 0x00FF, RW, "Low byte" ""}
    {HIGH, 0xFF00, RW, "High byte" ""}
ADDR_SPACE_SEL = {0xF0, CORE, 1, 0x0003, RW, 0x0000, "Page select" ""}
[END]
)";

// What one thread owns: a register of its own page and a bitfield of a shared register.
struct Worker {
    Worker(const char *regName, const char *fieldName, uint32_t valueTag)
        : reg(regName), field(fieldName), tag(valueTag)
    {
    }

    const char *reg;
    const char *field;
    uint32_t tag;
    uint32_t lastRegValue = 0;
    uint32_t lastFieldValue = 0;
    int failures = 0;
    std::string firstFailure;

    void fail(const std::string &what)
    {
        if (failures++ == 0)
            firstFailure = what;
    }
};

bool isWrittenShared(uint32_t value)
{
    const uint32_t tag = value & kTagMask;
    return value == 0 ||
           ((tag == kTagCore || tag == kTagIfp) && (value & kIndexMask) < uint32_t(kIterations));
}

// Each iteration writes the worker's own register, its bitfield and SHARED, reading each
// back at once: its own values must come back exactly, SHARED one of either thread's.
void hammer(ze_camera_t *camera, Worker &worker, std::atomic<bool> &start)
{
    while (!start.load())
        std::this_thread::yield();
    for (int i = 0; i < kIterations; ++i) {
        const uint32_t regValue = worker.tag | uint32_t(i);
        const uint32_t fieldValue = uint32_t(i) & kFieldMask;
        uint32_t read = 0;
        if (ze_WriteSensorRegStr(camera, worker.reg, "", regValue) != CAMERA_SUCCESS ||
            ze_ReadSensorRegStr(camera, worker.reg, "", &read) != CAMERA_SUCCESS ||
            read != regValue)
            worker.fail(std::string(worker.reg) + " read " + std::to_string(read) + " after " +
                        std::to_string(regValue));
        worker.lastRegValue = regValue;
        if (ze_WriteSensorRegStr(camera, "FIELDS", worker.field, fieldValue) != CAMERA_SUCCESS ||
            ze_ReadSensorRegStr(camera, "FIELDS", worker.field, &read) != CAMERA_SUCCESS ||
            read != fieldValue)
            worker.fail(std::string("FIELDS.") + worker.field + " read " + std::to_string(read) +
                        " after " + std::to_string(fieldValue));
        worker.lastFieldValue = fieldValue;
        if (ze_WriteSensorRegStr(camera, "SHARED", "", regValue) != CAMERA_SUCCESS ||
            ze_ReadSensorRegStr(camera, "SHARED", "", &read) != CAMERA_SUCCESS ||
            !isWrittenShared(read))
            worker.fail("SHARED read " + std::to_string(read));
    }
}

class RegAccessStress : public ::testing::TestWithParam<uint32_t>
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(loadSensorText(camera, dir, kPagedSensor), PARSE_SUCCESS);
        bus.install(camera);
        sensor = &bus.addSensorDevice(camera);
        // A camera outside the table of open cameras: every thread uses its settings.
        threadSettings(camera).useRegCache = GetParam();
    }

    TempDir dir;
    TestCamera camera;
    FakeBus bus;
    FakeDevice *sensor = nullptr;
};

TEST_P(RegAccessStress, EveryValueReadWasWrittenAndNothingIsLost)
{
    Worker core{"GAIN", "LOW", kTagCore};
    Worker ifp{"TINT", "HIGH", kTagIfp};
    std::atomic<bool> start{false};
    std::thread first(hammer, camera.get(), std::ref(core), std::ref(start));
    std::thread second(hammer, camera.get(), std::ref(ifp), std::ref(start));
    start.store(true);
    first.join();
    second.join();

    EXPECT_EQ(core.failures, 0) << core.firstFailure;
    EXPECT_EQ(ifp.failures, 0) << ifp.firstFailure;
    // The device holds the last writes, each in its own page, and no bitfield was lost.
    EXPECT_EQ(sensor->get(0x04, 0), core.lastRegValue);
    EXPECT_EQ(sensor->get(0x04, 1), ifp.lastRegValue);
    EXPECT_EQ(sensor->get(0x06, 1), (ifp.lastFieldValue << 8) | core.lastFieldValue);
    EXPECT_TRUE(isWrittenShared(sensor->get(0x05, 0)));
    const std::vector<Transfer> transfers = bus.transfers();
    EXPECT_GT(transfers.size(), size_t(kIterations));
    EXPECT_EQ(std::count_if(transfers.begin(), transfers.end(),
                            [](const Transfer &t) { return t.result != CAMERA_SUCCESS; }),
              0);
}

INSTANTIATE_TEST_SUITE_P(CacheModes, RegAccessStress, ::testing::Values(0u, 1u),
                         [](const ::testing::TestParamInfo<uint32_t> &info) {
                             return info.param == 0 ? std::string("HardwareOnly")
                                                    : std::string("CacheFirst");
                         });

} // namespace
} // namespace zentro::test
