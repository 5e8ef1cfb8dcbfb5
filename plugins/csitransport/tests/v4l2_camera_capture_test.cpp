// V4L2_Camera's capture cycle against the simulated board: formats, buffers, streaming,
// frames, time-outs and node switches.
#include "v4l2_camera.h"

#include "frame_pattern_check.h"
#include "sim_board.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using boardsim::testing::SimBoard;
using csi::testing::FrameLayout;
using csi::testing::matchingFrameNumber;
using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

constexpr uint32_t kWidth = 1920, kHeight = 1200;
constexpr uint32_t kBytesPerSample = 2;
constexpr int kDeviceChannel = 0, kSecondChannel = 1;

// Runs @step with the error stream captured; returns what it printed.
template <class Step>
std::string stderrOf(Step &&step)
{
    CaptureStderr();
    step();
    return GetCapturedStderr();
}

class V4L2CameraCapture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
        ASSERT_TRUE(camera_.Create(0));
        camera_.SetRequestedSize(kWidth, kHeight);
    }

    // Formats and buffers, then streaming; the driver's chatter is dropped.
    void startStreaming()
    {
        bool initialised = false, streaming = false;
        stderrOf([&] {
            initialised = camera_.ReInitialize();
            streaming = initialised && camera_.StartStream();
        });
        ASSERT_TRUE(initialised);
        ASSERT_TRUE(streaming);
    }

    SimBoard board_;
    V4L2_Camera camera_{0};
};

TEST_F(V4L2CameraCapture, ReInitializeSetsTheFormatAndMapsThreeBuffers)
{
    const std::string messages = stderrOf([&] { EXPECT_TRUE(camera_.ReInitialize()); });
    EXPECT_EQ(camera_.ActiveWidth(), kWidth);
    EXPECT_EQ(camera_.ActiveHeight(), kHeight);
    EXPECT_EQ(camera_.BufferCount(kDeviceChannel), V4L2_Camera::kBufferCount);
    EXPECT_FALSE(camera_.NeedsReinit());
    const auto state = board_.driverState();
    EXPECT_EQ(state.at("frame_format").substr(0, 9), "1920 1200");
    EXPECT_NE(messages.find("Update format property[0xfffb] : 0xf001- success\n"),
              std::string::npos);
    EXPECT_NE(messages.find("apply preferred stride property[0x9a206e] = 0 - success\n"),
              std::string::npos);
}

TEST_F(V4L2CameraCapture, CapturedFramesHoldTheTestPatternAndCountUp)
{
    startStreaming();
    const FrameLayout layout{kWidth, kHeight, kWidth * kBytesPerSample, kBytesPerSample, 12, 4};
    std::optional<uint32_t> previous;
    for (int round = 0; round < 4; ++round) {
        ASSERT_TRUE(camera_.CaptureFrames(1000));
        ASSERT_NE(camera_.LastFrame(kDeviceChannel), nullptr);
        EXPECT_EQ(camera_.BytesUsed(kDeviceChannel), uint64_t{kWidth} * kBytesPerSample * kHeight);
        const auto frame = matchingFrameNumber(camera_.LastFrame(kDeviceChannel), layout);
        ASSERT_TRUE(frame.has_value()) << "round " << round;
        if (previous) {
            EXPECT_GT(*frame, *previous);
        }
        previous = frame;
        EXPECT_EQ(camera_.ReleaseFrame(), 0);
        EXPECT_EQ(camera_.LastFrame(kDeviceChannel), nullptr);
    }
    EXPECT_TRUE(camera_.StopStream());
    EXPECT_FALSE(camera_.IsStreaming());
    EXPECT_TRUE(camera_.UnInitialize());
    EXPECT_EQ(camera_.BufferCount(kDeviceChannel), 0u);
    // The driver let the buffers go: the device can be set up again.
    startStreaming();
}

TEST_F(V4L2CameraCapture, PaddedRowsFollowThePreferredStride)
{
    camera_.SetRequestedSize(1000, 120);
    camera_.SetStrideVal(kDeviceChannel, 2048);
    startStreaming();
    EXPECT_EQ(camera_.ActiveWidth(), 1024u);
    ASSERT_TRUE(camera_.CaptureFrames(1000));
    EXPECT_EQ(camera_.BytesUsed(kDeviceChannel), 2048u * 120);
    const uint8_t *frame = camera_.LastFrame(kDeviceChannel);
    const FrameLayout layout{1000, 120, 2048, kBytesPerSample, 12, 4};
    EXPECT_TRUE(matchingFrameNumber(frame, layout).has_value());
    for (size_t byte = 2000; byte < 2048; ++byte)
        ASSERT_EQ(frame[5 * 2048 + byte], 0) << "padding byte " << byte;
    EXPECT_EQ(camera_.sensor_get_stride(), 2048);
}

TEST_F(V4L2CameraCapture, FiveTimeOutsEndTheCapture)
{
    // A sensor held in reset sends no frames.
    ASSERT_EQ(camera_.sensor_config_prop(0xFFF6, 0), 0);
    startStreaming();
    // 500 ms is counted as zero whole seconds: every wait times out at once.
    const std::string messages = stderrOf([&] { EXPECT_FALSE(camera_.CaptureFrames(500)); });
    std::string expected;
    for (int i = 0; i < 5; ++i)
        expected += "v4l2 -- select() timed out (channel 0)...\n";
    expected += "v4l2 -- tried 5 times (channel 0)...\n";
    EXPECT_EQ(messages, expected);
    EXPECT_EQ(camera_.LastFrame(kDeviceChannel), nullptr);
    EXPECT_EQ(camera_.ReleaseFrame(), 0); // nothing was dequeued, nothing is given back
}

TEST_F(V4L2CameraCapture, ADeviceMarkedForReinitialisationDoesNotCapture)
{
    startStreaming();
    stderrOf([&] { camera_.ResetSensor(1); });
    EXPECT_FALSE(camera_.CaptureFrames(1000));
    EXPECT_EQ(camera_.LastFrame(kDeviceChannel), nullptr);
}

TEST_F(V4L2CameraCapture, EachChannelGivesBackItsOwnBuffer)
{
    camera_.SetNumVirtual(2);
    startStreaming();
    // One frame on the first channel alone puts the two channels' rings out of step.
    camera_.SetNumVirtual(1);
    ASSERT_TRUE(camera_.CaptureFrames(1000));
    ASSERT_EQ(camera_.ReleaseFrame(), 0);
    camera_.SetNumVirtual(2);
    for (int round = 0; round < 4; ++round) {
        ASSERT_TRUE(camera_.CaptureFrames(1000));
        ASSERT_NE(camera_.LastFrame(kSecondChannel), nullptr);
        EXPECT_NE(camera_.LastBuffer(kDeviceChannel).index,
                  camera_.LastBuffer(kSecondChannel).index);
        const std::string messages = stderrOf([&] { EXPECT_EQ(camera_.ReleaseFrame(), 0); });
        EXPECT_EQ(messages, "");
    }
    EXPECT_TRUE(camera_.StopStream());
}

TEST_F(V4L2CameraCapture, SwitchDeviceReopensAnotherNode)
{
    EXPECT_TRUE(camera_.SwitchDevice(0)); // already open: nothing happens
    EXPECT_FALSE(camera_.NeedsReinit());
    board_.clearBusLog();
    EXPECT_TRUE(camera_.SwitchDevice(7));
    EXPECT_EQ(camera_.DevicePath(), "/dev/video0");
    EXPECT_EQ(camera_.DeviceIndex(), 0);
    EXPECT_TRUE(camera_.NeedsReinit());
    EXPECT_EQ(board_.busLog(), std::vector<std::string>{"S_PROPERTY 0xFFF5 0x0010"});
    EXPECT_TRUE(camera_.SwitchDevice(4));
    EXPECT_EQ(camera_.DevicePath(), "/dev/video4");
    EXPECT_EQ(camera_.PreviousDeviceIndex(), 0);
    // A reopened node is set up again from scratch.
    startStreaming();
    ASSERT_TRUE(camera_.CaptureFrames(1000));
    EXPECT_NE(camera_.LastFrame(kDeviceChannel), nullptr);
}

TEST_F(V4L2CameraCapture, ClosingReleasesEverything)
{
    startStreaming();
    ASSERT_TRUE(camera_.CaptureFrames(1000));
    EXPECT_TRUE(camera_.CloseDriver());
    EXPECT_FALSE(camera_.IsOpened());
    EXPECT_FALSE(camera_.IsStreaming());
    EXPECT_EQ(camera_.BufferCount(kDeviceChannel), 0u);
    EXPECT_EQ(camera_.LastFrame(kDeviceChannel), nullptr);
    EXPECT_EQ(camera_.Descriptor(), -1);
}

TEST(V4L2CameraBuffers, ADriverGrantingOneBufferIsRefused)
{
    ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
    SimBoard board("max_buffers = 1\n");
    V4L2_Camera camera(0);
    ASSERT_TRUE(camera.Create(0));
    camera.SetRequestedSize(kWidth, kHeight);
    const std::string messages = stderrOf([&] { EXPECT_FALSE(camera.ReInitialize()); });
    EXPECT_NE(messages.find("v4l2 -- insufficient mmap memory\n"), std::string::npos);
    EXPECT_TRUE(camera.NeedsReinit());
    EXPECT_EQ(camera.BufferCount(kDeviceChannel), 0u);
    EXPECT_FALSE(camera.CaptureFrames(1000));
}

TEST(V4L2CameraBuffers, AClosedDeviceReportsEachStep)
{
    V4L2_Camera camera(0);
    const std::string messages = stderrOf([&] {
        EXPECT_FALSE(camera.initCaps());
        EXPECT_FALSE(camera.initFormats());
        EXPECT_FALSE(camera.CleanDevice());
        EXPECT_FALSE(camera.StartStream());
    });
    EXPECT_NE(
        messages.find("v4l2 -- failed to query caps (xioctl VIDIOC_QUERYCAP) for channel: 0\n"),
        std::string::npos);
    EXPECT_NE(messages.find("v4l2 -- failed to set video format of device (errno=9) (Bad file "
                            "descriptor), nFD=-1\n"),
              std::string::npos);
    EXPECT_NE(messages.find("v4l2 -- does not clean mmap (errno=9) (Bad file descriptor)\n"),
              std::string::npos);
    EXPECT_NE(messages.find("v4l2 -- failed to start streaming (errno=9) (Bad file descriptor)\n"),
              std::string::npos);
    EXPECT_FALSE(camera.IsStreaming());
}

} // namespace
