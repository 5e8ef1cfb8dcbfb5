// Tests of MCU variables, special-function registers and RAM aliases against the fake bus.
#include "registers/access.h"
#include "registers/reg_access_test_support.h"
#include "registers/transfer.h"

namespace zentro::test {
namespace {

using Writes = std::vector<std::pair<uint32_t, uint32_t>>;

const std::string kMcuSpaces = "CORE = {REG, 0, \"Core\"}\nAE = {MCU, 2, \"Exposure\"}\n"
                               "SFR = {SFR, 0, \"Special functions\"}\n";

// Type 16: the window MCU_ADDRESS / MCU_DATA_0.
std::string windowSensor()
{
    return sensorText(16, 8, 16, kMcuSpaces,
                      "MCU_ADDRESS = {0xC0, CORE, 1, 0xBFFF, RW, 0x0, \"Address\" \"\"}\n"
                      "MCU_DATA_0 = {0xC1, CORE, 1, 0xFFFF, RW, 0x0, \"Data\" \"\"}\n"
                      "AE_TARGET = {0x10, AE, 1, 0xFFFF, RW, 0x0, \"Target\" \"\"}\n"
                      "SFR_PORT = {0x1050, SFR, 1, 0xFF, RW, 0x0, \"Port\" \"\"}\n");
}

// Type 44: physical addressing through MCU_ADDRESS / PHYSICAL_ADDR_ACCESS and MCU_DATA_0.
std::string physicalSensor()
{
    return sensorText(44, 16, 16, kMcuSpaces,
                      "ACCESS_CTL_STAT = {0x0982, CORE, 1, 0xFFFF, RW, 0x0, \"Ctl\" \"\"}\n"
                      "PHYSICAL_ADDR_ACCESS = {0x098A, CORE, 1, 0xFFFF, RW, 0x0, \"Phys\" \"\"}\n"
                      "MCU_ADDRESS = {0x098C, CORE, 1, 0xFFFF, RW, 0x0, \"Address\" \"\"}\n"
                      "MCU_DATA_0 = {0x0990, CORE, 1, 0xFFFF, RW, 0x0, \"Data\" \"\"}\n");
}

// Type 55: variables mapped from 0x8000 on, logical ports when direct access is off.
std::string directSensor()
{
    return sensorText(
        55, 16, 16, kMcuSpaces,
        "ACCESS_CTL_STAT = {0x0982, CORE, 1, 0xFFFF, RW, 0x0, \"Ctl\" \"\"}\n"
        "PHYSICAL_ADDRESS_ACCESS = {0x098A, CORE, 1, 0xFFFF, RW, 0x0, \"Phys\" \"\"}\n"
        "LOGICAL_ADDRESS_ACCESS = {0x098E, CORE, 1, 0xFFFF, RW, 0x0, \"Logical\" \"\"}\n"
        "MCU_VARIABLE_DATA0 = {0x0990, CORE, 1, 0xFFFF, RW, 0x0, \"Data\" \"\"}\n"
        "AE_TARGET = {0x10, AE, 1, 0xFFFF, RW, 0x0, \"Target\" \"\"}\n"
        "AE_TARGET_RAM = {0x8810, CORE, 1, 0xFFFF, RW, 0x0, \"Target in RAM\" \"\"}\n");
}

// Type 71: the SFR space through the ADVANCED_BASE window at 0xE000.
std::string advancedBaseSensor()
{
    return sensorText(71, 16, 16, kMcuSpaces,
                      "ADVANCED_BASE = {0x0040, CORE, 2, 0xFFFFFFFF, RW, 0x0, \"Base\" \"\"}\n"
                      "SFR_COUNT = {0x10FFE, SFR, 1, 0xFFFF, RW, 0x0, \"Count\" \"\"}\n");
}

using McuVariables = BusCamera;

TEST_F(McuVariables, WindowStyleWritesTheAddressWordThenReadsTheDataPort)
{
    FakeDevice &device = load(windowSensor());
    device.script(0xC1, {0x1234, 0xAB, 0x1111, 0x2222});
    uint32_t value = 0;
    ASSERT_EQ(ze_ReadVar(camera, 2, 0x10, 2, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x1234u);
    ASSERT_EQ(ze_ReadVar(camera, 2, 0x12, 1, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0xABu);
    ASSERT_EQ(ze_ReadVar(camera, 2, 0x14, 4, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x11112222u);
    EXPECT_EQ(writesIn(bus.transfers()), (Writes{{0xC0, 0x2210}, {0xC0, 0xA212}, {0xC0, 0x2214}}));
    EXPECT_EQ(readsIn(bus.transfers()), (std::vector<uint32_t>{0xC1, 0xC1, 0xC1, 0xC1}));
    uint32_t cached = 0;
    EXPECT_EQ(ze_GetRegCacheValueReg(camera, reg("AE_TARGET"), &cached), 0);
    EXPECT_EQ(cached, 0x1234u);
}

TEST_F(McuVariables, ReadAfterWriteWithTheCacheOnNeedsNoTraffic)
{
    FakeDevice &device = load(windowSensor());
    ASSERT_EQ(ze_WriteVar(camera, 2, 0x10, 2, 0x0BAD), CAMERA_SUCCESS);
    EXPECT_EQ(writesIn(bus.transfers()), (Writes{{0xC0, 0x2210}, {0xC1, 0x0BAD}}));
    EXPECT_EQ(device.get(0xC1), 0x0BADu);
    bus.clearLog();
    setCacheMode(1);
    uint32_t value = 0;
    ASSERT_EQ(ze_ReadVar(camera, 2, 0x10, 2, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x0BADu);
    EXPECT_EQ(readValue("AE_TARGET"), 0x0BADu);
    EXPECT_TRUE(bus.transfers().empty());

    // A burst leaves its range to be read again.
    const uint32_t values[] = {1, 2};
    ASSERT_EQ(ze_WriteVarBurst(camera, 2, 0x10, 2, 2, values), CAMERA_SUCCESS);
    bus.clearLog();
    ASSERT_EQ(ze_ReadVar(camera, 2, 0x10, 2, &value), CAMERA_SUCCESS);
    EXPECT_FALSE(bus.transfers().empty());
}

TEST_F(McuVariables, BurstsOfAnyLengthLeaveTheirRangeToBeReadAgain)
{
    FakeDevice &device = load(windowSensor());
    setStoredMode(camera, ZE_NACK_RETRIES, 0);
    setCacheMode(1);
    ASSERT_EQ(ze_WriteVar(camera, 2, 0x10, 2, 0x1111), CAMERA_SUCCESS);
    const uint32_t one = 0x2222;
    ASSERT_EQ(ze_WriteVarBurst(camera, 2, 0x10, 1, 2, &one), CAMERA_SUCCESS);
    bus.clearLog();
    device.script(0xC1, {0x2223}); // what the device made of the value
    uint32_t value = 0;
    ASSERT_EQ(ze_ReadVar(camera, 2, 0x10, 2, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x2223u);
    EXPECT_FALSE(bus.transfers().empty());

    // A burst that fails does not leave the cache answering for its range either.
    ASSERT_EQ(ze_WriteVar(camera, 2, 0x12, 2, 0x3333), CAMERA_SUCCESS);
    const uint32_t two[] = {4, 5};
    device.nacksLeft = 1;
    EXPECT_NE(ze_WriteVarBurst(camera, 2, 0x10, 2, 2, two), CAMERA_SUCCESS);
    bus.clearLog();
    ASSERT_EQ(ze_ReadVar(camera, 2, 0x12, 2, &value), CAMERA_SUCCESS);
    EXPECT_FALSE(bus.transfers().empty());
}

TEST_F(McuVariables, CacheOnlyModeWithoutAValueFails)
{
    load(windowSensor());
    setCacheMode(2);
    uint32_t value = 5;
    EXPECT_EQ(ze_ReadVar(camera, 2, 0x40, 2, &value), CAMERA_ERROR);
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(bus.transfers().empty());
}

TEST_F(McuVariables, PhysicalStyleMarksByteAccessInTheAddressWord)
{
    FakeDevice &device = load(physicalSensor());
    device.script(0x0990, {0x00CD});
    uint32_t value = 0;
    ASSERT_EQ(ze_ReadVar(camera, 2, 0x10, 1, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0xCDu);
    EXPECT_EQ(writesIn(bus.transfers()), (Writes{{0x098C, 0x8810}}));
}

TEST_F(McuVariables, LogicalStyleByteIsTheHighByteOfTheDataUnit)
{
    FakeDevice &device = load(directSensor());
    _SetMode(camera, ZE_DIRECT_VAR_ACCESS, 0);
    ASSERT_EQ(ze_McuAddrStyle(camera), ZE_MCU_STYLE_LOGICAL);
    device.script(0x0990, {0xAB12});
    uint32_t value = 0;
    ASSERT_EQ(ze_ReadVar(camera, 2, 0x10, 1, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0xABu);
    ASSERT_EQ(ze_WriteVar(camera, 2, 0x11, 1, 0x34), CAMERA_SUCCESS);
    EXPECT_EQ(writesIn(bus.transfers()),
              (Writes{{0x098E, 0x8810}, {0x098E, 0x8811}, {0x0990, 0x3400}}));
}

TEST_F(McuVariables, DirectStyleSwitchesToLogicalAddressingOnce)
{
    FakeDevice &device = load(directSensor());
    device.set(0x8810, 0x4321);
    device.set(0x8812, 0x8765);
    uint32_t values[2] = {};
    ASSERT_EQ(ze_ReadVars(camera, 2, 0x10, 2, 2, values), CAMERA_SUCCESS);
    EXPECT_EQ(values[0], 0x4321u);
    EXPECT_EQ(values[1], 0x8765u);
    EXPECT_EQ(writesIn(bus.transfers()), (Writes{{0x098E, 0x0810}}));
    EXPECT_EQ(directAccessState(camera).logical, 1u);

    bus.clearLog();
    uint32_t value = 0;
    ASSERT_EQ(ze_ReadVar(camera, 2, 0x10, 2, &value), CAMERA_SUCCESS);
    EXPECT_TRUE(writesIn(bus.transfers()).empty());
    EXPECT_EQ(readsIn(bus.transfers()), std::vector<uint32_t>{0x8810});
    EXPECT_EQ(bus.transfers().at(0).dataSize, 16u);
}

TEST_F(McuVariables, SystemRegisterOperationsAnswerFirst)
{
    FakeDevice &device = load(windowSensor(), FakeBusSlots{false, true});
    device.systemRegisters[{kSystemKindMcu, 2, 0x10}] = 0x7777;
    uint32_t value = 0;
    ASSERT_EQ(ze_ReadVar(camera, 2, 0x10, 2, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x7777u);
    ASSERT_EQ(bus.transfers().size(), 1u);
    EXPECT_EQ(bus.transfers()[0].kind, TransferKind::ReadSystem);
    EXPECT_EQ(bus.transfers()[0].systemBits, 16u);
    ASSERT_EQ(ze_WriteSfr(camera, 0, 0x1050, 1, 0x5A), CAMERA_SUCCESS);
    EXPECT_EQ((device.systemRegisters[{kSystemKindSfr, 0, 0x1050}]), 0x5Au);
}

TEST_F(McuVariables, MissingPortRegistersFail)
{
    load(sensorText(16, 8, 16, kMcuSpaces, "X = {0x01, CORE, 1, 0xFFFF, RW, 0x0, \"X\" \"\"}\n"));
    uint32_t value = 1;
    EXPECT_EQ(ze_ReadVar(camera, 2, 0x10, 2, &value), CAMERA_ERROR);
    EXPECT_EQ(ze_WriteSfr(camera, 0, 0x10, 2, 1), CAMERA_ERROR);
    EXPECT_TRUE(bus.transfers().empty());
}

using SpecialFunctionRegisters = BusCamera;

TEST_F(SpecialFunctionRegisters, SingleWritesAreCachedAndBurstsOfOneAreNot)
{
    FakeDevice &device = load(windowSensor(), FakeBusSlots{false, true});
    setCacheMode(1);
    ASSERT_EQ(ze_WriteSfr(camera, 0, 0x1050, 1, 0x5A), CAMERA_SUCCESS);
    bus.clearLog();
    uint32_t value = 0;
    ASSERT_EQ(ze_ReadSfr(camera, 0, 0x1050, 1, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x5Au);
    EXPECT_TRUE(bus.transfers().empty());

    const uint32_t one = 0x5B;
    ASSERT_EQ(ze_WriteSfrBurst(camera, 0, 0x1050, 1, 1, &one), CAMERA_SUCCESS);
    device.systemRegisters[{kSystemKindSfr, 0, 0x1050}] = 0x5C; // the device adjusted it
    bus.clearLog();
    ASSERT_EQ(ze_ReadSfr(camera, 0, 0x1050, 1, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x5Cu);
    EXPECT_EQ(bus.transfers().size(), 1u);
}

TEST_F(SpecialFunctionRegisters, AdvancedBaseReadAcrossAPageMovesTheBaseTwice)
{
    FakeDevice &device = load(advancedBaseSensor());
    device.set(0xEFFE, 0x0102);
    device.set(0xE000, 0x0304);
    uint32_t values[2] = {};
    ASSERT_EQ(ze_ReadSfrs(camera, 0, 0x10FFE, 2, 2, values), CAMERA_SUCCESS);
    EXPECT_EQ(values[0], 0x0102u);
    EXPECT_EQ(values[1], 0x0304u);
    const Writes writes = writesIn(bus.transfers());
    EXPECT_EQ(writes, (Writes{{0x40, 0x0001}, {0x42, 0x0000}, {0x40, 0x0001}, {0x42, 0x1000}}));
    EXPECT_EQ(readsIn(bus.transfers()), (std::vector<uint32_t>{0xEFFE, 0xE000}));
    EXPECT_EQ(directAccessState(camera).advancedBase, 0x11000u);

    // The base is where it has to be: no write.
    bus.clearLog();
    uint32_t value = 0;
    ASSERT_EQ(ze_ReadSfr(camera, 0, 0x11002, 2, &value), CAMERA_SUCCESS);
    EXPECT_TRUE(writesIn(bus.transfers()).empty());
    EXPECT_EQ(ze_ReadSfrs(camera, 0, 0x11002, 0, 2, &value), CAMERA_NOT_SUPPORTED);
}

TEST_F(SpecialFunctionRegisters, AdvancedBaseWindowRegisterIsAnAliasOfTheSfr)
{
    load(advancedBaseSensor() + "");
    ASSERT_EQ(ze_WriteSfr(camera, 0, 0x10000, 2, 0), CAMERA_SUCCESS); // base 0x10000
    ze_reg_t *alias = ze_FindRegisterAddr(camera, 0xEFFE, 0, ZE_SPACE_REG);
    ASSERT_NE(alias, nullptr);
    EXPECT_STREQ(alias->name, "SFR_COUNT");
}

TEST_F(SpecialFunctionRegisters, DirectStyleSelectsPageAndAddressThenUsesTheWindow)
{
    FakeDevice &device = load(directSensor());
    device.set(0x9234, 0x00EE);
    uint32_t value = 0;
    ASSERT_EQ(ze_ReadSfr(camera, 2, 0x9234, 2, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x00EEu);
    EXPECT_EQ(writesIn(bus.transfers()), (Writes{{0x0982, 0x81}, {0x098A, 0x1234}}));
    EXPECT_EQ(readsIn(bus.transfers()), std::vector<uint32_t>{0x9234});
    EXPECT_EQ(directAccessState(camera).logical, 0u);
    EXPECT_EQ(directAccessState(camera).page, 2u);
}

TEST_F(SpecialFunctionRegisters, PhysicalStyleUsesTheControlBitForAddressBitFifteen)
{
    FakeDevice &device = load(physicalSensor());
    device.script(0x0990, {0x0042});
    uint32_t value = 0;
    ASSERT_EQ(ze_ReadSfr(camera, 0, 0x8004, 2, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x42u);
    EXPECT_EQ(writesIn(bus.transfers()), (Writes{{0x0982, 1}, {0x098A, 0x0004}}));
}

using RamAliases = BusCamera;

TEST_F(RamAliases, DirectRegisterWritesTheVariableItStandsFor)
{
    FakeDevice &device = load(directSensor());
    ASSERT_EQ(ze_WriteVar(camera, 2, 0x10, 2, 1), CAMERA_SUCCESS); // logical addressing now
    bus.clearLog();
    ASSERT_EQ(ze_WriteSensorReg(camera, reg("AE_TARGET_RAM"), 0xFACE), CAMERA_SUCCESS);
    ASSERT_EQ(bus.transfers().size(), 1u);
    EXPECT_EQ(bus.transfers()[0].addr, 0x8810u);
    EXPECT_EQ(device.get(0x8810), 0xFACEu);
    uint32_t cached = 0;
    EXPECT_EQ(ze_GetRegCacheValueReg(camera, reg("AE_TARGET"), &cached), 0);
    EXPECT_EQ(cached, 0xFACEu);
    EXPECT_EQ(ze_FindRegisterAddr(camera, 0x8810, 0, ZE_SPACE_REG), reg("AE_TARGET_RAM"));
    EXPECT_EQ(ze_FindRegisterAddr(camera, 0x8812, 0, ZE_SPACE_REG), nullptr);
}

TEST_F(RamAliases, WindowDataPortOnANullCameraIsTheVariableTheAddressHolds)
{
    load(windowSensor());
    camera->transportType = ZE_TRANSPORT_NUL;
    ASSERT_EQ(ze_WriteVar(camera, 2, 0x10, 2, 0x0ABC), CAMERA_SUCCESS);
    EXPECT_EQ(readValue("MCU_DATA_0"), 0x0ABCu);
    ASSERT_EQ(ze_WriteSensorReg(camera, reg("MCU_DATA_0"), 0x0DEF), CAMERA_SUCCESS);
    uint32_t value = 0;
    ASSERT_EQ(ze_ReadVar(camera, 2, 0x10, 2, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x0DEFu);
    ASSERT_EQ(ze_WriteSensorReg(camera, reg("MCU_ADDRESS"), 0x0210), CAMERA_SUCCESS);
    // A physical address is no variable: the port's own entry answers, which holds what
    // last went through the port itself (the variable write), not the aliased write.
    EXPECT_EQ(readValue("MCU_DATA_0"), 0x0ABCu);
}

TEST_F(RamAliases, InvalidationForgetsTheStateAndReadsTheControlRegisterAgain)
{
    FakeDevice &device = load(directSensor());
    device.set(0x0982, 0x0045); // physical bit set, page 1, bit 0 set
    bus.clearLog();
    ASSERT_EQ(ze_InvalidateRegCache(camera), CAMERA_SUCCESS);
    EXPECT_EQ(readsIn(bus.transfers()), std::vector<uint32_t>{0x0982});
    const ze_common_context::DirectAccessState &state = directAccessState(camera);
    EXPECT_EQ(state.logical, 0u);
    EXPECT_EQ(state.page, 1u);
    EXPECT_EQ(state.bit0, 1u);
    EXPECT_EQ(state.advancedBase, ze_common_context::DirectAccessState::kUnknown);
}

} // namespace
} // namespace zentro::test
