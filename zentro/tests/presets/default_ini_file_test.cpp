// The default preset file of a sensor, and presets run without a file name.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "presets/preset_test_support.h"

namespace zentro::test {
namespace {

class DefaultIniFileTest : public ::testing::Test
{
protected:
    // A null camera on @sensorFile (a copy of the preset sensor) with part number @partNumber.
    std::string defaultFor(const std::string &sensorFile, const char *partNumber = "ZX0201-ABC123",
                           const char *version = "REV2")
    {
        const std::string path = dir.file(sensorFile);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        writeFile(path, readFile(writePresetSensor(dir)));
        cameras = std::make_unique<NullCameras>(path);
        EXPECT_EQ(cameras->cameras.size(), 1u);
        ze_camera_t *camera = (*cameras)[0];
        snprintf(camera->sensor->partNumber, ZE_TEXT_SIZE, "%s", partNumber);
        snprintf(camera->sensor->versionName, ZE_TEXT_SIZE, "%s", version);
        char name[512] = "junk";
        EXPECT_EQ(ze_DefaultIniFile(camera, name, sizeof(name)), 0);
        return name;
    }

    TempDir dir;
    std::unique_ptr<NullCameras> cameras;
};

TEST_F(DefaultIniFileTest, TheIniBesideTheSensorFileComesFirst)
{
    writeFile(dir.file("zx0201.ini"), "");
    writeFile(dir.file("ZX0201-ABC123.ini"), "");
    EXPECT_EQ(defaultFor("zx0201.sdat"), dir.file("zx0201.ini"));
}

TEST_F(DefaultIniFileTest, DevFilesPartNumbersAndVersionsAreTriedInTurn)
{
    writeFile(dir.file("ZX0201-ABC123-REV2.ini"), "");
    EXPECT_EQ(defaultFor("ZX0201-DEV.sdat"), dir.file("ZX0201-ABC123-REV2.ini"));
    writeFile(dir.file("ZX0201-A.ini"), ""); // the first 8 characters of the part number
    EXPECT_EQ(defaultFor("ZX0201-DEV.sdat"), dir.file("ZX0201-A.ini"));
    writeFile(dir.file("ZX0201.ini"), "");
    EXPECT_EQ(defaultFor("ZX0201-DEV.sdat"), dir.file("ZX0201.ini"));
}

TEST_F(DefaultIniFileTest, AppsDataBesideSensorDataIsTheFallback)
{
    std::filesystem::create_directories(dir.file("apps_data"));
    writeFile(dir.file("apps_data/zx0201.ini"), "");
    EXPECT_EQ(defaultFor("sensor_data/zx0201.sdat"), dir.file("apps_data/zx0201.ini"));
    // Nothing anywhere: the name beside the sensor file, which then is not found.
    EXPECT_EQ(defaultFor("sensor_data/other.xsdat"), dir.file("sensor_data/other.ini"));
}

TEST_F(DefaultIniFileTest, BadArgumentsAreRefused)
{
    char name[16];
    EXPECT_EQ(ze_DefaultIniFile(nullptr, name, sizeof(name)), 1);
    defaultFor("zx0201.sdat");
    EXPECT_EQ(ze_DefaultIniFile((*cameras)[0], nullptr, 10), 1);
    EXPECT_EQ(ze_DefaultIniFile((*cameras)[0], name, 0), 1);
    EXPECT_EQ(ze_DefaultIniFile((*cameras)[0], name, sizeof(name)), 1); // does not fit
}

TEST_F(DefaultIniFileTest, PresetsWithoutAFileNameRunTheDefaultFile)
{
    writeFile(dir.file("zx0201.ini"), "[Tavo Initialization]\nREG = 0x3000, 0x0061\n");
    defaultFor("zx0201.sdat");
    ze_camera_t *camera = (*cameras)[0];
    EXPECT_EQ(ze_LoadINIPreset(camera, nullptr, nullptr), INI_SUCCESS);
    uint32_t value = 0;
    ASSERT_EQ(ze_ReadSensorRegStr(camera, "GAIN", nullptr, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x61u);
    EXPECT_EQ(ze_LoadINIPreset(nullptr, nullptr, "Test"), 1u);
}

} // namespace
} // namespace zentro::test
