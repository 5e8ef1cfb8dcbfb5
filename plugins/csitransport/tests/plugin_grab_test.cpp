// Frame grabs through the library and the plug-in: frame size and stride, cropping, the sample
// shift of each bit depth, the frame data, and grabs while the device does not stream.
#include "plugin_test_support.h"

#include "frame_pattern_check.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using csi::testing::FrameLayout;
using csi::testing::matchingFrameNumber;

constexpr uint32_t kHeight = 1200;

class CsiTransportGrab : public csi::testing::OpenedCameraTest
{
protected:
    void TearDown() override { quiet(false); }
    // Keeps the driver's chatter out of the test's output while @on.
    void quiet(bool on)
    {
        if (on && !quiet_)
            ::testing::internal::CaptureStderr();
        else if (!on && quiet_)
            ::testing::internal::GetCapturedStderr();
        quiet_ = on;
    }
    // A sensor reset and a new frame size, after which the next grab sets the stream up.
    void resetTo(uint32_t width, uint32_t bitDepth)
    {
        quiet(true);
        ASSERT_EQ(ze_setMode(camera(), ZE_RX_BIT_DEPTH, bitDepth), CAMERA_SUCCESS);
        ASSERT_EQ(ze_setMode(camera(), ZE_SENSOR_RESET, 1), CAMERA_SUCCESS);
        ASSERT_EQ(ze_setMode(camera(), ZE_SENSOR_RESET, 0), CAMERA_SUCCESS);
        ASSERT_EQ(ze_updateFrameSize(camera(), width, kHeight, 0, 0), CAMERA_SUCCESS);
    }
    std::vector<uint8_t> grab(int expected = CAMERA_SUCCESS)
    {
        std::vector<uint8_t> frame(camera()->sensor->imageBytes, 0x5A);
        EXPECT_EQ(ze_grabFrame(camera(), frame.data(), static_cast<uint32_t>(frame.size())),
                  expected);
        return frame;
    }

    bool quiet_ = false;
};

TEST_F(CsiTransportGrab, NotStreamingGivesAWhiteFrame)
{
    const auto frame = grab(CAMERA_ERROR);
    EXPECT_TRUE(std::all_of(frame.begin(), frame.end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(CsiTransportGrab, ThousandPixelRowsArePaddedByTheDriverAndCroppedBack)
{
    resetTo(1000, 12);
    ASSERT_EQ(camera()->sensor->imageBytes, 1000u * 2 * kHeight);
    const auto frame = grab();
    // The driver was asked for 1024-pixel (2048-byte) rows.
    EXPECT_EQ(board_.driverState().at("format.video0"), "1000 1200 BA12 2048");
    const FrameLayout layout{1000, kHeight, 2000, 2, 12, 0};
    EXPECT_TRUE(matchingFrameNumber(frame.data(), layout).has_value());
    ze_frame_info_t info{};
    ASSERT_EQ(ze_getFrameData(camera(), &info), CAMERA_SUCCESS);
    EXPECT_EQ(info.bytesRequested, 1000u * 2 * kHeight);
    EXPECT_EQ(info.bytesReturned, 1000u * 2 * kHeight);
}

TEST_F(CsiTransportGrab, RowsOnTheAlignmentNeedNoPadding)
{
    resetTo(1920, 12);
    const auto frame = grab();
    EXPECT_EQ(board_.driverState().at("format.video0"), "1920 1200 BA12 3840");
    const FrameLayout layout{1920, kHeight, 3840, 2, 12, 0};
    EXPECT_TRUE(matchingFrameNumber(frame.data(), layout).has_value());
}

TEST_F(CsiTransportGrab, EachBitDepthIsShiftedToItsOwnRange)
{
    const struct {
        uint32_t bitDepth, width, bytesPerSample;
        const char *format;
    } cases[] = {{10, 1000, 2, "1000 1200 BA10 2048"},
                 {14, 1000, 2, "1000 1200 pgEE 2048"},
                 {16, 1000, 2, "1000 1200 GR16 2048"},
                 {8, 1000, 1, "1000 1200 GRBG 1024"}};
    for (const auto &c : cases) {
        resetTo(c.width, c.bitDepth);
        const auto frame = grab();
        EXPECT_EQ(board_.driverState().at("format.video0"), c.format);
        const FrameLayout layout{c.width,          kHeight,    size_t{c.width} * c.bytesPerSample,
                                 c.bytesPerSample, c.bitDepth, 0};
        EXPECT_TRUE(matchingFrameNumber(frame.data(), layout).has_value())
            << "bit depth " << c.bitDepth;
    }
}

TEST_F(CsiTransportGrab, SuccessiveGrabsDeliverNewFrames)
{
    resetTo(1920, 16);
    const FrameLayout layout{1920, kHeight, 3840, 2, 16, 0};
    const auto first = matchingFrameNumber(grab().data(), layout);
    const auto second = matchingFrameNumber(grab().data(), layout);
    ASSERT_TRUE(first && second);
    EXPECT_GT(*second, *first);
}

TEST_F(CsiTransportGrab, ASmallBufferGetsTheStartOfTheFrame)
{
    resetTo(1920, 16);
    std::vector<uint8_t> head(1001, 0x5A); // an odd size: the last byte is half a sample
    ASSERT_EQ(ze_grabFrame(camera(), head.data(), static_cast<uint32_t>(head.size())),
              CAMERA_SUCCESS);
    const FrameLayout layout{500, 1, 3840, 2, 16, 0};
    EXPECT_TRUE(matchingFrameNumber(head.data(), layout).has_value());
    const uint32_t lastSample = csi::testing::patternSample(500, 0, head[0], 16);
    EXPECT_EQ(head[1000], lastSample & 0xFF);
    ze_frame_info_t info{};
    ASSERT_EQ(ze_getFrameData(camera(), &info), CAMERA_SUCCESS);
    EXPECT_EQ(info.bytesRequested, 1001u);
    EXPECT_EQ(info.bytesReturned, 1920u * 2 * kHeight);
}

TEST_F(CsiTransportGrab, StoppingTheTransportStopsTheStream)
{
    resetTo(1920, 12);
    grab();
    EXPECT_EQ(ze_stopTransport(camera()), CAMERA_SUCCESS);
    const auto frame = grab(CAMERA_ERROR);
    EXPECT_EQ(frame.front(), 0xFF);
    EXPECT_EQ(frame.back(), 0xFF);
}

TEST_F(CsiTransportGrab, WhileTheSensorIsHeldInResetNothingIsDelivered)
{
    quiet(true);
    ASSERT_EQ(ze_setMode(camera(), ZE_SENSOR_RESET, 1), CAMERA_SUCCESS);
    const auto frame = grab(CAMERA_SUCCESS);
    EXPECT_TRUE(std::all_of(frame.begin(), frame.end(), [](uint8_t b) { return b == 0x5A; }));
}

TEST_F(CsiTransportGrab, TheBufferSizeFollowsThePaddedRows)
{
    resetTo(1000, 12);
    ASSERT_EQ(ze_updateBufferSize(camera(), 0, 0, 0), CAMERA_SUCCESS);
    EXPECT_EQ(camera()->sensor->imageBytes, 1024u * 2 * kHeight);
}

TEST_F(CsiTransportGrab, StreamingModeStopsAndRestartsTheStream)
{
    constexpr uint32_t kModeStreaming = 112;
    resetTo(1920, 16);
    grab();
    ASSERT_EQ(ze_setMode(camera(), kModeStreaming, 0), CAMERA_SUCCESS);
    EXPECT_EQ(grab(CAMERA_ERROR).front(), 0xFF);
    ASSERT_EQ(ze_setMode(camera(), kModeStreaming, 1), CAMERA_SUCCESS);
    const FrameLayout layout{1920, kHeight, 3840, 2, 16, 0};
    EXPECT_TRUE(matchingFrameNumber(grab().data(), layout).has_value());
}

TEST_F(CsiTransportGrab, AFormatResetTakesTheNextFrameSize)
{
    constexpr uint32_t kModeFormatReset = 115;
    resetTo(1920, 16);
    grab();
    // The first request only arms the reset: the stream goes on.
    ASSERT_EQ(ze_setMode(camera(), kModeFormatReset, 1), CAMERA_SUCCESS);
    grab();
    EXPECT_EQ(board_.driverState().at("format.video0"), "1920 1200 GR16 3840");
    ASSERT_EQ(ze_setMode(camera(), kModeFormatReset, 1), CAMERA_SUCCESS);
    ASSERT_EQ(ze_updateFrameSize(camera(), 1000, kHeight, 0, 0), CAMERA_SUCCESS);
    const auto frame = grab();
    EXPECT_EQ(board_.driverState().at("format.video0"), "1000 1200 GR16 2048");
    const FrameLayout layout{1000, kHeight, 2000, 2, 16, 0};
    EXPECT_TRUE(matchingFrameNumber(frame.data(), layout).has_value());
}

TEST_F(CsiTransportGrab, TwoVirtualChannelsAreDeliveredBackToBack)
{
    constexpr uint32_t kFirstHeight = 1200, kSecondHeight = 600, kWidth = 1920;
    ze_sensor_t &sensor = *camera()->sensor;
    sensor.vcWidth[0] = sensor.vcWidth[1] = kWidth;
    sensor.vcHeight[0] = kFirstHeight;
    sensor.vcHeight[1] = kSecondHeight;
    sensor.vcImageType[0] = sensor.vcImageType[1] = 28; // 16-bit Bayer
    ASSERT_EQ(ze_setMode(camera(), ZE_RX_VCDT_DEMUX, 1), CAMERA_SUCCESS);
    resetTo(kWidth, 16);
    const size_t firstBytes = size_t{kWidth} * 2 * kFirstHeight;
    const size_t secondBytes = size_t{kWidth} * 2 * kSecondHeight;
    std::vector<uint8_t> frame(firstBytes + secondBytes, 0x5A);
    ASSERT_EQ(ze_grabFrame(camera(), frame.data(), static_cast<uint32_t>(frame.size())),
              CAMERA_SUCCESS);
    const auto state = board_.driverState();
    EXPECT_EQ(state.at("format.video0"), "1920 1200 GR16 3840");
    EXPECT_EQ(state.at("format.video3"), "1920 600 GR16 3840");
    const FrameLayout first{kWidth, kFirstHeight, 3840, 2, 16, 0};
    const FrameLayout second{kWidth, kSecondHeight, 3840, 2, 16, 0};
    EXPECT_TRUE(matchingFrameNumber(frame.data(), first).has_value());
    EXPECT_TRUE(matchingFrameNumber(frame.data() + firstBytes, second).has_value());
    ze_frame_info_t info{};
    ASSERT_EQ(ze_getFrameData(camera(), &info), CAMERA_SUCCESS);
    EXPECT_EQ(info.vcOffset[0], 0u);
    EXPECT_EQ(info.vcBytes[0], firstBytes);
    EXPECT_EQ(info.vcOffset[1], firstBytes);
    EXPECT_EQ(info.vcBytes[1], secondBytes);
    EXPECT_EQ(info.bytesReturned, firstBytes + secondBytes);
}

} // namespace
