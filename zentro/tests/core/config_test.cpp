// Tests of the home directory, board-configuration lookup and the start-up preset hook.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "core/config.h"
#include "support/test_support.h"
#include "zentro_osal.h"

using zentro::test::runInChild;
using zentro::test::ScopedEnv;
using zentro::test::TempDir;
using zentro::test::writeFile;

namespace {

// ze_Home and ze_SensorData of a fresh process with the given variables.
std::string homeWith(const char *homeDev, const char *home)
{
    return runInChild([&] {
        ScopedEnv dev("ZE_HOME_DEV", homeDev);
        ScopedEnv plain("ZE_HOME", home);
        std::string answer = std::string(ze_Home()) + "|" + ze_SensorData();
        setenv("ZE_HOME_DEV", "/changed/later", 1);
        return answer + "|" + ze_Home();
    });
}

std::string directoryOfThisProgram()
{
    char path[OSAL_MAX_PATH];
    int length = osal_applicationFilePath(path, sizeof(path));
    EXPECT_GT(length, 0);
    std::string program(path, length > 0 ? static_cast<size_t>(length) : 0);
    return program.substr(0, program.rfind('/'));
}

} // namespace

TEST(Home, TrailingSlashOfTheVariableIsRemoved)
{
    EXPECT_EQ(homeWith(nullptr, "/opt/zentro/"), "/opt/zentro|/opt/zentro/sensor_data|/opt/zentro");
}

TEST(Home, DevelopmentHomeWinsAndIsKeptForTheProcess)
{
    EXPECT_EQ(homeWith("/dev/home", "/opt/zentro"), "/dev/home|/dev/home/sensor_data|/dev/home");
}

TEST(Home, WithoutVariablesTheProgramsDirectoryIsHome)
{
    std::string expected = directoryOfThisProgram();
    EXPECT_EQ(homeWith(nullptr, nullptr), expected + "|" + expected + "/sensor_data|" + expected);
    EXPECT_EQ(homeWith("", ""), expected + "|" + expected + "/sensor_data|" + expected)
        << "an empty variable counts as unset";
}

TEST(BoardConfig, FileNameIsTheProductInUpperCaseHex)
{
    EXPECT_EQ(zentro::boardConfigFileName(0xab12), "ZE_AB12.cfg");
    EXPECT_EQ(zentro::boardConfigFileName(0), "ZE_0.cfg");
}

TEST(BoardConfig, SensorDirectoryOfAFileIsItsFolder)
{
    EXPECT_EQ(zentro::sensorDirectory("/data/sensors/zx0008.sdat"), "/data/sensors");
    EXPECT_EQ(zentro::sensorDirectory("C:\\sensors\\zx0008.XSDAT"), "C:\\sensors");
    EXPECT_EQ(zentro::sensorDirectory("zx0008.sdat"), ".");
    EXPECT_EQ(zentro::sensorDirectory("/data/sensors"), "/data/sensors");
}

TEST(BoardConfig, SearchOrderPrefersTheSensorFolderOverBoardDataAndHomes)
{
    TempDir dir;
    const std::string sensors = dir.file("sensors");
    const std::string besideSensors = dir.file("board_data");
    const std::string devHome = dir.file("dev");
    const std::string home = dir.file("home");
    for (const std::string &folder :
         {sensors, besideSensors, devHome, devHome + "/board_data", home, home + "/board_data"})
        ASSERT_EQ(osal_create_directory(folder.c_str()), 0);
    ScopedEnv devVariable("ZE_HOME_DEV", devHome.c_str());
    ScopedEnv homeVariable("ZE_HOME", home.c_str());
    const std::string sensorFile = sensors + "/zx0008.sdat";

    EXPECT_EQ(zentro::findBoardConfigFile(0x51, sensorFile), "");

    writeFile(home + "/board_data/ZE_51.cfg", "");
    EXPECT_EQ(zentro::findBoardConfigFile(0x51, sensorFile), home + "/board_data/ZE_51.cfg");
    writeFile(devHome + "/board_data/ZE_51.cfg", "");
    EXPECT_EQ(zentro::findBoardConfigFile(0x51, sensorFile), devHome + "/board_data/ZE_51.cfg");
    writeFile(besideSensors + "/ZE_51.cfg", "");
    EXPECT_EQ(zentro::findBoardConfigFile(0x51, sensorFile), besideSensors + "/ZE_51.cfg");
    writeFile(sensors + "/ZE_51.cfg", "");
    EXPECT_EQ(zentro::findBoardConfigFile(0x51, sensorFile), sensors + "/ZE_51.cfg");
    EXPECT_EQ(zentro::findBoardConfigFile(0x51, sensors), sensors + "/ZE_51.cfg")
        << "a directory is its own sensor folder";
    EXPECT_EQ(zentro::findBoardConfigFile(0x52, sensorFile), "");
}

TEST(BoardConfig, LibraryAndProgramDirectoriesComeBeforeTheSensorFolder)
{
    TempDir dir;
    const std::string programFile = directoryOfThisProgram() + "/ZE_7E57.cfg";
    writeFile(programFile, "");
    writeFile(dir.file("ZE_7E57.cfg"), "");
    std::string found = zentro::findBoardConfigFile(0x7e57, dir.file("x.sdat"));
    unlink(programFile.c_str());
    EXPECT_EQ(found, programFile);
}

namespace {

std::string gPresetCalls;

int recordPreset(const char *file, const char *section)
{
    gPresetCalls += std::string(file) + "[" + section + "];";
    return 256;
}

} // namespace

TEST(StartupPreset, RunsOncePerProcessFromTheHome)
{
    std::string calls = runInChild([] {
        ScopedEnv home("ZE_HOME", "/opt/zentro");
        std::string result = zentro::startupPresetHasRun() ? "ran-before;" : "";
        zentro::setStartupPresetRunner(recordPreset);
        bool first = zentro::runStartupPresetOnce();
        bool second = zentro::runStartupPresetOnce();
        return result + gPresetCalls + (first ? "first;" : "") + (second ? "second;" : "") +
               (zentro::startupPresetHasRun() ? "marked" : "");
    });
    EXPECT_EQ(calls, "/opt/zentro/apps_data/zentro.ini[zentro];first;marked");
}

TEST(StartupPreset, IsMarkedAsRunEvenWithoutAnInterpreter)
{
    std::string result = runInChild([] {
        zentro::runStartupPresetOnce();
        return std::string(zentro::startupPresetHasRun() ? "marked" : "not marked");
    });
    EXPECT_EQ(result, "marked");
}

TEST(StartupPreset, DefaultSensorFileIsRemembered)
{
    EXPECT_EQ(zentro::defaultSensorFile(), "");
    zentro::setDefaultSensorFile("/opt/zentro/sensor_data/zx0008.sdat");
    EXPECT_EQ(zentro::defaultSensorFile(), "/opt/zentro/sensor_data/zx0008.sdat");
    zentro::setDefaultSensorFile("");
}
