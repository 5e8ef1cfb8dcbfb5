// The raw playback camera: frames in order and looping, synthetic registers, modes, failures.
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "raw_test_support.h"
#include "support/test_support.h"
#include "zentro.h"

namespace {

using zentro::test::RawCameras;
using zentro::test::TempDir;
using zentro::test::writeFile;

constexpr uint32_t kWidth = 4;
constexpr uint32_t kHeight = 2;
constexpr uint32_t kFrameBytes = kWidth * kHeight * 2;
constexpr int kFrames = 10;

// Frame @i of the test recording: every byte tells the frame and its offset apart.
std::string frameBytes(int i)
{
    std::string frame(kFrameBytes, '\0');
    for (uint32_t b = 0; b < kFrameBytes; ++b)
        frame[b] = char(i * 16 + int(b));
    return frame;
}

std::string description(const std::string &extra = "")
{
    return "//\tWidth = " + std::to_string(kWidth) + "\n//\tHeight = " + std::to_string(kHeight) +
           "\n//\tImage Format = Bayer 12\n//\tFrames = " + std::to_string(kFrames) +
           "\n//\tFrame rate = 30 frames per second\n" + extra;
}

// Writes "rec.raw" with @frames frames (plus @tail extra bytes) and its description.
std::string writeRecording(const TempDir &dir, const std::string &info = description(),
                           int frames = kFrames, size_t tail = 0)
{
    std::string data;
    for (int i = 0; i < frames; ++i)
        data += frameBytes(i);
    data += std::string(tail, '\x7f');
    const std::string path = dir.file("rec.raw");
    writeFile(path, data);
    writeFile(dir.file("rec_info.txt"), info);
    return path;
}

class RawCamera : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(cameras_.count, 1);
        // Frames come as fast as the file reads.
        ASSERT_EQ(ze_setMode(camera(), ZE_HW_FRAME_TIME, 0), CAMERA_SUCCESS);
        ASSERT_EQ(ze_startTransport(camera()), CAMERA_SUCCESS);
    }
    void TearDown() override { ze_stopTransport(camera()); }

    ze_camera_t *camera() { return cameras_.opened[0]; }
    std::string grab(int expected = CAMERA_SUCCESS)
    {
        std::string buffer(kFrameBytes, '\0');
        EXPECT_EQ(ze_grabFrame(camera(), reinterpret_cast<uint8_t *>(buffer.data()),
                               uint32_t(buffer.size())),
                  expected);
        return buffer;
    }
    uint32_t reg(uint32_t addr)
    {
        uint32_t value = 0xDEAD;
        EXPECT_EQ(ze_readRegister(camera(), 0, addr, &value), CAMERA_SUCCESS);
        return value;
    }
    void write(uint32_t addr, uint32_t value)
    {
        EXPECT_EQ(ze_writeRegister(camera(), 0, addr, value), CAMERA_SUCCESS);
    }

    TempDir dir_;
    RawCameras cameras_{writeRecording(dir_)};
};

TEST_F(RawCamera, DescribesItselfFromTheDescription)
{
    EXPECT_STREQ(camera()->productName, "RAW Video File");
    EXPECT_STREQ(camera()->transportName, "RAW");
    EXPECT_EQ(camera()->transportType, ZE_TRANSPORT_RAW);
    const ze_sensor_t *s = camera()->sensor;
    EXPECT_STREQ(s->name, "Raw Video");
    EXPECT_STREQ(s->partNumber, "rec.raw");
    EXPECT_EQ(s->imageWidth, kWidth);
    EXPECT_EQ(s->imageHeight, kHeight);
    EXPECT_EQ(s->imageType, 12u);
    EXPECT_EQ(s->imageBytes, kFrameBytes);
    ASSERT_EQ(s->regCount, 25);
    EXPECT_STREQ(s->regs[3].name, "REQ_FRAME");
    EXPECT_EQ(s->regs[18].defaultValue, 42u);
    EXPECT_EQ(reg(1), uint32_t(kFrames));
    EXPECT_EQ(reg(4), 33u);
    EXPECT_EQ(reg(5), kWidth);
    EXPECT_EQ(reg(16), 12u);
}

TEST_F(RawCamera, FramesComeInOrderAndLoop)
{
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < kFrames; ++i) {
            EXPECT_EQ(grab(), frameBytes(i)) << "frame " << i;
            EXPECT_EQ(reg(2), uint32_t(i));
        }
    }
    ze_frame_info_t info{};
    info.vcBytes[0] = 77;
    ASSERT_EQ(ze_getFrameData(camera(), &info), CAMERA_SUCCESS);
    EXPECT_EQ(info.bytesRequested, kFrameBytes);
    EXPECT_EQ(info.bytesReturned, kFrameBytes);
    EXPECT_EQ(info.imageBytesReturned, kFrameBytes);
    EXPECT_EQ(info.vcBytes[0], 77u);
}

TEST_F(RawCamera, RequestedFrameSteersPlaybackAndIsLimited)
{
    write(3, 7);
    EXPECT_EQ(grab(), frameBytes(7));
    EXPECT_EQ(reg(2), 7u);
    write(3, 1000);
    EXPECT_EQ(reg(3), 9u);
    EXPECT_EQ(grab(), frameBytes(9));
    EXPECT_EQ(grab(), frameBytes(0));
}

TEST_F(RawCamera, WritesAreLimitedOrIgnored)
{
    write(4, 5);
    EXPECT_EQ(reg(4), 10u);
    write(4, 10000);
    EXPECT_EQ(reg(4), 4000u);
    write(1, 3); // read-only
    EXPECT_EQ(reg(1), uint32_t(kFrames));
    write(25, 3);
    EXPECT_EQ(reg(25), 0u);
    uint32_t value = 1;
    ASSERT_EQ(ze_readRegister(camera(), 0x20, 1, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0u);
}

TEST_F(RawCamera, ModesAnswerFromThePlayback)
{
    uint32_t value = 0;
    ASSERT_EQ(ze_getMode(camera(), ZE_SIMUL_REG_FRAMEGRAB, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 1u);
    ASSERT_EQ(ze_setMode(camera(), ZE_HW_FRAME_TIME, 40000), CAMERA_SUCCESS);
    ASSERT_EQ(ze_getMode(camera(), ZE_HW_FRAME_TIME, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 40000u);
    ASSERT_EQ(ze_getMode(camera(), ZE_DATA_IS_SWIZZLED, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0u);
}

TEST_F(RawCamera, GeometryWritesRecountTheFrames)
{
    write(6, 1); // half the height: twice as many frames
    EXPECT_EQ(reg(1), uint32_t(2 * kFrames));
    EXPECT_EQ(camera()->sensor->imageBytes, kFrameBytes / 2);
}

TEST_F(RawCamera, UnplayableGeometryKeepsTheCurrentFrames)
{
    write(6, 0); // frames of no bytes
    EXPECT_EQ(reg(1), uint32_t(kFrames));
    EXPECT_EQ(grab(), frameBytes(0));
    write(5, 0xFFFFFFFF); // a frame larger than any buffer
    EXPECT_EQ(reg(1), uint32_t(kFrames));
    EXPECT_EQ(camera()->sensor->imageBytes, kFrameBytes);
    EXPECT_EQ(grab(), frameBytes(1));
}

TEST(RawPlayback, APartialLastFrameIsNotPlayed)
{
    TempDir dir;
    RawCameras cameras(writeRecording(dir, description(), 3, kFrameBytes / 2));
    ASSERT_EQ(cameras.count, 1);
    uint32_t frames = 0;
    ASSERT_EQ(ze_readRegister(cameras.opened[0], 0, 1, &frames), CAMERA_SUCCESS);
    EXPECT_EQ(frames, 3u);
}

TEST(RawPlayback, AFrameTimeOfAFastRateIsTwoHundredMs)
{
    TempDir dir;
    std::string info = description();
    info.replace(info.find("rate = 30"), 9, "rate = 2000");
    RawCameras cameras(writeRecording(dir, info));
    ASSERT_EQ(cameras.count, 1);
    uint32_t ms = 0;
    ASSERT_EQ(ze_readRegister(cameras.opened[0], 0, 4, &ms), CAMERA_SUCCESS);
    EXPECT_EQ(ms, 200u);
}

TEST(RawPlayback, UnusableRecordingsOpenNoCamera)
{
    TempDir dir;
    std::string noFrames = description();
    noFrames.replace(noFrames.find("Frames"), 6, "Pictures");
    for (const std::string &info : {noFrames, std::string("Width = -5 Frames = 2")}) {
        RawCameras cameras(writeRecording(dir, info));
        EXPECT_EQ(cameras.count, 0) << info;
        EXPECT_EQ(cameras.result, CAMERA_ERROR) << info;
    }
    RawCameras shorter(writeRecording(dir, description(), 0, kFrameBytes - 1));
    EXPECT_EQ(shorter.count, 0);
    RawCameras missing(dir.file("absent.raw"));
    EXPECT_EQ(missing.count, 0);
    EXPECT_EQ(missing.result, CAMERA_ERROR);
    writeFile(dir.file("rec.bin"), frameBytes(0));
    RawCameras other(dir.file("rec.bin"));
    EXPECT_EQ(other.count, 0);
    EXPECT_EQ(other.result, CAMERA_SUCCESS);
}

TEST(RawPlayback, GrabBeforeStartFailsAndAShortFrameReportsNotEnoughData)
{
    TempDir dir;
    RawCameras cameras(writeRecording(dir));
    ASSERT_EQ(cameras.count, 1);
    ze_camera_t *camera = cameras.opened[0];
    std::string buffer(kFrameBytes, '\0');
    auto *data = reinterpret_cast<uint8_t *>(buffer.data());
    EXPECT_EQ(ze_grabFrame(camera, data, kFrameBytes), CAMERA_ERROR);
    ASSERT_EQ(ze_setMode(camera, ZE_HW_FRAME_TIME, 0), CAMERA_SUCCESS);
    ASSERT_EQ(ze_startTransport(camera), CAMERA_SUCCESS);
    // The recording shrinks while it plays: the last frame is cut in half.
    ASSERT_EQ(truncate(dir.file("rec.raw").c_str(), off_t(kFrames * kFrameBytes - 4)), 0);
    ASSERT_EQ(ze_writeRegister(camera, 0, 3, kFrames - 1), CAMERA_SUCCESS);
    EXPECT_EQ(ze_grabFrame(camera, data, kFrameBytes), NOT_ENOUGH_DATA_ERROR);
    EXPECT_EQ(buffer.substr(0, kFrameBytes - 4),
              frameBytes(kFrames - 1).substr(0, kFrameBytes - 4));
    ze_stopTransport(camera);
}

} // namespace

namespace {

TEST(RawPlayback, PackedTenBitRecordingsArriveAsWholeSamples)
{
    TempDir dir;
    // Two frames of four samples, five bytes each: 1, 2, 3, 4 and then 0x3FF x 4.
    const uint64_t first = 1 | (2ull << 10) | (3ull << 20) | (4ull << 30);
    std::string data;
    for (int i = 0; i < 5; ++i)
        data += char(first >> (8 * i));
    data += std::string(5, '\xff');
    writeFile(dir.file("packed.raw"), data);
    writeFile(dir.file("packed_info.txt"),
              "Width = 4 Height = 1 Format = Bayer 10 packed Frames = 2");
    RawCameras cameras(dir.file("packed.raw"));
    ASSERT_EQ(cameras.count, 1);
    ze_camera_t *camera = cameras.opened[0];
    ASSERT_EQ(ze_setMode(camera, ZE_HW_FRAME_TIME, 0), CAMERA_SUCCESS);
    ASSERT_EQ(ze_startTransport(camera), CAMERA_SUCCESS);
    std::vector<uint16_t> samples(4, 0);
    auto *buffer = reinterpret_cast<uint8_t *>(samples.data());
    ASSERT_EQ(ze_grabFrame(camera, buffer, 8), CAMERA_SUCCESS);
    EXPECT_EQ(samples, (std::vector<uint16_t>{1, 2, 3, 4}));
    ASSERT_EQ(ze_grabFrame(camera, buffer, 8), CAMERA_SUCCESS);
    EXPECT_EQ(samples, std::vector<uint16_t>(4, 0x3FF));
    ze_stopTransport(camera);
}

} // namespace
