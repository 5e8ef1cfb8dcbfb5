// Camera modes the plug-in handles itself: input clock, lanes, receiver type, GPIO outputs.
#include "plugin_test_support.h"

#include <gtest/gtest.h>

namespace {

using csi::testing::clockRuns;
using csi::testing::gpioLine;

constexpr uint32_t kModeLaneRate = 108;

class CsiTransportModes : public csi::testing::OpenedCameraTest
{
protected:
    uint32_t mode(uint32_t number) const
    {
        uint32_t value = 0xDEADBEEF;
        EXPECT_EQ(ze_getMode(camera(), number, &value), CAMERA_SUCCESS);
        return value;
    }
};

TEST_F(CsiTransportModes, InputClockIsClampedToWhatTheBoardCanMake)
{
    EXPECT_EQ(mode(ZE_OUTPUT_CLOCK_FREQ), 27000000u);
    EXPECT_EQ(ze_setMode(camera(), ZE_OUTPUT_CLOCK_FREQ, 1000000), CAMERA_SUCCESS);
    EXPECT_EQ(mode(ZE_OUTPUT_CLOCK_FREQ), 3187500u);
    EXPECT_EQ(ze_setMode(camera(), ZE_OUTPUT_CLOCK_FREQ, 50000000), CAMERA_SUCCESS);
    EXPECT_EQ(mode(ZE_OUTPUT_CLOCK_FREQ), 37090909u);
    EXPECT_EQ(ze_setMode(camera(), ZE_OUTPUT_CLOCK_FREQ, 24000000), CAMERA_SUCCESS);
    EXPECT_EQ(clockRuns(board_),
              (std::vector<std::string>{"27000000", "3187500", "37090909", "24000000"}));
    // The same value again changes nothing and runs nothing.
    EXPECT_EQ(ze_setMode(camera(), ZE_OUTPUT_CLOCK_FREQ, 24000000), CAMERA_SUCCESS);
    EXPECT_EQ(clockRuns(board_).size(), 4u);
}

TEST_F(CsiTransportModes, LanesBelowTwoMeanFour)
{
    EXPECT_EQ(mode(ZE_RX_LANES), 4u);
    EXPECT_EQ(ze_setMode(camera(), ZE_RX_LANES, 1), CAMERA_SUCCESS);
    EXPECT_EQ(mode(ZE_RX_LANES), 4u);
    EXPECT_EQ(ze_setMode(camera(), ZE_RX_LANES, 2), CAMERA_SUCCESS);
    EXPECT_EQ(mode(ZE_RX_LANES), 2u);
}

TEST_F(CsiTransportModes, TwoLanesMoveTheCameraToNodeOneAtTheNextSensorReset)
{
    ASSERT_EQ(ze_setMode(camera(), ZE_RX_LANES, 2), CAMERA_SUCCESS);
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(ze_setMode(camera(), ZE_SENSOR_RESET, 1), CAMERA_SUCCESS);
    EXPECT_EQ(board_.driverState().at("reset_line"), "0");
    EXPECT_EQ(mode(ZE_SENSOR_RESET), 1u);
    ASSERT_EQ(ze_setMode(camera(), ZE_SENSOR_RESET, 0), CAMERA_SUCCESS);
    EXPECT_EQ(board_.driverState().at("reset_line"), "1");
    std::vector<uint8_t> frame(camera()->sensor->imageBytes);
    EXPECT_EQ(ze_grabFrame(camera(), frame.data(), static_cast<uint32_t>(frame.size())),
              CAMERA_SUCCESS);
    ::testing::internal::GetCapturedStderr();
    // The stream was set up on node 1.
    EXPECT_EQ(board_.driverState().count("format.video1"), 1u);
    EXPECT_EQ(board_.driverState().count("format.video0"), 0u);
}

TEST_F(CsiTransportModes, OnlyTheMipiReceiverIsAccepted)
{
    EXPECT_EQ(ze_setMode(camera(), ZE_RX_TYPE, 1), CAMERA_ERROR);
    EXPECT_EQ(ze_setMode(camera(), ZE_RX_TYPE, 3), CAMERA_SUCCESS);
    EXPECT_EQ(mode(ZE_RX_TYPE), 3u);
}

TEST_F(CsiTransportModes, StoredModesReadBack)
{
    EXPECT_EQ(mode(ZE_RX_BIT_DEPTH), 12u);
    EXPECT_EQ(mode(ZE_RX_VIRTUAL_CHANNEL), 255u);
    EXPECT_EQ(mode(ZE_SHIP_SPEED), 400u);
    EXPECT_EQ(mode(kModeLaneRate), 320000000u);
    EXPECT_EQ(ze_setMode(camera(), ZE_RX_BIT_DEPTH, 10), CAMERA_SUCCESS);
    EXPECT_EQ(ze_setMode(camera(), kModeLaneRate, 800000000), CAMERA_SUCCESS);
    EXPECT_EQ(ze_setMode(camera(), ZE_RX_VIRTUAL_CHANNEL, 1), CAMERA_SUCCESS);
    EXPECT_EQ(mode(ZE_RX_BIT_DEPTH), 10u);
    EXPECT_EQ(mode(kModeLaneRate), 800000000u);
    EXPECT_EQ(mode(ZE_RX_VIRTUAL_CHANNEL), 1u);
    // Modes the board does not handle are the library's.
    EXPECT_EQ(ze_setMode(camera(), ZE_REG_DATA_SIZE, 8), CAMERA_SUCCESS);
    EXPECT_EQ(mode(ZE_REG_DATA_SIZE), 8u);
}

TEST_F(CsiTransportModes, GpioOutputsFollowTheirEnableAndLevelBits)
{
    // Lines 129 (bit 0) and 127 (bit 2) enabled; 129 high, 127 low; line 130 not enabled.
    EXPECT_EQ(ze_setMode(camera(), ZE_ALL_GPIO, 0x50003), CAMERA_SUCCESS);
    EXPECT_EQ(gpioLine(board_, 129), "1 out");
    EXPECT_EQ(gpioLine(board_, 127), "0 out");
    EXPECT_EQ(gpioLine(board_, 130), "");
    EXPECT_EQ(ze_setMode(camera(), ZE_ALL_GPIO, 0x50004), CAMERA_SUCCESS);
    EXPECT_EQ(gpioLine(board_, 129), "0 out");
    EXPECT_EQ(gpioLine(board_, 127), "1 out");
    EXPECT_EQ(mode(ZE_ALL_GPIO), 0x50004u);
}

} // namespace
