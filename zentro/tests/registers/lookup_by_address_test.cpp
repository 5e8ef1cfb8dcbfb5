// Lookup by address within address spaces, MCU styles and multi-unit register values.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "camera/context.h"
#include "registers/reg_test_database.h"
#include "support/test_support.h"

using zentro::test::installSensor;
using zentro::test::RegisterDef;
using zentro::test::SpaceDef;
using zentro::test::TestCamera;

namespace {

constexpr uint32_t kGenericType = 0;
constexpr uint32_t kWindowType = 16;
constexpr uint32_t kDirectType = 55;
constexpr uint32_t kArrayImagerType = 105;
constexpr uint32_t kCommandType = 159;
constexpr uint32_t kSelectAddr = 0x0D;

uint32_t addrOf(const ze_reg_t *reg)
{
    return reg ? reg->addr : 0xDEAD;
}

// The name of the register found, or "none".
std::string nameOf(const ze_reg_t *reg)
{
    return reg ? reg->name : "none";
}

TEST(RegisterByAddress, RegisterWithoutSpaceAnswersAnySpace)
{
    TestCamera camera;
    installSensor(camera, {{"PLAIN", 0x3000}});
    EXPECT_EQ(nameOf(ze_FindRegisterAddr(camera, 0x3000, 7, ZE_SPACE_MCU)), "PLAIN");
    EXPECT_EQ(nameOf(ze_FindRegisterAddr(camera, 0x3000, 0, ZE_SPACE_REG)), "PLAIN");
    EXPECT_EQ(ze_FindRegisterAddr(camera, 0x3002, 0, ZE_SPACE_REG), nullptr);
}

TEST(RegisterByAddress, FirstRegisterInArrayOrderWins)
{
    TestCamera camera;
    installSensor(camera, {{"A", 0x10}, {"B", 0x20}, {"C", 0x10}});
    EXPECT_EQ(nameOf(ze_FindRegisterAddr(camera, 0x10, 0, ZE_SPACE_REG)), "A");
}

const std::vector<SpaceDef> kTwoRegSpaces = {{"CORE", ZE_SPACE_REG, 0}, {"PAGE1", ZE_SPACE_REG, 1}};
const std::vector<RegisterDef> kPagedRegisters = {{"CORE_0x10", 0x10, {}, "", 0},
                                                  {"PAGE1_0x10", 0x10, {}, "", 1}};

TEST(RegisterByAddress, RegSpaceIdCountsOnlyWithAReadSelectRegister)
{
    TestCamera selected;
    installSensor(selected, kPagedRegisters, kTwoRegSpaces, kGenericType, kSelectAddr);
    EXPECT_EQ(nameOf(ze_FindRegisterAddr(selected, 0x10, 1, ZE_SPACE_REG)), "PAGE1_0x10");
    EXPECT_EQ(nameOf(ze_FindRegisterAddr(selected, 0x10, 0, ZE_SPACE_REG)), "CORE_0x10");
    EXPECT_EQ(ze_FindRegisterAddr(selected, 0x10, 2, ZE_SPACE_REG), nullptr);

    TestCamera unselected;
    installSensor(unselected, kPagedRegisters, kTwoRegSpaces);
    EXPECT_EQ(nameOf(ze_FindRegisterAddr(unselected, 0x10, 1, ZE_SPACE_REG)), "CORE_0x10");
    EXPECT_EQ(nameOf(ze_FindRegisterAddr(unselected, 0x10, 2, ZE_SPACE_REG)), "CORE_0x10");
}

TEST(RegisterByAddress, SpaceOfAnotherTypeDoesNotAnswer)
{
    TestCamera camera;
    installSensor(camera, kPagedRegisters, kTwoRegSpaces);
    EXPECT_EQ(ze_FindRegisterAddr(camera, 0x10, 0, ZE_SPACE_MCU), nullptr);
    EXPECT_EQ(ze_FindRegisterAddr(camera, 0x10, 0, ZE_SPACE_IND), nullptr);
}

// One register at 0x40 in a space of @type and id 3; which values find it.
std::vector<uint32_t> valuesFinding(uint32_t type, uint32_t sensorType, uint32_t farAddrSize = 8)
{
    TestCamera camera;
    installSensor(camera, {{"VAR", 0x40, {}, "", 0}}, {{"SPACE", type, 3, farAddrSize}},
                  sensorType);
    std::vector<uint32_t> values;
    for (uint32_t value : {0u, 3u, 9u}) {
        if (ze_FindRegisterAddr(camera, 0x40, value, type))
            values.push_back(value);
    }
    return values;
}

using Values = std::vector<uint32_t>;

TEST(RegisterByAddress, SpaceTypesDecideWhetherTheIdMustMatch)
{
    const Values onlyId = {3};
    const Values any = {0, 3, 9};
    EXPECT_EQ(valuesFinding(ZE_SPACE_MCU, kDirectType), onlyId);
    EXPECT_EQ(valuesFinding(ZE_SPACE_MCU, kCommandType), any);
    EXPECT_EQ(valuesFinding(ZE_SPACE_SFR, kDirectType), onlyId);
    EXPECT_EQ(valuesFinding(ZE_SPACE_SFR, kWindowType), any);
    EXPECT_EQ(valuesFinding(ZE_SPACE_SFR, 44), any);
    EXPECT_EQ(valuesFinding(ZE_SPACE_SFR, 71), any);
    EXPECT_EQ(valuesFinding(ZE_SPACE_IND, kDirectType), any);
    EXPECT_EQ(valuesFinding(ZE_SPACE_FAR1, kGenericType, 8), onlyId);
    EXPECT_EQ(valuesFinding(ZE_SPACE_FAR2, kGenericType, 16), any);
    EXPECT_EQ(valuesFinding(ZE_SPACE_FAR1_MCU, kCommandType), onlyId);
    EXPECT_EQ(valuesFinding(ZE_SPACE_FAR2_SFR, kWindowType, 16), onlyId);
}

TEST(RegisterByAddress, ArrayImagerFallsBackToSpaceZero)
{
    const std::vector<SpaceDef> spaces = {{"ALL", ZE_SPACE_REG, 0}, {"SUB2", ZE_SPACE_REG, 2}};
    const std::vector<RegisterDef> regs = {{"COMMON", 0x50, {}, "", 0},
                                           {"SUB_ONLY", 0x52, {}, "", 1}};
    TestCamera imager;
    installSensor(imager, regs, spaces, kArrayImagerType, kSelectAddr);
    EXPECT_EQ(nameOf(ze_FindRegisterAddr(imager, 0x50, 4, ZE_SPACE_REG)), "COMMON");
    EXPECT_EQ(nameOf(ze_FindRegisterAddr(imager, 0x52, 2, ZE_SPACE_REG)), "SUB_ONLY");
    EXPECT_EQ(ze_FindRegisterAddr(imager, 0x52, 4, ZE_SPACE_REG), nullptr);

    TestCamera other;
    installSensor(other, regs, spaces, kGenericType, kSelectAddr);
    EXPECT_EQ(ze_FindRegisterAddr(other, 0x50, 4, ZE_SPACE_REG), nullptr);
}

TEST(RegisterByAddress, ReplacedRegisterArrayIsSeen)
{
    TestCamera camera;
    installSensor(camera, {{"OLD", 0x10}});
    EXPECT_EQ(addrOf(ze_FindRegisterAddr(camera, 0x10, 0, ZE_SPACE_REG)), 0x10u);
    EXPECT_EQ(addrOf(ze_FindRegister(camera, "OLD")), 0x10u);
    installSensor(camera, {{"NEW", 0x20}});
    EXPECT_EQ(ze_FindRegisterAddr(camera, 0x10, 0, ZE_SPACE_REG), nullptr);
    EXPECT_EQ(nameOf(ze_FindRegisterAddr(camera, 0x20, 0, ZE_SPACE_REG)), "NEW");
    EXPECT_EQ(ze_ExistsRegister(camera, "OLD"), 0);
}

uint32_t directStyle(uint32_t sensorType, const std::vector<RegisterDef> &regs = {},
                     uint32_t version = 1)
{
    TestCamera camera;
    installSensor(camera, regs, {}, sensorType)->sensorVersion = version;
    return ze_McuDirectStyle(camera);
}

uint32_t addrStyle(uint32_t sensorType, const std::vector<RegisterDef> &regs = {})
{
    TestCamera camera;
    installSensor(camera, regs, {}, sensorType);
    return ze_McuAddrStyle(camera);
}

TEST(McuStyle, DirectStyleBySensorType)
{
    EXPECT_EQ(directStyle(55), ZE_MCU_STYLE_DIRECT);
    EXPECT_EQ(directStyle(176), ZE_MCU_STYLE_DIRECT);
    EXPECT_EQ(directStyle(71), ZE_MCU_STYLE_ADVANCED_BASE);
    EXPECT_EQ(directStyle(119), ZE_MCU_STYLE_ADVANCED_BASE);
    EXPECT_EQ(directStyle(159), ZE_MCU_STYLE_COMMAND);
    EXPECT_EQ(directStyle(54, {}, 1), ZE_MCU_STYLE_NONE);
    EXPECT_EQ(directStyle(54, {}, 2), ZE_MCU_STYLE_DIRECT);
    EXPECT_EQ(directStyle(16), ZE_MCU_STYLE_NONE);
    EXPECT_EQ(directStyle(200), ZE_MCU_STYLE_NONE);
}

TEST(McuStyle, UnknownSensorsAreJudgedByTheirPortRegisters)
{
    EXPECT_EQ(directStyle(0, {{"MCU_VARIABLE_DATA0", 0x990}, {"ADVANCED_BASE", 0x99}}),
              ZE_MCU_STYLE_DIRECT);
    EXPECT_EQ(directStyle(19, {{"advanced_base", 0x99}}), ZE_MCU_STYLE_ADVANCED_BASE);
    EXPECT_EQ(directStyle(0), ZE_MCU_STYLE_NONE);
    EXPECT_EQ(addrStyle(0, {{"MCU_DATA_0", 0x990}, {"PHYSICAL_ADDR_ACCESS", 0x98C}}),
              ZE_MCU_STYLE_PHYSICAL);
    EXPECT_EQ(addrStyle(19, {{"MCU_DATA_0", 0x990}}), ZE_MCU_STYLE_WINDOW);
    EXPECT_EQ(addrStyle(0, {{"OTHER", 0x990}}), ZE_MCU_STYLE_NONE);
    EXPECT_EQ(addrStyle(19, {{"MCU_VARIABLE_DATA0", 0x990}}), ZE_MCU_STYLE_DIRECT)
        << "the direct style comes first";
}

TEST(McuStyle, AddressStyleBySensorType)
{
    EXPECT_EQ(addrStyle(16), ZE_MCU_STYLE_WINDOW);
    EXPECT_EQ(addrStyle(106), ZE_MCU_STYLE_WINDOW);
    EXPECT_EQ(addrStyle(44), ZE_MCU_STYLE_PHYSICAL);
    EXPECT_EQ(addrStyle(62), ZE_MCU_STYLE_PHYSICAL);
    EXPECT_EQ(addrStyle(54), ZE_MCU_STYLE_LOGICAL) << "sensor version 1";
    EXPECT_EQ(addrStyle(55), ZE_MCU_STYLE_DIRECT);
    EXPECT_EQ(addrStyle(159), ZE_MCU_STYLE_COMMAND);
    EXPECT_EQ(addrStyle(110), ZE_MCU_STYLE_ADVANCED_BASE);
    EXPECT_EQ(addrStyle(3), ZE_MCU_STYLE_NONE);
}

TEST(McuStyle, SwitchingDirectAccessOffLeavesThePortStyle)
{
    TestCamera camera;
    installSensor(camera, {}, {}, 55);
    zentro::setStoredMode(camera, ZE_DIRECT_VAR_ACCESS, 0);
    EXPECT_EQ(ze_McuDirectStyle(camera), ZE_MCU_STYLE_NONE);
    EXPECT_EQ(ze_McuAddrStyle(camera), ZE_MCU_STYLE_LOGICAL);
    zentro::setStoredMode(camera, ZE_DIRECT_VAR_ACCESS, 1);
    EXPECT_EQ(ze_McuAddrStyle(camera), ZE_MCU_STYLE_DIRECT);
}

TEST(McuStyle, NoSensorNoStyle)
{
    TestCamera camera;
    EXPECT_EQ(ze_McuDirectStyle(camera), ZE_MCU_STYLE_NONE);
    EXPECT_EQ(ze_McuAddrStyle(camera), ZE_MCU_STYLE_NONE);
    EXPECT_EQ(ze_McuAddrStyle(nullptr), ZE_MCU_STYLE_NONE);
}

TEST(McuStyle, SfrLookupFollowsTheStyleOfPortRegisters)
{
    // A generic sensor with a window port: SFR ids do not select.
    TestCamera camera;
    installSensor(camera, {{"MCU_DATA_0", 0x990}, {"SFR_A", 0x1000, {}, "", 0}},
                  {{"SFR", ZE_SPACE_SFR, 1}}, kGenericType);
    EXPECT_EQ(nameOf(ze_FindRegisterAddr(camera, 0x1000, 5, ZE_SPACE_SFR)), "SFR_A");
}

TEST(ValueBySpan, LittleEndianPutsTheLowUnitFirst)
{
    std::array<uint32_t, 2> units{};
    _unpackValueBySpan(units.data(), 0x12345678, 16, 1, 2);
    EXPECT_EQ(units, (std::array<uint32_t, 2>{0x5678, 0x1234}));
    EXPECT_EQ(_packValueBySpan(units.data(), 16, 1, 2), 0x12345678u);
}

TEST(ValueBySpan, BigEndianPutsTheHighUnitFirst)
{
    std::array<uint32_t, 4> units{};
    _unpackValueBySpan(units.data(), 0x12345678, 8, 0, 4);
    EXPECT_EQ(units, (std::array<uint32_t, 4>{0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(_packValueBySpan(units.data(), 8, 0, 4), 0x12345678u);
    _unpackValueBySpan(units.data(), 0xAABBCCDD, 16, 0, 2);
    EXPECT_EQ(units[0], 0xAABBu);
    EXPECT_EQ(units[1], 0xCCDDu);
}

TEST(ValueBySpan, SpanOfOneOrNoneIsTheValueItself)
{
    uint32_t unit = 0;
    for (uint32_t span : {0u, 1u}) {
        _unpackValueBySpan(&unit, 0xDEADBEEF, 16, 0, span);
        EXPECT_EQ(unit, 0xDEADBEEFu);
        EXPECT_EQ(_packValueBySpan(&unit, 16, 1, span), 0xDEADBEEFu);
    }
}

TEST(ValueBySpan, BitsBeyondAUnitAreIgnored)
{
    const std::array<uint32_t, 2> units = {0xFF12, 0x0134};
    EXPECT_EQ(_packValueBySpan(units.data(), 8, 1, 2), 0x3412u);
    EXPECT_EQ(_packValueBySpan(units.data(), 8, 0, 2), 0x1234u);
}

TEST(ValueBySpan, UnitsOfThirtyTwoBitsDoNotOverflow)
{
    std::array<uint32_t, 2> units{};
    _unpackValueBySpan(units.data(), 0xCAFEF00D, 32, 1, 2);
    EXPECT_EQ(units, (std::array<uint32_t, 2>{0xCAFEF00D, 0}));
    EXPECT_EQ(_packValueBySpan(units.data(), 32, 1, 2), 0xCAFEF00Du);
    EXPECT_EQ(_packValueBySpan(nullptr, 16, 1, 2), 0u);
}

} // namespace
