// Tests of register access through address spaces, checked against the traffic on a fake bus.
#include "registers/reg_access_test_support.h"
#include "registers/space_switch.h"

namespace zentro::test {
namespace {

constexpr uint32_t kSelect = 0xF0;

// Type 16: 8-bit addresses, 16-bit data, pages selected by ADDR_SPACE_SEL.
std::string pagedSensor()
{
    return sensorText(16, 8, 16, "CORE = {REG, 0, \"Page 0\"}\nIFP = {REG, 1, \"Page 1\"}\n",
                      "ADDR_SPACE_SEL = {0xF0, CORE, 1, 0x0003, RW, 0x0000, \"Select\" \"\"}\n"
                      "GAIN = {0x04, CORE, 1, 0xFFFF, RW, 0x0010, \"Gain\" \"\"}\n"
                      "TINT = {0x04, IFP, 1, 0xFFFF, RW, 0x0777, \"Tint\" \"\"}\n"
                      "HUE = {0x06, IFP, 1, 0xFFFF, RW, 0x0123, \"Hue\" \"\"}\n"
                      "    {HUE_LOW, 0x00F0, RW, \"Low\" \"\"}\n"
                      "KEY = {0x08, IFP, 1, 0xFFFF, WO, 0x0000, \"Key\" \"\"}\n");
}

// 16-bit addresses and data, no pages: a span-2 register and an indirect pair.
std::string wideSensor()
{
    return sensorText(201, 16, 16, "CORE = {REG, 0, \"Core\"}\nINDS = {IND, 0, \"Indirect\"}\n",
                      "CTRL = {0x3000, CORE, 1, 0xFFFF, RW, 0x0C54, \"Control\" \"\"}\n"
                      "    {CTRL_MODE, 0x0F00, RW, \"Mode\" \"\"}\n"
                      "STAMP = {0x3010, CORE, 2, 0xFFFFFFFF, RO, 0x0, \"Stamp\" \"\"}\n"
                      "INDIRECT_ADDR = {0x3100, CORE, 1, 0xFFFF, RW, 0x0, \"Ind addr\" \"\"}\n"
                      "INDIRECT_DATA = {0x3102, CORE, 1, 0xFFFF, RW, 0x0, \"Ind data\" \"\"}\n"
                      "IND_11 = {0x11, INDS, 1, 0xFFFF, RW, 0x0, \"Indirect 0x11\" \"\"}\n"
                      "IND_55 = {0x55, INDS, 1, 0xFFFF, RW, 0x0, \"Indirect 0x55\" \"\"}\n");
}

using RegisterAccess = BusCamera;

TEST_F(RegisterAccess, TwoReadsInOneSpaceSelectOnceWithTheCacheAndTwiceWithout)
{
    load(pagedSensor());
    setCacheMode(1);
    readValue("TINT");
    readValue("HUE");
    EXPECT_EQ(writesIn(bus.transfers()),
              (std::vector<std::pair<uint32_t, uint32_t>>{{kSelect, 1}}));

    ze_InvalidateRegCache(camera);
    bus.clearLog();
    setCacheMode(0);
    EXPECT_EQ(readValue("TINT"), 0x0777u);
    EXPECT_EQ(readValue("HUE"), 0x0123u);
    EXPECT_EQ(writesIn(bus.transfers()),
              (std::vector<std::pair<uint32_t, uint32_t>>{{kSelect, 1}, {kSelect, 1}}));
}

TEST_F(RegisterAccess, NotAcknowledgedTransfersAreRetriedUpToTheRetryCount)
{
    FakeDevice &device = load(wideSensor());
    setStoredMode(camera, ZE_NACK_RETRIES, 3);
    device.nacksLeft = 3;
    EXPECT_EQ(readValue("CTRL"), 0x0C54u);
    EXPECT_EQ(bus.transfers().size(), 4u);

    bus.clearLog();
    setStoredMode(camera, ZE_NACK_RETRIES, 2);
    device.nacksLeft = 3;
    uint32_t value = 7;
    EXPECT_EQ(ze_ReadSensorReg(camera, reg("CTRL"), &value), I2C_NACK_ERROR);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(bus.transfers().size(), 3u);

    // Other failures are not retried.
    bus.clearLog();
    device.answers = false;
    setStoredMode(camera, ZE_NACK_RETRIES, 0);
    EXPECT_EQ(ze_WriteSensorReg(camera, reg("CTRL"), 1), I2C_NACK_ERROR);
    EXPECT_EQ(bus.transfers().size(), 1u);
}

TEST_F(RegisterAccess, BitfieldWriteReadsTheHardwareOnSixteenBitAddressSensors)
{
    FakeDevice &device = load(wideSensor());
    setCacheMode(1);
    ASSERT_EQ(ze_WriteSensorReg(camera, reg("CTRL"), 0x00FF), CAMERA_SUCCESS);
    device.set(0x3000, 0xA0FF); // changed by the sensor itself
    bus.clearLog();
    ASSERT_EQ(ze_WriteSensorRegStr(camera, "CTRL", "CTRL_MODE", 0x3), CAMERA_SUCCESS);
    EXPECT_EQ(readsIn(bus.transfers()), std::vector<uint32_t>{0x3000});
    EXPECT_EQ(device.get(0x3000), 0xA3FFu);
    EXPECT_EQ(readValue("CTRL", "CTRL_MODE"), 0x3u);
}

TEST_F(RegisterAccess, BitfieldWriteTrustsTheCacheOnEightBitAddressSensors)
{
    FakeDevice &device = load(pagedSensor());
    ASSERT_EQ(ze_WriteSensorReg(camera, reg("HUE"), 0x1200), CAMERA_SUCCESS);
    device.set(0x06, 0xFFFF, 1);
    bus.clearLog();
    ASSERT_EQ(ze_WriteSensorRegStr(camera, "HUE", "HUE_LOW", 0xA), CAMERA_SUCCESS);
    EXPECT_TRUE(readsIn(bus.transfers()).empty());
    EXPECT_EQ(device.get(0x06, 1), 0x12A0u);
}

TEST_F(RegisterAccess, UnknownNamesAreLoggedAndFail)
{
    load(pagedSensor());
    LogCapture log;
    uint32_t value = 9;
    EXPECT_EQ(ze_ReadSensorRegStr(camera, "NOPE", "", &value), CAMERA_ERROR);
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(log.contains("Can't find register NOPE"));
    EXPECT_EQ(ze_WriteSensorRegStr(camera, "HUE", "NOPE", 1), CAMERA_ERROR);
    EXPECT_TRUE(log.contains("Can't find bitfield HUE::NOPE"));
    EXPECT_TRUE(bus.transfers().empty());
    EXPECT_EQ(ze_ReadSensorReg(camera, nullptr, &value), CAMERA_ERROR);
    EXPECT_EQ(ze_ReadSensorRegStr(nullptr, "HUE", "", &value), CAMERA_ERROR);
}

TEST_F(RegisterAccess, ReadRegHelperReadsWithTheGivenCacheModeAndRestoresTheThreads)
{
    FakeDevice &device = load(wideSensor());
    setCacheMode(0);
    EXPECT_EQ(readValue("CTRL"), 0x0C54u);
    device.set(0x3000, 0x0A54);
    bus.clearLog();
    // From the cache: the old value, no traffic.
    EXPECT_EQ(_readReg(camera, "CTRL", "", 2), 0x0C54u);
    EXPECT_TRUE(bus.transfers().empty());
    EXPECT_EQ(threadSettings(camera).useRegCache, 0u);
    // From the hardware, a bitfield shifted down.
    EXPECT_EQ(_readReg(camera, "CTRL", "CTRL_MODE", 0), 0xAu);
    EXPECT_EQ(readsIn(bus.transfers()), std::vector<uint32_t>{0x3000});
    // A register that cannot be read gives 0.
    LogCapture log;
    EXPECT_EQ(_readReg(camera, "NOPE", "", 0), 0u);
    EXPECT_TRUE(log.contains("Can't find register NOPE"));
    EXPECT_EQ(_readReg(nullptr, "CTRL", "", 0), 0u);
}

TEST_F(RegisterAccess, WriteOnlyRegistersAreReadFromTheCacheWithoutTraffic)
{
    load(pagedSensor());
    ASSERT_EQ(ze_WriteSensorReg(camera, reg("KEY"), 0x5A5A), CAMERA_SUCCESS);
    bus.clearLog();
    ze_reg_t *regs[] = {reg("KEY"), nullptr, reg("GAIN")};
    uint32_t values[3] = {1, 1, 1};
    int results[3] = {5, 5, 5};
    EXPECT_EQ(ze_ReadSensorRegs(camera, 3, regs, values, results), CAMERA_SUCCESS);
    EXPECT_EQ(values[0], 0x5A5Au);
    EXPECT_EQ(values[1], 0u);
    EXPECT_EQ(values[2], 0x0010u);
    EXPECT_EQ(readsIn(bus.transfers()), std::vector<uint32_t>{0x04});
    EXPECT_EQ(ze_ReadSensorRegs(camera, 1, nullptr, values, nullptr), CAMERA_ERROR);
}

TEST_F(RegisterAccess, MultiRegisterFormsReportEachResult)
{
    FakeDevice &device = load(wideSensor());
    device.nacksLeft = 100;
    setStoredMode(camera, ZE_NACK_RETRIES, 0);
    const char *names[] = {"CTRL", "MISSING"};
    uint32_t values[2] = {3, 4};
    int results[2] = {};
    EXPECT_EQ(ze_WriteSensorRegsStr(camera, 2, names, nullptr, values, results), CAMERA_ERROR);
    EXPECT_EQ(results[0], I2C_NACK_ERROR);
    EXPECT_EQ(results[1], CAMERA_ERROR);
    EXPECT_EQ(values[0], 0u);
    device.nacksLeft = 0;
    const char *bitfields[] = {"CTRL_MODE", ""};
    EXPECT_EQ(ze_ReadSensorRegsStr(camera, 1, names, bitfields, values, results), CAMERA_SUCCESS);
    EXPECT_EQ(values[0], 0xCu);
}

TEST_F(RegisterAccess, CacheOnlyModeAnswersDatabaseRegistersWithoutTraffic)
{
    load(pagedSensor());
    setCacheMode(2);
    EXPECT_EQ(readValue("GAIN"), 0u); // stale entry, still an answer
    uint32_t value = 7;
    EXPECT_EQ(ze_ReadSensorRegAddr(camera, ZE_SPACE_REG, 1, 0x06, 0, &value), CAMERA_SUCCESS);
    EXPECT_EQ(ze_ReadSensorRegAddr(camera, ZE_SPACE_REG, 1, 0x30, 2, &value), CAMERA_ERROR);
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(bus.transfers().empty());
}

TEST_F(RegisterAccess, SpanTwoPacksUnitsByTheSensorsByteOrder)
{
    FakeDevice &device = load(wideSensor());
    device.set(0x3010, 0x1111);
    device.set(0x3012, 0x2222);
    EXPECT_EQ(readValue("STAMP"), 0x11112222u);
    ASSERT_EQ(bus.transfers().size(), 1u);
    EXPECT_EQ(bus.transfers()[0].count, 2u);
}

TEST_F(RegisterAccess, SpanTwoOnALittleEndianSensorPutsTheFirstUnitLow)
{
    FakeDevice &device = load(wideSensor());
    camera->sensor->regDataLE = 1;
    device.set(0x3010, 0x1111);
    device.set(0x3012, 0x2222);
    EXPECT_EQ(readValue("STAMP"), 0x22221111u);
    ASSERT_EQ(ze_WriteSensorReg(camera, reg("STAMP"), 0xAAAABBBB), CAMERA_SUCCESS);
    EXPECT_EQ(device.get(0x3010), 0xBBBBu);
    EXPECT_EQ(device.get(0x3012), 0xAAAAu);
}

TEST_F(RegisterAccess, WriteRegsAddrEqualsOneWriteRegAddrPerEntry)
{
    load(pagedSensor());
    const uint32_t types[] = {ZE_SPACE_REG, ZE_SPACE_REG, ZE_SPACE_REG};
    const uint32_t spaces[] = {1, 0, 1};
    const uint32_t addrs[] = {0x06, 0x04, 0x20};
    const uint32_t bytes[] = {0, 2, 1};
    uint32_t values[] = {0x1234, 0x0042, 0x0099};
    int results[3] = {};
    ASSERT_EQ(ze_WriteSensorRegsAddr(camera, 3, types, spaces, addrs, bytes, values, results),
              CAMERA_SUCCESS);
    const std::vector<Transfer> together = bus.transfers();

    TestCamera other;
    FakeBus otherBus;
    ASSERT_EQ(loadSensorText(other, dir, pagedSensor(), "other.sdat"), PARSE_SUCCESS);
    otherBus.install(other);
    otherBus.addSensorDevice(other);
    const uint32_t again[] = {0x1234, 0x0042, 0x0099};
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(ze_WriteSensorRegAddr(other, types[i], spaces[i], addrs[i], bytes[i], again[i]),
                  CAMERA_SUCCESS);
    EXPECT_EQ(writesIn(together), writesIn(otherBus.transfers()));
    EXPECT_EQ(writesIn(together).size(), 6u); // three selects and three values
}

TEST_F(RegisterAccess, AddressAccessUsesTheDatabaseRegisterOfTheRightSize)
{
    FakeDevice &device = load(wideSensor());
    device.set(0x3010, 0x0001);
    device.set(0x3012, 0x0002);
    uint32_t value = 0;
    ASSERT_EQ(ze_ReadSensorRegAddr(camera, ZE_SPACE_REG, 0, 0x3010, 4, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x00010002u);
    uint32_t cached = 0;
    EXPECT_EQ(ze_GetRegCacheValueReg(camera, reg("STAMP"), &cached), 0);
    // One byte is not the register's size: a temporary register of one unit.
    bus.clearLog();
    ASSERT_EQ(ze_ReadSensorRegAddr(camera, ZE_SPACE_REG, 0, 0x3010, 1, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x0001u);
    EXPECT_EQ(bus.transfers().at(0).count, 1u);
}

TEST_F(RegisterAccess, IndirectRegistersWriteTheAddressThenMoveTheData)
{
    FakeDevice &device = load(wideSensor());
    ASSERT_EQ(ze_WriteInd(camera, 0x55, 0xBEEF), CAMERA_SUCCESS);
    EXPECT_EQ(writesIn(bus.transfers()),
              (std::vector<std::pair<uint32_t, uint32_t>>{{0x3100, 0x55}, {0x3102, 0xBEEF}}));

    bus.clearLog();
    device.script(0x3102, {0x0101, 0x0202});
    uint32_t values[2] = {};
    ASSERT_EQ(ze_ReadInds(camera, 0x10, 2, values), CAMERA_SUCCESS);
    EXPECT_EQ(values[0], 0x0101u);
    EXPECT_EQ(values[1], 0x0202u);
    EXPECT_EQ(writesIn(bus.transfers()),
              (std::vector<std::pair<uint32_t, uint32_t>>{{0x3100, 0x10}, {0x3100, 0x11}}));
    EXPECT_EQ(readsIn(bus.transfers()), (std::vector<uint32_t>{0x3102, 0x3102}));

    // What was written or read is cached under the indirect address.
    setCacheMode(1);
    bus.clearLog();
    uint32_t value = 0;
    ASSERT_EQ(ze_ReadInd(camera, 0x55, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0xBEEFu);
    ASSERT_EQ(ze_ReadInd(camera, 0x11, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x0202u);
    EXPECT_TRUE(bus.transfers().empty());
}

TEST_F(RegisterAccess, IndirectAccessWithoutItsRegistersFails)
{
    load(pagedSensor());
    uint32_t value = 3;
    EXPECT_EQ(ze_ReadInd(camera, 1, &value), CAMERA_ERROR);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(ze_WriteInd(camera, 1, 2), CAMERA_ERROR);
    EXPECT_TRUE(bus.transfers().empty());
}

TEST_F(RegisterAccess, RawAccessCallsTheCamerasOperations)
{
    FakeDevice &other = bus.addDevice(0x50, 8, 8);
    load(wideSensor());
    other.set(0x10, 0x42);
    threadSettings(camera).regAddrSize = 8;
    threadSettings(camera).regDataSize = 8;
    uint32_t value = 0;
    ASSERT_EQ(ze_readRegister(camera, 0x50, 0x10, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x42u);
    EXPECT_EQ(ze_writeRegister(camera, 0x52, 0x10, 1), I2C_NACK_ERROR);
    camera->readRegisters = nullptr;
    EXPECT_EQ(ze_readRegisters(camera, 0x50, 0x10, 1, &value), CAMERA_NOT_SUPPORTED);
}

// Sensor types 105 and 118 select a read space by the index of a bit of its id.
TEST_F(RegisterAccess, IndexSelectSensorsWriteTheBitIndexForReadsAndTheIdForWrites)
{
    load(sensorText(
        105, 8, 16, "A = {REG, 0, \"A\"}\nB = {REG, 4, \"B\"}\n",
        "2_WIRE_SERIAL_READ_INDEX = {0xF0, A, 1, 0xFFFF, RW, 0x0, \"Read index\" \"\"}\n"
        "2_WIRE_SERIAL_WRITE_INDEX = {0xF2, A, 1, 0xFFFF, RW, 0x0, \"Write index\" \"\"}\n"
        "X = {0x10, B, 1, 0xFFFF, RW, 0x0, \"X\" \"\"}\n"));
    ASSERT_EQ(camera->sensor->addrSpaces->readSelectAddr, 0xF0u);
    threadSettings(camera).regDataSize = 8;
    EXPECT_EQ(switchAddrSpace(camera, 0x0004, false), CAMERA_SUCCESS);
    EXPECT_EQ(switchAddrSpace(camera, 0x0000, true), CAMERA_SUCCESS);
    EXPECT_EQ(switchAddrSpace(camera, 0x10000, false), CAMERA_SUCCESS); // no bit in 0..15
    EXPECT_EQ(switchAddrSpace(camera, 0x0004, true), CAMERA_SUCCESS);
    const std::vector<Transfer> log = bus.transfers();
    EXPECT_EQ(writesIn(log), (std::vector<std::pair<uint32_t, uint32_t>>{{0xF0, 2}, {0xF2, 4}}));
    for (const Transfer &entry : log) {
        EXPECT_EQ(entry.dataSize, 16u);
        EXPECT_EQ(entry.dataLE, 0u);
    }
    EXPECT_EQ(threadSettings(camera).regDataSize, 8u);
    EXPECT_EQ(cachedReadSelect(camera), 2u);

    // With the cache on, the cached index saves the write.
    setCacheMode(1);
    bus.clearLog();
    EXPECT_EQ(switchAddrSpace(camera, 0x0004, false), CAMERA_SUCCESS);
    EXPECT_TRUE(bus.transfers().empty());
}

TEST(RegisterSizes, DataSizeFollowsTheSpaceKind)
{
    TestCamera camera;
    EXPECT_EQ(ze_dataSize(camera, nullptr), 32u);
    ze_addr_space_t far{};
    far.type = ZE_SPACE_FAR1;
    far.farDataSize = 8;
    far.farDataLE = 1;
    ze_reg_t reg{};
    reg.span = 2;
    reg.addrSpace = &far;
    EXPECT_EQ(ze_dataSize(camera, &reg), 16u);
    EXPECT_EQ(ze_dataLE(camera, &reg), 1u);
    far.type = ZE_SPACE_IND;
    EXPECT_EQ(ze_dataSize(camera, &reg), 32u);
    far.type = ZE_SPACE_MCU;
    reg.span = 1;
    reg.mask = 0x1FFFF;
    EXPECT_EQ(ze_dataSize(camera, &reg), 32u);
    reg.mask = 0xFF;
    EXPECT_EQ(ze_dataSize(camera, &reg), 8u);
    far.type = 12;
    EXPECT_EQ(ze_dataSize(camera, &reg), 16u);
    EXPECT_EQ(ze_varMaskToIs8(0xFF), 1u);
    EXPECT_EQ(ze_varMaskToIs8(0x100), 2u);
    EXPECT_EQ(ze_varMaskToIs8(0x10000), 4u);
}

TEST_F(RegisterAccess, AddressStepsFollowTheSensorsWidths)
{
    load(wideSensor());
    EXPECT_EQ(ze_dataSize(camera, reg("STAMP")), 32u);
    EXPECT_EQ(ze_GetAddrIncrement(camera, kTestSensorBus, ZE_SPACE_REG), 2u);
    EXPECT_EQ(ze_GetAddrIncrement(camera, 0x50, ZE_SPACE_REG), 1u);
    EXPECT_EQ(ze_GetAddrIncrement(camera, kTestSensorBus, ZE_SPACE_MCU), 1u);
    threadSettings(camera).regDataSize = 32;
    EXPECT_EQ(ze_GetAddrIncrementDataSize(camera, kTestSensorBus, ZE_SPACE_REG), 4u);
    EXPECT_EQ(ze_GetAddrIncrementDataSize(camera, 0x50, ZE_SPACE_REG), 2u);
    EXPECT_EQ(ze_GetSensorAddrIncrement(camera, ZE_SPACE_REG), 2u);
    EXPECT_EQ(ze_shipDataLE(camera, kTestSensorBus), 0u);
}

TEST(RegisterAccessOnNullCamera, ReadsBackDefaultsAndWrittenValues)
{
    TempDir dir;
    const std::string path = dir.file("paged.sdat");
    writeFile(path, pagedSensor());
    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
    int count = 0;
    ASSERT_EQ(ze_OpenCameras2(cameras, &count, path.c_str(), ZE_TRANSPORT_NUL, ""), 0);
    ze_camera_t *camera = cameras[0];
    ze_startTransport(camera);
    uint32_t value = 0;
    EXPECT_EQ(ze_ReadSensorRegStr(camera, "TINT", "", &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x0777u);
    EXPECT_EQ(ze_WriteSensorRegStr(camera, "HUE", "HUE_LOW", 0x5), CAMERA_SUCCESS);
    EXPECT_EQ(ze_ReadSensorRegAddr(camera, ZE_SPACE_REG, 1, 0x06, 0, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x0153u);
    ze_CloseCameras2(cameras, count);
}

} // namespace
} // namespace zentro::test
