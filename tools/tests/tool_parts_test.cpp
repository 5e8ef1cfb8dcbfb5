// The tools' parts that need no board: options, names, register values, record layout.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "zentro.h"

#include "io_methods.h"
#include "raw_output.h"
#include "sensor_config.h"
#include "sensor_table.h"
#ifdef WITH_EEPROM_TOOL
#include "eeprom_record.h"
#include "serial_sources.h"
#endif

namespace {

TEST(RawDescriptionName, ExtensionOfTheLastComponentBecomesInfo)
{
    EXPECT_EQ(infoFileName("frames.raw"), "frames_info.txt");
    EXPECT_EQ(infoFileName("/data/run.1/frames.raw"), "/data/run.1/frames_info.txt");
    EXPECT_EQ(infoFileName("a.b.raw"), "a.b_info.txt");
    EXPECT_EQ(infoFileName("/data/run.1/frames"), "/data/run.1/frames_info.txt");
    EXPECT_EQ(infoFileName("./.hidden"), "./.hidden_info.txt");
}

TEST(RawDescriptionText, NamesGeometryFormatFramesAndRate)
{
    EXPECT_EQ(infoFileText({1024, 1204, 10, 60, 0}, 7),
              "//\tWidth          = 1024\n//\tHeight         = 1204\n"
              "//\tImage Format   = Bayer 10\n//\tFrames         = 7\n"
              "//\tFrame rate     = 60 frames per second\n\n"
              "[Raw Image Format]\nIMAGE= 1024, 1204, BAYER-10\n");
}

TEST(RawDescriptionText, LoadsAsAPresetThatSetsTheImage)
{
    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
    int count = 0;
    const std::string sensor = std::string(SAMPLE_SENSOR_DIR) + "/zx0201.sdat";
    ASSERT_EQ(ze_OpenCameras2(cameras, &count, sensor.c_str(), ZE_TRANSPORT_NUL, ""), 0);
    ASSERT_EQ(count, 1);
    const auto path = std::filesystem::temp_directory_path() /
                      ("raw_description_" + std::to_string(::getpid()) + "_info.txt");
    std::ofstream(path) << infoFileText({1024, 1204, 10, 30, 0}, 3);
    EXPECT_EQ(ze_LoadINIPreset(cameras[0], path.c_str(), "Raw Image Format"), INI_SUCCESS);
    EXPECT_EQ(cameras[0]->sensor->imageWidth, 1024u);
    EXPECT_EQ(cameras[0]->sensor->imageHeight, 1204u);
    EXPECT_EQ(cameras[0]->sensor->imageType, 2u) << "Bayer 10";
    std::filesystem::remove(path);
    ze_CloseCameras2(cameras, count);
}

TEST(PreferredStride, AlignsRowsToThirtyTwoPixels)
{
    EXPECT_EQ(preferredStride(1000), 2048u);
    EXPECT_EQ(preferredStride(1920), 0u);
    EXPECT_EQ(preferredStride(33), 128u);
}

TEST(EmbeddedRows, ControlRegisterFollowsMetadataAndStatisticsRows)
{
    EXPECT_EQ(embeddedControl3040(0xFFFF, 0, 0), 0xFFFF);
    EXPECT_EQ(embeddedControl3040(0xFF0F, 2, 0), 0xFF03);
    EXPECT_EQ(embeddedControl3040(0xFF00, 4, 0), 0xFF04);
    EXPECT_EQ(embeddedControl3040(0xFF00, 8, 0), 0xFF08);
    EXPECT_EQ(embeddedControl3040(0xFF00, 16, 0), 0xFF0C);
    EXPECT_EQ(embeddedControl3040(0xFF03, 0, 2), 0xFF00);
    EXPECT_EQ(embeddedControl3040(0xFF02, 8, 4), 0xFF09);
    EXPECT_EQ(embeddedControl3064(0x0000, 2, 0), 0x0100);
    EXPECT_EQ(embeddedControl3064(0x0000, 0, 4), 0x0080);
    EXPECT_EQ(embeddedControl3064(0x0001, 0, 0), 0x0001);
}

TEST(SensorTable, StartsWithTheBoardSensorAndEndsAfterSixEntries)
{
    const auto &t = sensorTable();
    EXPECT_STREQ(t[0].name, "ZX0201");
    EXPECT_EQ(t[0].chipIdRegister, 0x3000);
    EXPECT_EQ(t[0].chipId, 0x0C54);
    EXPECT_EQ(t[0].frameCounter.address, 0x303A);
    int at16 = 0, at36 = 0;
    for (size_t i = 0; i < 6; ++i) {
        at16 += t[i].i2cAddress == 0x10 && t[i].chipIdRegister == 0x3000;
        at36 += t[i].i2cAddress == 0x36 && t[i].byteStyle();
    }
    EXPECT_EQ(at16, 5);
    EXPECT_EQ(at36, 1);
    EXPECT_EQ(t[6].chipIdRegister, kTableEnd);
    EXPECT_EQ(sampleBits(t[5].pixelFormat), 10u);
    EXPECT_EQ(sampleBits(t[0].pixelFormat), 12u);
}

#ifdef WITH_EEPROM_TOOL
TEST(SerialRecord, TenAndThirteenCharacterSerialsFillFortyOneBytes)
{
    const auto r = buildRecord("QRB2000777", "1421223012345");
    ASSERT_EQ(r.size(), 41u);
    const std::string text(r.begin(), r.begin() + 37);
    EXPECT_EQ(text, std::string("QRBO2\xff") + "110QRB2000777\xff" + "2131421223012345\xff");
    EXPECT_EQ(std::vector<uint8_t>(r.begin() + 37, r.end()),
              (std::vector<uint8_t>{0xC0, 0xA8, 0x37, 0x01}));
    EXPECT_EQ(recordText(r), text + "192.168.55.1.");
}

TEST(SerialRecord, LengthsAreTwoDigitsAndAnEmptyModuleSerialReadsZero)
{
    const auto r = buildRecord("ABCDE", "");
    ASSERT_EQ(r.size(), 23u);
    EXPECT_EQ(std::string(r.begin() + 6, r.begin() + 15), "105ABCDE\xff");
    EXPECT_EQ(std::string(r.begin() + 15, r.begin() + 19), "200\xff");
}

TEST(SerialOptions, NumbersMustReadWhole)
{
    long v = 0;
    EXPECT_TRUE(parseWholeNumber("0x50", 0, v));
    EXPECT_EQ(v, 0x50);
    EXPECT_TRUE(parseWholeNumber("50", 0, v));
    EXPECT_EQ(v, 50);
    EXPECT_TRUE(parseWholeNumber("010", 0, v));
    EXPECT_EQ(v, 8);
    EXPECT_FALSE(parseWholeNumber("0x50z", 0, v));
    EXPECT_FALSE(parseWholeNumber("", 10, v));
    EXPECT_FALSE(parseWholeNumber("eight", 10, v));
}
#endif

} // namespace
