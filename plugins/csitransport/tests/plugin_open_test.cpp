// Opening and closing the board camera through the library and the real plug-in.
#include "plugin_test_support.h"

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

using boardsim::testing::SimBoard;
using csi::testing::clockRuns;
using csi::testing::gpioLine;
using csi::testing::kPluginPath;
using csi::testing::LoggedErrors;
using csi::testing::PluginCamera;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

bool contains(const std::vector<std::string> &lines, const std::string &line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class CsiTransportOpen : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
    }
};

TEST_F(CsiTransportOpen, IdentifiesTheSimulatedSensorAndDescribesTheBoard)
{
    SimBoard board;
    CaptureStdout();
    PluginCamera camera;
    const std::string printed = GetCapturedStdout();
    ASSERT_EQ(camera.result, CAMERA_SUCCESS);
    ASSERT_EQ(camera.count, 1); // one camera link: index 1 is refused
    ASSERT_NE(camera->sensor, nullptr);
    EXPECT_STREQ(camera->sensor->name, "ZX0201");
    EXPECT_STREQ(camera->productName, "QRB (2.1.0)");
    EXPECT_TRUE(std::string(camera->transportName).ends_with("High Speed MIPI"))
        << camera->transportName;
    EXPECT_STREQ(camera->productSerialNumber, "QRB2000001-1421223012345");
    EXPECT_NE(printed.find("QRB2000001-1421223012345\n"), std::string::npos);
    EXPECT_EQ(camera->transportType, ZE_TRANSPORT_DLL);
    // The sensor's clock was set through the board script, and the revision-2 marker raised.
    EXPECT_EQ(clockRuns(board), std::vector<std::string>{"27000000"});
    EXPECT_EQ(gpioLine(board, 126), "1 out");
    // The device points at the sensor's bus address (write address 0x20).
    const auto log = board.busLog();
    EXPECT_TRUE(contains(log, "S_PROPERTY 0xFFF5 0x0010"));
    EXPECT_TRUE(contains(log, "G_REGISTER 0x0010 0x3000 0x0C54"));
}

TEST_F(CsiTransportOpen, ClosingReleasesTheDeviceAndItsLines)
{
    SimBoard board;
    {
        PluginCamera camera;
        ASSERT_EQ(camera.count, 1);
    }
    // Another open of the same board works at once: nothing was left held.
    PluginCamera again;
    EXPECT_EQ(again.result, CAMERA_SUCCESS);
    EXPECT_EQ(again.count, 1);
}

TEST_F(CsiTransportOpen, NoSensorPathOpensTheDeviceWithoutASensor)
{
    SimBoard board;
    PluginCamera camera("#CDAT");
    ASSERT_EQ(camera.result, CAMERA_SUCCESS);
    ASSERT_EQ(camera.count, 1);
    EXPECT_EQ(camera->sensor, nullptr);
    EXPECT_STREQ(camera->productName, "QRB (2.1.0)");
    // A grab delivers nothing and reports no failure.
    std::vector<uint8_t> buffer(64, 0x11);
    EXPECT_EQ(ze_grabFrame(camera.get(), buffer.data(), static_cast<uint32_t>(buffer.size())),
              CAMERA_SUCCESS);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0x11; }));
}

// Opening on a board described by @description is refused with @code, logging @message.
void expectRefused(const std::string &description, int code, const std::string &message)
{
    SimBoard board(description);
    LoggedErrors errors;
    PluginCamera camera;
    EXPECT_EQ(camera.result, code);
    EXPECT_EQ(camera.count, 0);
    EXPECT_TRUE(contains(errors.messages(), message));
}

TEST_F(CsiTransportOpen, AMissingSecondChannelNodeRefusesTheCamera)
{
    expectRefused("video_nodes = 0 1 2\n", CAMERA_ERROR, "Camera create failed!\n");
}

TEST_F(CsiTransportOpen, ASensorOffItsFileAddressIsNotIdentified)
{
    // The driver knows the sensor at 0x30; the only file with this chip says 0x10 (0x20).
    expectRefused("sensor_address = 0x30\n", SENSOR_DOES_NOT_MATCH, "No matching sdat");
}

TEST_F(CsiTransportOpen, AFailingClockScriptIsReported)
{
    SimBoard board("clock_script = fail\n");
    CaptureStdout();
    PluginCamera camera;
    const std::string printed = GetCapturedStdout();
    EXPECT_EQ(camera.result, CAMERA_SUCCESS);
    EXPECT_NE(printed.find("Python Command Failed\n"), std::string::npos);
    EXPECT_EQ(clockRuns(board), std::vector<std::string>{"27000000 FAILED"});
}

// Entry points called directly, as a plug-in loader would.
class CsiTransportEntryPoints : public CsiTransportOpen
{
protected:
    void SetUp() override
    {
        CsiTransportOpen::SetUp();
        library_ = ::dlopen(kPluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << ::dlerror();
    }
    void TearDown() override
    {
        if (library_ != nullptr)
            ::dlclose(library_);
    }
    template <class Function>
    Function *entry(const char *name)
    {
        return reinterpret_cast<Function *>(::dlsym(library_, name));
    }

    void *library_ = nullptr;
};

TEST_F(CsiTransportEntryPoints, ASecondCameraIsRefusedWithoutTouchingTheBoard)
{
    SimBoard board;
    auto *open = entry<int(ze_camera_t *, const char *, int)>("OpenCameraDLL");
    ASSERT_NE(open, nullptr);
    ze_camera_t camera;
    std::memset(&camera, 0, sizeof camera);
    EXPECT_EQ(open(&camera, "#CDAT", 1), CAMERA_ERROR);
    EXPECT_EQ(open(nullptr, "#CDAT", 0), CAMERA_ERROR);
    EXPECT_EQ(board.readFile("bus.log"), "");
    EXPECT_TRUE(clockRuns(board).empty());
}

TEST_F(CsiTransportEntryPoints, OnlyTheEntryPointsAreExported)
{
    for (const char *name :
         {"SetHelpersDLL", "OpenCameraDLL", "CloseCameraDLL", "StartTransportDLL",
          "StopTransportDLL", "GrabFrameDLL", "GetFrameDataDLL", "UpdateFrameSizeDLL",
          "UpdateBufferSizeDLL", "SetModeDLL", "GetModeDLL", "ReadRegisterDLL", "WriteRegisterDLL",
          "ReadRegistersDLL", "WriteRegistersDLL", "WriteSensorRegistersDLL"})
        EXPECT_NE(::dlsym(library_, name), nullptr) << name;
    for (const char *hidden : {"g_videoNum", "g_helper", "_Z13deviceContextP9ze_camera"})
        EXPECT_EQ(::dlsym(library_, hidden), nullptr) << hidden;
}

TEST_F(CsiTransportEntryPoints, CallsWithoutACameraContextFailCleanly)
{
    auto *grab = entry<int(ze_camera_t *, uint8_t *, uint32_t)>("GrabFrameDLL");
    auto *frameData = entry<int(ze_camera_t *, ze_frame_info_t *)>("GetFrameDataDLL");
    auto *read = entry<int(ze_camera_t *, uint32_t, uint32_t, uint32_t *)>("ReadRegisterDLL");
    auto *close = entry<int(ze_camera_t *)>("CloseCameraDLL");
    uint32_t value = 0;
    ze_frame_info_t info{};
    EXPECT_EQ(grab(nullptr, nullptr, 0), CAMERA_SUCCESS); // nothing to deliver
    EXPECT_EQ(frameData(nullptr, &info), CAMERA_ERROR);
    EXPECT_EQ(read(nullptr, 0x20, 0x3000, &value), CAMERA_ERROR);
    EXPECT_EQ(close(nullptr), CAMERA_SUCCESS);
}

} // namespace
