// Part numbers, variants, version names and minor versions picked from the named lists,
// and the family list.
#include "identify/family_list.h"
#include "identify/identify_test_support.h"
#include "sensor_data/sensor_record.h"

namespace zentro::test {
namespace {

constexpr uint32_t kRevisionAddr = 0x3006;

Candidate named(const std::string &optional)
{
    return {.chipVersion = 0x2222,
            .optional = optional,
            .registers = "REVISION = {0x3006, CORE, 1, 0xFFFF, RO, 0x0000, \"Rev\" \"\"}\n"};
}

TEST_F(IdentifyTest, TheFirstPassingEntryOrElseTheLastUntestedOneIsPicked)
{
    FakeDevice &device = sensorAt(0x20, 0x2222);
    bus.addDevice(0x50, 8, 8).set(0x01, 0x42);
    device.set(kRevisionAddr, 0x0031);
    add("a.sdat", named("PART_NUMBER = \"ZP-GENERIC\"\n"
                        "PART_NUMBER = \"ZP-A\" SENSOR REVISION, 0x00F0, 0x2\n"
                        "PART_NUMBER = \"ZP-B\" SENSOR REVISION, 0x00F0, 0x3\n"
                        "PRODUCT_VARIANT = \"MONO\" SENSOR REVISION, 0x000F, 0x2\n"
                        "PRODUCT_VARIANT = \"COLOUR\"\n"
                        "PRODUCT_VARIANT = \"RGB-IR\"\n"
                        "VERSION_NAME = \"REV-B\" SERIAL 0x50, 0x01 : 8, 0xFF : 8, (0x41 0x42)\n"
                        "VERSION_NAME = \"REV-A\"\n"));
    ASSERT_EQ(identify(), CAMERA_SUCCESS);
    EXPECT_STREQ(camera->sensor->partNumber, "ZP-B");
    EXPECT_STREQ(camera->sensor->productVariant, "RGB-IR"); // the last untested
    EXPECT_STREQ(camera->sensor->versionName, "REV-B");

    // Tested entries that all fail: the last untested entry.
    device.set(kRevisionAddr, 0x0051);
    ASSERT_EQ(ze_DetectPartNumber(camera), 0);
    EXPECT_STREQ(camera->sensor->partNumber, "ZP-GENERIC");
    // A failed read skips the entry.
    bus.device(0x50).answers = false;
    ASSERT_EQ(ze_DetectPartNumber(camera), 0);
    EXPECT_STREQ(camera->sensor->versionName, "REV-A");
}

TEST(FamilyList, TheLastLineOfThePartNumberWins)
{
    TempDir dir;
    const std::string path = dir.file("familyList.txt");
    writeFile(path, "# part, family, features\n"
                    "ZP-B rev 2, Early family, HDR\n"
                    "ZP-C, Other family, none\n"
                    "ZP-B, Zebra family, HDR LFM\r\n");
    ze_sensor_t sensor{};
    copyText(sensor.partNumber, "ZP-B");
    ASSERT_TRUE(lookUpFamily(&sensor, path));
    EXPECT_STREQ(sensor.familyName, "Zebra family");
    EXPECT_STREQ(sensor.features, "HDR LFM");

    copyText(sensor.partNumber, "ZP-Z");
    EXPECT_FALSE(lookUpFamily(&sensor, path));
    EXPECT_FALSE(lookUpFamily(&sensor, dir.file("absent.txt")));
}

TEST(FamilyList, MalformedLinesStopTheLookupAndMissingFeaturesAreEmpty)
{
    TempDir dir;
    const std::string path = dir.file("familyList.txt");
    FileLog log;
    ze_sensor_t sensor{};
    copyText(sensor.partNumber, "ZP-B");
    copyText(sensor.features, "stale");
    writeFile(path, "ZP-B, Zebra family\n");
    ASSERT_TRUE(lookUpFamily(&sensor, path));
    EXPECT_STREQ(sensor.features, "");
    EXPECT_EQ(1u, log.occurrences("familyList.txt; didn't find Features"));

    // A malformed line after a match fails the lookup: no family, no features are left.
    writeFile(path, "ZP-B, Zebra family, HDR\nZP-B\n");
    EXPECT_FALSE(lookUpFamily(&sensor, path));
    EXPECT_EQ(1u, log.occurrences("familyList.txt; didn't find Family Name"));
    EXPECT_STREQ(sensor.familyName, "");
    EXPECT_STREQ(sensor.features, "");
    // A NUL ends its line: the family name is missing, not an empty text.
    writeFile(path, std::string("ZP-B, \0\0\0\x0c\n", 11));
    EXPECT_FALSE(lookUpFamily(&sensor, path));
    EXPECT_EQ(2u, log.occurrences("familyList.txt; didn't find Family Name"));
    writeFile(path, " , Zebra family, HDR\n");
    EXPECT_FALSE(lookUpFamily(&sensor, path));
    EXPECT_EQ(1u, log.occurrences("familyList.txt; didn't find PartNumber"));
}

} // namespace
} // namespace zentro::test
