// A playback camera restores the sensor its recording was made with: the sensor's data file
// is attached and the recorded register values read back by name.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "raw_test_support.h"
#include "support/test_support.h"
#include "zentro.h"

namespace {

using zentro::test::LogCapture;
using zentro::test::RawCameras;
using zentro::test::TempDir;
using zentro::test::writeFile;

// The library's home for this test program, with an empty sensor-data folder.
TempDir gHome;
const bool gHomeIsSet = setenv("ZE_HOME", gHome.path().c_str(), 1) == 0 &&
                        unsetenv("ZE_HOME_DEV") == 0 &&
                        std::filesystem::create_directories(gHome.file("sensor_data"));

const std::string kSampleSensor = std::string(ZENTRO_SAMPLE_SENSOR_DIR) + "/zx0201.sdat";
const std::string kSampleFar = std::string(ZENTRO_SAMPLE_SENSOR_DIR) + "/far/zxp310.sdat";
constexpr uint32_t kFrameBytes = 4 * 2 * 2;

// A two-frame recording whose description names @sensorLines and carries @registerLines.
std::string writeRecording(const TempDir &dir, const std::string &sensorLines,
                           const std::string &registerLines)
{
    writeFile(dir.file("rec.raw"), std::string(2 * kFrameBytes, '\x11'));
    writeFile(dir.file("rec_info.txt"), "//\tWidth = 4\n//\tHeight = 2\n"
                                        "//\tImage Format = Bayer 12\n//\tFrames = 2\n" +
                                            sensorLines + "\n[Registers]\n" + registerLines);
    return dir.file("rec.raw");
}

uint32_t readByName(ze_camera_t *camera, const std::string &name)
{
    uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(ze_ReadSensorRegStr(camera, name.c_str(), nullptr, &value), CAMERA_SUCCESS) << name;
    return value;
}

// Opens a recording of the sample sensor; nullptr when no camera opened.
class SampleRecording : public testing::Test
{
protected:
    ze_camera_t *open(const std::string &registerLines)
    {
        cameras_ = std::make_unique<RawCameras>(
            writeRecording(dir_, "//\tFilename = " + kSampleSensor, registerLines));
        return cameras_->count == 1 ? cameras_->opened[0] : nullptr;
    }

    TempDir dir_;
    std::unique_ptr<RawCameras> cameras_;
};

TEST_F(SampleRecording, RecordedValuesReadBackByNameBesideThePlaybackRegisters)
{
    ze_camera_t *camera = open("REG= 0x3114, 0x0345 // COARSE_INTEGRATION_TIME\n"
                               "REG=0x3108,0x0500//X_OUTPUT_SIZE\n"
                               "VAR= 0x310A, 600 // Y_OUTPUT_SIZE\n");
    ASSERT_NE(camera, nullptr);
    ASSERT_NE(camera->sensor->farSensor1, nullptr);
    EXPECT_EQ(std::string(camera->sensor->farSensor1->fileName), kSampleSensor);
    EXPECT_EQ(readByName(camera, "SENSOR.COARSE_INTEGRATION_TIME"), 0x0345u);
    EXPECT_EQ(readByName(camera, "SENSOR.X_OUTPUT_SIZE"), 0x0500u);
    EXPECT_EQ(readByName(camera, "SENSOR.Y_OUTPUT_SIZE"), 600u);
    // The playback registers are still the camera's own.
    EXPECT_EQ(readByName(camera, "NUM_FRAMES"), 2u);
    EXPECT_EQ(camera->sensor->imageBytes, kFrameBytes);
}

TEST(RawRecordedSensor, TheSensorFileIsFoundBesideTheRecordingAndInTheSensorDataFolder)
{
    TempDir dir;
    std::filesystem::copy_file(kSampleSensor, dir.file("zx0201.sdat"));
    // Recorded on another machine: only the file's own name still means something.
    RawCameras beside(writeRecording(dir, "Filename = C:\\captures\\zx0201.sdat",
                                     "REG= 0x3114, 0x0077 // COARSE_INTEGRATION_TIME\n"));
    ASSERT_EQ(beside.count, 1);
    EXPECT_EQ(readByName(beside.opened[0], "SENSOR.COARSE_INTEGRATION_TIME"), 0x77u);

    // The library decides its home once per process: this program sets it up front.
    ASSERT_TRUE(gHomeIsSet);
    const std::string configurations = std::string(ze_SensorData()) + "/configurations";
    ASSERT_EQ(configurations, gHome.file("sensor_data/configurations"));
    std::filesystem::create_directories(configurations);
    std::filesystem::copy_file(kSampleSensor, configurations + "/zx0201.sdat");
    TempDir elsewhere;
    RawCameras found(writeRecording(elsewhere, "Filename = /gone/zx0201.sdat",
                                    "REG= 0x3114, 0x0088 // COARSE_INTEGRATION_TIME\n"));
    std::filesystem::remove_all(configurations);
    ASSERT_EQ(found.count, 1);
    EXPECT_EQ(readByName(found.opened[0], "SENSOR.COARSE_INTEGRATION_TIME"), 0x88u);
}

TEST(RawRecordedSensor, AnAttachedDeviceBecomesTheSecondFarSensorUnderItsOwnName)
{
    TempDir dir;
    RawCameras cameras(writeRecording(dir,
                                      "Attached Filename = " + kSampleFar + // no sensor yet
                                          "\nFilename = " + kSampleSensor +
                                          "\nAttached Filename = " + kSampleFar,
                                      "REG= 0x3114, 0x0042 // COARSE_INTEGRATION_TIME\n"));
    ASSERT_EQ(cameras.count, 1);
    ze_camera_t *camera = cameras.opened[0];
    ASSERT_NE(camera->sensor->farSensor2, nullptr);
    EXPECT_EQ(std::string(camera->sensor->farSensor2->fileName), kSampleFar);
    EXPECT_EQ(ze_ExistsRegister(camera, "FAR2.STATUS"), 1);
    EXPECT_EQ(readByName(camera, "SENSOR.COARSE_INTEGRATION_TIME"), 0x42u);
}

TEST_F(SampleRecording, WhatCannotBeRestoredIsLoggedAndTheRecordingStillPlays)
{
    LogCapture log;
    ze_camera_t *camera = open("REG= 0x3114, 0x0101 // COARSE_INTEGRATION_TIME\n"
                               "REG= 0x9999, 0x0001 // NO_SUCH_REGISTER\n"
                               "REG= 0x3108, 0xZZ // X_OUTPUT_SIZE\n");
    ASSERT_NE(camera, nullptr);
    EXPECT_TRUE(log.contains("Line 8: recorded register `NO_SUCH_REGISTER` is not in `" +
                             kSampleSensor + "`"));
    EXPECT_TRUE(log.contains("Line 9: `0xZZ` is not a value for `X_OUTPUT_SIZE`"));
    EXPECT_EQ(readByName(camera, "SENSOR.COARSE_INTEGRATION_TIME"), 0x0101u);
    // The malformed line leaves the register as the sensor file defines it.
    EXPECT_EQ(readByName(camera, "SENSOR.X_OUTPUT_SIZE"), 0x0780u);
    ASSERT_EQ(ze_setMode(camera, ZE_HW_FRAME_TIME, 0), CAMERA_SUCCESS);
    ASSERT_EQ(ze_startTransport(camera), CAMERA_SUCCESS);
    std::string frame(kFrameBytes, '\0');
    EXPECT_EQ(ze_grabFrame(camera, reinterpret_cast<uint8_t *>(frame.data()), kFrameBytes),
              CAMERA_SUCCESS);
    EXPECT_EQ(frame, std::string(kFrameBytes, '\x11'));
    ze_stopTransport(camera);
}

TEST(RawRecordedSensor, AMissingOrBrokenSensorFileLeavesOnlyThePlaybackRegisters)
{
    TempDir dir;
    LogCapture log;
    {
        RawCameras missing(writeRecording(dir, "Filename = missing.sdat",
                                          "REG= 0x3114, 0x0101 // COARSE_INTEGRATION_TIME\n"));
        ASSERT_EQ(missing.count, 1);
        EXPECT_EQ(missing.opened[0]->sensor->farSensor1, nullptr);
        EXPECT_EQ(ze_ExistsRegister(missing.opened[0], "SENSOR.COARSE_INTEGRATION_TIME"), 0);
        EXPECT_TRUE(log.contains("Recorded sensor file `missing.sdat` not found"));
    }
    writeFile(dir.file("broken.sdat"), "[CHIP_DESCRIPTOR]\nSENSORNAME = \"X\"\n[REGISTERS]\n"
                                       "A = {nonsense\n");
    log.clear();
    RawCameras broken(writeRecording(dir, "Filename = broken.sdat", ""));
    ASSERT_EQ(broken.count, 1);
    EXPECT_EQ(broken.opened[0]->sensor->farSensor1, nullptr);
    EXPECT_TRUE(log.contains("Couldn't load recorded sensor file `" + dir.file("broken.sdat")));
    EXPECT_EQ(readByName(broken.opened[0], "NUM_FRAMES"), 2u);
}

} // namespace
