// Finding plug-ins and opening their cameras: a named file or directory, ".cam" files and the
// home's Plugins folder; cameras index by index up to the library's limit.
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "camera/camera_test_support.h"
#include "transport/plugin_test_support.h"

namespace {

using zentro::test::copyPlugin;
using zentro::test::isLoaded;
using zentro::test::LogCapture;
using zentro::test::PluginCameras;
using zentro::test::PluginTrace;
using zentro::test::runInChild;
using zentro::test::ScopedEnv;
using zentro::test::TempDir;
using zentro::test::writeFile;
namespace plugin = zentro::test::plugin;

using Lines = std::vector<std::string>;

// The plug-in file and product name of each camera, one "file: product" line each.
Lines describe(const std::vector<ze_camera_t *> &cameras)
{
    Lines lines;
    for (ze_camera_t *camera : cameras) {
        const char *file = DLL_Transport_DllName(camera);
        lines.push_back(std::string(file ? file : "(none)") + ": " + camera->productName);
    }
    return lines;
}

std::string joinLines(const Lines &lines)
{
    std::ostringstream text;
    for (const std::string &line : lines)
        text << line << "\n";
    return text.str();
}

// ---- Cameras of one plug-in ----

TEST(PluginCamerasIndexByIndex, AddsCamerasUntilThePluginRefusesOne)
{
    PluginTrace trace;
    PluginCameras cameras(plugin::multi);
    EXPECT_EQ(cameras.result, CAMERA_SUCCESS);
    ASSERT_EQ(cameras.size(), 3u);
    EXPECT_EQ(describe(cameras.cameras),
              (Lines{plugin::multi + ": multi camera 0", plugin::multi + ": multi camera 1",
                     plugin::multi + ": multi camera 2"}));
    EXPECT_EQ(
        trace.lines("OpenCameraDLL"),
        (Lines{"OpenCameraDLL index 0 path /nowhere", "OpenCameraDLL index 1 path /nowhere",
               "OpenCameraDLL index 2 path /nowhere", "OpenCameraDLL index 3 path /nowhere"}));
    // The refused fourth camera was released without asking the plug-in to close it.
    EXPECT_TRUE(trace.lines("CloseCameraDLL").empty());
}

TEST(PluginCamerasIndexByIndex, EachCameraHoldsItsOwnLoadOfThePlugin)
{
    PluginTrace trace;
    PluginCameras cameras(plugin::multi);
    ASSERT_EQ(cameras.size(), 3u);
    ze_camera_t *first = cameras[0];
    cameras.close(0);
    EXPECT_EQ(trace.linesOf("CloseCameraDLL", first), (Lines{"CloseCameraDLL device 0"}));
    EXPECT_TRUE(isLoaded(plugin::multi));
    // The others still work.
    uint32_t value = 0;
    EXPECT_EQ(ze_readRegister(cameras[1], 0x20, 0x05, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0xA005u);
    cameras.close(0);
    EXPECT_TRUE(isLoaded(plugin::multi));
    cameras.close(0);
    EXPECT_FALSE(isLoaded(plugin::multi));
    EXPECT_EQ(
        trace.lines("CloseCameraDLL"),
        (Lines{"CloseCameraDLL device 0", "CloseCameraDLL device 1", "CloseCameraDLL device 2"}));
}

TEST(PluginCamerasIndexByIndex, StopsAtTheLibrarysLimitOfCameras)
{
    PluginTrace trace;
    PluginCameras cameras(plugin::many);
    EXPECT_EQ(cameras.result, CAMERA_SUCCESS);
    EXPECT_EQ(cameras.size(), size_t(ZE_MAX_CAMERAS));
    const Lines opens = trace.lines("OpenCameraDLL");
    ASSERT_EQ(opens.size(), size_t(ZE_MAX_CAMERAS)) << "no camera is opened beyond the limit";
    EXPECT_EQ(opens.back(), "OpenCameraDLL index 49 path /nowhere");
    int listed = 0;
    EXPECT_EQ(ze_GetCameras(nullptr, &listed, ZE_TRANSPORT_DLL, ""), CAMERA_SUCCESS);
    EXPECT_EQ(listed, ZE_MAX_CAMERAS);
}

// ---- A directory of plug-ins ----

class PluginDirectory : public testing::Test
{
protected:
    std::string add(const std::string &plugin, const std::string &name)
    {
        const std::string path = dir_.file(name);
        copyPlugin(plugin, path);
        return path;
    }

    TempDir dir_;
    PluginTrace trace_;
};

TEST_F(PluginDirectory, OpensTheCamerasOfEachPluginInNameOrder)
{
    const std::string multi = add(plugin::multi, "b_multi.so");
    const std::string single = add(plugin::single, "a_single.so");
    writeFile(dir_.file("readme.txt"), "not a plug-in");
    PluginCameras cameras(dir_.path());
    EXPECT_EQ(cameras.result, CAMERA_SUCCESS);
    EXPECT_EQ(describe(cameras.cameras),
              (Lines{single + ": single camera 0", single + ": single camera 1",
                     multi + ": multi camera 0", multi + ": multi camera 1",
                     multi + ": multi camera 2"}));
}

TEST_F(PluginDirectory, BrokenPluginsDoNotKeepTheOthersFromOpening)
{
    LogCapture log;
    writeFile(dir_.file("a_broken.so"), "not a shared object");
    add(plugin::noStop, "b_no_stop.so");
    const std::string good = add(plugin::required, "c_required.so");
    PluginCameras cameras(dir_.path());
    EXPECT_EQ(cameras.result, CAMERA_SUCCESS);
    EXPECT_EQ(describe(cameras.cameras), (Lines{good + ": required camera 0"}));
    EXPECT_TRUE(log.contains("LoadLibrary(" + dir_.file("a_broken.so") + ") failed."));
    EXPECT_TRUE(log.contains("osal_GetProcAddress failed for StopTransportDLL"));
}

TEST_F(PluginDirectory, NothingOpenedGivesTheLargestResult)
{
    add(plugin::refusing, "a_refusing.so");
    add(plugin::noOpen, "b_no_open.so");
    PluginCameras cameras(dir_.path());
    EXPECT_EQ(cameras.result, CAMERA_TIMEOUT);
    EXPECT_EQ(cameras.size(), 0u);
}

TEST_F(PluginDirectory, ADirectoryWithoutPluginsIsReported)
{
    LogCapture log;
    writeFile(dir_.file("readme.txt"), "no plug-ins here");
    PluginCameras cameras(dir_.path());
    EXPECT_EQ(cameras.result, CAMERA_ERROR);
    EXPECT_EQ(log.messages(),
              (Lines{"No transport DLL (*.so) in directory `" + dir_.path() + "`"}));
}

TEST_F(PluginDirectory, WithFortyNineCamerasOpenAPluginServingThreeAddsOne)
{
    const std::string fortyNine = add(plugin::fortyNine, "a_forty_nine.so");
    const std::string multi = add(plugin::multi, "b_multi.so");
    PluginCameras cameras(dir_.path());
    ASSERT_EQ(cameras.size(), size_t(ZE_MAX_CAMERAS));
    EXPECT_EQ(describe({cameras.cameras.back()}), (Lines{multi + ": multi camera 0"}));
    EXPECT_EQ(trace_.lines("OpenCameraDLL").back(), "OpenCameraDLL index 0 path /nowhere")
        << "the full array ends the search without a refusal";
}

// ---- Two plug-ins side by side ----

TEST(PluginsSideBySide, KeepTheirOwnStateAndAreListedByFileName)
{
    PluginCameras single(plugin::single);
    PluginCameras multi(plugin::multi);
    ASSERT_EQ(single.size(), 2u);
    ASSERT_EQ(multi.size(), 3u);
    ASSERT_EQ(ze_writeRegister(single[0], 0x20, 0x40, 0x1234), CAMERA_SUCCESS);
    uint32_t value = 0;
    ASSERT_EQ(ze_readRegister(multi[0], 0x20, 0x40, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0xA040u) << "each plug-in has its own registers";
    ASSERT_EQ(ze_readRegister(single[1], 0x20, 0x40, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x1234u) << "the cameras of one plug-in share its load's state";

    ze_camera_t *listed[ZE_MAX_CAMERAS] = {};
    int count = 0;
    ASSERT_EQ(ze_GetCameras(listed, &count, ZE_TRANSPORT_DLL, "test_plugin_multi"), CAMERA_SUCCESS);
    EXPECT_EQ(std::vector<ze_camera_t *>(listed, listed + count), multi.cameras);
    EXPECT_EQ(ze_GetCameras(listed, &count, ZE_TRANSPORT_DLL, "no_such_plugin"), CAMERA_ERROR);
    EXPECT_EQ(count, 0);
    ASSERT_EQ(ze_GetCameras(nullptr, &count, ZE_TRANSPORT_DLL, ""), CAMERA_SUCCESS);
    EXPECT_EQ(count, 5);

    single.closeAll();
    EXPECT_FALSE(isLoaded(plugin::single));
    EXPECT_TRUE(isLoaded(plugin::multi));
}

TEST(PluginsSideBySide, TheFileFilterLeavesCamerasOfOtherTransportsListed)
{
    TempDir dir;
    zentro::test::NullCameras null(zentro::test::writeSmallSensor(dir));
    PluginCameras multi(plugin::multi);
    ASSERT_EQ(null.cameras.size(), 1u);
    ASSERT_EQ(multi.size(), 3u);
    EXPECT_EQ(DLL_Transport_DllName(null[0]), nullptr);
    EXPECT_EQ(DLL_Transport_DllName(nullptr), nullptr);
    ze_camera_t *listed[ZE_MAX_CAMERAS] = {};
    int count = 0;
    ASSERT_EQ(ze_GetCameras(listed, &count, ZE_TRANSPORT_DLL | ZE_TRANSPORT_NUL, "multi"),
              CAMERA_SUCCESS);
    EXPECT_EQ(std::vector<ze_camera_t *>(listed, listed + count),
              (std::vector<ze_camera_t *>{multi[0], multi[1], multi[2], null[0]}));
}

// ---- The automatic search: ".cam" files, then Plugins below the home ----

// Runs @body in a child whose home is @home and whose working directory is @work; returns
// what it returns. The home is decided once per process, hence the child.
std::string inChild(const std::string &home, const std::string &work,
                    const std::function<std::string()> &body)
{
    return runInChild([&] {
        ScopedEnv homeDev("ZE_HOME_DEV", home.c_str());
        if (chdir(work.c_str()) != 0)
            return std::string("cannot enter ") + work;
        return body();
    });
}

// Opens with an empty plug-in name and describes the result and the cameras.
std::string openBySearch()
{
    PluginCameras cameras("");
    return "result " + std::to_string(cameras.result) + "\n" + joinLines(describe(cameras.cameras));
}

class PluginSearch : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(mkdir(plugins_.c_str(), 0755), 0);
        ASSERT_EQ(mkdir(work_.c_str(), 0755), 0);
    }

    TempDir dir_;
    const std::string home_ = dir_.path();
    const std::string plugins_ = dir_.file("Plugins");
    const std::string work_ = dir_.file("work");
};

TEST_F(PluginSearch, CamFilesComeFirstThenThePluginsBelowTheHome)
{
    copyPlugin(plugin::multi, plugins_ + "/libmulti.so");
    writeFile(work_ + "/board.cam", "[TRANSPORT]\nDLL_NAME=" + plugin::single + "\n");
    writeFile(work_ + "/default.cam", "[TRANSPORT]\nDLL_NAME=default\n");
    writeFile(work_ + "/other.cam", "[CAMERA]\nNAME=none\n");
    const std::string described = inChild(home_, work_, openBySearch);
    EXPECT_EQ(described, "result 0\n" + plugin::single + ": single camera 0\n" + plugin::single +
                             ": single camera 1\n" + plugins_ + "/libmulti.so: multi camera 0\n" +
                             plugins_ + "/libmulti.so: multi camera 1\n" + plugins_ +
                             "/libmulti.so: multi camera 2\n");
}

TEST_F(PluginSearch, ARelativeNameInACamFileIsTakenFromTheWorkingDirectory)
{
    ASSERT_EQ(mkdir((work_ + "/Plugins").c_str(), 0755), 0);
    copyPlugin(plugin::single, work_ + "/Plugins/libboard.so");
    copyPlugin(plugin::required, plugins_ + "/libboard.so");
    writeFile(work_ + "/board.cam", "[TRANSPORT]\nDLL_NAME=Plugins/libboard.so\n");
    const std::string described = inChild(home_, work_, openBySearch);
    EXPECT_EQ(described, "result 0\nPlugins/libboard.so: single camera 0\n"
                         "Plugins/libboard.so: single camera 1\n" +
                             plugins_ + "/libboard.so: required camera 0\n");
}

TEST_F(PluginSearch, AnExplicitRelativeNameIsLoadedFromTheWorkingDirectoryNotTheHome)
{
    ASSERT_EQ(mkdir((work_ + "/Plugins").c_str(), 0755), 0);
    copyPlugin(plugin::single, work_ + "/Plugins/libboard.so");
    copyPlugin(plugin::required, plugins_ + "/libboard.so");
    const std::string described = inChild(home_, work_, [] {
        PluginCameras cameras("Plugins/libboard.so");
        return joinLines(describe(cameras.cameras));
    });
    EXPECT_EQ(described, "Plugins/libboard.so: single camera 0\n"
                         "Plugins/libboard.so: single camera 1\n");
}

TEST_F(PluginSearch, NothingFoundOpensNothingAndSucceeds)
{
    EXPECT_EQ(inChild(home_, work_, openBySearch), "result 0\n");
}

TEST_F(PluginSearch, OnlyFailuresGiveTheLargestResultWithoutTheSpecificFileLine)
{
    copyPlugin(plugin::refusing, plugins_ + "/librefusing.so");
    writeFile(plugins_ + "/libbroken.so", "broken");
    const std::string described = inChild(home_, work_, [] {
        LogCapture log;
        const std::string opened = openBySearch();
        return opened + joinLines(log.messages());
    });
    EXPECT_EQ(described, "result 14\n"
                         "LoadLibrary(" +
                             plugins_ +
                             "/libbroken.so) failed. Unable to load transport DLL.\n"
                             "Dynamic loader: " +
                             plugins_ +
                             "/libbroken.so: file too short\n"
                             "No such camera on the test board\n");
}

} // namespace
