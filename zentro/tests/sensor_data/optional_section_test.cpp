// Tests of the OPTIONAL section: sizes, format version and the identification data.
#include <iterator>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "camera/context.h"
#include "sensor_data/sensor_data_test_support.h"

namespace zentro::test {
namespace {

using ::testing::ElementsAre;

class OptionalSectionTest : public SensorFileTest
{
protected:
    int parseOptional(const std::string &lines)
    {
        return parse(std::string(kDescriptor) + "[OPTIONAL]\n" + lines + "[END]\n");
    }
    // Optional lines start on this line of the file.
    static constexpr int kFirstLine = 11;

    IdentData &ident() { return camera->context->ident; }
};

TEST_F(OptionalSectionTest, SizesVersionsAndFullGeometry)
{
    ASSERT_EQ(parseOptional("SENSOR_VERSION = 4\nFULL_WIDTH = 2000\nFULL_HEIGHT = 0x500\n"
                            "REG_ADDR_SIZE = 16\nREG_DATA_SIZE = 8\nSDAT_VERSION = 2\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(sensor()->sensorVersion, 4u);
    EXPECT_EQ(sensor()->width, 2000u);
    EXPECT_EQ(sensor()->height, 0x500u);
    EXPECT_EQ(sensor()->imageWidth, 1920u); // the frame size stays the descriptor's
    EXPECT_EQ(sensor()->regAddrSize, 16u);
    EXPECT_EQ(sensor()->regDataSize, 8u);
    EXPECT_EQ(camera->context->sdatVersion, 2u);
    EXPECT_STREQ(sensor()->versionName, "REV4");
}

TEST_F(OptionalSectionTest, RegisterSizeOtherThan8Or16Or32FailsTheFile)
{
    EXPECT_EQ(parseOptional("REG_ADDR_SIZE = 12\nREG_DATA_SIZE = 24\nSENSOR_VERSION = 5\n"),
              CHIP_DESC_ERROR);
    EXPECT_THAT(errorMessages(),
                ElementsAre(syntaxMessage("REG_ADDR_SIZE = 12", kFirstLine),
                            "register address size should be 8, 16 or 32",
                            syntaxMessage("REG_DATA_SIZE = 24", kFirstLine + 1),
                            "register data size should be 8, 16 or 32", failedFileMessage()));
    EXPECT_EQ(sensor()->regAddrSize, 12u);
    EXPECT_EQ(sensor()->sensorVersion, 5u); // the section was read to its end
}

TEST_F(OptionalSectionTest, UnknownKeysAreIgnoredWithoutMessage)
{
    ASSERT_EQ(parseOptional("FUTURE_KEY = anything at all\nSENSOR_VERSION = 2\n"), PARSE_SUCCESS);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(sensor()->sensorVersion, 2u);
}

TEST_F(OptionalSectionTest, LineWithoutValueEndsTheSectionAndFailsTheFile)
{
    EXPECT_EQ(parseOptional("SENSOR_VERSION =\nREG_ADDR_SIZE = 12\n"), CHIP_DESC_ERROR);
    EXPECT_THAT(errorMessages(),
                ElementsAre(syntaxMessage("SENSOR_VERSION =", kFirstLine), failedFileMessage()));
}

TEST_F(OptionalSectionTest, EachOrMatchOpensTheNextOfAtMostFourGroups)
{
    ASSERT_EQ(parseOptional("EXTRA_DESC_REG = A\nOR_MATCH\nEXTRA_DESC_REG = B\nOR_MATCH =\n"
                            "or_match\nEXTRA_DESC_REG = D\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(ident().groupCount, 4);
    EXPECT_STREQ(ident().groups[0].extraDesc.regName, "A");
    EXPECT_STREQ(ident().groups[1].extraDesc.regName, "B");
    EXPECT_STREQ(ident().groups[2].extraDesc.regName, "");
    EXPECT_STREQ(ident().groups[3].extraDesc.regName, "D");

    EXPECT_EQ(parseOptional("OR_MATCH\nOR_MATCH\nOR_MATCH\nOR_MATCH\n"), CHIP_DESC_ERROR);
    EXPECT_THAT(errorMessages(),
                ElementsAre(syntaxMessage("OR_MATCH", kFirstLine + 3), failedFileMessage()));
}

TEST_F(OptionalSectionTest, NamedEntriesWithoutTestApplyAtOnceTheLastWinning)
{
    ASSERT_EQ(parseOptional("PART_NUMBER = \"ZX0201-A\" SENSOR CHIP_VERSION_REG, 0xFF, 0x54\n"
                            "PART_NUMBER = \"ZX0201-B\" SENSOR CHIP_VERSION_REG, 0xFF, 0x55\n"
                            "PRODUCT_VARIANT = \"Mono\"\nPRODUCT_VARIANT = \"Colour\"\n"
                            "VERSION_NAME = \"Rev 2\" SERIAL 0x20, 0x3000:16, 0xFF00:16, (1 2)\n"),
              PARSE_SUCCESS);
    EXPECT_STREQ(sensor()->partNumber, "ZX0201-A"); // the first part number in any case
    EXPECT_STREQ(sensor()->productVariant, "Colour");
    EXPECT_STREQ(sensor()->versionName, "REV1"); // the tested name waits for detection

    const NamedIdentList &parts = ident().named[PartNumbers];
    ASSERT_EQ(parts.count, 2);
    EXPECT_STREQ(parts.entries[1].name, "ZX0201-B");
    EXPECT_STREQ(parts.entries[1].regName, "CHIP_VERSION_REG");
    EXPECT_EQ(parts.entries[1].mask, 0xFFu);
    ASSERT_EQ(parts.entries[1].valueCount, 1);
    EXPECT_EQ(parts.entries[1].values[0], 0x55u);

    const NamedIdentEntry &version = ident().named[VersionNames].entries[0];
    EXPECT_EQ(version.serial.base, 0x20u);
    EXPECT_EQ(version.serial.regAddr, 0x3000u);
    EXPECT_EQ(version.serial.addrSize, 16u);
    EXPECT_EQ(version.serial.mask, 0xFF00u);
    EXPECT_EQ(version.serial.dataSize, 16u);
    ASSERT_EQ(version.serial.valueCount, 2);
    EXPECT_EQ(version.serial.values[1], 2u);
}

TEST_F(OptionalSectionTest, NamedListsKeepFourEntriesAndCutLongNames)
{
    std::string lines;
    for (int i = 1; i <= 5; ++i)
        lines += "PRODUCT_VARIANT = \"V" + std::to_string(i) + "\"\n";
    lines += "PART_NUMBER = \"" + std::string(150, 'P') + "\"\n";
    ASSERT_EQ(parseOptional(lines), PARSE_SUCCESS);
    EXPECT_EQ(ident().named[ProductVariants].count, 4);
    EXPECT_STREQ(sensor()->productVariant, "V4");
    EXPECT_EQ(std::string(sensor()->partNumber), std::string(96, 'P') + "...");
}

TEST_F(OptionalSectionTest, TenthValueOfANamedTestIsStoredButFailsTheFile)
{
    ASSERT_EQ(parseOptional("PART_NUMBER = \"P\" SENSOR R, 1, (1 2 3 4 5 6 7 8 9)\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(ident().named[PartNumbers].entries[0].valueCount, 9);

    const std::string ten = "PART_NUMBER = \"P\" SENSOR R, 1, (1 2 3 4 5 6 7 8 9 10)";
    const std::string eleven = "EXTRA_SERIAL_REG = 0x20, 0:16, 0xFF:8, (1 2 3 4 5 6 7 8 9 10 11)";
    EXPECT_EQ(parseOptional(ten + "\n" + eleven + "\n"), CHIP_DESC_ERROR);
    EXPECT_EQ(ident().named[PartNumbers].entries[0].valueCount, 10);
    EXPECT_EQ(ident().named[PartNumbers].entries[0].values[9], 10u);
    EXPECT_EQ(ident().groups[0].extraSerial[0].valueCount, 10);
    EXPECT_THAT(errorMessages(),
                ElementsAre(syntaxMessage(ten, kFirstLine), syntaxMessage(eleven, kFirstLine + 1),
                            failedFileMessage()));
}

TEST_F(OptionalSectionTest, GroupTestsGoToTheCurrentGroup)
{
    ASSERT_EQ(parseOptional("OR_MATCH\n"
                            "EXTRA_DESC_REG = FUSE_ID\nEXTRA_DESC_MASK = 0xF0\n"
                            "EXTRA_DESC_VAL = (1 2 3)\n"
                            "VERSION_REG_WRITE = TEST_REG, 0x3, 2\n"
                            "VERSION_REG_WAITFOR = STATUS, 0x1, 1\n"
                            "VERSION_REG_WAITFOR = STATUS, 0x6, (1 3), 20\n"
                            "VERSION_REG_READ = REV, 0xFF, (0x10 0x11)\n"
                            "VERSION_REG_RESETIF = MODE, 0x1, 0\n"
                            "VERSION_REG_RESETIF = MODE, 0x2, 1\n"
                            "EXTRA_SERIAL_REG = 0x90, 0x0:8, 0xFF:0, 0\n"),
              PARSE_SUCCESS);
    ASSERT_EQ(ident().groupCount, 2);
    EXPECT_STREQ(ident().groups[0].extraDesc.regName, "");
    const IdentGroup &group = ident().groups[1];
    EXPECT_STREQ(group.extraDesc.regName, "FUSE_ID");
    EXPECT_EQ(group.extraDesc.mask, 0xF0u);
    EXPECT_EQ(group.extraDesc.valueCount, 3);
    ASSERT_EQ(group.versionWriteCount, 3);
    EXPECT_STREQ(group.versionWrites[0].regName, "TEST_REG");
    EXPECT_LT(group.versionWrites[0].waitMs, 0);
    EXPECT_EQ(group.versionWrites[0].values[0], 2u);
    EXPECT_EQ(group.versionWrites[1].waitMs, 500);
    EXPECT_EQ(group.versionWrites[2].waitMs, 20);
    EXPECT_EQ(group.versionWrites[2].valueCount, 2);
    EXPECT_EQ(group.versionWrites[2].values[1], 3u);
    ASSERT_EQ(group.versionReadCount, 1);
    EXPECT_EQ(group.versionReads[0].values[1], 0x11u);
    EXPECT_STREQ(group.resetIf.regName, "MODE");
    EXPECT_EQ(group.resetIf.mask, 0x2u);
    ASSERT_EQ(group.extraSerialCount, 1);
    EXPECT_EQ(group.extraSerial[0].base, 0x90u);
    EXPECT_EQ(group.extraSerial[0].dataSize, 0u);
}

TEST_F(OptionalSectionTest, GroupListLimits)
{
    std::string lines;
    for (int i = 0; i < 11; ++i)
        lines += "VERSION_REG_WRITE = R" + std::to_string(i) + ", 1, 1\n";
    for (int i = 0; i < 5; ++i)
        lines += "VERSION_REG_READ = R, 1, " + std::to_string(i) + "\n";
    for (int i = 0; i < 5; ++i)
        lines += "EXTRA_SERIAL_REG = 0x20, 0:16, 0xFF:8, " + std::to_string(i) + "\n";
    lines += "EXTRA_DESC_VAL = (1 2 3 4 5 6 7 8 9 10 11)\n";
    EXPECT_EQ(parseOptional(lines), CHIP_DESC_ERROR);
    const IdentGroup &group = ident().groups[0];
    EXPECT_EQ(group.versionWriteCount, 10);
    EXPECT_EQ(group.versionReadCount, 4); // further reads are ignored
    EXPECT_EQ(group.versionReads[3].values[0], 3u);
    EXPECT_EQ(group.extraSerialCount, 4);
    EXPECT_EQ(group.extraDesc.valueCount, 10);
    EXPECT_THAT(
        errorMessages(),
        ElementsAre(syntaxMessage("VERSION_REG_WRITE = R10, 1, 1", kFirstLine + 10),
                    syntaxMessage("EXTRA_DESC_VAL = (1 2 3 4 5 6 7 8 9 10 11)", kFirstLine + 21),
                    failedFileMessage()));
}

TEST_F(OptionalSectionTest, MalformedEntriesAreSyntaxErrors)
{
    const char *const lines[] = {
        "PART_NUMBER = ZX0201",
        "PART_NUMBER = \"P\" REGISTER R, 1, 2",
        "VERSION_NAME = \"V\" SERIAL 0x20, 0x3000, 0xFF:16, 1",
        "VERSION_REG_WRITE = R, 1",
        "VERSION_REG_WRITE = R, 1, (1 2)",
        "VERSION_REG_WAITFOR = R, 1, 2, x",
        "VERSION_REG_READ = TWO WORDS, 1, 2",
        "EXTRA_SERIAL_REG = 0x20, 0, 0xFF:8, 1",
        "EXTRA_DESC_MASK = mask",
    };
    std::string text;
    for (const char *line : lines)
        text += std::string(line) + "\n";
    EXPECT_EQ(parseOptional(text), CHIP_DESC_ERROR);
    std::vector<std::string> expected;
    for (size_t i = 0; i < std::size(lines); ++i)
        expected.push_back(syntaxMessage(lines[i], kFirstLine + static_cast<int>(i)));
    expected.push_back(failedFileMessage());
    EXPECT_EQ(errorMessages(), expected);
    EXPECT_EQ(ident().named[PartNumbers].count, 0);
}

TEST_F(OptionalSectionTest, EarlyRejectOfAnUnwantedRegisterAddressSize)
{
    ident().wantedAddrSize = 16;
    EXPECT_EQ(parseOptional("REG_ADDR_SIZE = 8\n"), SENSOR_DOES_NOT_MATCH);
    EXPECT_THAT(errorMessages(), ElementsAre("Early reject: Register address size does not match",
                                             failedFileMessage()));
    EXPECT_EQ(parseOptional("REG_ADDR_SIZE = 16\n"), PARSE_SUCCESS);
    EXPECT_EQ(parseOptional("REG_ADDR_SIZE = 32\n"), PARSE_SUCCESS);
    ident().wantedAddrSize = 8;
    EXPECT_EQ(parseOptional("REG_ADDR_SIZE = 32\n"), SENSOR_DOES_NOT_MATCH);
    ident().wantedAddrSize = 0;
    EXPECT_EQ(parseOptional("REG_ADDR_SIZE = 32\n"), PARSE_SUCCESS);
}

} // namespace
} // namespace zentro::test
