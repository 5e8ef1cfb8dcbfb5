// Tests of the text sensor-data reader: entry point, descriptor, sections, rejects, finishing.
#include <cstring>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "camera/context.h"
#include "sensor_data/sensor_data_test_support.h"
#include "sensor_data/text_reader.h"
#include "zentro_sensor_data.h"

namespace zentro::test {
namespace {

using ::testing::ElementsAre;

using SensorFileReaderTest = SensorFileTest;

TEST_F(SensorFileReaderTest, RefusesWithoutMessageWhatIsNoSensorDataFile)
{
    std::string text = write("sensor.txt", kDescriptor);
    std::string bare = write("sensor", kDescriptor);
    std::string dotInDirectory = write("dir.sdat", "");
    EXPECT_EQ(ze_ParseSensorFile(nullptr, text.c_str(), nullptr), CAMERA_ERROR);
    EXPECT_EQ(ze_ParseSensorFile(camera, nullptr, nullptr), CAMERA_ERROR);
    EXPECT_EQ(ze_ParseSensorFile(camera, text.c_str(), nullptr), CAMERA_ERROR);
    EXPECT_EQ(ze_ParseSensorFile(camera, bare.c_str(), nullptr), CAMERA_ERROR);
    EXPECT_EQ(ze_ParseSensorFile(camera, (dotInDirectory + "/x").c_str(), nullptr), CAMERA_ERROR);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(sensor(), nullptr);
}

TEST_F(SensorFileReaderTest, CameraWithoutContextAndMissingFileAreLogged)
{
    ze_camera_t bare{};
    std::string path = write("sensor.sdat", kDescriptor);
    EXPECT_EQ(ze_ParseSensorFile(&bare, path.c_str(), nullptr), CAMERA_ERROR);
    std::string missing = dir.file("missing.SDAT");
    EXPECT_EQ(ze_ParseSensorFile(camera, missing.c_str(), nullptr), PARSE_FILE_ERROR);
    EXPECT_THAT(errorMessages(), ElementsAre("Must have a valid pCamera->context",
                                             "unable to open file " + missing));
}

TEST_F(SensorFileReaderTest, DescriptorFillsTheRecordAndTheDerivedValues)
{
    ASSERT_EQ(parse(kDescriptor, "zx.SDAT"), PARSE_SUCCESS);
    ze_sensor_t *s = sensor();
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s->name, "ZX0201");
    EXPECT_EQ(s->sensorType, 201u);
    EXPECT_EQ(s->width, 1920u);
    EXPECT_EQ(s->imageWidth, 1920u);
    EXPECT_EQ(s->height, 1200u);
    EXPECT_EQ(s->imageHeight, 1200u);
    EXPECT_EQ(s->bitsPerPixel, 12u);
    EXPECT_EQ(s->pixelBytes, 2u);
    EXPECT_EQ(s->imageBytes, 1920u * 1200u * 2u);
    EXPECT_EQ(s->imageType, 12u); // Bayer 10 refined by its 12 bits per pixel
    EXPECT_EQ(s->imageCount, 1u);
    EXPECT_EQ(s->shipBaseAddr, 0x20u);
    EXPECT_STREQ(s->fileName, lastPath.c_str());
    EXPECT_STREQ(s->versionName, "REV1");
    EXPECT_EQ(storedMode(camera, ZE_BITS_PER_CLOCK), 12u);
    EXPECT_EQ(camera->context->ident.shipSpeed, 400u);
    uint32_t addresses[15];
    int32_t count = 0;
    ASSERT_EQ(ze_GetShipAddrList(camera, addresses, &count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(addresses[0], 0x20u);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(SensorFileReaderTest, SecondReadStartsFromAFreshRecordAndIdentification)
{
    ASSERT_EQ(parse(std::string(kDescriptor) + "[OPTIONAL]\nPART_NUMBER = \"P1\"\nOR_MATCH\n"
                                               "[END]\n[ADDR_SPACE]\nA = {0, \"a\"}\n[END]\n"
                                               "[REGISTERS]\nR = {1, A, 0xFF, RW, 0, \"\" \"\"}\n"
                                               "[END]\n"),
              PARSE_SUCCESS);
    IdentData &ident = camera->context->ident;
    ident.probing = 0;
    ident.absentMap[0] = 0x10;
    ident.socWish = SocWish::NonSocOnly;
    ident.wantedAddrSize = 16;
    ASSERT_EQ(parse("[CHIP_DESCRIPTOR]\nSENSORNAME = \"OTHER\"\nSHIP_BASE_ADDRESS = (0x30 "
                    "0x32)\nSHIP_SPEED = 100\n[END]\n",
                    "other.sdat"),
              PARSE_SUCCESS);
    ze_sensor_t *s = sensor();
    EXPECT_STREQ(s->name, "OTHER");
    EXPECT_EQ(s->sensorType, 0u);
    EXPECT_EQ(s->regCount, 0);
    EXPECT_EQ(s->regs, nullptr);
    EXPECT_EQ(s->addrSpaces, nullptr);
    EXPECT_STREQ(s->partNumber, "");
    EXPECT_EQ(ident.groupCount, 1);
    EXPECT_EQ(ident.named[PartNumbers].count, 0);
    EXPECT_EQ(ident.baseAddrCount, 2);
    EXPECT_EQ(ident.shipSpeed, 100u);
    // The running search owns these.
    EXPECT_EQ(ident.absentMap[0], 0x10u);
    EXPECT_EQ(ident.socWish, SocWish::NonSocOnly);
    EXPECT_EQ(ident.wantedAddrSize, 16u);
    EXPECT_EQ(camera->context->sdatVersion, 1u);
}

TEST_F(SensorFileReaderTest, XmlFilesGoToTheXmlReaderWhateverTheirExtension)
{
    EXPECT_EQ(parse("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n"
                    "<sensor name=\"ZX0042\" ship_base_address=\"0x20\"/>\n",
                    "bom.sdat"),
              PARSE_SUCCESS);
    EXPECT_STREQ(sensor()->name, "ZX0042");
    EXPECT_EQ(parse("<?xml version=\"1.0\"?>\n", "plain.xsdat"), SENSOR_FILE_PARSE_ERROR);
    EXPECT_THAT(errorMessages(),
                ElementsAre("XML parsing error: \"no element found\" Code: 3 Line: 2 Col: 1 in " +
                                lastPath + ":2",
                            "reading sensor-data file " + lastPath + " failed"));
    // A text file with the XML extension is read as text.
    log.clear();
    EXPECT_EQ(parse(kDescriptor, "text.xsdat"), PARSE_SUCCESS);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(SensorFileReaderTest, FilesWithoutDescriptorFailQuietly)
{
    EXPECT_EQ(parse(""), CHIP_DESC_ERROR);
    EXPECT_EQ(parse(std::string("\x00\xff\x01[\x7f\n\n\x00\x00", 9) + std::string(3000, '\x9c')),
              CHIP_DESC_ERROR);
    EXPECT_EQ(parse("[OPTIONAL]\nSENSOR_VERSION = 2\n[END]\n"), CHIP_DESC_ERROR);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(SensorFileReaderTest, DescriptorErrorsAreAllLoggedBeforeTheFileFails)
{
    EXPECT_EQ(parse("; header\n[CHIP_DESCRIPTOR]\nSENSORNAME = \"ZX0201\"\nWIDTH = abc\n"
                    "COLOR = RED\nIMAGE_TYPE = RGB\nSHIP_BASE_ADDRESS = 0x20\n[END]\n"),
              CHIP_DESC_ERROR);
    EXPECT_THAT(errorMessages(),
                ElementsAre(syntaxMessage("WIDTH = abc", 4), syntaxMessage("COLOR = RED", 5),
                            syntaxMessage("IMAGE_TYPE = RGB", 6), failedFileMessage()));
    EXPECT_THAT(errorCodes(),
                ElementsAre(CHIP_DESC_ERROR, CHIP_DESC_ERROR, CHIP_DESC_ERROR, CHIP_DESC_ERROR));
}

TEST_F(SensorFileReaderTest, LineWithoutKeyValueEndsTheDescriptor)
{
    // The missing [END] makes the next section's header a descriptor line.
    EXPECT_EQ(parse("[CHIP_DESCRIPTOR]\nSENSORNAME = \"ZX0201\"\n[OPTIONAL]\nWIDTH\n[END]\n"),
              CHIP_DESC_ERROR);
    EXPECT_THAT(errorMessages(), ElementsAre(syntaxMessage("[OPTIONAL]", 3), failedFileMessage()));
}

TEST_F(SensorFileReaderTest, LastSectionMayEndWithTheFile)
{
    ASSERT_EQ(parse(std::string(kVersion2Head) +
                    "[REGISTERS]\nLAST = {0x10, CORE, 1, 0xFF, RW, 0, \"\" \"\"}"),
              PARSE_SUCCESS);
    EXPECT_NE(reg("LAST"), nullptr);
}

TEST_F(SensorFileReaderTest, BaseAddressListHoldsAtMostFifteen)
{
    std::string fifteen = "(1 2 3 4 5 6 7 8 9 10 11 12 13 14 15)";
    ASSERT_EQ(parse("[CHIP_DESCRIPTOR]\nI2C_BASE_ADDRESS = " + fifteen + "\n[END]\n"),
              PARSE_SUCCESS);
    EXPECT_EQ(camera->context->ident.baseAddrCount, 15);
    EXPECT_EQ(camera->context->ident.baseAddrs[14], 15u);
    EXPECT_EQ(sensor()->shipBaseAddr, 1u);

    std::string sixteen = "SHIP_BASE_ADDRESS = (1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16)";
    EXPECT_EQ(parse("[CHIP_DESCRIPTOR]\n" + sixteen + "\n[END]\n"), CHIP_DESC_ERROR);
    EXPECT_THAT(errorMessages(), ElementsAre(syntaxMessage(sixteen, 2), failedFileMessage()));
}

TEST_F(SensorFileReaderTest, ImageTypeWordsAndTheirRefinementByDepth)
{
    struct Case {
        const char *word;
        int bitsPerClock;
        int clocksPerPixel;
        uint32_t type;
        uint32_t bitsPerPixel;
        uint32_t pixelBytes;
    };
    const Case cases[] = {
        {"bayer", 8, 1, 1, 8, 1},        {"BAYER", 10, 1, 2, 10, 2},
        {"BAYER", 14, 1, 20, 14, 2},     {"BAYER", 12, 2, 38, 24, 4},
        {"BAYER", 20, 1, 23, 20, 4},     {"BAYER_HDR", 16, 1, 28, 16, 2},
        {"BAYER_HDR", 11, 1, 12, 11, 2}, {"BAYER_STEREO", 16, 1, 16, 8, 2},
        {"YCBCR", 8, 2, 5, 16, 2},       {"BAYER_IHDR", 12, 1, 26, 12, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.word) + " " + std::to_string(c.bitsPerClock));
        ASSERT_EQ(parse("[CHIP_DESCRIPTOR]\nRAW_IMAGE_TYPE = " + std::string(c.word) +
                        "\nRAW_BITS_PER_CLOCK = " + std::to_string(c.bitsPerClock) +
                        "\nRAW_CLOCKS_PER_PIXEL = " + std::to_string(c.clocksPerPixel) +
                        "\nRAW_WIDTH = 100\nRAW_HEIGHT = 10\nIMAGE_WIDTH = 5\n"
                        "SHIP_BASE_ADDRESS = 0x20\n[END]\n"),
                  PARSE_SUCCESS);
        EXPECT_EQ(sensor()->imageType, c.type);
        EXPECT_EQ(sensor()->bitsPerPixel, c.bitsPerPixel);
        EXPECT_EQ(sensor()->pixelBytes, c.pixelBytes);
        EXPECT_EQ(sensor()->imageBytes, 1000u * c.pixelBytes);
    }
}

TEST_F(SensorFileReaderTest, FrameTooLargeForTheRecordIsRefused)
{
    EXPECT_EQ(parse("[CHIP_DESCRIPTOR]\nWIDTH = 0x10000\nHEIGHT = 0x10000\nBITS_PER_CLOCK = 12\n"
                    "SHIP_BASE_ADDRESS = 0x20\n[END]\n"),
              CHIP_DESC_ERROR);
    ASSERT_FALSE(errorMessages().empty());
    EXPECT_NE(errorMessages()[0].find("65536 x 65536"), std::string::npos);
}

TEST_F(SensorFileReaderTest, EarlyRejectWithoutReachableBaseAddress)
{
    const std::string noDevice = "Early reject: There is no SHIP_BASE_ADDRESS, or no device at "
                                 "the base address(es)";
    EXPECT_EQ(parse("[CHIP_DESCRIPTOR]\nSENSORNAME = \"ZX0201\"\n[END]\n"), SENSOR_DOES_NOT_MATCH);
    EXPECT_THAT(errorMessages(), ElementsAre(noDevice, failedFileMessage()));

    // 0x20 and 0x30 did not answer an earlier probe; 0x130 is an SPI address.
    IdentData &ident = camera->context->ident;
    ident.absentMap[0] = (1u << (0x20 >> 1)) | (1u << (0x30 >> 1));
    log.clear();
    EXPECT_EQ(parse("[CHIP_DESCRIPTOR]\nSHIP_BASE_ADDRESS = (0x20 0x30)\n[END]\n"),
              SENSOR_DOES_NOT_MATCH);
    EXPECT_THAT(errorMessages(), ElementsAre(noDevice, failedFileMessage()));
    EXPECT_EQ(parse("[CHIP_DESCRIPTOR]\nSHIP_BASE_ADDRESS = (0x20 0x32)\n[END]\n"), PARSE_SUCCESS);
    EXPECT_EQ(parse("[CHIP_DESCRIPTOR]\nSHIP_BASE_ADDRESS = (0x20 0x130)\n[END]\n"), PARSE_SUCCESS);

    // While the bus is routed to SPI no address counts as absent.
    camera->getMode = [](ze_camera_t *, uint32_t mode, uint32_t *value) {
        *value = mode == ZE_SHIP_TO_SPI ? 1 : 0;
        return 0;
    };
    EXPECT_EQ(parse("[CHIP_DESCRIPTOR]\nSHIP_BASE_ADDRESS = (0x20 0x30)\n[END]\n"), PARSE_SUCCESS);
}

TEST_F(SensorFileReaderTest, EarlyRejectOfTheUnwantedKindOfSensor)
{
    const std::string soc = "[CHIP_DESCRIPTOR]\nSENSORNAME = \"ZX0005\"\nSHIP_BASE_ADDRESS = "
                            "0x20\n[END]\n";
    const std::string ycbcrSoc = "[CHIP_DESCRIPTOR]\nSENSORNAME = \"zx0019\"\nIMAGE_TYPE = "
                                 "YCBCR\nSHIP_BASE_ADDRESS = 0x20\n[END]\n";
    IdentData &ident = camera->context->ident;
    ident.socWish = SocWish::SocOnly;
    EXPECT_EQ(parse(soc), PARSE_SUCCESS);
    EXPECT_EQ(parse(ycbcrSoc), PARSE_SUCCESS);
    EXPECT_EQ(parse(kDescriptor), SENSOR_DOES_NOT_MATCH);
    ident.socWish = SocWish::NonSocOnly;
    EXPECT_EQ(parse(kDescriptor), PARSE_SUCCESS);
    EXPECT_EQ(parse(soc), SENSOR_DOES_NOT_MATCH);
    EXPECT_THAT(errorMessages(),
                ElementsAre("Early reject: Wanted SOC and file is not SOC",
                            "reading sensor-data file " + dir.file("sensor.sdat") + " failed",
                            "Early reject: Wanted non-SOC and file is SOC", failedFileMessage()));
}

TEST_F(SensorFileReaderTest, UnknownSectionIsLoggedAndSkipped)
{
    ASSERT_EQ(parse(std::string("[FUTURE]\nWIDTH = 5\nnot even a key\n[END]\n") + kDescriptor),
              PARSE_SUCCESS);
    EXPECT_THAT(errorMessages(), ElementsAre(syntaxMessage("[FUTURE]", 1)));
    EXPECT_THAT(errorCodes(), ElementsAre(UKNOWN_SECTION_ERROR));
    EXPECT_EQ(sensor()->width, 1920u);
}

TEST_F(SensorFileReaderTest, LinesBetweenSectionsAndStrayEndsAreSkipped)
{
    ASSERT_EQ(parse(std::string("garbage = {\n[END]\n// c\n") + kDescriptor + "more text\n"),
              PARSE_SUCCESS);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(SensorFileReaderTest, OverLongDescriptorLineIsSplitIntoTwoBadLines)
{
    std::string longValue(300, '7');
    EXPECT_EQ(
        parse("[CHIP_DESCRIPTOR]\nSHIP_BASE_ADDRESS = 0x20\nWIDTH = " + longValue + "\n[END]\n"),
        CHIP_DESC_ERROR);
    std::string line = "WIDTH = " + longValue;
    EXPECT_EQ(errorMessages().front(), syntaxMessage(line.substr(0, 250), 3));
}

TEST_F(SensorFileReaderTest, FinishedReadSetsModesAndCreatesTheLocks)
{
    EXPECT_FALSE(camera->context->regLock);
    ASSERT_EQ(
        parse("[CHIP_DESCRIPTOR]\nSENSORNAME = \"ZX0071\"\nSHIP_BASE_ADDRESS = 0x20\n[END]\n"),
        PARSE_SUCCESS);
    EXPECT_EQ(storedMode(camera, ZE_ALLOW_FAR_ACCESS), 0u);
    EXPECT_EQ(storedMode(camera, ZE_MIDDLE_12), 0u);
    EXPECT_TRUE(camera->context->regLock);
    EXPECT_TRUE(camera->context->grabLock);
    ASSERT_EQ(
        parse("[CHIP_DESCRIPTOR]\nSENSORNAME = \"ZX0133\"\nSHIP_BASE_ADDRESS = 0x20\n[END]\n"),
        PARSE_SUCCESS);
    EXPECT_EQ(storedMode(camera, ZE_MIDDLE_12), 1u);
}

TEST_F(SensorFileReaderTest, VersionNameFromTheSensorVersionUnlessTheFileNamesOne)
{
    ASSERT_EQ(parse("[OPTIONAL]\nSENSOR_VERSION = 3\n[END]\n[CHIP_DESCRIPTOR]\nSENSORNAME = "
                    "\"ZX0008\"\nSHIP_BASE_ADDRESS = 0x20\n[END]\n"),
              PARSE_SUCCESS);
    EXPECT_STREQ(sensor()->versionName, "ES3");
    ASSERT_EQ(parse("[CHIP_DESCRIPTOR]\nSENSORNAME = \"ZX0004\"\nSHIP_BASE_ADDRESS = 0x20\n[END]\n"
                    "[OPTIONAL]\nSENSOR_VERSION = 2\n[END]\n"),
              PARSE_SUCCESS);
    EXPECT_STREQ(sensor()->versionName, "REV2");
    ASSERT_EQ(parse(std::string(kDescriptor) + "[OPTIONAL]\nVERSION_NAME = \"Rev A\"\n[END]\n"),
              PARSE_SUCCESS);
    EXPECT_STREQ(sensor()->versionName, "Rev A");
}

TEST_F(SensorFileReaderTest, ParsingIsAnnouncedInTheLogFile)
{
    std::string logName = dir.file("reader.txt");
    ze_OpenErrorLog(ZE_LOG_GENERAL, logName.c_str());
    ASSERT_EQ(parse(kDescriptor), PARSE_SUCCESS);
    ze_CloseErrorLog();
    EXPECT_NE(readFile(dir.file("reader0.txt")).find("LOG: parsing file " + lastPath + "\n"),
              std::string::npos);
}

TEST(SensorSyntaxError, LogsTheLineTheFileAndTheLineNumber)
{
    LogCapture log;
    EXPECT_EQ(ze_syntaxerror(PARSE_REG_ERROR, "X = {", "dir/a.sdat", 12, "src.cpp", "fn", 7),
              PARSE_REG_ERROR);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].message, "X = { in dir/a.sdat:12");
    EXPECT_EQ(log.lines()[0].code, PARSE_REG_ERROR);
    EXPECT_EQ(log.lines()[0].function, "fn");
}

TEST(SensorSoc, DecidedByTheSensorTypeCode)
{
    TestCamera camera;
    EXPECT_EQ(ze_IsSOC(camera), 0);
    EXPECT_EQ(ze_IsSOC(nullptr), 0);
    ASSERT_EQ(ze_AllocSensor(camera), 0);
    camera->sensor->sensorType = 176;
    EXPECT_EQ(ze_IsSOC(camera), 1);
    camera->sensor->sensorType = 201;
    EXPECT_EQ(ze_IsSOC(camera), 0);
    camera->sensor->sensorType = 19;
    camera->sensor->imageType = 2;
    EXPECT_EQ(ze_IsSOC(camera), 0);
    camera->sensor->imageType = 5;
    EXPECT_EQ(ze_IsSOC(camera), 1);
}

} // namespace
} // namespace zentro::test
