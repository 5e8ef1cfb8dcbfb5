// A recording made by the capture tool on the simulated board plays back through the library
// byte for byte, frame by frame, in order and looping.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim_board.h"
#include "tool_runner.h"
#include "zentro.h"

namespace {

using boardsim::testing::SimBoard;

constexpr int kFrames = 5;
constexpr size_t kFrameBytes = 320 * 200 * 2;

TEST(CapturedRecording, PlaysBackEveryFrameByteIdenticalInOrderAndLooping)
{
    SimBoard board("width = 320\nheight = 200\n");
    const std::string path = board.path("frames.raw");
    const auto run = tooltest::runTool(
        {V4L_CAPTURE_PATH, "-c", std::to_string(kFrames), "-o", path}, board.directory());
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string recorded = board.readFile("frames.raw");
    ASSERT_EQ(recorded.size(), kFrames * kFrameBytes);

    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
    int count = 0;
    ASSERT_EQ(ze_OpenCameras2(cameras, &count, path.c_str(), ZE_TRANSPORT_RAW, ""), CAMERA_SUCCESS);
    ASSERT_EQ(count, 1);
    ze_camera_t *camera = cameras[0];
    EXPECT_EQ(camera->sensor->imageBytes, kFrameBytes);
    ASSERT_EQ(ze_setMode(camera, ZE_HW_FRAME_TIME, 0), CAMERA_SUCCESS);
    ASSERT_EQ(ze_startTransport(camera), CAMERA_SUCCESS);
    std::vector<uint8_t> frame(kFrameBytes);
    for (int i = 0; i < 2 * kFrames + 1; ++i) {
        ASSERT_EQ(ze_grabFrame(camera, frame.data(), uint32_t(frame.size())), CAMERA_SUCCESS);
        const size_t index = size_t(i % kFrames);
        EXPECT_EQ(std::string(frame.begin(), frame.end()),
                  recorded.substr(index * kFrameBytes, kFrameBytes))
            << "grab " << i;
        uint32_t current = 99;
        ASSERT_EQ(ze_readRegister(camera, 0, 2, &current), CAMERA_SUCCESS);
        EXPECT_EQ(current, index);
    }
    ze_stopTransport(camera);
    ze_CloseCameras2(cameras, count);
}

} // namespace
