// The procedural control channel against the simulated board: traffic, messages, failures.
#include "driver_control.h"

#include "sim_board.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using boardsim::testing::SimBoard;
using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

constexpr uint8_t kSensor = 0x10;

class DriverControl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
        dev_name = "/dev/video0";
        fd = ::open(dev_name, O_RDWR | O_NONBLOCK);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        board_.clearBusLog();
    }
    void TearDown() override
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

    SimBoard board_;
};

TEST_F(DriverControl, SixteenBitRegistersReadBackWhatWasWritten)
{
    EXPECT_EQ(i2c_read16(kSensor, 0x3000), 0x0C54);
    EXPECT_EQ(i2c_write16(kSensor, 0x3012, 0x0456), 0);
    EXPECT_EQ(i2c_read16(kSensor, 0x3012), 0x0456);
    EXPECT_EQ(board_.busLog().front(), "G_REGISTER 0x0010 0x3000 0x0C54");
}

TEST_F(DriverControl, AbsentDeviceIsReportedAndTheCallReturns)
{
    CaptureStderr();
    EXPECT_EQ(i2c_read16(0x20, 0x3000), 0);
    EXPECT_EQ(i2c_write16(0x20, 0x3000, 1), -1);
    uint8_t buffer[4] = {0x30, 0x00};
    EXPECT_EQ(i2c_read(0x20, 2, buffer), 0);
    EXPECT_EQ(GetCapturedStderr(), "I2C device is not connected to the bus\n"
                                   "I2C device is not connected to the bus\n"
                                   "I2C device is not connected to the bus\n");
}

TEST_F(DriverControl, OtherFailuresEndTheProcessNamingTheRequest)
{
    ::close(fd);
    fd = 99;
    EXPECT_EXIT(i2c_read16(kSensor, 0x3000), ::testing::ExitedWithCode(1),
                "^VIDIOC_DBG_G_REGISTER error 9, Bad file descriptor\n$");
    EXPECT_EXIT(sensor_config_prop(0xFFF1, 1), ::testing::ExitedWithCode(1),
                "^VIDIOC_DBG_S_REGISTER error 9, Bad file descriptor\n$");
    EXPECT_EXIT(sensor_set_stride(64), ::testing::ExitedWithCode(1),
                "VIDIOC_S_EXT_CTRLS error 9, Bad file descriptor\n$");
    fd = -1;
}

TEST_F(DriverControl, BufferedTransfersCarryAddressAndData)
{
    uint8_t out[] = {0x30, 0x12, 0xCA, 0xFE};
    EXPECT_EQ(i2c_write(kSensor, sizeof out, out), 0);
    EXPECT_EQ(i2c_read16(kSensor, 0x3012), 0xCAFE);
    uint8_t in[4] = {0x30, 0x12};
    EXPECT_EQ(i2c_read(kSensor, 2, in), 2);
    EXPECT_EQ(in[0], 0xCA);
    EXPECT_EQ(in[1], 0xFE);
}

TEST_F(DriverControl, VersionTextListsTheNineNumbers)
{
    qrb_kernel_version v{};
    EXPECT_STREQ(get_version(&v), "jetpack_35_4_1_kernel_5_10_120_release_2_1_0");
    EXPECT_EQ(v.kernel_patch, 120);
    EXPECT_EQ(v.release_major, 2);
}

TEST_F(DriverControl, TableWithLeadingEndMarkerSendsAllSixteenWrites)
{
    reg_16 table[16] = {{0xFFFF, 0}};
    CaptureStderr();
    EXPECT_EQ(config_driver_table(0xFFFC, table), 0);
    EXPECT_EQ(GetCapturedStderr(), "Write to table id : 0xfffc- initiated\n"
                                   "write to table id : 0xfffc- success\n");
    const auto writes = board_.registerWrites();
    ASSERT_EQ(writes.size(), 16u);
    EXPECT_EQ(writes[0], "S_REGISTER 0x0010 0xFFFC 0x0000 TABLE");
    EXPECT_EQ(writes[1], "S_REGISTER 0x0010 0xFFFF 0x0000 TABLE");
    EXPECT_EQ(writes[15], "S_REGISTER 0x0010 0x0000 0x0000 TABLE");
    // The table address is asked of the driver before the table.
    EXPECT_EQ(board_.busLog().front(), "G_PROPERTY 0xFF76 0x0010");
}

TEST_F(DriverControl, TableGoesToTheDriversCurrentAddress)
{
    ASSERT_EQ(sensor_config_prop(0xFFF5, 0x36), 0);
    reg_16 table[16] = {{0x3012, 0x0100}, {0xFFFF, 0}};
    CaptureStderr();
    EXPECT_EQ(config_driver_table(0xFF02, table), 0);
    GetCapturedStderr();
    const auto writes = board_.registerWrites();
    ASSERT_EQ(writes.size(), 16u);
    EXPECT_EQ(writes[1], "S_REGISTER 0x0036 0x3012 0x0100 TABLE");
    EXPECT_EQ(board_.driverState().at("table.0xFF02"), "0x3012:0x0100");
}

TEST_F(DriverControl, UnsupportedTableOrMissingDataEndsTheProcess)
{
    reg_16 table[16] = {};
    EXPECT_EXIT(config_driver_table(0xFF06, table), ::testing::ExitedWithCode(1),
                "^Table id : 0xff06 not supported by driver \n$");
    EXPECT_EXIT(config_driver_table(0xFFFB, table), ::testing::ExitedWithCode(1),
                "^Table id : 0xfffb not supported by driver \n$");
    EXPECT_EXIT(config_driver_table(0xFF01, nullptr), ::testing::ExitedWithCode(1),
                "^Table id : 0xff01 - invalida data \n$");
    EXPECT_EXIT(sensor_set_control(0xFFFC, table), ::testing::ExitedWithCode(1),
                "^Table id : 0xfffc not supported by driver \n$");
}

TEST_F(DriverControl, FrameFormatPropertyIsAThreeWriteTable)
{
    CaptureStderr();
    EXPECT_EQ(update_frame_format_property(0xF005, 3), 0);
    EXPECT_EQ(GetCapturedStderr(), "Update format property[0xfffb] : 0xf005- initiated\n"
                                   "Update format property[0xfffb] : 0xf005- success\n");
    const std::vector<std::string> expected = {"S_REGISTER 0x0010 0xFFFB 0x0000 TABLE",
                                               "S_REGISTER 0x0010 0xF005 0x0003 TABLE",
                                               "S_REGISTER 0x0010 0xFFFF 0x0000 TABLE"};
    EXPECT_EQ(board_.registerWrites(), expected);
    EXPECT_EQ(board_.driverState().at("frame_format"), "0 0 0 0 0 3");
}

TEST_F(DriverControl, ImageAndSignalPropertiesAreGroupWrites)
{
    CaptureStderr();
    EXPECT_EQ(update_sensor_image_property(0xF002, 2500), 0);
    EXPECT_EQ(update_sensor_signal_property(0xF003, 80000000), 0);
    EXPECT_EQ(GetCapturedStderr(), "Update sensor image property[0xf002] : 0xfff9- initiated\n"
                                   "Update sensor image property[0xf002] : 0xfff9- success\n"
                                   "Update sensor signal property[0xf003] : 0xfffa- initiated\n"
                                   "Update signal image property[0xf003] : 0xfffa- success\n");
    EXPECT_EQ(sensor_read_prop(0xFF6F), 2500u);
    EXPECT_EQ(sensor_read_prop(0xFF71), 80000000u);
}

TEST_F(DriverControl, PropertyOutsideItsGroupEndsTheProcess)
{
    EXPECT_EXIT(update_sensor_image_property(0xF005, 1), ::testing::ExitedWithCode(1),
                "^Table id : 0xfff9 not support Property :0xf005  \n$");
    EXPECT_EXIT(update_sensor_signal_property(0xF004, 1), ::testing::ExitedWithCode(1),
                "^Table id : 0xfffa not support Property :0xf004  \n$");
    EXPECT_EXIT(update_frame_format_property(0xF006, 1), ::testing::ExitedWithCode(1),
                "^Table id : 0xfffb not support Property :0xf006  \n$");
}

TEST_F(DriverControl, ControlTableIsWrittenThenApplied)
{
    reg_16 table[16] = {{0x3012, 0x0321}, {0xFFFF, 0}};
    CaptureStderr();
    EXPECT_EQ(sensor_set_control(0xFF03, table), 0);
    EXPECT_EQ(GetCapturedStderr(), "apply camera control property : 0x9a200b - initiated\n"
                                   "Write to table id : 0xff03- initiated\n"
                                   "write to table id : 0xff03- success\n"
                                   "apply camera control property : 0x9a200b - success\n");
    EXPECT_EQ(i2c_read16(kSensor, 0x3012), 0x0321);
    EXPECT_EQ(board_.driverState().at("control.0x9A200B"), "1");
}

TEST_F(DriverControl, StrideIsSetThroughItsControl)
{
    CaptureStderr();
    EXPECT_EQ(sensor_set_stride(4096), 0);
    EXPECT_EQ(GetCapturedStderr(), "apply preferred stride[0x9a206e] = 4096 - initiated\n"
                                   "apply preferred stride property[0x9a206e] = 4096 - success\n");
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    ASSERT_EQ(::ioctl(fd, VIDIOC_G_FMT, &f), 0);
    EXPECT_EQ(f.fmt.pix.bytesperline, 4096u);
}

TEST_F(DriverControl, SensorResetDrivesTheResetLineOnBoardNodesOnly)
{
    CaptureStderr();
    sensor_gpio_reset(0, 0);
    EXPECT_EQ(GetCapturedStderr(), "sensor reset - start\nsensor reset - done\n");
    const std::vector<std::string> expected = {"S_PROPERTY 0xFFF6 0x0000",
                                               "S_PROPERTY 0xFFF6 0x0001"};
    EXPECT_EQ(board_.busLog(), expected);

    board_.clearBusLog();
    dev_name = "/dev/video9";
    CaptureStderr();
    sensor_gpio_reset(0, 0);
    EXPECT_EQ(GetCapturedStderr(), "sensor reset - start\nsensor reset - done\n");
    EXPECT_TRUE(board_.busLog().empty());
}

} // namespace
