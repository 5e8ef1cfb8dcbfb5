// The presets of apps_data/ run cleanly, section by section, on null cameras of the sample
// sensors, and the start-up preset names a sensor-data file that exists.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/config.h"
#include "presets/preset_test_support.h"

namespace zentro::test {
namespace {

const std::string kAppsData = std::string(ZENTRO_SOURCE_DIR) + "/apps_data";

// The section names of an INI file, in order.
std::vector<std::string> sectionsOf(const std::string &path)
{
    std::vector<std::string> sections;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() > 2 && line.front() == '[' && line.find(']') != std::string::npos)
            sections.push_back(line.substr(1, line.find(']') - 1));
    }
    return sections;
}

class SamplePresets : public ::testing::TestWithParam<const char *>
{
};

TEST_P(SamplePresets, EverySectionRunsWithoutAnError)
{
    const std::string sensor = GetParam();
    NullCameras cameras(std::string(ZENTRO_SAMPLE_SENSOR_DIR) + "/" + sensor + ".sdat");
    ASSERT_EQ(cameras.cameras.size(), 1u);
    ze_camera_t *camera = cameras[0];
    ASSERT_EQ(ze_startTransport(camera), CAMERA_SUCCESS);
    // A copy in a scratch directory, so that dumps and frames land there.
    TempDir dir;
    const std::string preset = dir.file(sensor + ".ini");
    writeFile(preset, readFile(kAppsData + "/" + sensor + ".ini"));
    const std::vector<std::string> sections = sectionsOf(preset);
    ASSERT_GE(sections.size(), 6u);
    for (const std::string &section : sections) {
        LogCapture log;
        EXPECT_EQ(ze_LoadINIPreset(camera, preset.c_str(), section.c_str()), INI_SUCCESS)
            << section;
        for (const LoggedLine &line : log.lines())
            ADD_FAILURE() << sensor << " [" << section << "]: " << line.message;
    }
    EXPECT_TRUE(std::filesystem::exists(dir.file(sensor + "_dump0000.ini")));
}

INSTANTIATE_TEST_SUITE_P(Sensors, SamplePresets, ::testing::Values("zx0201", "zx0042", "zx0016"));

TEST(SamplePresetFiles, TheDefaultSectionRunsFromTheHomeLayout)
{
    NullCameras cameras(std::string(ZENTRO_SAMPLE_SENSOR_DIR) + "/zx0201.sdat");
    ASSERT_EQ(cameras.cameras.size(), 1u);
    ze_startTransport(cameras[0]);
    char name[512];
    ASSERT_EQ(ze_DefaultIniFile(cameras[0], name, sizeof(name)), 0);
    EXPECT_EQ(std::filesystem::canonical(name),
              std::filesystem::canonical(kAppsData + "/zx0201.ini"));
    LogCapture log;
    EXPECT_EQ(ze_LoadINIPreset(cameras[0], nullptr, nullptr), INI_SUCCESS);
    EXPECT_TRUE(log.lines().empty());
    uint32_t width = 0;
    ASSERT_EQ(ze_ReadSensorRegStr(cameras[0], "X_OUTPUT_SIZE", nullptr, &width), CAMERA_SUCCESS);
    EXPECT_EQ(width, 1920u);
}

TEST(SamplePresetFiles, TheStartUpPresetNamesTheFallbackSensorFile)
{
    const std::string text = runInChild([] {
        EXPECT_EQ(ze_LoadINIPreset(nullptr, (kAppsData + "/zentro.ini").c_str(), "zentro"),
                  INI_SUCCESS);
        return defaultSensorFile();
    });
    EXPECT_TRUE(std::filesystem::exists(text)) << text;
    EXPECT_EQ(std::filesystem::canonical(text),
              std::filesystem::canonical(std::string(ZENTRO_SAMPLE_SENSOR_DIR) + "/zx0201.sdat"));
}

} // namespace
} // namespace zentro::test
