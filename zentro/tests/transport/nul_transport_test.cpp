// The null transport: registers from the cache, pattern frames, its own frame geometry and modes.
#include <chrono>
#include <vector>

#include <gtest/gtest.h>

#include "camera/camera_test_support.h"
#include "camera/context.h"

namespace {

using zentro::test::NullCameras;
using zentro::test::TempDir;
using zentro::test::writeSmallSensor;

class NullCamera : public testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(cameras_.cameras.size(), 1u); }

    ze_camera_t *camera() { return cameras_[0]; }

    TempDir dir_;
    NullCameras cameras_{writeSmallSensor(dir_)};
};

using Clock = std::chrono::steady_clock;

long elapsedMs(Clock::time_point since)
{
    return long(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

TEST_F(NullCamera, StartLoadsDefaultsAndReadsReturnWhatWasWritten)
{
    ASSERT_EQ(ze_startTransport(camera()), CAMERA_SUCCESS);
    uint32_t values[2] = {};
    ASSERT_EQ(ze_readSensorRegisters(camera(), 0, 0x3000, 2, values), CAMERA_SUCCESS);
    EXPECT_EQ(values[0], 0x0010u);
    EXPECT_EQ(values[1], 0x0200u);
    uint32_t gain = 0x0033;
    ASSERT_EQ(ze_writeSensorRegisters(camera(), 0, 0x3000, 1, &gain), CAMERA_SUCCESS);
    ASSERT_EQ(ze_readSensorRegisters(camera(), 0, 0x3000, 1, values), CAMERA_SUCCESS);
    EXPECT_EQ(values[0], 0x0033u);
    EXPECT_EQ(ze_stopTransport(camera()), CAMERA_SUCCESS);
}

TEST_F(NullCamera, GrabFillsTheBufferWithFivesAtAboutThirtyFramesPerSecond)
{
    std::vector<uint8_t> buffer(camera()->sensor->imageBytes, 0);
    const auto start = Clock::now();
    ASSERT_EQ(ze_grabFrame(camera(), buffer.data(), uint32_t(buffer.size())), CAMERA_SUCCESS);
    EXPECT_GE(elapsedMs(start), 33);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 5), long(buffer.size()));
}

TEST_F(NullCamera, FourBytePixelTypesFillWholeWordsOnly)
{
    camera()->sensor->imageType = 23; // Bayer 20
    std::vector<uint8_t> buffer(10, 0xEE);
    ASSERT_EQ(ze_grabFrame(camera(), buffer.data(), uint32_t(buffer.size())), CAMERA_SUCCESS);
    const std::vector<uint8_t> expected = {3, 3, 3, 0, 3, 3, 3, 0, 0xEE, 0xEE};
    EXPECT_EQ(buffer, expected);
}

TEST_F(NullCamera, CompressedTypesFailGrabsAndFrameDataAfterAFrameTime)
{
    for (uint32_t type : {15u, 17u, 27u, 36u}) {
        camera()->sensor->imageType = type;
        std::vector<uint8_t> buffer(16, 0xEE);
        auto start = Clock::now();
        EXPECT_EQ(ze_grabFrame(camera(), buffer.data(), uint32_t(buffer.size())), CAMERA_ERROR);
        EXPECT_GE(elapsedMs(start), 33);
        EXPECT_EQ(buffer, std::vector<uint8_t>(16, 0xEE)) << "type " << type;
        ze_frame_info_t frame;
        memset(&frame, 0xFF, sizeof(frame));
        start = Clock::now();
        EXPECT_EQ(ze_getFrameData(camera(), &frame), CAMERA_ERROR);
        EXPECT_GE(elapsedMs(start), 33);
        EXPECT_EQ(frame.bytesReturned, 0u);
    }
}

TEST_F(NullCamera, FrameDataDescribesTheSensorsFrame)
{
    ze_frame_info_t frame;
    memset(&frame, 0xFF, sizeof(frame));
    ASSERT_EQ(ze_getFrameData(camera(), &frame), CAMERA_SUCCESS);
    const uint32_t bytes = 64 * 32 * 2;
    EXPECT_EQ(camera()->sensor->imageBytes, bytes);
    EXPECT_EQ(frame.bytesRequested, bytes);
    EXPECT_EQ(frame.bytesReturned, bytes);
    EXPECT_EQ(frame.imageBytesReturned, bytes);
    EXPECT_EQ(frame.vcBytes[0], bytes);
    EXPECT_EQ(frame.vcBytes[1], 0u);
    EXPECT_EQ(frame.frameLines, 32u);
    EXPECT_EQ(frame.lineSize, 64u);
    EXPECT_EQ(frame.frameNumber, 0u);
    EXPECT_EQ(ze_getFrameData(camera(), nullptr), CAMERA_ERROR);
}

TEST_F(NullCamera, OwnFrameSizeUpdateUsesPixelBytesWithoutThePlanarRule)
{
    camera()->sensor->imageType = 19; // YUV 4:2:0
    ASSERT_EQ(ze_updateFrameSize(camera(), 640, 480, 8, 2), CAMERA_SUCCESS);
    EXPECT_EQ(camera()->sensor->imageWidth, 640u);
    EXPECT_EQ(camera()->sensor->imageHeight, 480u);
    EXPECT_EQ(camera()->sensor->pixelBytes, 2u);
    EXPECT_EQ(camera()->sensor->bitsPerPixel, 16u);
    EXPECT_EQ(camera()->sensor->imageBytes, 640u * 480u * 2u);
}

TEST_F(NullCamera, ClocksPerPixelAloneKeepsTheStoredBitsPerClock)
{
    ASSERT_EQ(ze_updateFrameSize(camera(), 0, 0, 0, 2), CAMERA_SUCCESS);
    uint32_t bits = 0, clocks = 0;
    ASSERT_EQ(ze_getMode(camera(), ZE_BITS_PER_CLOCK, &bits), CAMERA_SUCCESS);
    ASSERT_EQ(ze_getMode(camera(), ZE_CLOCKS_PER_PIXEL, &clocks), CAMERA_SUCCESS);
    EXPECT_EQ(bits, 10u);
    EXPECT_EQ(clocks, 2u);
    EXPECT_EQ(camera()->sensor->bitsPerPixel, 20u);
    EXPECT_EQ(camera()->sensor->pixelBytes, 4u);
    EXPECT_EQ(camera()->sensor->imageBytes, 64u * 32u * 4u);
    // Bayer with 20 bits per pixel becomes Bayer 20.
    EXPECT_EQ(camera()->sensor->imageType, 23u);
}

TEST_F(NullCamera, ModesAnswerAsAGrabThatAllowsRegisterAccess)
{
    uint32_t value = 0;
    EXPECT_EQ(ze_getMode(camera(), ZE_SIMUL_REG_FRAMEGRAB, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(camera()->context->simultaneousGrab, 1u);
    EXPECT_EQ(ze_setMode(camera(), ZE_RX_VIRTUAL_CHANNEL, 2), CAMERA_SUCCESS);
    EXPECT_EQ(ze_getMode(camera(), ZE_RX_VIRTUAL_CHANNEL, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 2u);
    // Other modes keep the library's answer.
    EXPECT_EQ(ze_getMode(camera(), ZE_SHIP_SPEED, &value), CAMERA_NOT_SUPPORTED);
}

TEST_F(NullCamera, SystemRegistersComeFromTheCache)
{
    uint32_t written = 0x0042;
    ASSERT_EQ(ze_writeSystemRegisters(camera(), ZE_SPACE_REG, 0, 0x3002, 0, 1, &written),
              CAMERA_SUCCESS);
    uint32_t values[2] = {0xDEAD, 0xDEAD};
    ASSERT_EQ(ze_readSystemRegisters(camera(), ZE_SPACE_REG, 0, 0x3000, 0, 2, values),
              CAMERA_SUCCESS);
    EXPECT_EQ(values[0], 0u); // never read or written: stale
    EXPECT_EQ(values[1], 0x0042u);
}

TEST_F(NullCamera, UnfilledSlotsAnswerNotSupported)
{
    EXPECT_EQ(ze_initTransport(camera(), 1, 2, 3, 4, 5), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(ze_sendCommand(camera(), 0, 0, 0, 0, 0, 0, 0), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(ze_sendCommand(camera(), 1, 0, 0, 0, 0, 0, 0), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(ze_updateBufferSize(camera(), 1234, 0, 0), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(camera()->sensor->imageBytes, 1234u);
}

TEST_F(NullCamera, IsNulAndNoFileKind)
{
    EXPECT_TRUE(ze_IsNul(camera()));
    EXPECT_FALSE(ze_IsImageFile(camera()));
    EXPECT_FALSE(ze_IsVideoFile(camera()));
    EXPECT_FALSE(ze_IsFile(camera()));
    camera()->transportType = ZE_TRANSPORT_VIDEO_FILE;
    EXPECT_TRUE(ze_IsVideoFile(camera()));
    camera()->transportType = ZE_TRANSPORT_NUL;
    EXPECT_FALSE(ze_IsNul(nullptr));
    EXPECT_STREQ(ze_GetDriverInfoString(nullptr), "");
}

} // namespace
