// Tests of long-description files and the lookups of long descriptions and confidential
// notes.
#include <cstring>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sensor_data/sensor_data_test_support.h"

namespace zentro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const char *const kSensor =
    "<?xml version=\"1.0\"?>\n"
    "<sensor name=\"ZX0201\" version=\"2\" ship_base_address=\"0x20\">\n"
    "<registers>\n"
    "<reg name=\"CHIP_VERSION_REG\" addr=\"0\"/>\n"
    "<reg name=\"RESET_REGISTER\" addr=\"2\"><bitfield name=\"RESET\" mask=\"1\"/>"
    "<bitfield name=\"STREAM\" mask=\"4\"/></reg>\n"
    "<reg name=\"FORMAT\" addr=\"4\"/>\n"
    "</registers>\n</sensor>\n";

const char *const kDescriptions =
    "<?xml version=\"1.0\"?>\n"
    "<sensor name=\"zx0201\" version=\"2\"><registers>\n"
    "<reg name=\"chip_version_reg\"><long_desc>Identifies the die.</long_desc>"
    "<conf_notes>Bit 15 is a test bit.</conf_notes></reg>\n"
    "<reg name=\"RESET_REGISTER\"><bitfield name=\"reset\"><long_desc>Resets &amp; "
    "restarts.</long_desc></bitfield><bitfield name=\"STREAM\"><long_desc>Streams."
    "</long_desc></bitfield><bitfield name=\"MISSING\"><long_desc>x</long_desc></bitfield>"
    "</reg>\n"
    "<reg name=\"NO_SUCH_REGISTER\"><long_desc>x</long_desc></reg>\n"
    "<reg name=\"FORMAT\"><long_desc><![CDATA[<raw> & 10 bits]]></long_desc></reg>\n"
    "</registers></sensor>\n";

class LongDescTest : public SensorFileTest
{
protected:
    void SetUp() override { ASSERT_EQ(parse(kSensor, "sensor.xsdat"), PARSE_SUCCESS); }

    std::string longDescription(const char *reg, const char *bitfield = nullptr)
    {
        char buffer[128] = "untouched";
        found = ze_GetLongDescription(camera, reg, bitfield, buffer, sizeof(buffer));
        return buffer;
    }
    std::string confidentialNote(const char *reg, const char *bitfield = nullptr)
    {
        char buffer[128] = "untouched";
        found = ze_GetConfidentialNotes(camera, reg, bitfield, buffer, sizeof(buffer));
        return buffer;
    }

    int found = -1;
};

TEST_F(LongDescTest, TextsAreFoundByRegisterAndBitfieldOnFirstDemand)
{
    write("sensor.ldat", kDescriptions);
    EXPECT_EQ(longDescription("CHIP_VERSION_REG"), "Identifies the die.");
    EXPECT_EQ(found, 0);
    EXPECT_EQ(longDescription("Reset_Register", "RESET"), "Resets & restarts.");
    EXPECT_EQ(longDescription("RESET_REGISTER", "stream"), "Streams.");
    EXPECT_EQ(longDescription("FORMAT", ""), "<raw> & 10 bits");
    EXPECT_EQ(confidentialNote("CHIP_VERSION_REG"), "Bit 15 is a test bit.");
    EXPECT_EQ(found, 0);
    // Names the sensor lacks are not stored.
    EXPECT_EQ(sensor()->longDescCount, 4);
    EXPECT_EQ(longDescription("RESET_REGISTER", "MISSING"), "");
    EXPECT_EQ(found, 1);
    EXPECT_EQ(longDescription("NO_SUCH_REGISTER"), "");
    EXPECT_EQ(found, 1);
    EXPECT_EQ(confidentialNote("FORMAT"), "");
    EXPECT_EQ(found, 1);
}

TEST_F(LongDescTest, ARegisterWithOnlyBitfieldTextsHasNoTextOfItsOwn)
{
    write("sensor.ldat", kDescriptions);
    EXPECT_EQ(longDescription("RESET_REGISTER"), "");
    EXPECT_EQ(found, 1);
}

TEST_F(LongDescTest, TextsAreCutToTheBufferAndTinyBuffersAreLeftAlone)
{
    write("sensor.ldat", kDescriptions);
    char buffer[6] = "abcde";
    EXPECT_EQ(ze_GetLongDescription(camera, "CHIP_VERSION_REG", nullptr, buffer, 6), 0);
    EXPECT_STREQ(buffer, "Ident");
    char one[2] = "z";
    EXPECT_EQ(ze_GetLongDescription(camera, "CHIP_VERSION_REG", nullptr, one, 1), 1);
    EXPECT_STREQ(one, "z");
    EXPECT_EQ(ze_GetConfidentialNotes(camera, "CHIP_VERSION_REG", nullptr, one, 0), 1);
    EXPECT_EQ(ze_GetLongDescription(camera, "CHIP_VERSION_REG", nullptr, nullptr, 10), 1);
    EXPECT_STREQ(one, "z");
}

TEST_F(LongDescTest, MissingArgumentsFindNothingAndEmptyTheBuffer)
{
    EXPECT_EQ(longDescription(""), "");
    EXPECT_EQ(found, 1);
    EXPECT_EQ(longDescription(nullptr), "");
    EXPECT_EQ(found, 1);
    char buffer[8] = "x";
    EXPECT_EQ(ze_GetLongDescription(nullptr, "A", nullptr, buffer, sizeof(buffer)), 1);
    EXPECT_STREQ(buffer, "");
}

TEST_F(LongDescTest, AMissingDescriptionFileIsLookedForOnlyOnce)
{
    EXPECT_EQ(longDescription("CHIP_VERSION_REG"), "");
    EXPECT_EQ(found, 1);
    EXPECT_EQ(sensor()->longDescCount, 1); // the placeholder
    EXPECT_THAT(errorMessages(), IsEmpty());
    // The file appears later: the sensor was already done.
    write("sensor.ldat", kDescriptions);
    EXPECT_EQ(longDescription("CHIP_VERSION_REG"), "");
    EXPECT_EQ(confidentialNote("CHIP_VERSION_REG"), "");
    EXPECT_EQ(found, 1);
    EXPECT_EQ(sensor()->longDescCount, 1);
}

TEST_F(LongDescTest, TheSearchEndsOnceTheRegistersEntriesArePassed)
{
    write("sensor.ldat", "<?xml version=\"1.0\"?>\n<sensor name=\"ZX0201\" version=\"2\">"
                         "<reg name=\"FORMAT\"><long_desc>first</long_desc></reg>"
                         "<reg name=\"CHIP_VERSION_REG\"><long_desc>other</long_desc></reg>"
                         "<reg name=\"RESET_REGISTER\"><long_desc>own</long_desc></reg>"
                         "<reg name=\"FORMAT\"><long_desc>late</long_desc></reg>"
                         "<reg name=\"RESET_REGISTER\"><bitfield name=\"RESET\">"
                         "<long_desc>late field</long_desc></bitfield></reg></sensor>\n");
    EXPECT_EQ(longDescription("FORMAT"), "first");
    EXPECT_EQ(longDescription("RESET_REGISTER", "RESET"), "");
    EXPECT_EQ(found, 1);
}

TEST_F(LongDescTest, AFileOfAnotherSensorOrVersionAddsNothingAndSucceeds)
{
    const std::string other = write("other.ldat", "<?xml version=\"1.0\"?>\n"
                                                  "<sensor name=\"ZX0042\" version=\"2\"><reg "
                                                  "name=\"FORMAT\"><long_desc>x</long_desc></reg>"
                                                  "</sensor>\n");
    EXPECT_EQ(ze_ParseLongDescFile(camera, other.c_str()), PARSE_SUCCESS);
    const std::string version = write("version.ldat", "<?xml version=\"1.0\"?>\n"
                                                      "<sensor name=\"ZX0201\" version=\"3\"><reg "
                                                      "name=\"FORMAT\"><long_desc>x</long_desc>"
                                                      "</reg></sensor>\n");
    EXPECT_EQ(ze_ParseLongDescFile(camera, version.c_str()), PARSE_SUCCESS);
    // Notes before the sensor element belong to no sensor.
    const std::string early = write("early.ldat", "<?xml version=\"1.0\"?>\n<notes><reg "
                                                  "name=\"FORMAT\"><long_desc>x</long_desc></reg>"
                                                  "</notes>\n");
    EXPECT_EQ(ze_ParseLongDescFile(camera, early.c_str()), PARSE_SUCCESS);
    EXPECT_EQ(sensor()->longDescCount, 0);
    EXPECT_THAT(errorMessages(), IsEmpty());
}

TEST_F(LongDescTest, TheDefaultFileIsTheSensorFileWithTheLdatExtension)
{
    write("sensor.ldat", kDescriptions);
    EXPECT_EQ(ze_ParseLongDescFile(camera, nullptr), PARSE_SUCCESS);
    EXPECT_EQ(sensor()->longDescCount, 4);
    EXPECT_EQ(sensor()->confNoteCount, 1);
    EXPECT_STREQ(sensor()->longDescs[0].regName, "CHIP_VERSION_REG");
    EXPECT_EQ(sensor()->longDescs[0].bitfieldName, nullptr);
    EXPECT_STREQ(sensor()->longDescs[1].bitfieldName, "RESET");
}

TEST_F(LongDescTest, BrokenOrMissingFilesFailAndAddNothing)
{
    const std::string broken =
        write("broken.ldat", "<?xml version=\"1.0\"?>\n<sensor name=\"ZX0201\" version=\"2\">"
                             "<reg name=\"FORMAT\"><long_desc>x</conf_notes></reg></sensor>\n");
    EXPECT_EQ(ze_ParseLongDescFile(camera, broken.c_str()), SENSOR_FILE_PARSE_ERROR);
    EXPECT_EQ(sensor()->longDescCount, 0);
    const std::string missing = dir.file("missing.ldat");
    EXPECT_EQ(ze_ParseLongDescFile(camera, missing.c_str()), PARSE_FILE_ERROR);
    EXPECT_THAT(errorMessages(),
                ElementsAre("XML parsing error: \"mismatched tag\" Code: 7 Line: 2 Col: 68 in " +
                                broken + ":2",
                            "unable to open file " + missing));
    ze_camera_t bare{};
    EXPECT_EQ(ze_ParseLongDescFile(&bare, nullptr), SENSOR_NOT_INITIALIZED);
    EXPECT_EQ(ze_ParseLongDescFile(nullptr, nullptr), CAMERA_ERROR);
}

} // namespace
} // namespace zentro::test
