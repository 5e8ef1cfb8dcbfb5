// Loading, using and closing plug-ins many times leaves no load, descriptor or memory behind.
#include <vector>

#include <gtest/gtest.h>

#include "transport/plugin_test_support.h"

namespace {

using zentro::test::isLoaded;
using zentro::test::LogCapture;
using zentro::test::openDescriptorCount;
using zentro::test::PluginCameras;
using zentro::test::TempDir;
namespace plugin = zentro::test::plugin;

constexpr int kRounds = 1000;

// One round of a user's work with every camera of @path.
void useCameras(const PluginCameras &cameras)
{
    std::vector<uint8_t> frame(256);
    for (ze_camera_t *camera : cameras.cameras) {
        uint32_t values[4] = {};
        ASSERT_EQ(ze_startTransport(camera), CAMERA_SUCCESS);
        ASSERT_EQ(ze_readRegisters(camera, 0x20, 0x10, 4, values), CAMERA_SUCCESS);
        ASSERT_EQ(ze_writeRegister(camera, 0x20, 0x10, values[0] + 1), CAMERA_SUCCESS);
        ze_grabFrame(camera, frame.data(), uint32_t(frame.size()));
        ASSERT_EQ(ze_stopTransport(camera), CAMERA_SUCCESS);
    }
}

TEST(PluginLifecycle, OpeningUsingAndClosingAThousandTimesLeavesNothingBehind)
{
    // The first round loads what stays loaded (the test plug-ins' own dependencies).
    {
        PluginCameras warmUp(plugin::full);
    }
    const int descriptors = openDescriptorCount();
    for (int round = 0; round < kRounds; ++round) {
        PluginCameras cameras(round % 2 ? plugin::full : plugin::multi);
        ASSERT_EQ(cameras.result, CAMERA_SUCCESS) << "round " << round;
        ASSERT_FALSE(cameras.cameras.empty());
        useCameras(cameras);
        cameras.closeAll();
        ASSERT_FALSE(isLoaded(plugin::full)) << "round " << round;
        ASSERT_FALSE(isLoaded(plugin::multi)) << "round " << round;
    }
    EXPECT_EQ(openDescriptorCount(), descriptors);
}

TEST(PluginLifecycle, FailedOpensAThousandTimesLeaveNothingBehind)
{
    TempDir dir;
    const std::string broken = dir.file("broken.so");
    zentro::test::writeFile(broken, "not a shared object");
    const std::string failing[] = {plugin::refusing, plugin::noStop, plugin::noOpen, broken,
                                   plugin::missingObject};
    LogCapture quiet;
    {
        PluginCameras warmUp(plugin::refusing);
    }
    const int descriptors = openDescriptorCount();
    for (int round = 0; round < kRounds; ++round) {
        const std::string &path = failing[round % std::size(failing)];
        PluginCameras cameras(path);
        ASSERT_NE(cameras.result, CAMERA_SUCCESS) << path;
        ASSERT_TRUE(cameras.cameras.empty()) << path;
        ASSERT_FALSE(isLoaded(path)) << path;
        quiet.clear();
    }
    EXPECT_EQ(openDescriptorCount(), descriptors);
}

TEST(PluginLifecycle, CloseCamerasClosesEveryPluginCameraAndUnloadsThePlugins)
{
    PluginCameras single(plugin::single);
    PluginCameras multi(plugin::multi);
    ASSERT_EQ(single.size() + multi.size(), 5u);
    EXPECT_EQ(ze_CloseCameras(), CAMERA_SUCCESS);
    single.cameras.clear();
    multi.cameras.clear();
    EXPECT_FALSE(isLoaded(plugin::single));
    EXPECT_FALSE(isLoaded(plugin::multi));
    int count = -1;
    EXPECT_EQ(ze_GetCameras(nullptr, &count, ZE_ALL_TRANSPORTS, ""), CAMERA_ERROR);
    EXPECT_EQ(count, 0);
}

} // namespace
