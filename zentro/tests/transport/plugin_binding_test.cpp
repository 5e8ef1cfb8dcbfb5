// Binding a plug-in's entry points: what the library calls, what stands in for what is
// missing, and the plug-ins it refuses to load.
#include <cstdlib>
#include <unistd.h>

#include <vector>

#include <gtest/gtest.h>

#include "camera/context.h"
#include "camera/camera_test_support.h"
#include "transport/plugin_record.h"
#include "transport/plugin_test_support.h"

namespace {

using zentro::test::isLoaded;
using zentro::test::LogCapture;
using zentro::test::PluginCameras;
using zentro::test::PluginTrace;
using zentro::test::TempDir;
namespace plugin = zentro::test::plugin;

using Lines = std::vector<std::string>;

constexpr uint32_t kBus = 0x20;

// ---- A plug-in with only the required entry points ----

class RequiredOnlyPlugin : public testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(cameras_.size(), 1u) << cameras_.result; }
    ze_camera_t *camera() { return cameras_[0]; }

    PluginTrace trace_;
    PluginCameras cameras_{plugin::required};
};

TEST_F(RequiredOnlyPlugin, OpensOneCameraRecordedAsAPluginCamera)
{
    EXPECT_EQ(cameras_.result, CAMERA_SUCCESS);
    EXPECT_EQ(camera()->transportType, ZE_TRANSPORT_DLL);
    EXPECT_STREQ(camera()->productName, "required camera 0");
    EXPECT_EQ(ze_GetDriverInfoString(camera()), "Transport DLL: " + plugin::required);
    EXPECT_EQ(DLL_Transport_DllName(camera()), plugin::required);
    // Without "SetHelpersDLL" the open entry point is the first call; the second index is
    // refused, and nothing else is called.
    EXPECT_EQ(trace_.lines(), (Lines{"OpenCameraDLL index 0 path /nowhere",
                                     "OpenCameraDLL index 1 path /nowhere"}));
}

TEST_F(RequiredOnlyPlugin, StartAndStopReachThePlugin)
{
    trace_.clear();
    EXPECT_EQ(ze_startTransport(camera()), CAMERA_SUCCESS);
    EXPECT_EQ(ze_stopTransport(camera()), CAMERA_SUCCESS);
    EXPECT_EQ(trace_.lines(), (Lines{"StartTransportDLL device -1", "StopTransportDLL device -1"}));
}

TEST_F(RequiredOnlyPlugin, RegisterReadsAnswerZerosAndWritesAreAccepted)
{
    uint32_t values[3] = {7, 7, 7};
    EXPECT_EQ(ze_readRegisters(camera(), kBus, 0x10, 3, values), CAMERA_SUCCESS);
    EXPECT_EQ(std::vector<uint32_t>(values, values + 3), (std::vector<uint32_t>{0, 0, 0}));
    uint32_t value = 7;
    EXPECT_EQ(ze_readRegister(camera(), kBus, 0x10, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(ze_writeRegister(camera(), kBus, 0x10, 5), CAMERA_SUCCESS);
    EXPECT_EQ(ze_writeRegisters(camera(), kBus, 0x10, 3, values), CAMERA_SUCCESS);
}

TEST_F(RequiredOnlyPlugin, GrabsFailWithGrabFrameError)
{
    std::vector<uint8_t> buffer(64, 0xEE);
    EXPECT_EQ(ze_grabFrame(camera(), buffer.data(), uint32_t(buffer.size())), GRAB_FRAME_ERROR);
    EXPECT_EQ(buffer, std::vector<uint8_t>(64, 0xEE));
}

TEST_F(RequiredOnlyPlugin, ModesUseTheLibrarysOwnSetterAndGetter)
{
    ASSERT_EQ(ze_setMode(camera(), ZE_BITS_PER_CLOCK, 12), CAMERA_SUCCESS);
    uint32_t value = 0;
    ASSERT_EQ(ze_getMode(camera(), ZE_BITS_PER_CLOCK, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 12u);
    // The library's getter answers the context item the plug-in would read.
    uint32_t item = 0;
    ASSERT_EQ(_GetContext(camera(), ZE_CONTEXT_BITS_PER_CLOCK, &item), CAMERA_SUCCESS);
    EXPECT_EQ(item, 12u);
}

TEST_F(RequiredOnlyPlugin, OperationsWithoutADefaultAreNotSupported)
{
    ze_frame_info_t frame{};
    EXPECT_EQ(ze_getFrameData(camera(), &frame), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(ze_initTransport(camera(), 1, 2, 3, 4, 5), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(ze_sendCommand(camera(), 0, 0, 0, 0, 0, 0, 0), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(ze_sendCommand(camera(), 1, 2, 3, 4, 5, 6, 7), CAMERA_NOT_SUPPORTED);
    uint32_t values[2] = {};
    EXPECT_EQ(ze_readSystemRegisters(camera(), 1, 2, 0x10, 0, 2, values), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(ze_writeSystemRegisters(camera(), 1, 2, 0x10, 0, 2, values), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(ze_updateBufferSize(camera(), 1000, 0, 0), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(camera()->context->ops.iniFileCommand, nullptr);
    EXPECT_EQ(camera()->context->ops.sendAcmp0Message, nullptr);
}

TEST_F(RequiredOnlyPlugin, FrameSizeUpdatesUseTheLibrarysDefault)
{
    TempDir dir;
    ASSERT_EQ(ze_ParseSensorFile(camera(), zentro::test::writeSmallSensor(dir).c_str(), nullptr),
              PARSE_SUCCESS);
    camera()->sensor->imageType = ZE_IMAGE_YUV420;
    ASSERT_EQ(ze_updateFrameSize(camera(), 640, 480, 0, 0), CAMERA_SUCCESS);
    // The default update's 4:2:0 rule: width x height x 3 / 2.
    EXPECT_EQ(camera()->sensor->imageBytes, 460800u);
}

TEST_F(RequiredOnlyPlugin, WithoutADeviceNameTheLocksStayUnnamed)
{
    EXPECT_STREQ(camera()->context->regLockName, "");
    EXPECT_STREQ(camera()->context->grabLockName, "");
    ASSERT_NE(camera()->context->regLock, nullptr);
}

// ---- Register access one register or many at a time ----

TEST(PluginRegisters, ASingleRegisterPluginServesMultipleReadsRegisterByRegister)
{
    PluginTrace trace;
    PluginCameras cameras(plugin::single);
    ASSERT_EQ(cameras.size(), 2u);
    trace.clear();
    uint32_t values[3] = {};
    ASSERT_EQ(ze_readRegisters(cameras[0], kBus, 0x10, 3, values), CAMERA_SUCCESS);
    EXPECT_EQ(std::vector<uint32_t>(values, values + 3),
              (std::vector<uint32_t>{0xA010, 0xA011, 0xA012}));
    uint32_t written[2] = {0x55, 0x66};
    ASSERT_EQ(ze_writeRegisters(cameras[0], kBus, 0x20, 2, written), CAMERA_SUCCESS);
    EXPECT_EQ(trace.lines(), (Lines{
                                 "ReadRegisterDLL bus 0x20 at 0x10 addr 8 data 16",
                                 "ReadRegisterDLL bus 0x20 at 0x11 addr 8 data 16",
                                 "ReadRegisterDLL bus 0x20 at 0x12 addr 8 data 16",
                                 "WriteRegisterDLL bus 0x20 at 0x20 value 0x55 addr 8 data 16",
                                 "WriteRegisterDLL bus 0x20 at 0x21 value 0x66 addr 8 data 16",
                             }));
    uint32_t value = 0;
    ASSERT_EQ(ze_readRegister(cameras[1], kBus, 0x21, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x66u);
}

TEST(PluginRegisters, AMultiRegisterPluginServesSingleReadsWithCountOne)
{
    PluginTrace trace;
    PluginCameras cameras(plugin::multi);
    ASSERT_EQ(cameras.size(), 3u);
    trace.clear();
    uint32_t value = 0;
    ASSERT_EQ(ze_readRegister(cameras[0], kBus, 0x30, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0xA030u);
    ASSERT_EQ(ze_writeRegister(cameras[0], kBus, 0x30, 0x77), CAMERA_SUCCESS);
    uint32_t values[4] = {};
    ASSERT_EQ(ze_readRegisters(cameras[0], kBus, 0x2F, 4, values), CAMERA_SUCCESS);
    EXPECT_EQ(std::vector<uint32_t>(values, values + 4),
              (std::vector<uint32_t>{0xA02F, 0x77, 0xA031, 0xA032}));
    EXPECT_EQ(trace.lines(), (Lines{
                                 "ReadRegistersDLL bus 0x20 at 0x30 count 1 addr 8 data 16",
                                 "WriteRegistersDLL bus 0x20 at 0x30 count 1 addr 8 data 16",
                                 "ReadRegistersDLL bus 0x20 at 0x2F count 4 addr 8 data 16",
                             }));
}

TEST(PluginRegisters, SensorRegistersGoThroughTheDefaultWithTheSensorsWidths)
{
    TempDir dir;
    PluginTrace trace;
    PluginCameras cameras(plugin::multi);
    ASSERT_EQ(cameras.size(), 3u);
    ASSERT_EQ(ze_ParseSensorFile(cameras[0], zentro::test::writeSmallSensor(dir).c_str(), nullptr),
              PARSE_SUCCESS);
    trace.clear();
    // GAIN and EXPOSURE: 16-bit registers at 0x3000 and 0x3002 of the sensor at 0x20.
    uint32_t values[2] = {};
    ASSERT_EQ(ze_readSensorRegisters(cameras[0], 0, 0x3000, 2, values), CAMERA_SUCCESS);
    EXPECT_EQ(trace.lines("ReadRegistersDLL"),
              (Lines{"ReadRegistersDLL bus 0x20 at 0x3000 count 2 addr 16 data 16"}));
    EXPECT_EQ(values[0], 0xA000u + (0x3000 % 256));
}

// ---- A plug-in with every entry point ----

class FullPlugin : public testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(cameras_.size(), 1u) << cameras_.result; }
    ze_camera_t *camera() { return cameras_[0]; }

    PluginTrace trace_;
    PluginCameras cameras_{plugin::full};
};

TEST_F(FullPlugin, HelpersComeFirstThenTheOpenOfEachIndex)
{
    const Lines lines = trace_.lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("SetHelpersDLL ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "OpenCameraDLL index 0 path /nowhere");
    EXPECT_EQ(trace_.lines("SetHelpersDLL").size(), 2u) << "once per camera, refused one too";
    EXPECT_EQ(trace_.lines("OpenCameraDLL"), (Lines{"OpenCameraDLL index 0 path /nowhere",
                                                    "OpenCameraDLL index 1 path /nowhere"}));
}

TEST_F(FullPlugin, EachEntryPointIsReachedWithItsArguments)
{
    trace_.clear();
    uint32_t values[2] = {0x11, 0x22};
    EXPECT_EQ(ze_sendCommand(camera(), 0, 0, 0, 0, 0, 0, 0), CAMERA_SUCCESS);
    EXPECT_EQ(ze_sendCommand(camera(), 1, 2, 3, 4, 5, 6, 7), CAMERA_SUCCESS);
    EXPECT_EQ(ze_writeSystemRegisters(camera(), 1, 2, 0x40, 9, 2, values), CAMERA_SUCCESS);
    EXPECT_EQ(ze_readSystemRegisters(camera(), 1, 2, 0x40, 9, 2, values), CAMERA_SUCCESS);
    EXPECT_EQ(ze_writeSensorRegisters(camera(), 3, 0x50, 2, values), CAMERA_SUCCESS);
    EXPECT_EQ(ze_initTransport(camera(), 1, 2, 3, 4, 5), CAMERA_SUCCESS);
    EXPECT_EQ(ze_updateBufferSize(camera(), 4096, 8, 9), CAMERA_SUCCESS);
    EXPECT_EQ(ze_updateFrameSize(camera(), 640, 480, 10, 1), CAMERA_SUCCESS);
    ze_frame_info_t frame{};
    EXPECT_EQ(ze_getFrameData(camera(), &frame), CAMERA_SUCCESS);
    EXPECT_EQ(frame.frameNumber, 7u);
    EXPECT_EQ(frame.imageBytesReturned, 1234u);
    EXPECT_EQ(camera()->context->ops.iniFileCommand(camera(), "LED", "ON"), 260u);
    EXPECT_EQ(trace_.lines(), (Lines{
                                  "SendCommandDLL 1 2 3 4 5 6 7",
                                  "WriteSystemRegistersDLL 1 2 at 0x40 extra 9 count 2",
                                  "ReadSystemRegistersDLL 1 2 at 0x40 extra 9 count 2",
                                  "WriteSensorRegistersDLL space 3 at 0x50 count 2",
                                  "InitTransportDLL 1 2 3 4 5",
                                  "UpdateBufferSizeDLL size 4096 8 9",
                                  "UpdateFrameSizeDLL 640 x 480 bpc 10 cpp 1",
                                  "GetFrameDataDLL frame 7",
                                  "IniFileCommandDLL LED = ON",
                              }));
}

TEST_F(FullPlugin, GrabsFillTheCallersBuffer)
{
    trace_.clear();
    std::vector<uint8_t> buffer(32, 0);
    ASSERT_EQ(ze_grabFrame(camera(), buffer.data(), uint32_t(buffer.size())), CAMERA_SUCCESS);
    EXPECT_EQ(buffer, std::vector<uint8_t>(32, 0x5A));
    EXPECT_EQ(trace_.lines(), (Lines{"GrabFrameDLL size 32"}));
}

TEST_F(FullPlugin, ModesGoToThePlugin)
{
    trace_.clear();
    ASSERT_EQ(ze_setMode(camera(), ZE_BITS_PER_CLOCK, 10), CAMERA_SUCCESS);
    uint32_t value = 0;
    ASSERT_EQ(ze_getMode(camera(), ZE_BITS_PER_CLOCK, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 10u);
    const std::string mode = std::to_string(ZE_BITS_PER_CLOCK);
    EXPECT_EQ(trace_.lines(),
              (Lines{"SetModeDLL mode " + mode + " value 10", "GetModeDLL mode " + mode}));
}

TEST_F(FullPlugin, TheDeviceNameNamesTheLocks)
{
    EXPECT_STREQ(camera()->context->regLockName, "mutex_test_cam_0_1");
    EXPECT_STREQ(camera()->context->grabLockName, "mutexgrab_test_cam_0_1");
    EXPECT_STREQ(camera()->context->sharedName, "context_test_cam_0_1");
}

TEST_F(FullPlugin, TheDeviceContextIsKeptForThePlugin)
{
    trace_.clear();
    ASSERT_EQ(ze_startTransport(camera()), CAMERA_SUCCESS);
    EXPECT_EQ(trace_.lines(), (Lines{"StartTransportDLL device 0"}));
}

TEST_F(FullPlugin, EntryPointsTheLibraryNeverCallsAreKeptButNotCalled)
{
    const zentro::PluginRecord *record = zentro::pluginRecord(camera());
    ASSERT_NE(record, nullptr);
    EXPECT_NE(record->regControl, nullptr);
    EXPECT_NE(record->playCapable, nullptr);
    EXPECT_NE(record->isViewfinder, nullptr);
    const ze_transport_ops &ops = camera()->context->ops;
    EXPECT_NE(ops.setNotifyCallback, nullptr);
    EXPECT_NE(ops.enableDeviceNotification, nullptr);
    EXPECT_NE(ops.matchDevChangeMsg, nullptr);
    EXPECT_NE(ops.disableDeviceNotification, nullptr);
    EXPECT_NE(ops.sendAcmp0Message, nullptr);
    cameras_.closeAll();
    for (const char *entry :
         {"RegControlDLL", "PlayCapableDLL", "IsViewfinderDLL", "SetNotifyCallbackDLL",
          "EnableDeviceNotificationDLL", "MatchDevChangeMsgDLL", "DisableDeviceNotificationDLL"})
        EXPECT_TRUE(trace_.lines(entry).empty()) << entry;
}

TEST_F(FullPlugin, CloseCallsThePluginWithTheCameraThenUnloadsIt)
{
    const ze_camera_t *closed = camera();
    trace_.clear();
    cameras_.closeAll();
    EXPECT_EQ(trace_.linesOf("CloseCameraDLL", closed), (Lines{"CloseCameraDLL device 0"}));
    EXPECT_FALSE(isLoaded(plugin::full));
}

TEST(PluginOpenEntry, InitCamera2StandsInForOpenCamera)
{
    PluginTrace trace;
    PluginCameras cameras(plugin::initCamera2);
    ASSERT_EQ(cameras.size(), 1u);
    EXPECT_EQ(trace.lines("InitCamera2DLL"), (Lines{"InitCamera2DLL index 0 path /nowhere",
                                                    "InitCamera2DLL index 1 path /nowhere"}));
}

// ---- Plug-ins the library refuses ----

class RefusedPlugin : public testing::Test
{
protected:
    // Opens @path as the only plug-in and expects nothing to open.
    void expectRefused(const std::string &path, int result = CAMERA_ERROR)
    {
        PluginCameras cameras(path);
        EXPECT_EQ(cameras.result, result);
        EXPECT_EQ(cameras.size(), 0u);
        EXPECT_FALSE(isLoaded(path));
    }

    LogCapture log_;
    PluginTrace trace_;
    TempDir dir_;
};

TEST_F(RefusedPlugin, WithoutStopTransportItIsNotOpened)
{
    expectRefused(plugin::noStop);
    EXPECT_EQ(log_.messages(), (Lines{"osal_GetProcAddress failed for StopTransportDLL",
                                      "DLL_Transport_OpenCameras failed on specific file"}));
    EXPECT_TRUE(trace_.calls().empty()) << "neither its helpers nor its open were called";
}

TEST_F(RefusedPlugin, WithoutStartTransportItIsNotOpened)
{
    expectRefused(plugin::noStart);
    EXPECT_EQ(log_.messages(), (Lines{"osal_GetProcAddress failed for StartTransportDLL",
                                      "DLL_Transport_OpenCameras failed on specific file"}));
    EXPECT_TRUE(trace_.calls().empty());
}

TEST_F(RefusedPlugin, WithoutAnOpenEntryPointItIsNoPlugin)
{
    expectRefused(plugin::noOpen);
    EXPECT_EQ(log_.messages(), (Lines{"DLL_Transport_OpenCameras failed on specific file"}));
    EXPECT_TRUE(trace_.calls().empty());
}

TEST_F(RefusedPlugin, ARefusedFirstCameraGivesThePluginsCode)
{
    expectRefused(plugin::refusing, CAMERA_TIMEOUT);
    // The plug-in's own line through the helper table, then the library's.
    ASSERT_EQ(log_.lines().size(), 2u);
    EXPECT_EQ(log_.lines()[0].code, CAMERA_TIMEOUT);
    EXPECT_EQ(log_.lines()[0].message, "No such camera on the test board");
    EXPECT_EQ(log_.lines()[0].function, "OpenCameraDLL");
    EXPECT_EQ(log_.lines()[1].code, CAMERA_TIMEOUT);
    EXPECT_EQ(log_.lines()[1].message, "DLL_Transport_OpenCameras failed on specific file");
    EXPECT_TRUE(trace_.lines("CloseCameraDLL").empty()) << "a refused camera is not closed";
}

TEST_F(RefusedPlugin, AFileThatIsNoSharedObjectIsNotLoaded)
{
    const std::string path = dir_.file("notes.so");
    zentro::test::writeFile(path, "This is a text file, not a plug-in.\n");
    expectRefused(path);
    const Lines messages = log_.messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], "LoadLibrary(" + path + ") failed. Unable to load transport DLL.");
    EXPECT_NE(messages[1].find("Dynamic loader: " + path), std::string::npos) << messages[1];
    EXPECT_EQ(messages[2], "DLL_Transport_OpenCameras failed on specific file");
}

TEST_F(RefusedPlugin, AnUnresolvedDataObjectStopsTheLoad)
{
    expectRefused(plugin::missingObject);
    EXPECT_TRUE(log_.contains("LoadLibrary(" + plugin::missingObject + ") failed."));
    EXPECT_TRUE(log_.contains("undefined symbol: zentro_test_missing_object"));
    EXPECT_TRUE(trace_.calls().empty());
}

TEST_F(RefusedPlugin, AMissingFileIsReported)
{
    const std::string path = dir_.file("absent.so");
    expectRefused(path);
    EXPECT_EQ(log_.messages(), (Lines{"Transport DLL `" + path + "` does not exist"}));
}

// An unresolved function is bound at its first call (lazy binding): the plug-in loads and
// serves everything else; the call itself ends the process in the dynamic loader, which is
// the plug-in's fault and outside the library's reach.
TEST(UnresolvedFunctionPlugin, LoadsAndServesUntilTheMissingFunctionIsCalled)
{
    PluginTrace trace;
    PluginCameras cameras(plugin::missingFunction);
    ASSERT_EQ(cameras.size(), 1u) << cameras.result;
    EXPECT_EQ(ze_startTransport(cameras[0]), CAMERA_SUCCESS);
    EXPECT_EQ(ze_stopTransport(cameras[0]), CAMERA_SUCCESS);
    EXPECT_EQ(trace.lines("StartTransportDLL"), (Lines{"StartTransportDLL device 0"}));
}

TEST(UnresolvedFunctionPluginDeathTest, CallingTheMissingFunctionEndsInTheDynamicLoader)
{
    // The child runs the test again from the start, unless the program runs under an emulator
    // that cannot execute it again by itself (a cross-built test run).
    GTEST_FLAG_SET(death_test_style, std::getenv("ZENTRO_TEST_EMULATED") ? "fast" : "threadsafe");
    EXPECT_EXIT(
        {
            PluginCameras cameras(plugin::missingFunction);
            uint8_t buffer[16];
            if (cameras.size() == 1)
                ze_grabFrame(cameras[0], buffer, sizeof(buffer));
            _exit(0);
        },
        testing::ExitedWithCode(127), "undefined symbol: zentro_test_missing_function");
}

} // namespace
