// The start-up preset runs through the preset interpreter, once, from the home directory. A
// program of its own: the home directory is decided once per process, and no other test may
// have decided it first.
#include <filesystem>
#include <string>

#include "core/config.h"
#include "presets/preset_test_support.h"

namespace zentro::test {
namespace {

// The interpreter installs itself as the start-up preset runner; the shared library always
// holds it, a program linked to the static archive only when it uses presets, as this one does.
uint32_t (*volatile gInterpreter)(ze_camera_t *, const char *, const char *) = ze_LoadINIPreset;

TEST(StartupPreset, RunsThroughTheInterpreterOnceFromTheHome)
{
    TempDir home;
    std::filesystem::create_directories(home.file("apps_data"));
    writeFile(home.file("apps_data/zentro.ini"), "[zentro]\nXSDAT = fallback.xsdat\n");
    const std::string text = runInChild([&] {
        ScopedEnv env("ZE_HOME", home.path().c_str());
        ScopedEnv dev("ZE_HOME_DEV", nullptr);
        const bool first = runStartupPresetOnce();
        const std::string named = defaultSensorFile();
        setDefaultSensorFile("");
        const bool second = runStartupPresetOnce();
        return std::to_string(first) + std::to_string(second) + " " + named + " " +
               defaultSensorFile();
    });
    EXPECT_EQ(text, "10 " + home.file("apps_data/fallback.xsdat") + " ");
}

} // namespace
} // namespace zentro::test
