// Chip files and the board configuration that names them.
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "camera/context.h"
#include "sensor_data/sensor_record.h"
#include "support/test_support.h"
#include "zentro.h"

namespace {

using zentro::test::ChipRecord;
using zentro::test::LogCapture;
using zentro::test::TempDir;
using zentro::test::TestCamera;
using zentro::test::writeFile;

const char *const kPowerChip = R"([CHIP_DESCRIPTOR]
CHIPNAME = "ZP7100 power manager"
I2C_BASE_ADDRESS = (0x60 0x62)
REG_ADDR_SIZE = 16
I2C_REG_SIZE = 8
REG_DATA_LE = "Yes"
[END]

; registers of the power manager
[REGISTERS]
CHIP_VERSION_REG = {0x0000, REG, 0xFF, RO, 0x71, "Chip version" "Silicon revision"}
BUCK1_VOLTAGE = {0x0010, REG, 0xFFFF, RW, 0x0960, "Buck 1 voltage" "Output in millivolts" ,2}
    {ENABLE, 8000, RW, "Enable" "Turns the converter on"}
    // soft start in steps
    {SOFT_START, 10, RW, "Soft start" ""}
    {BITS_TRIM, 0F, RW, "Trim" "Factory trim"}
RESERVED_OTP = {0x0020, REG, 0xFFFFFFFF, RW, 0, "OTP" "One-time programmable" ,4}
[END]
)";

TEST(ChipFile, ReadsDescriptorRegistersAndBitfields)
{
    TempDir dir;
    writeFile(dir.file("pmic.chip"), kPowerChip);
    TestCamera camera;
    ChipRecord record;
    ASSERT_EQ(ze_ParseChipFile(camera, dir.file("pmic.chip").c_str(), &record.chip), PARSE_SUCCESS);
    const ze_chip_t &chip = record.chip;
    EXPECT_STREQ(chip.name, "ZP7100 power manager");
    ASSERT_EQ(chip.baseAddrCount, 2);
    EXPECT_EQ(chip.baseAddrs[1], 0x62u);
    EXPECT_EQ(chip.activeBaseAddr, 0x60u);
    EXPECT_EQ(chip.serialAddrSize, 16u);
    EXPECT_EQ(chip.serialDataSize, 8u);
    EXPECT_EQ(chip.dataLE, 1u);
    ASSERT_EQ(chip.regCount, 3);

    const ze_reg_t &version = chip.regs[0];
    EXPECT_STREQ(version.name, "CHIP_VERSION_REG");
    EXPECT_EQ(version.access, ZE_ACCESS_RO);
    EXPECT_EQ(version.defaultValue, 0x71u);
    EXPECT_EQ(version.span, 1u);
    EXPECT_STREQ(version.detail, "Silicon revision");

    const ze_reg_t &buck = chip.regs[1];
    EXPECT_EQ(buck.span, 2u);
    EXPECT_STREQ(buck.displayName, "Buck 1 voltage");
    ASSERT_EQ(buck.bitfieldCount, 3);
    // Chip-file masks are hexadecimal even without "0x".
    EXPECT_EQ(buck.bitfields[0].mask, 0x8000u);
    EXPECT_EQ(buck.bitfields[1].mask, 0x10u);
    EXPECT_STREQ(buck.bitfields[1].detail, "");
    EXPECT_EQ(buck.bitfields[0].confidential, 0u);
    EXPECT_EQ(buck.bitfields[2].confidential, 1u);

    // Four 8-bit units would be wider than 32 bits of data.
    EXPECT_EQ(chip.regs[2].span, 4u);
    EXPECT_EQ(chip.regs[2].confidential, 1u);
}

TEST(ChipFile, SpanIsCutToThirtyTwoBitsOfData)
{
    TempDir dir;
    writeFile(dir.file("wide.chip"),
              "[CHIP_DESCRIPTOR]\nI2C_DATA_SIZE = 16\n[END]\n"
              "[REGISTERS]\nWIDE = {0x10, REG, 0xFFFF, RW, 0, \"\" \"\" ,4}\n"
              "[END]\n");
    TestCamera camera;
    ChipRecord record;
    ASSERT_EQ(ze_ParseChipFile(camera, dir.file("wide.chip").c_str(), &record.chip), PARSE_SUCCESS);
    ASSERT_EQ(record.chip.regCount, 1);
    EXPECT_EQ(record.chip.regs[0].span, 2u);
    EXPECT_EQ(record.chip.serialAddrSize, 8u);
}

TEST(ChipFile, NegativeSpansAreRefusedAndHugeOnesCutWithoutWrapping)
{
    TempDir dir;
    const std::string path = dir.file("spans.chip");
    writeFile(path, "[CHIP_DESCRIPTOR]\nI2C_DATA_SIZE = 16\n[END]\n"
                    "[REGISTERS]\n"
                    "NEGATIVE = {0x10, REG, 0xFFFF, RW, 0, \"\" \"\" ,-1}\n"
                    "HUGE = {0x12, REG, 0xFFFF, RW, 0, \"\" \"\" ,0x10000000}\n"
                    "[END]\n");
    TestCamera camera;
    ChipRecord record;
    LogCapture log;
    EXPECT_EQ(ze_ParseChipFile(camera, path.c_str(), &record.chip), PARSE_REG_ERROR);
    EXPECT_TRUE(log.contains(",-1} in " + path + ":5"));
    ASSERT_EQ(record.chip.regCount, 1);
    EXPECT_STREQ(record.chip.regs[0].name, "HUGE");
    // 0x10000000 units of 16 bits would wrap to 0 bits when multiplied out.
    EXPECT_EQ(record.chip.regs[0].span, 2u);
}

TEST(ChipFile, BadLinesAreLoggedSkippedAndFailTheFile)
{
    TempDir dir;
    const std::string path = dir.file("bad.chip");
    writeFile(path, "[CHIP_DESCRIPTOR]\n"
                    "CHIPNAME = \"ok\"\n"
                    "COLOUR = blue\n"
                    "[END]\n"
                    "[REGISTERS]\n"
                    "GOOD = {0x01, REG, 0xFF, RW, 3, \"Good\" \"\"}\n"
                    "BROKEN = {0x02, REG}\n"
                    "    {LOST, 1, RW, \"\" \"\"}\n"
                    "good = {0x03, REG, 0xFF, RW, 0, \"\" \"\"}\n"
                    "LAST = {0x04, REG, 0xFF, RW, 0, \"\" \"\"}\n"
                    "[END]\n");
    TestCamera camera;
    ChipRecord record;
    LogCapture log;
    EXPECT_EQ(ze_ParseChipFile(camera, path.c_str(), &record.chip), CHIP_DESC_ERROR);
    EXPECT_TRUE(log.contains("COLOUR = blue in " + path + ":3"));
    EXPECT_TRUE(log.contains("BROKEN = {0x02, REG} in " + path + ":7"));
    // A bitfield of a rejected register has no register to go to.
    EXPECT_TRUE(log.contains("{LOST, 1, RW, \"\" \"\"} in " + path + ":8"));
    EXPECT_TRUE(log.contains("good in " + path + ":9"));
    ASSERT_EQ(record.chip.regCount, 2);
    EXPECT_STREQ(record.chip.regs[1].name, "LAST");
}

TEST(ChipFile, LimitsAreNeverWrittenPast)
{
    TempDir dir;
    std::string text = "[CHIP_DESCRIPTOR]\nI2C_BASE_ADDRESS = (1 2 3 4 5 6 7 8)\n[END]\n"
                       "[REGISTERS]\nMANY = {0x01, REG, 0xFFFFFFFF, RW, 0, \"\" \"\"}\n";
    for (int bit = 0; bit < 34; ++bit)
        text += "  {F" + std::to_string(bit) + ", 1, RW, \"\" \"\"}\n";
    text += "[END]\n";
    writeFile(dir.file("many.chip"), text);
    TestCamera camera;
    ChipRecord record;
    LogCapture log;
    EXPECT_EQ(ze_ParseChipFile(camera, dir.file("many.chip").c_str(), &record.chip),
              CHIP_DESC_ERROR);
    EXPECT_EQ(record.chip.baseAddrCount, 0);
    ASSERT_EQ(record.chip.regCount, 1);
    EXPECT_EQ(record.chip.regs[0].bitfieldCount, ZE_MAX_BITFIELDS);
    EXPECT_TRUE(log.contains("{F33, 1, RW"));
}

TEST(ChipFile, MissingFileIsAFileError)
{
    TestCamera camera;
    ChipRecord record;
    LogCapture log;
    EXPECT_EQ(ze_ParseChipFile(camera, "/nonexistent/x.chip", &record.chip), PARSE_FILE_ERROR);
    EXPECT_TRUE(log.contains("unable to open file /nonexistent/x.chip"));
}

// A bus of devices, each a register file; absent devices do not acknowledge.
std::map<uint32_t, std::map<uint32_t, uint32_t>> gBus;
std::vector<std::pair<uint32_t, uint32_t>> gReads;
std::vector<ze_thread_settings_t> gSettingsSeen;
std::vector<uint32_t> gRetriesSeen;

int readFakeBus(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr, uint32_t *value)
{
    gReads.emplace_back(busAddr, regAddr);
    gSettingsSeen.push_back(zentro::threadSettings(camera));
    gRetriesSeen.push_back(zentro::storedMode(camera, ZE_NACK_RETRIES));
    auto device = gBus.find(busAddr);
    if (device == gBus.end())
        return I2C_NACK_ERROR;
    *value = device->second[regAddr];
    return CAMERA_SUCCESS;
}

class BoardConfig : public ::testing::Test
{
protected:
    static constexpr uint32_t kProduct = 0xBEEF01;

    void SetUp() override
    {
        gBus.clear();
        gReads.clear();
        gSettingsSeen.clear();
        gRetriesSeen.clear();
        camera_->productID = kProduct;
        camera_->readRegister = readFakeBus;
        writeFile(dir_.file("pmic.chip"), kPowerChip);
    }
    void TearDown() override { _freeBoardData(camera_); }

    std::string configPath() const { return dir_.file("ZE_BEEF01.cfg"); }

    TempDir dir_;
    TestCamera camera_;
};

TEST_F(BoardConfig, ChipAnswersAtItsSecondBaseAddress)
{
    gBus[0x62][0x0000] = 0x71;
    writeFile(configPath(),
              "# board of the bench\nCHIP_FILE = \"" + dir_.file("pmic.chip") + "\"\nOTHER = 1\n");
    zentro::threadSettings(camera_).regAddrSize = 8;

    ze_chip_t *chips = _parseBoardConfigFile(camera_, dir_.file("sensor.sdat").c_str());
    ASSERT_NE(chips, nullptr);
    ASSERT_EQ(camera_->boardChipCount, 1);
    EXPECT_EQ(chips[0].activeBaseAddr, 0x62u);
    ASSERT_EQ(gReads.size(), 2u);
    EXPECT_EQ(gReads[0], std::make_pair(0x60u, 0x0000u));
    // The check reads with the chip's widths and without retries...
    EXPECT_EQ(gSettingsSeen[0].regAddrSize, 16u);
    EXPECT_EQ(gSettingsSeen[0].regDataSize, 8u);
    EXPECT_EQ(gSettingsSeen[0].regDataLE, 1u);
    EXPECT_EQ(gRetriesSeen[0], 0u);
    // ...and leaves the camera's own settings as they were.
    EXPECT_EQ(zentro::threadSettings(camera_).regAddrSize, 8u);
    EXPECT_EQ(zentro::storedMode(camera_, ZE_NACK_RETRIES), 5u);
}

TEST_F(BoardConfig, WrongVersionLeavesTheChipUnmatched)
{
    gBus[0x60][0x0000] = 0x70;
    writeFile(configPath(), "CHIP_FILE = \"pmic.chip\"\n");
    ze_chip_t *chips = _parseBoardConfigFile(camera_, dir_.path().c_str());
    ASSERT_NE(chips, nullptr);
    EXPECT_EQ(chips[0].activeBaseAddr, 0x60u);
    EXPECT_EQ(gReads.size(), 2u);
}

TEST_F(BoardConfig, ChipFileIsFoundBesideTheConfiguration)
{
    gBus[0x60][0x0000] = 0x71;
    writeFile(configPath(), "CHIP_FILE = \"/elsewhere/pmic.chip\"\n");
    ASSERT_NE(_parseBoardConfigFile(camera_, dir_.path().c_str()), nullptr);
    EXPECT_STREQ(camera_->boardChips[0].name, "ZP7100 power manager");
}

TEST_F(BoardConfig, UnknownChipFileIsTheOneThatAnswers)
{
    writeFile(dir_.file("other.chip"), "[CHIP_DESCRIPTOR]\nCHIPNAME = \"Other\"\n"
                                       "I2C_BASE_ADDRESS = 0x50\n[END]\n[REGISTERS]\n"
                                       "ID = {0, REG, 0xFF, RO, 0x12, \"\" \"\"}\n[END]\n");
    gBus[0x50][0] = 0x99; // no CHIP_VERSION_REG: any answer of the first register counts
    writeFile(configPath(), "CHIP_FILE = \"renamed.chip\"\nCHIP_FILE = \"gone.chip\"\n");
    ASSERT_NE(_parseBoardConfigFile(camera_, dir_.path().c_str()), nullptr);
    ASSERT_EQ(camera_->boardChipCount, 2);
    EXPECT_STREQ(camera_->boardChips[0].name, "Other");
    EXPECT_EQ(camera_->boardChips[0].activeBaseAddr, 0x50u);
}

TEST_F(BoardConfig, NoConfigurationNoChips)
{
    writeFile(configPath(), "CHIP_FILE = \"gone.chip\"\n");
    EXPECT_EQ(_parseBoardConfigFile(camera_, dir_.path().c_str()), nullptr);
    EXPECT_EQ(camera_->boardChipCount, 0);
    camera_->productID = 0xBEEF02;
    EXPECT_EQ(_parseBoardConfigFile(camera_, dir_.path().c_str()), nullptr);
    _freeBoardData(camera_);
    EXPECT_EQ(camera_->boardChips, nullptr);
}

} // namespace
