// The library opens the board's camera through its plug-in, on the simulated board: sensor
// identification of every sample sensor, capture failures, and open/grab/close cycles that
// leak nothing.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board_camera.h"
#include "sim_board.h"
#include "zentro.h"

namespace {

using boardsim::testing::SimBoard;
using zentro_tests::frameBuffer;
using zentro_tests::frameNumber;
using zentro_tests::grab;
using zentro_tests::kPixelBytes;
using zentro_tests::sampleAt;
using zentro_tests::startStreaming;

constexpr char kSourceDir[] = ZENTRO_SOURCE_DIR;
constexpr char kPlugin[] = CSITRANSPORT_PLUGIN;

std::string sampleSensor(const std::string &name)
{
    return std::string(kSourceDir) + "/sensor_data/" + name;
}

std::string sensorDirectory()
{
    return std::string(kSourceDir) + "/sensor_data";
}

// The library home is decided once per process: the source tree is laid out as one (its
// sensor data, presets and family list).
class SourceTreeHome : public ::testing::Environment
{
public:
    void SetUp() override { ::setenv("ZE_HOME", kSourceDir, 1); }
};
const auto *const kHome = ::testing::AddGlobalTestEnvironment(new SourceTreeHome);

// The cameras of one open through the board plug-in.
class OpenedCameras : public zentro_tests::OpenedCameras
{
public:
    explicit OpenedCameras(const std::string &sensorData)
        : zentro_tests::OpenedCameras(sensorData, kPlugin)
    {
    }
};

struct SampleSensor {
    const char *file;
    const char *board;
    const char *name;
    const char *partNumber;
};

void PrintTo(const SampleSensor &sample, std::ostream *out)
{
    *out << sample.file;
}

class BoardSensorIdentification : public ::testing::TestWithParam<SampleSensor>
{
};

// Each sample sensor is found among all sensor-data files when the board carries it.
TEST_P(BoardSensorIdentification, FindsTheSensorTheBoardCarries)
{
    const SampleSensor &sample = GetParam();
    SimBoard board("sensor_data = " + sampleSensor(sample.file) + "\n" + sample.board);
    OpenedCameras opened(sensorDirectory());
    ASSERT_EQ(opened.result(), 0);
    ASSERT_EQ(opened.count(), 1);
    const ze_sensor_t *sensor = opened.camera()->sensor;
    ASSERT_NE(sensor, nullptr);
    EXPECT_STREQ(sensor->name, sample.name);
    EXPECT_STREQ(sensor->partNumber, sample.partNumber);
    EXPECT_EQ(std::string(sensor->fileName), sampleSensor(sample.file));
}

INSTANTIATE_TEST_SUITE_P(
    Samples, BoardSensorIdentification,
    ::testing::Values(SampleSensor{"zx0201.sdat", "", "ZX0201", "ZX0201"},
                      SampleSensor{"zx0042.sdat", "sensor_address = 0x36\nbit_depth = 10\n",
                                   "ZX0042", "ZX0042"},
                      SampleSensor{"zx0016.sdat", "sensor_address = 0x48\nbit_depth = 10\n",
                                   "ZX0016", "ZX0016-CAA"}),
    [](const auto &info) { return std::string(info.param.name); });

// A failed capture is reported, and a sensor reset brings the camera back.
void expectFailedGrabThenRecovery(ze_camera_t *camera, const char *message)
{
    std::vector<uint8_t> frame = frameBuffer(camera);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(grab(camera, frame), CAMERA_ERROR);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(message), std::string::npos);
    ASSERT_TRUE(startStreaming(camera));
    EXPECT_EQ(grab(camera, frame), CAMERA_SUCCESS);
    EXPECT_EQ(sampleAt(frame, 4), (4 + frameNumber(frame)) & 0xFFF);
}

// A streaming camera on a board with a capture fault.
class BoardCameraFaults : public ::testing::Test
{
protected:
    void streamOn(const std::string &description)
    {
        board_ = std::make_unique<SimBoard>(description);
        opened_ = std::make_unique<OpenedCameras>(sensorDirectory());
        ASSERT_EQ(opened_->count(), 1);
        ASSERT_TRUE(startStreaming(camera()));
        frame_ = frameBuffer(camera());
    }
    void TearDown() override
    {
        opened_.reset();
        board_.reset();
    }
    ze_camera_t *camera() const { return opened_->camera(); }
    int grabFrame() { return grab(camera(), frame_); }

    std::unique_ptr<SimBoard> board_;
    std::unique_ptr<OpenedCameras> opened_;
    std::vector<uint8_t> frame_;
};

TEST_F(BoardCameraFaults, ASensorThatStopsSendingTimesOut)
{
    ASSERT_NO_FATAL_FAILURE(streamOn("stall_after_frames = 2\n"));
    ASSERT_EQ(grabFrame(), CAMERA_SUCCESS);
    ASSERT_EQ(grabFrame(), CAMERA_SUCCESS);
    // Five one-second waits, then the grab gives up.
    expectFailedGrabThenRecovery(camera(), "v4l2 -- tried 5 times (channel 0)...");
}

TEST_F(BoardCameraFaults, ANodeThatFailsMidStreamEndsTheGrab)
{
    // Frames far apart, so that each good frame is taken before the node fails.
    ASSERT_NO_FATAL_FAILURE(streamOn("frame_rate = 5\nfail_after_frames = 3\n"));
    uint32_t previous = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(grabFrame(), CAMERA_SUCCESS) << "frame " << i;
        EXPECT_TRUE(i == 0 || frameNumber(frame_) > previous);
        previous = frameNumber(frame_);
        // The frame information numbers the frame as the board did.
        ze_frame_info_t info{};
        ASSERT_EQ(ze_getFrameData(camera(), &info), CAMERA_SUCCESS);
        EXPECT_EQ(info.frameNumber, previous);
    }
    expectFailedGrabThenRecovery(camera(), "v4l2 -- ReadFrame() failed (errno=5)");
}

// What the process holds: descriptors, mappings and heap bytes in use.
struct ProcessHoldings {
    size_t descriptors = 0;
    size_t mappings = 0;
    size_t fileMappings = 0; // device buffers, loaded plug-ins: mappings with a path
    size_t heapBytes = 0;
};

size_t countEntries(const char *directory)
{
    size_t count = 0;
    if (DIR *dir = ::opendir(directory)) {
        while (::readdir(dir) != nullptr)
            ++count;
        ::closedir(dir);
    }
    return count;
}

ProcessHoldings holdings()
{
    ProcessHoldings now;
    now.descriptors = countEntries("/proc/self/fd");
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        ++now.mappings;
        if (line.find(" /") != std::string::npos)
            ++now.fileMappings;
    }
    now.heapBytes = ::mallinfo2().uordblks;
    return now;
}

bool openGrabClose(const std::string &sensorFile, std::vector<uint8_t> &frame)
{
    OpenedCameras opened(sensorFile);
    if (opened.count() != 1 || !opened.camera()->sensor)
        return false;
    ze_camera_t *camera = opened.camera();
    frame.resize(frameBuffer(camera).size());
    const bool grabbed = startStreaming(camera) && grab(camera, frame) == 0;
    ze_stopTransport(camera);
    return grabbed;
}

// A 32-bit value in two 16-bit registers of a sensor with 8-bit addresses: one register at
// each address, so the second half is the next address.
TEST(BoardCamera, SpannedRegistersOfWordAddressedSensorsAreConsecutive)
{
    SimBoard board("sensor_data = " + sampleSensor("zx0016.sdat") +
                   "\nsensor_address = 0x48\nbit_depth = 10\n");
    OpenedCameras opened(sensorDirectory());
    ASSERT_EQ(opened.count(), 1);
    board.clearBusLog();
    uint32_t value = 1;
    ASSERT_EQ(ze_ReadSensorRegStr(opened.camera(), "OTP_UNIQUE_ID", nullptr, &value), 0);
    EXPECT_EQ(value, 0u);
    const std::vector<std::string> reads = board.busLog();
    EXPECT_NE(std::find(reads.begin(), reads.end(), "G_REGISTER 0x0048 0x0023 0x0000"),
              reads.end());
    EXPECT_NE(std::find(reads.begin(), reads.end(), "G_REGISTER 0x0048 0x0024 0x0000"),
              reads.end());
    EXPECT_EQ(std::find(reads.begin(), reads.end(), "G_REGISTER 0x0048 0x0025 0x0000"),
              reads.end());
}

TEST(BoardCamera, OpenGrabCloseCyclesLeakNothing)
{
    constexpr int kWarmUp = 10;
    constexpr int kCycles = 1000;
    SimBoard board("frame_rate = 1000\n");
    const std::string sensorFile = sampleSensor("zx0201.sdat");
    std::vector<uint8_t> frame;
    for (int i = 0; i < kWarmUp; ++i)
        ASSERT_TRUE(openGrabClose(sensorFile, frame));
    frame.shrink_to_fit();
    const ProcessHoldings before = holdings();
    for (int i = 0; i < kCycles; ++i)
        ASSERT_TRUE(openGrabClose(sensorFile, frame)) << "cycle " << i;
    const ProcessHoldings after = holdings();
    EXPECT_EQ(after.descriptors, before.descriptors);
    EXPECT_EQ(after.fileMappings, before.fileMappings);
#if !defined(__SANITIZE_ADDRESS__)
    // (A sanitized build maps and keeps memory for its own allocator and quarantine.)
    EXPECT_EQ(after.mappings, before.mappings);
    // The allocator's per-thread caches move the count by a few KiB; a leak of any record,
    // name or buffer per cycle would show as tens of KiB or more. (A sanitized build counts
    // its own heap; LeakSanitizer checks it for every unreachable byte instead.)
    constexpr size_t kAllocatorSlack = 32 * 1024;
    EXPECT_LT(after.heapBytes, before.heapBytes + kAllocatorSlack);
#endif
}

} // namespace
