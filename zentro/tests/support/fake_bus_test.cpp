// Tests of the fake bus the register-access tests stand on.
#include <gtest/gtest.h>

#include <string>

#include "camera/context.h"
#include "support/fake_bus.h"
#include "support/test_support.h"
#include "zentro.h"

namespace zentro::test {
namespace {

constexpr uint32_t kSensorBus = 0x90;
constexpr uint32_t kPageSelect = 0xF0;

// Two pages selected at 0xF0.
const std::string kPagedSensor = std::string(kPagedSensorHead) + R"([REGISTERS]
GAIN = {0x04, CORE, 1, 0xFFFF, RW, 0x0010, "Gain" ""}
TINT = {0x04, IFP, 1, 0xFFFF, RW, 0x0777, "Tint" ""}
ADDR_SPACE_SEL = {0xF0, CORE, 1, 0x0003, RW, 0x0000, "Page select" ""}
[END]
)";

class FakeBusTest : public ::testing::Test
{
protected:
    void setWidths(uint32_t addrBits, uint32_t dataBits)
    {
        threadSettings(camera).regAddrSize = addrBits;
        threadSettings(camera).regDataSize = dataBits;
    }

    TestCamera camera;
    FakeBus bus;
};

TEST_F(FakeBusTest, RawTransfersUseTheNarrowerWidthAndLogTheThreadsModes)
{
    bus.install(camera);
    FakeDevice &narrow = bus.addDevice(0x6C, 8, 8);
    setWidths(8, 16);
    threadSettings(camera).regDataLE = 1;
    uint32_t written[] = {0x1234, 0x56};
    EXPECT_EQ(camera->writeRegisters(camera, 0x6C, 0x10, 2, written), CAMERA_SUCCESS);
    EXPECT_EQ(narrow.get(0x10), 0x34u);
    EXPECT_EQ(narrow.get(0x11), 0x56u);

    setWidths(8, 8);
    uint32_t value = 0;
    EXPECT_EQ(camera->readRegister(camera, 0x6C, 0x11, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x56u);

    const std::vector<Transfer> log = bus.transfers();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].kind, TransferKind::WriteMany);
    EXPECT_EQ(log[0].where, 0x6Cu);
    EXPECT_EQ(log[0].count, 2u);
    EXPECT_EQ(log[0].values, (std::vector<uint32_t>{0x1234, 0x56}));
    EXPECT_EQ(log[0].dataSize, 16u);
    EXPECT_EQ(log[0].dataLE, 1u);
    EXPECT_EQ(log[1].kind, TransferKind::Read);
    EXPECT_EQ(log[1].dataSize, 8u);
    EXPECT_EQ(log[1].values, std::vector<uint32_t>{0x56});
}

TEST_F(FakeBusTest, SixteenBitDeviceStepsTwoAddressesPerUnit)
{
    bus.install(camera);
    FakeDevice &wide = bus.addDevice(0x20, 16, 16);
    wide.set(0x3000, 0xAAAA);
    wide.set(0x3002, 0xBBBB);
    setWidths(16, 16);
    uint32_t values[2] = {};
    EXPECT_EQ(camera->readRegisters(camera, 0x20, 0x3000, 2, values), CAMERA_SUCCESS);
    EXPECT_EQ(values[0], 0xAAAAu);
    EXPECT_EQ(values[1], 0xBBBBu);
}

// Straight to the transport-level slots: what the bus answers before the library's retries
// and clean-up.
TEST_F(FakeBusTest, NackInjectionAndAbsentDevicesFailWithJunkInTheTransport)
{
    bus.install(camera);
    FakeDevice &flaky = bus.addDevice(0x20, 16, 16);
    flaky.set(0x10, 7);
    flaky.nacksLeft = 2;
    FakeDevice &silent = bus.addDevice(0x30, 16, 16);
    silent.answers = false;
    setWidths(16, 16);
    const ze_transport_ops &ops = camera->context->ops;

    uint32_t value = 0;
    EXPECT_EQ(ops.readRegister(camera, 0x20, 0x10, &value), I2C_NACK_ERROR);
    EXPECT_EQ(value, kFailedReadJunk);
    EXPECT_EQ(ops.writeRegister(camera, 0x20, 0x10, 9), I2C_NACK_ERROR);
    EXPECT_EQ(flaky.get(0x10), 7u);
    EXPECT_EQ(ops.readRegister(camera, 0x20, 0x10, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(ops.readRegister(camera, 0x30, 0x10, &value), I2C_NACK_ERROR);
    EXPECT_EQ(ops.readRegister(camera, 0x40, 0x10, &value), I2C_NACK_ERROR);

    std::vector<int> results;
    for (const Transfer &entry : bus.transfers())
        results.push_back(entry.result);
    EXPECT_EQ(results, (std::vector<int>{I2C_NACK_ERROR, I2C_NACK_ERROR, CAMERA_SUCCESS,
                                         I2C_NACK_ERROR, I2C_NACK_ERROR}));
}

TEST_F(FakeBusTest, ScriptedAnswersComeFirstThenTheRegisterFile)
{
    bus.install(camera);
    FakeDevice &device = bus.addDevice(0x20, 16, 16);
    device.set(0x40, 0x0);
    device.script(0x40, {0x1, 0x1});
    setWidths(16, 16);
    std::vector<uint32_t> seen;
    for (int i = 0; i < 3; ++i) {
        uint32_t value = 0xFF;
        ASSERT_EQ(camera->readRegister(camera, 0x20, 0x40, &value), CAMERA_SUCCESS);
        seen.push_back(value);
    }
    EXPECT_EQ(seen, (std::vector<uint32_t>{1, 1, 0}));
}

TEST_F(FakeBusTest, SensorDeviceHoldsDefaultsInPagesReachedThroughTheSelectRegister)
{
    TempDir dir;
    ASSERT_EQ(loadSensorText(camera, dir, kPagedSensor), PARSE_SUCCESS);
    bus.install(camera);
    FakeDevice &sensor = bus.addSensorDevice(camera);
    EXPECT_EQ(sensor.addrBits, 8u);
    EXPECT_EQ(sensor.get(0x04, 0), 0x0010u);
    EXPECT_EQ(sensor.get(0x04, 1), 0x0777u);

    uint32_t value = 0;
    ASSERT_EQ(ze_readSensorRegisters(camera, 1, 0x04, 1, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x0777u);
    EXPECT_EQ(sensor.page, 1u);

    const std::vector<Transfer> log = bus.transfers();
    ASSERT_GE(log.size(), 2u);
    const Transfer &select = log[log.size() - 2];
    EXPECT_FALSE(select.isRead());
    EXPECT_EQ(select.where, kSensorBus);
    EXPECT_EQ(select.addr, kPageSelect);
    EXPECT_EQ(select.values, std::vector<uint32_t>{1});
    EXPECT_TRUE(log.back().isRead());
    EXPECT_EQ(log.back().addrSize, 8u);
    EXPECT_EQ(log.back().dataSize, 16u);
}

TEST_F(FakeBusTest, OwnSensorAndSystemSlotsAddressPagesAndVariablesDirectly)
{
    TempDir dir;
    ASSERT_EQ(loadSensorText(camera, dir, kPagedSensor), PARSE_SUCCESS);
    bus.install(camera, {.sensorRegisters = true, .systemRegisters = true});
    FakeDevice &sensor = bus.addSensorDevice(camera);

    uint32_t value = 0x0123;
    ASSERT_EQ(ze_writeSensorRegisters(camera, 1, 0x04, 1, &value), CAMERA_SUCCESS);
    EXPECT_EQ(sensor.get(0x04, 1), 0x0123u);
    EXPECT_EQ(sensor.get(0x04, 0), 0x0010u);
    EXPECT_EQ(sensor.page, 0u);

    uint32_t variables[] = {0x11, 0x22};
    ASSERT_EQ(ze_writeSystemRegisters(camera, 1, 3, 0x10, 16, 2, variables), CAMERA_SUCCESS);
    EXPECT_EQ((sensor.systemRegisters[{1, 3, 0x12}]), 0x22u);

    const std::vector<Transfer> system = bus.transfers(TransferKind::WriteSystem);
    ASSERT_EQ(system.size(), 1u);
    EXPECT_EQ(system[0].systemKind, 1u);
    EXPECT_EQ(system[0].where, 3u);
    EXPECT_EQ(system[0].systemBits, 16u);
    EXPECT_EQ(bus.transfers(TransferKind::WriteSensor).at(0).where, 1u);
}

} // namespace
} // namespace zentro::test
