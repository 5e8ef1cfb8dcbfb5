// V4L2_Camera's control channel against the simulated board: traffic, results and messages.
#include "v4l2_camera.h"

#include "sim_board.h"

#include <gtest/gtest.h>
#include <linux/videodev2.h>

namespace {

using boardsim::testing::SimBoard;
using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

class V4L2CameraControl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
        ASSERT_TRUE(camera_.Create(0));
        board_.clearBusLog();
    }

    SimBoard board_;
    V4L2_Camera camera_{0};
};

class V4L2CameraCreate : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
    }
};

TEST_F(V4L2CameraCreate, ReadsVersionsAndAddressAndSetsSpeed)
{
    SimBoard fresh;
    V4L2_Camera camera(0);
    ASSERT_TRUE(camera.Create(2));
    EXPECT_EQ(camera.DevicePath(), "/dev/video2");
    EXPECT_STREQ(camera.Version().version, "jetpack_35_4_1_kernel_5_10_120_release_2_1_0");
    EXPECT_EQ(camera.I2CAddress(), 0x10);
    ASSERT_FALSE(fresh.busLog().empty());
    EXPECT_EQ(fresh.busLog().back(), "S_PROPERTY 0xFFF1 0x61A80");
}

TEST_F(V4L2CameraCreate, NeedsTheSecondChannelNode)
{
    SimBoard fresh("video_nodes = 0 1\n");
    V4L2_Camera camera(0);
    CaptureStderr();
    EXPECT_FALSE(camera.Create(0));
    EXPECT_EQ(GetCapturedStderr(),
              "Cannot open OSTRIX_DEVICE_HEADBOARD_LANE4_MVC: 2, No such file or directory\n");
    EXPECT_FALSE(camera.IsOpened());
    CaptureStderr();
    EXPECT_FALSE(camera.Create(4));
    EXPECT_EQ(GetCapturedStderr(), "Cannot identify '/dev/video4': 2, No such file or directory\n");
}

TEST_F(V4L2CameraControl, SetI2CAddressTakesTheWriteAddress)
{
    camera_.SetI2CAddress(0x20);
    EXPECT_EQ(camera_.I2CAddress(), 0x10);
    EXPECT_EQ(board_.busLog(), std::vector<std::string>{"S_PROPERTY 0xFFF5 0x0010"});
    camera_.SetI2CAddress(0x6C);
    EXPECT_EQ(camera_.I2CAddress(), 0x36);
    EXPECT_EQ(board_.driverState().at("i2c_address"), "0x36");
}

TEST_F(V4L2CameraControl, TableWithLeadingEndMarkerSendsTwoWrites)
{
    const reg_16 table[V4L2_Camera::kTableLength] = {{0xFFFF, 0}};
    CaptureStderr();
    EXPECT_EQ(camera_.config_driver_table(0xFF01, table), 0);
    EXPECT_EQ(GetCapturedStderr(), "Write to table id : 0xff01- initiated\n"
                                   "write to table id : 0xff01- success\n");
    const std::vector<std::string> expected = {"S_REGISTER 0x0010 0xFF01 0x0000 TABLE",
                                               "S_REGISTER 0x0010 0xFFFF 0x0000 TABLE"};
    EXPECT_EQ(board_.registerWrites(), expected);
}

TEST_F(V4L2CameraControl, RefusedTablesAndPropertiesSendNothing)
{
    const reg_16 table[V4L2_Camera::kTableLength] = {};
    CaptureStderr();
    EXPECT_LT(camera_.config_driver_table(0xFFFB, table), 0);
    EXPECT_LT(camera_.config_driver_table(0xFF02, nullptr), 0);
    EXPECT_LT(camera_.sensor_set_control(0xFFFD, table), 0);
    EXPECT_LT(camera_.sensor_set_control(0xFF02, nullptr), 0);
    EXPECT_LT(camera_.update_sensor_image_property(0xF005, 1), 0);
    EXPECT_LT(camera_.update_sensor_signal_property(0xF001, 1), 0);
    EXPECT_EQ(camera_.update_frame_format_property(0xF005, 1), 0);
    EXPECT_EQ(GetCapturedStderr(), "Table id : 0xFFFB not supported by driver \n"
                                   "Table id : 0xFF02 - invalida data \n"
                                   "Table id: 0xFFFD not supported by driver \n"
                                   "Table id: 0xFF02 - invalida data \n"
                                   "Table id: 0xFFF9 not support Property :0xF005\n"
                                   "Table id: 0xFFFA not support Property :0xF001\n"
                                   "Update format property[0xfffb] : 0xf005- success\n");
    EXPECT_EQ(board_.registerWrites().size(), 3u); // only the accepted frame format property
}

TEST_F(V4L2CameraControl, AbsentSensorReadsGiveRemoteIoErrorSilently)
{
    camera_.SetI2CAddress(0x40);
    CaptureStderr();
    EXPECT_EQ(camera_.i2c_read16(0x20, 0x3000), -121);
    EXPECT_EQ(camera_.ReadSensor16(0x3000), -121);
    EXPECT_EQ(camera_.ReadSensor8(uint16_t{0x3000}), -121);
    EXPECT_EQ(camera_.WriteSensor(uint16_t{0x3000}, uint32_t{1}), -121);
    EXPECT_EQ(camera_.ReadBurst(0x3000, 4, std::vector<uint8_t>(4).data()), 0u);
    EXPECT_EQ(GetCapturedStderr(), "");
}

TEST_F(V4L2CameraControl, OtherFailuresAreReportedAndReturned)
{
    V4L2_Camera closed(0);
    CaptureStderr();
    EXPECT_EQ(closed.i2c_read16(0x10, 0x3000), -EBADF);
    EXPECT_EQ(closed.i2c_write16(0x10, 0x3000, 1), -EBADF);
    EXPECT_EQ(closed.sensor_read_prop(0xFF76), 0u);
    EXPECT_EQ(closed.sensor_config_prop(0xFFF1, 1), -EBADF);
    EXPECT_EQ(closed.sensor_get_stride(), -EBADF);
    EXPECT_EQ(GetCapturedStderr(),
              "i2c_read16, VIDIOC_DBG_G_REGISTER error# 9, Bad file descriptor\n"
              "i2c_write16, VIDIOC_DBG_S_REGISTER error# 9, Bad file descriptor\n"
              "sensor_read_prop IDIOC_DBG_G_REGISTER error# 9, Bad file descriptor\n"
              "sensor_config_prop, VIDIOC_DBG_S_REGISTER error# 9, Bad file descriptor\n"
              "VIDIOC_G_EXT_CTRLS error# 9, Bad file descriptor\n");
}

TEST_F(V4L2CameraControl, SensorWritesAndReadsOfEveryWidth)
{
    EXPECT_EQ(camera_.WriteSensor(uint16_t{0x3010}, uint32_t{0x12345678}), 4);
    EXPECT_EQ(camera_.ReadSensor16(0x3010), 0x1234);
    EXPECT_EQ(camera_.ReadSensor16(0x3012), 0x5678);
    EXPECT_EQ(camera_.ReadSensor32(0x3010), 0x12345678);
    EXPECT_EQ(camera_.WriteSensor(uint16_t{0x3020}, uint16_t{0xABCD}), 2);
    EXPECT_EQ(camera_.ReadSensor8(uint16_t{0x3021}), 0xCD);
    EXPECT_EQ(camera_.WriteSensor(uint16_t{0x3030}, uint8_t{0x5A}), 3);
    EXPECT_EQ(camera_.ReadSensor16(0x3030), 0x5A00);
    EXPECT_EQ(camera_.WriteSensor(uint8_t{0x40}, uint8_t{0xA5}), 2);
    EXPECT_EQ(camera_.ReadSensor8(uint8_t{0x40}), 0xA5);
    const auto log = board_.busLog();
    EXPECT_EQ(log[0], "S_REGISTER 0x0010 0x3010 0x1234");
    EXPECT_EQ(log[1], "S_REGISTER 0x0010 0x3012 0x5678");

    uint8_t burst[4] = {};
    EXPECT_EQ(camera_.ReadBurst(0x3010, 4, burst), 4u);
    EXPECT_EQ(burst[0], 0x12);
    EXPECT_EQ(burst[3], 0x78);
    EXPECT_EQ(board_.busLog().back(), "G_BUFFER 0x0010 size=2 0x3010 12 34 56 78");
}

TEST_F(V4L2CameraControl, DriverSettersWriteTheirGroups)
{
    CaptureStderr();
    camera_.SetCSIFrameSize(1280, 720);
    camera_.SetLineLength(1800);
    camera_.SetPixelClock(60000000);
    camera_.SetImageType(V4L2_PIX_FMT_SGRBG8);
    GetCapturedStderr();
    const auto state = board_.driverState();
    EXPECT_EQ(state.at("frame_format"), "1280 720 0 0 0 0");
    EXPECT_EQ(state.at("image"), "0 0 1800 " + std::to_string(V4L2_PIX_FMT_SGRBG8) + " 0");
    EXPECT_EQ(state.at("signal.0xF003"), "60000000");
    EXPECT_EQ(camera_.GetLineLength(), 1800u);
    EXPECT_EQ(camera_.GetPixelClock(), 60000000u);
    EXPECT_EQ(camera_.BytesPerPixel(), 1);
    CaptureStderr();
    camera_.SetImageType(V4L2_PIX_FMT_SGRBG10);
    GetCapturedStderr();
    EXPECT_EQ(camera_.BytesPerPixel(), 2);
}

TEST_F(V4L2CameraControl, DefaultConfigurationDescribesTheSensorMode)
{
    CaptureStderr();
    camera_.sensor_configuration();
    const std::string messages = GetCapturedStderr();
    const auto state = board_.driverState();
    EXPECT_EQ(state.at("frame_format"), "1920 1200 30 1 1 0");
    EXPECT_EQ(state.at("image"), "0 0 0 " + std::to_string(V4L2_PIX_FMT_SGRBG12) + " 0");
    EXPECT_EQ(state.at("signal.0xF009"), "1");
    EXPECT_EQ(state.at("signal.0xF00A"), "1");
    EXPECT_NE(messages.find("Update sensor signal property[0xf00a] : 0xfffa- success\n"),
              std::string::npos);
}

TEST_F(V4L2CameraControl, ControlTablesAndStrideGoThroughExtendedControls)
{
    const reg_16 table[V4L2_Camera::kTableLength] = {{0x3012, 0x0444}, {0xFFFF, 0}};
    CaptureStderr();
    EXPECT_EQ(camera_.sensor_set_control(0xFF05, table), 0);
    EXPECT_EQ(camera_.sensor_set_stride(0x10000 | 3072), 0);
    EXPECT_EQ(GetCapturedStderr(), "Write to table id : 0xff05- initiated\n"
                                   "write to table id : 0xff05- success\n"
                                   "apply camera control property : 0x9a2009 - success\n"
                                   "apply preferred stride property[0x9a206e] = 3072 - success\n");
    EXPECT_EQ(camera_.ReadSensor16(0x3012), 0x0444);
    EXPECT_EQ(camera_.sensor_get_stride(), 3072);
}

TEST_F(V4L2CameraControl, DriverRestartSendsStopThenStartTables)
{
    CaptureStderr();
    camera_.RestartDriver();
    GetCapturedStderr();
    const std::vector<std::string> expected = {
        "S_REGISTER 0x0010 0xFFFC 0x0000 TABLE", "S_REGISTER 0x0010 0xFFFF 0x0000 TABLE",
        "S_REGISTER 0x0010 0xFFFD 0x0000 TABLE", "S_REGISTER 0x0010 0xFFFF 0x0000 TABLE"};
    EXPECT_EQ(board_.registerWrites(), expected);
}

TEST_F(V4L2CameraControl, ResetSensorHoldsTheSensorAndMarksTheDevice)
{
    camera_.ResetSensor(1);
    EXPECT_TRUE(camera_.NeedsReinit());
    EXPECT_EQ(board_.driverState().at("reset_line"), "0");
    EXPECT_EQ(camera_.ReadSensor16(0x3000), -121);
    camera_.ResetSensor(0);
    EXPECT_EQ(board_.driverState().at("reset_line"), "1");
    EXPECT_EQ(camera_.ReadSensor16(0x3000), 0x0C54);

    CaptureStderr();
    camera_.sensor_gpio_reset(0, 0);
    EXPECT_EQ(GetCapturedStderr(), "sensor reset - start\nsensor reset - done\n");
}

TEST_F(V4L2CameraControl, SetI2CSpeedStoresAndWritesTheSpeed)
{
    camera_.SetI2CSpeed(1000000);
    EXPECT_EQ(camera_.I2CSpeed(), 1000000u);
    EXPECT_EQ(board_.driverState().at("i2c_speed"), "1000000");
}

} // namespace
