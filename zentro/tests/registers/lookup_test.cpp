// Lookup of registers, bitfields and chips by name: matches, first-match order and log lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registers/reg_test_database.h"
#include "support/test_support.h"
#include "zentro.h"

using zentro::test::installChips;
using zentro::test::installSensor;
using zentro::test::SourcedLine;
using zentro::test::SourcedLogCapture;
using zentro::test::TestCamera;
using Strings = std::vector<std::string>;

namespace {

class RegisterLookup : public ::testing::Test
{
protected:
    void SetUp() override
    {
        installSensor(camera, {
                                  {"CHIP_VERSION_REG", 0x3000},
                                  {"ANALOG_GAIN", 0x3060, {}, "gain"},
                                  {"FAR1.CHIP_VERSION_REG", 0x0000},
                                  {"RESET_CTRL",
                                   0x301A,
                                   {{"STREAM", 0x0004},
                                    {"LOCK_REG", 0x0008, "lock"},
                                    {"SHIFT", 0x00F0},
                                    {"16", 0x0001}}},
                              });
    }

    TestCamera camera;
    SourcedLogCapture log;
};

TEST_F(RegisterLookup, NamesMatchWithoutRegardToCase)
{
    ze_reg_t *reg = ze_FindRegister(camera, "chip_version_reg");
    ASSERT_NE(reg, nullptr);
    EXPECT_STREQ(reg->name, "CHIP_VERSION_REG");
    EXPECT_EQ(ze_ExistsRegister(camera, "Reset_Ctrl"), 1);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(RegisterLookup, ExternalNameFindsTheSameRecord)
{
    ze_reg_t *byName = ze_FindRegister(camera, "ANALOG_GAIN");
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(ze_FindRegister(camera, "GAIN"), byName);
    EXPECT_EQ(ze_FindRegister2(camera, ZE_CHIP_SENSOR, "gain"), byName);
}

TEST_F(RegisterLookup, RecordsEditedByTheApplicationAreFoundByTheirNewNames)
{
    ze_reg_t *gain = ze_FindRegister(camera, "GAIN");
    ASSERT_NE(gain, nullptr);
    zentro::copyText(gain->externalName, "COARSE");
    EXPECT_EQ(ze_FindRegister(camera, "coarse"), gain);
    EXPECT_EQ(ze_ExistsRegister(camera, "GAIN"), 0);

    ze_bitfield_t *stream = ze_FindBitfield(camera, "RESET_CTRL", "STREAM");
    ASSERT_NE(stream, nullptr);
    zentro::copyText(stream->name, "STREAMING");
    EXPECT_EQ(ze_FindBitfield(camera, "RESET_CTRL", "streaming"), stream);
    EXPECT_EQ(ze_ExistsBitfield(camera, "RESET_CTRL", "STREAM"), 0);
}

TEST_F(RegisterLookup, MissingRegisterIsLoggedFromTheRegisterModule)
{
    EXPECT_EQ(ze_FindRegister(camera, "NO_SUCH_REG"), nullptr);
    std::vector<SourcedLine> lines = log.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].code, CAMERA_ERROR);
    EXPECT_EQ(lines[0].message, "Can't find register NO_SUCH_REG");
    EXPECT_EQ(lines[0].source, "zentro_reg");
    EXPECT_EQ(lines[0].function, "ze_FindRegister");
}

TEST_F(RegisterLookup, AbsentCameraOrEmptyNamesFindNothingSilently)
{
    EXPECT_EQ(ze_FindRegister(camera, ""), nullptr);
    EXPECT_EQ(ze_FindRegister(camera, nullptr), nullptr);
    EXPECT_EQ(ze_FindRegister(nullptr, "CHIP_VERSION_REG"), nullptr);
    EXPECT_EQ(ze_FindRegister2(camera, 0, ""), nullptr);
    EXPECT_EQ(ze_FindBitfield(camera, "", "STREAM"), nullptr);
    EXPECT_EQ(ze_FindBitfield(nullptr, "RESET_CTRL", "STREAM"), nullptr);
    EXPECT_EQ(ze_Bitfield(nullptr, "STREAM"), nullptr);
    EXPECT_EQ(ze_BitfieldMask(nullptr, "STREAM"), 0u);
    EXPECT_EQ(ze_FindBitfieldMask(camera, nullptr, "STREAM"), 0u);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(RegisterLookup, ExistenceQueriesNeverLog)
{
    EXPECT_EQ(ze_ExistsRegister(camera, "NO_SUCH_REG"), 0);
    EXPECT_EQ(ze_ExistsRegister2(camera, 5, "CHIP_VERSION_REG"), 0);
    EXPECT_EQ(ze_ExistsBitfield(camera, "RESET_CTRL", "NOPE"), 0);
    EXPECT_EQ(ze_ExistsBitfield(camera, "NO_SUCH_REG", "STREAM"), 0);
    EXPECT_EQ(ze_ExistsBitfield2(camera, ZE_CHIP_SENSOR, "RESET_CTRL", ""), 0);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(RegisterLookup, NamesWithAPointAreWholeRegisterNames)
{
    ze_reg_t *far = ze_FindRegister(camera, "far1.chip_version_reg");
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(far->addr, 0u);
    EXPECT_EQ(ze_ExistsRegister(camera, "FAR1"), 0);
    EXPECT_EQ(ze_ExistsRegister(camera, "RESET_CTRL.STREAM"), 0);
}

TEST_F(RegisterLookup, SensorRegistersHaveNoNumericFallback)
{
    EXPECT_EQ(ze_FindRegister(camera, "0x3000"), nullptr);
    EXPECT_EQ(ze_FindRegister2(camera, ZE_CHIP_SENSOR, "0x3000"), nullptr);
    EXPECT_EQ(log.messages(),
              (Strings{"Can't find register 0x3000", "Can't find register 0x3000"}));
}

TEST_F(RegisterLookup, CameraWithoutSensorFindsNothing)
{
    TestCamera bare;
    EXPECT_EQ(ze_FindRegister(bare, "CHIP_VERSION_REG"), nullptr);
    EXPECT_EQ(ze_ExistsRegister(bare, "CHIP_VERSION_REG"), 0);
    EXPECT_EQ(ze_FindRegisterWildcard(bare, "*", nullptr), nullptr);
    EXPECT_EQ(ze_FindRegisterAddr(bare, 0x3000, 0, ZE_SPACE_REG), nullptr);
    EXPECT_EQ(log.messages(), Strings{"Can't find register CHIP_VERSION_REG"});
}

// The array order decides between registers that answer to the same name.
TEST(RegisterLookupOrder, FirstRegisterInArrayOrderWins)
{
    TestCamera camera;
    installSensor(camera, {
                              {"FIRST", 1, {}, "shared"},
                              {"SECOND", 2, {}, "SHARED"},
                              {"Shared", 3},
                              {"THIRD", 4, {}, "FIRST"},
                              {"fourth", 5},
                              {"FOURTH", 6},
                              {"LATE", 7, {}, "fourth"},
                          });
    EXPECT_EQ(ze_FindRegister(camera, "SHARED")->addr, 1u);
    EXPECT_EQ(ze_FindRegister(camera, "first")->addr, 1u);
    EXPECT_EQ(ze_FindRegister(camera, "FOURTH")->addr, 5u);
    EXPECT_EQ(ze_FindRegister(camera, "late")->addr, 7u);
}

TEST(RegisterLookupOrder, ExternalNameOfAnEarlierRegisterHidesALaterName)
{
    TestCamera camera;
    installSensor(camera, {{"ALIAS_OWNER", 1, {}, "TARGET"}, {"TARGET", 2}});
    EXPECT_EQ(ze_FindRegister(camera, "TARGET")->addr, 1u);
    EXPECT_EQ(ze_FindRegisterWildcard(camera, "TARGET", nullptr)->addr, 2u)
        << "patterns match names only";
}

TEST_F(RegisterLookup, BitfieldsMatchOnNameOrExternalName)
{
    ze_bitfield_t *stream = ze_FindBitfield(camera, "reset_ctrl", "stream");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->mask, 0x0004u);
    ze_bitfield_t *lock = ze_FindBitfield(camera, "RESET_CTRL", "LOCK");
    ASSERT_NE(lock, nullptr);
    EXPECT_STREQ(lock->name, "LOCK_REG");
    EXPECT_EQ(ze_FindBitfield(camera, "RESET_CTRL", "lock_reg"), lock);
    EXPECT_TRUE(log.lines().empty());
}

TEST(BitfieldLookupOrder, FirstBitfieldInArrayOrderWins)
{
    TestCamera camera;
    installSensor(camera, {{"CTRL",
                            0x10,
                            {{"ENABLE", 0x1, "START"},
                             {"START", 0x2},
                             {"mode", 0x4},
                             {"MODE", 0x8},
                             {"LATE", 0x10, "mode"}}}});
    EXPECT_EQ(ze_FindBitfield(camera, "CTRL", "start")->mask, 0x1u);
    EXPECT_EQ(ze_FindBitfield(camera, "CTRL", "MODE")->mask, 0x4u);
    EXPECT_EQ(ze_FindBitfieldMask(camera, "ctrl", "Late"), 0x10u);
    EXPECT_EQ(ze_Bitfield(ze_FindRegister(camera, "CTRL"), "start")->mask, 0x1u);
}

TEST_F(RegisterLookup, WholeNumberFindsTheBitfieldWithThatMask)
{
    ze_bitfield_t *shift = ze_FindBitfield(camera, "RESET_CTRL", "0x00F0");
    ASSERT_NE(shift, nullptr);
    EXPECT_STREQ(shift->name, "SHIFT");
    EXPECT_EQ(ze_FindBitfield(camera, "RESET_CTRL", "0x00F0 \t"), shift);
    EXPECT_EQ(ze_FindBitfield(camera, "RESET_CTRL", "240"), shift);
    EXPECT_EQ(ze_FindBitfield(camera, "RESET_CTRL", "0x00F0 x"), nullptr);
    EXPECT_EQ(ze_FindBitfield(camera, "RESET_CTRL", "0x0002"), nullptr) << "no bitfield has 2";
    EXPECT_EQ(log.messages(), (Strings{"Can't find bitfield RESET_CTRL::0x00F0 x",
                                       "Can't find bitfield RESET_CTRL::0x0002"}));
}

TEST_F(RegisterLookup, BitfieldNamedLikeANumberWinsOverAMaskMatch)
{
    // "16" is the name of the bitfield of mask 1, and 16 is no mask of this register.
    ze_bitfield_t *named = ze_FindBitfield(camera, "RESET_CTRL", "16");
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(named->mask, 0x0001u);
    EXPECT_EQ(ze_FindBitfield(camera, "RESET_CTRL", "0x4")->mask, 0x0004u);
}

TEST_F(RegisterLookup, BitfieldFailuresNameRegisterAndBitfield)
{
    EXPECT_EQ(ze_FindBitfield(camera, "RESET_CTRL", "NOPE"), nullptr);
    EXPECT_EQ(ze_FindBitfield(camera, "NO_SUCH_REG", "STREAM"), nullptr);
    EXPECT_EQ(ze_FindBitfield(camera, "RESET_CTRL", ""), nullptr);
    EXPECT_EQ(ze_FindBitfield2(camera, 3, "RESET_CTRL", "STREAM"), nullptr);
    EXPECT_EQ(ze_FindBitfieldMask(camera, "NO_SUCH_REG", "0x10"), 0u);
    EXPECT_EQ(
        log.messages(),
        (Strings{"Can't find bitfield RESET_CTRL::NOPE", "Can't find bitfield NO_SUCH_REG::STREAM",
                 "Can't find register RESET_CTRL", "Can't find bitfield RESET_CTRL::STREAM",
                 "Can't find bitfield NO_SUCH_REG::0x10"}));
    std::vector<SourcedLine> lines = log.lines();
    EXPECT_EQ(lines[3].function, "ze_FindBitfield2");
    EXPECT_EQ(lines[4].function, "ze_FindBitfieldMask");
    for (const SourcedLine &line : lines) {
        EXPECT_EQ(line.code, CAMERA_ERROR);
        EXPECT_EQ(line.source, "zentro_reg");
    }
}

TEST_F(RegisterLookup, BitfieldOfARegisterRecordNamesThatRegister)
{
    ze_reg_t *reg = ze_FindRegister(camera, "GAIN");
    ASSERT_NE(reg, nullptr);
    EXPECT_EQ(ze_Bitfield(reg, "STREAM"), nullptr);
    EXPECT_EQ(ze_BitfieldMask(reg, "STREAM"), 0u);
    EXPECT_EQ(ze_Bitfield(reg, ""), nullptr);
    EXPECT_EQ(log.messages(), (Strings{"Can't find bitfield ANALOG_GAIN::STREAM",
                                       "Can't find bitfield ANALOG_GAIN::STREAM",
                                       "Can't find register ANALOG_GAIN"}));
    EXPECT_EQ(log.lines()[1].function, "ze_BitfieldMask");
}

TEST_F(RegisterLookup, NumberIsItsOwnMaskWhenNoBitfieldAnswers)
{
    ze_reg_t *reg = ze_FindRegister(camera, "RESET_CTRL");
    EXPECT_EQ(ze_BitfieldMask(reg, "Stream"), 0x0004u);
    EXPECT_EQ(ze_BitfieldMask(reg, "0x300"), 0x300u);
    EXPECT_EQ(ze_BitfieldMask(reg, "0x00F0"), 0x00F0u);
    EXPECT_EQ(ze_FindBitfieldMask(camera, "ANALOG_GAIN", "0x0F0"), 0x0F0u);
    EXPECT_EQ(ze_FindBitfieldMask(camera, "gain", "0x0F0 "), 0x0F0u);
    EXPECT_EQ(ze_BitfieldMask(reg, "0x300 wide"), 0u);
    EXPECT_EQ(log.messages(), Strings{"Can't find bitfield RESET_CTRL::0x300 wide"});
}

class ChipLookup : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ze_sensor_t *sensor = installSensor(
            camera, {{"CTRL", 0x10, {{"EN", 0x1}}, "SENSOR_CTRL"}, {"ONLY_SENSOR", 0x12}}, {}, 201);
        zentro::copyText(sensor->partNumber, "ZX0201-ABC");
        installChips(camera, {
                                 {"SERDES", {{"CTRL", 0x10}, {"LINK", 0x20, {{"UP", 0x80}}}}},
                                 {"PMIC", {{"VOUT", 0x10}, {"BUCK", 0x10}, {"EN", 0x30}}},
                                 {"serdes", {{"OTHER", 0x40}}},
                             });
    }

    TestCamera camera;
    SourcedLogCapture log;
};

TEST_F(ChipLookup, ChipRegistersAnswerToNamesOnly)
{
    ze_reg_t *link = ze_FindRegister2(camera, 0, "link");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link, &camera->boardChips[0].regs[1]);
    EXPECT_EQ(ze_FindRegister2(camera, 0, "ONLY_SENSOR"), nullptr);
    EXPECT_EQ(ze_FindRegister2(camera, 0, "SENSOR_CTRL"), nullptr);
    EXPECT_EQ(ze_FindRegister2(camera, ZE_CHIP_SENSOR, "SENSOR_CTRL"), camera->sensor->regs);
    EXPECT_EQ(log.messages(),
              (Strings{"Can't find register ONLY_SENSOR", "Can't find register SENSOR_CTRL"}));
    EXPECT_EQ(log.lines()[0].function, "ze_FindRegister2");
}

TEST_F(ChipLookup, ChipRegisterFoundByTheAddressANameBeginsWith)
{
    EXPECT_EQ(ze_FindRegister2(camera, 1, "0x10"), &camera->boardChips[1].regs[0])
        << "the first register at that address";
    EXPECT_EQ(ze_FindRegister2(camera, 1, "48"), &camera->boardChips[1].regs[2]);
    EXPECT_EQ(ze_FindRegister2(camera, 1, "0x30 trailing text"), &camera->boardChips[1].regs[2]);
    EXPECT_EQ(ze_FindRegister2(camera, 1, "060"), &camera->boardChips[1].regs[2]) << "octal";
    EXPECT_EQ(ze_ExistsRegister2(camera, 1, "0x99"), 0);
    EXPECT_EQ(ze_ExistsRegister2(camera, 1, "x10"), 0);
}

TEST_F(ChipLookup, NamesComeBeforeAddresses)
{
    // Chip 1 has a register named EN at 0x30 and none at address "EN".
    EXPECT_EQ(ze_FindRegister2(camera, 1, "en"), &camera->boardChips[1].regs[2]);
}

TEST_F(ChipLookup, ChipIndexesOutsideTheTableFindNothing)
{
    EXPECT_EQ(ze_FindRegister2(camera, 3, "OTHER"), nullptr);
    EXPECT_EQ(ze_FindRegister2(camera, ZE_CHIP_NONE, "CTRL"), nullptr);
    EXPECT_EQ(ze_ExistsRegister2(camera, -7, "CTRL"), 0);
    EXPECT_EQ(ze_ExistsRegister2(camera, 2, "OTHER"), 1);
    EXPECT_EQ(log.messages(), (Strings{"Can't find register OTHER", "Can't find register CTRL"}));
}

TEST_F(ChipLookup, BitfieldOfAChipIsSearchedInThatChipOnly)
{
    ze_bitfield_t *up = ze_FindBitfield2(camera, 0, "LINK", "UP");
    ASSERT_NE(up, nullptr);
    EXPECT_EQ(up->mask, 0x80u);
    EXPECT_EQ(ze_FindBitfield2(camera, 0, "0x20", "0x80"), up) << "address and mask as numbers";
    // The sensor's CTRL has EN; the chip's register of that name does not hide it.
    ze_bitfield_t *en = ze_FindBitfield2(camera, ZE_CHIP_SENSOR, "CTRL", "EN");
    ASSERT_NE(en, nullptr);
    EXPECT_EQ(en, camera->sensor->regs[0].bitfields);
    EXPECT_EQ(ze_ExistsBitfield2(camera, ZE_CHIP_SENSOR, "ctrl", "en"), 1);
    EXPECT_EQ(ze_ExistsBitfield2(camera, 0, "CTRL", "EN"), 0);
    EXPECT_EQ(ze_FindBitfield2(camera, 0, "CTRL", "EN"), nullptr);
    EXPECT_EQ(log.messages(), Strings{"Can't find bitfield CTRL::EN"});
}

TEST_F(ChipLookup, ChipNamesAndTheSensorsOwnNames)
{
    EXPECT_EQ(ze_FindChip(camera, "SERDES"), 0);
    EXPECT_EQ(ze_FindChip(camera, "pmic"), 1);
    EXPECT_EQ(ze_FindChip(camera, "Serdes"), 0) << "the first chip of a name";
    EXPECT_EQ(ze_FindChip(camera, "zx0201"), ZE_CHIP_SENSOR);
    EXPECT_EQ(ze_FindChip(camera, "ZX0201-abc"), ZE_CHIP_SENSOR);
    EXPECT_EQ(ze_FindChip(camera, ""), ZE_CHIP_SENSOR);
    EXPECT_EQ(ze_FindChip(camera, nullptr), ZE_CHIP_SENSOR);
    EXPECT_EQ(ze_FindChip(camera, "EEPROM"), ZE_CHIP_NONE);
    EXPECT_EQ(ze_FindChip(nullptr, "SERDES"), ZE_CHIP_NONE);
    EXPECT_TRUE(log.lines().empty());
}

TEST(ChipLookupWithoutChips, OnlyTheSensorIsKnown)
{
    TestCamera camera;
    installSensor(camera, {{"CTRL", 0x10}}, {}, 7);
    EXPECT_EQ(ze_FindChip(camera, "ZX0007"), ZE_CHIP_SENSOR);
    EXPECT_EQ(ze_FindChip(camera, "SERDES"), ZE_CHIP_NONE);
    EXPECT_EQ(ze_ExistsRegister2(camera, 0, "CTRL"), 0);
}

} // namespace
