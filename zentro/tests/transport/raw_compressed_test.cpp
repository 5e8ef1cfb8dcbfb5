// Compressed recordings: frames of varying size are found by their boundaries and play back
// byte for byte, in order and looping; a recording without boundaries plays nothing.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "raw_test_support.h"
#include "support/test_support.h"
#include "zentro.h"

namespace {

using zentro::test::LogCapture;
using zentro::test::RawCameras;
using zentro::test::TempDir;
using zentro::test::writeFile;

std::string bigEndian16(size_t value)
{
    return {char(value >> 8), char(value & 0xFF)};
}

// A JPEG image with @scanBytes of entropy-coded data: header segments (one behind fill
// bytes), a scan with stuffed 0xFF bytes, and the end marker.
std::string jpegFrame(int seed, size_t scanBytes)
{
    std::string frame = "\xFF\xD8";
    frame += "\xFF\xE0" + bigEndian16(16) + std::string(14, char('A' + seed));
    frame += "\xFF\xFF\xC0" + bigEndian16(11) + std::string(9, '\x08');
    frame += "\xFF\xDA" + bigEndian16(8) + std::string(6, '\x01');
    for (size_t i = 0; i < scanBytes; ++i) {
        frame += char(1 + (seed * 31 + i) % 200);
        if (i % 97 == 5)
            frame += std::string("\xFF\x00", 2);
    }
    return frame + "\xFF\xD9";
}

// A coded frame of @bytes bytes that begins with a start code and carries another one among
// its first bytes (the parameter sets in front of the picture).
std::string codedFrame(int seed, size_t bytes)
{
    std::string frame(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i)
        frame[i] = char(1 + (seed * 7 + i) % 250);
    const std::string startCode("\0\0\0\1", 4);
    frame.replace(0, 4, startCode);
    frame.replace(40, 4, startCode);
    return frame;
}

std::string description(const std::string &format, int frames, uint32_t statusBytes = 0)
{
    return "Width = 320 Height = 240 Format = " + format + " Frames = " + std::to_string(frames) +
           " StatusStruct = " + std::to_string(statusBytes) + "\n";
}

class CompressedPlayback : public testing::Test
{
protected:
    // Writes "rec.raw" from @frames (and @tail) with @info as its description and opens it.
    void open(const std::vector<std::string> &frames, const std::string &info,
              const std::string &tail = "")
    {
        std::string data;
        for (const std::string &frame : frames)
            data += frame;
        writeFile(dir_.file("rec.raw"), data + tail);
        writeFile(dir_.file("rec_info.txt"), info);
        cameras_ = std::make_unique<RawCameras>(dir_.file("rec.raw"));
        ASSERT_EQ(cameras_->count, 1);
        ASSERT_EQ(ze_setMode(camera(), ZE_HW_FRAME_TIME, 0), CAMERA_SUCCESS);
        ASSERT_EQ(ze_startTransport(camera()), CAMERA_SUCCESS);
    }
    void TearDown() override
    {
        if (cameras_ && cameras_->count == 1)
            ze_stopTransport(camera());
    }

    ze_camera_t *camera() { return cameras_->opened[0]; }
    // The next frame as delivered: only the bytes the grab reports.
    std::string grab(int expected = CAMERA_SUCCESS)
    {
        std::string buffer(camera()->sensor->imageBytes, '\0');
        EXPECT_EQ(ze_grabFrame(camera(), reinterpret_cast<uint8_t *>(buffer.data()),
                               uint32_t(buffer.size())),
                  expected);
        ze_frame_info_t info{};
        EXPECT_EQ(ze_getFrameData(camera(), &info), CAMERA_SUCCESS);
        return buffer.substr(0, info.bytesReturned);
    }
    uint32_t reg(const char *name)
    {
        uint32_t value = 0xDEAD;
        EXPECT_EQ(ze_ReadSensorRegStr(camera(), name, nullptr, &value), CAMERA_SUCCESS);
        return value;
    }
    // Grabs two rounds of @frames and expects each byte for byte, in order.
    void expectLoop(const std::vector<std::string> &frames)
    {
        for (int round = 0; round < 2; ++round) {
            for (size_t i = 0; i < frames.size(); ++i) {
                EXPECT_EQ(grab(), frames[i]) << "round " << round << ", frame " << i;
                EXPECT_EQ(reg("CUR_FRAME"), i);
            }
        }
    }

    TempDir dir_;
    std::unique_ptr<RawCameras> cameras_;
};

TEST_F(CompressedPlayback, JpegFramesOfDifferentSizesComeOutWholeInOrderAndLoop)
{
    // One frame spans several of the pieces the scan reads at a time.
    const std::vector<std::string> frames = {jpegFrame(0, 100), jpegFrame(1, 150000),
                                             jpegFrame(2, 40), jpegFrame(3, 3000)};
    open(frames, description("JPEG", 50));
    EXPECT_EQ(reg("NUM_FRAMES"), 50u); // the description's count until the scan knows better
    expectLoop(frames);
    EXPECT_EQ(reg("NUM_FRAMES"), 4u);
}

TEST_F(CompressedPlayback, StatusBytesFollowEachJpegFrameAndComeWithIt)
{
    const std::vector<std::string> frames = {jpegFrame(0, 60) + "STA1", jpegFrame(1, 500) + "STA2"};
    open(frames, description("JPEG", 2, 4));
    expectLoop(frames);
}

TEST_F(CompressedPlayback, ATruncatedLastFrameIsLeftOutOfTheLoop)
{
    const std::vector<std::string> frames = {jpegFrame(0, 80), jpegFrame(1, 90)};
    const std::string cut = jpegFrame(2, 500).substr(0, 300);
    open(frames, description("JPEG", 3), cut);
    expectLoop(frames);
    EXPECT_EQ(reg("NUM_FRAMES"), 2u);
}

TEST_F(CompressedPlayback, TheRequestedFrameIsFoundBeforeItsPredecessorsWerePlayed)
{
    const std::vector<std::string> frames = {jpegFrame(0, 70), jpegFrame(1, 700), jpegFrame(2, 35),
                                             jpegFrame(3, 300)};
    open(frames, description("JPEG Rotate", 4));
    ASSERT_EQ(ze_WriteSensorRegStr(camera(), "REQ_FRAME", nullptr, 2), CAMERA_SUCCESS);
    EXPECT_EQ(grab(), frames[2]);
    EXPECT_EQ(grab(), frames[3]);
    EXPECT_EQ(grab(), frames[0]);
}

TEST_F(CompressedPlayback, ARecordingWithoutBoundariesPlaysNothingAndSaysSo)
{
    LogCapture log;
    open({}, description("JPEG", 5), std::string(5000, '\x42'));
    EXPECT_EQ(grab(GRAB_FRAME_ERROR), "");
    EXPECT_TRUE(log.contains("Recording `" + dir_.file("rec.raw") + "` holds no whole frame"));
    EXPECT_EQ(reg("NUM_FRAMES"), 0u);
    EXPECT_EQ(grab(GRAB_FRAME_ERROR), "");
}

TEST_F(CompressedPlayback, AJpegEndMarkerTooCloseToTheScanHeaderDoesNotEndTheFrame)
{
    std::string first = jpegFrame(0, 20); // its end marker is 20 bytes into the scan
    const std::vector<std::string> frames = {first + jpegFrame(1, 100).substr(2)};
    open(frames, description("JPEG", 1));
    expectLoop(frames);
}

TEST_F(CompressedPlayback, CodedFramesEndWhereTheNextStartCodeBeginsAndTheLastWithTheFile)
{
    const std::vector<std::string> frames = {codedFrame(0, 300), codedFrame(1, 5000),
                                             codedFrame(2, 257)};
    open(frames, description("H.264", 10));
    expectLoop(frames);
    EXPECT_EQ(reg("NUM_FRAMES"), 3u);
}

TEST_F(CompressedPlayback, CodedDataWithoutAStartCodePlaysNothing)
{
    open({}, description("H.264", 2), std::string(1000, '\x07'));
    EXPECT_EQ(grab(GRAB_FRAME_ERROR), "");
    EXPECT_EQ(reg("NUM_FRAMES"), 0u);
}

TEST(RawPlayback, PngRecordingsAreStillRefused)
{
    TempDir dir;
    LogCapture log;
    writeFile(dir.file("rec.raw"), std::string(100, '\x01'));
    writeFile(dir.file("rec_info.txt"), description("PNG", 1));
    RawCameras cameras(dir.file("rec.raw"));
    EXPECT_EQ(cameras.count, 0);
    EXPECT_TRUE(log.contains("Compressed recordings cannot be played"));
}

} // namespace
