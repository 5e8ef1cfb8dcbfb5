// Tests of far registers: the bus-master and DMA mechanisms, the switch and the allow-list.
#include "registers/reg_access_test_support.h"

namespace zentro::test {
namespace {

using Writes = std::vector<std::pair<uint32_t, uint32_t>>;
constexpr uint32_t kFarBase = 0x98;

const std::string kFarSpaces = "CORE = {REG, 0, \"Core\"}\nPMIC = {FAR1, 0, \"Power\"}\n";
const std::string kFarRegisters = "PMIC_ID = {0x31, PMIC, 1, 0xFF, RO, 0x0, \"Id\" \"\"}\n"
                                  "PMIC_WORD = {0x40, PMIC, 2, 0xFFFF, RW, 0x0, \"Word\" \"\"}\n";

// Type 44: the on-chip bus master.
std::string busMasterSensor()
{
    return sensorText(
        44, 16, 16, kFarSpaces,
        "I2C_MASTER_STATUS = {0x3000, CORE, 1, 0xFFFF, RO, 0x0, \"Status\" \"\"}\n"
        "I2C_MASTER_CONTROL = {0x3002, CORE, 1, 0xFFFF, RW, 0x0, \"Control\" \"\"}\n"
        "TXBUFFER_TOTAL_BYTE_COUNT = {0x3004, CORE, 1, 0xFFFF, RW, 0x0, \"Count\" \"\"}\n"
        "TXBUFFER_DATA_REGISTER_0 = {0x3010, CORE, 1, 0xFFFF, RW, 0x0, \"Tx 0\" \"\"}\n"
        "TXBUFFER_DATA_REGISTER_1 = {0x3012, CORE, 1, 0xFFFF, RW, 0x0, \"Tx 1\" \"\"}\n"
        "TXBUFFER_DATA_REGISTER_2 = {0x3014, CORE, 1, 0xFFFF, RW, 0x0, \"Tx 2\" \"\"}\n"
        "RXBUFFER_DATA_REGISTER_1 = {0x3020, CORE, 1, 0xFFFF, RO, 0x0, \"Rx 1\" \"\"}\n"
        "STANDBY_CONTROL_AND_STATUS = {0x3030, CORE, 1, 0xFFFF, RW, 0x0, \"Standby\" \"\"}\n" +
            kFarRegisters);
}

// Type 71: the DMA engine.
std::string dmaSensor()
{
    return sensorText(71, 16, 16, kFarSpaces,
                      "DMA_SRC = {0x0100, CORE, 2, 0xFFFFFFFF, RW, 0x0, \"Source\" \"\"}\n"
                      "DMA_DST = {0x0104, CORE, 2, 0xFFFFFFFF, RW, 0x0, \"Destination\" \"\"}\n"
                      "DMA_SIZE = {0x0108, CORE, 1, 0xFFFF, RW, 0x0, \"Size\" \"\"}\n"
                      "DMA_CTRL = {0x010A, CORE, 1, 0xFFFF, RW, 0x0, \"Control\" \"\"}\n"
                      "FW_REVISION_NUMBER = {0x010C, CORE, 1, 0xFFFF, RO, 0x0, \"Rev\" \"\"}\n" +
                          kFarRegisters);
}

class FarRegisters : public BusCamera
{
protected:
    FakeDevice &loadFar(const std::string &text)
    {
        FakeDevice &device = load(text);
        ze_addr_space_t *space = reg("PMIC_ID")->addrSpace;
        space->farBase = kFarBase;
        space->farAddrSize = 8;
        space->farDataSize = 8;
        // Some families start with far access off until the application turns it on.
        setStoredMode(camera, ZE_ALLOW_FAR_ACCESS, 1);
        return device;
    }
    int readFar(const char *name, uint32_t *value)
    {
        *value = 0xBAD;
        return ze_ReadFarReg(camera, reg(name), value);
    }
};

TEST_F(FarRegisters, SwitchedOffFarAccessReadsZeroWithoutTraffic)
{
    loadFar(busMasterSensor());
    setStoredMode(camera, ZE_ALLOW_FAR_ACCESS, 0);
    uint32_t value = 0;
    EXPECT_EQ(readFar("PMIC_WORD", &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0u);
    uint32_t units[3] = {7, 7, 7};
    EXPECT_EQ(ze_ReadFarRegs(camera, ZE_SPACE_FAR1, 0, 0x40, 3, units), CAMERA_SUCCESS);
    EXPECT_EQ(units[2], 0u);
    EXPECT_EQ(ze_ReadFarRegs(camera, ZE_SPACE_FAR1, 0, 0x77, 1, units), CAMERA_ERROR);
    EXPECT_TRUE(bus.transfers().empty());
}

TEST_F(FarRegisters, BusMasterSendsTheFrameAndReadsTheAnswer)
{
    FakeDevice &device = loadFar(busMasterSensor());
    device.script(0x3000, {0x1, 0x1});
    device.set(0x3020, 0x5A00);
    uint32_t value = 0;
    ASSERT_EQ(readFar("PMIC_ID", &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x5Au);
    EXPECT_EQ(
        writesIn(bus.transfers()),
        (Writes{{0x3010, 0x9800}, {0x3012, 0x3199}, {0x3014, 0x0000}, {0x3004, 4}, {0x3002, 1}}));
    EXPECT_EQ(readsIn(bus.transfers()), (std::vector<uint32_t>{0x3030, 0x3000, 0x3000, 0x3020}));
    uint32_t cached = 0;
    EXPECT_EQ(ze_GetRegCacheValueReg(camera, reg("TXBUFFER_DATA_REGISTER_1"), &cached), 0);
    EXPECT_EQ(cached, 0x3199u);
}

TEST_F(FarRegisters, BusMasterWritesASpanAsOneTransaction)
{
    FakeDevice &device = loadFar(busMasterSensor());
    device.script(0x3000, {0x1, 0x1});
    ASSERT_EQ(ze_WriteFarReg(camera, reg("PMIC_WORD"), 0x1234), CAMERA_SUCCESS);
    EXPECT_EQ(
        writesIn(bus.transfers()),
        (Writes{{0x3010, 0x9882}, {0x3012, 0x4012}, {0x3014, 0x3400}, {0x3004, 4}, {0x3002, 1}}));
    setCacheMode(1);
    bus.clearLog();
    EXPECT_EQ(readValue("PMIC_WORD"), 0x1234u);
    EXPECT_TRUE(bus.transfers().empty());
}

TEST_F(FarRegisters, BusMasterStatusBitsBecomeErrors)
{
    FakeDevice &device = loadFar(busMasterSensor());
    uint32_t value = 0;
    device.script(0x3000, {0x1, 0x5});
    EXPECT_EQ(readFar("PMIC_ID", &value), I2C_NACK_ERROR);
    EXPECT_EQ(value, 0u);
    device.script(0x3000, {0x1, 0x3});
    EXPECT_EQ(readFar("PMIC_ID", &value), CAMERA_ERROR);
    bus.clearLog();
    device.set(0x3000, 0); // never ready
    EXPECT_EQ(readFar("PMIC_ID", &value), CAMERA_TIMEOUT);
    EXPECT_EQ(readsIn(bus.transfers()).size(), 101u); // the standby word and 100 polls
}

TEST_F(FarRegisters, BusMasterInStandbyReadsZero)
{
    FakeDevice &device = loadFar(busMasterSensor());
    device.set(0x3030, 0x1);
    uint32_t value = 0;
    EXPECT_EQ(readFar("PMIC_ID", &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(writesIn(bus.transfers()).empty());
}

TEST_F(FarRegisters, AddressesOffTheAllowListAreNotAcknowledged)
{
    FakeDevice &device = loadFar(busMasterSensor());
    camera->context->farAllowList.forbid(kFarBase);
    uint32_t value = 0;
    EXPECT_EQ(readFar("PMIC_ID", &value), I2C_NACK_ERROR);
    EXPECT_TRUE(bus.transfers().empty());

    ASSERT_EQ(_SetMode(camera, ZE_ALLOW_FAR_ACCESS, kFarBase), CAMERA_SUCCESS);
    EXPECT_EQ(storedMode(camera, ZE_ALLOW_FAR_ACCESS), 1u);
    device.script(0x3000, {0x1, 0x1});
    EXPECT_EQ(readFar("PMIC_ID", &value), CAMERA_SUCCESS);
}

TEST_F(FarRegisters, DmaEngineMovesOneUnitPerRequest)
{
    FakeDevice &device = loadFar(dmaSensor());
    device.script(0x010A, {0x2, 0x0}); // busy once, then done
    device.script(0x0104, {0x5A00});   // the engine's answer in DMA_DST
    uint32_t value = 0;
    ASSERT_EQ(readFar("PMIC_ID", &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x5Au);
    EXPECT_EQ(writesIn(bus.transfers()), (Writes{{0x0100, 0x0098},
                                                 {0x0102, 0x0031},
                                                 {0x0104, 0x0000},
                                                 {0x0106, 0x0104},
                                                 {0x0108, 1},
                                                 {0x010A, 0x32}}));
    EXPECT_EQ(readsIn(bus.transfers()), (std::vector<uint32_t>{0x010C, 0x010A, 0x010A, 0x0104}));
}

TEST_F(FarRegisters, DmaEngineThatStaysBusyDropsTheDevice)
{
    FakeDevice &device = loadFar(dmaSensor());
    device.set(0x010A, 0x1);
    uint32_t value = 0;
    EXPECT_EQ(readFar("PMIC_ID", &value), CAMERA_TIMEOUT);
    EXPECT_FALSE(camera->context->farAllowList.allows(kFarBase));
    bus.clearLog();
    EXPECT_EQ(readFar("PMIC_ID", &value), I2C_NACK_ERROR);
    EXPECT_TRUE(bus.transfers().empty());
}

int recordFarRead(ze_camera_t *, uint32_t base, uint32_t addr, uint32_t addrBits, uint32_t dataBits,
                  uint32_t count, uint32_t *values)
{
    for (uint32_t i = 0; i < count; ++i)
        values[i] = base + addr + addrBits + dataBits + i;
    return CAMERA_SUCCESS;
}

TEST_F(FarRegisters, TransportFarOperationAnswersFirstAndOtherFamiliesHaveNoPath)
{
    loadFar(sensorText(16, 8, 16, kFarSpaces, kFarRegisters));
    uint32_t value = 0;
    EXPECT_EQ(readFar("PMIC_ID", &value), CAMERA_ERROR);
    EXPECT_EQ(value, 0u);
    camera->context->readFarRegisters = recordFarRead;
    ASSERT_EQ(readFar("PMIC_WORD", &value), CAMERA_SUCCESS);
    // Units 0x98 + 0x40 + 16 = 0xE8 and 0xE9, big-endian.
    EXPECT_EQ(value, 0xE8E9u);
    EXPECT_TRUE(bus.transfers().empty());
}

TEST_F(FarRegisters, ProbingASensorWithoutDmaAllowsEveryAddress)
{
    loadFar(busMasterSensor());
    camera->context->farAllowList.setAll(false);
    EXPECT_EQ(ze_ProbeFarBus(camera), CAMERA_SUCCESS);
    EXPECT_TRUE(camera->context->farAllowList.allows(0x02));
    EXPECT_TRUE(camera->context->farAllowList.allows(0xFE));
    EXPECT_EQ(ze_ProbeFarBus(nullptr), CAMERA_ERROR);
}

} // namespace
} // namespace zentro::test
