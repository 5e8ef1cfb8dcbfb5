// The simulated board's device paths: EEPROM, stat answers, text files, descriptions.
#include "sim_board.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

using boardsim::testing::SimBoard;
using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

class BoardDevices : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
    }
};

// A descriptor of /dev/i2c-N addressed at a device; closed at the end of the scope.
struct I2cBus {
    I2cBus(const char *path, long address)
    {
        fd = ::open(path, O_RDWR);
        if (fd >= 0)
            bound = ::ioctl(fd, I2C_SLAVE, address) == 0;
    }
    ~I2cBus()
    {
        if (fd >= 0)
            ::close(fd);
    }
    std::string readAt(uint16_t address, size_t count)
    {
        const uint8_t pointer[2] = {static_cast<uint8_t>(address >> 8),
                                    static_cast<uint8_t>(address)};
        if (::write(fd, pointer, 2) != 2)
            return "write failed";
        std::string out(count, '\0');
        if (::read(fd, out.data(), count) != static_cast<ssize_t>(count))
            return "read failed";
        return out;
    }
    int fd = -1;
    bool bound = false;
};

uint16_t readRegister(int fd, uint16_t address)
{
    v4l2_dbg_register r{};
    r.size = 2;
    r.reg = 0x10;
    r.val = uint64_t{address} << 32;
    EXPECT_EQ(::ioctl(fd, VIDIOC_DBG_G_REGISTER, &r), 0) << std::strerror(errno);
    return static_cast<uint16_t>(r.val);
}

TEST_F(BoardDevices, EepromHoldsTheSerialNumberRecord)
{
    SimBoard board;
    I2cBus bus("/dev/i2c-8", 0x50);
    ASSERT_TRUE(bus.bound);
    const std::string expected = std::string("QRBO2\xFF") + "110QRB2000001\xFF" +
                                 "2131421223012345\xFF" + "\xC0\xA8\x37\x01" + "\xFF";
    EXPECT_EQ(bus.readAt(0, expected.size()), expected);
}

TEST_F(BoardDevices, EepromWritesAreKeptInTheBoardDirectory)
{
    SimBoard board;
    {
        I2cBus bus("/dev/i2c-8", 0x50);
        const uint8_t data[] = {0x01, 0x00, 'A', 'B'};
        ASSERT_EQ(::write(bus.fd, data, sizeof data), 4);
        EXPECT_EQ(bus.readAt(0x0100, 3), "AB\xFF");
    }
    const std::string saved = board.readFile("eeprom.bin");
    ASSERT_EQ(saved.size(), 4096u);
    EXPECT_EQ(saved.substr(0x100, 2), "AB");
    // Another opener (as another process would) sees the same contents.
    I2cBus again("/dev/i2c-8", 0x50);
    EXPECT_EQ(again.readAt(0x0100, 2), "AB");
}

TEST_F(BoardDevices, AbsentI2cDevicesDoNotAcknowledge)
{
    SimBoard board;
    I2cBus bus("/dev/i2c-8", 0x51);
    ASSERT_TRUE(bus.bound);
    char byte = 0;
    EXPECT_EQ(::read(bus.fd, &byte, 1), -1);
    EXPECT_EQ(errno, ENXIO);
    EXPECT_EQ(::write(bus.fd, &byte, 1), -1);
    EXPECT_EQ(errno, ENXIO);
    EXPECT_EQ(::ioctl(bus.fd, I2C_SLAVE, 0x80), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(::open("/dev/i2c-3", O_RDWR), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(BoardDevices, CombinedTransfersAddressEachMessage)
{
    SimBoard board;
    const int fd = ::open("/dev/i2c-8", O_RDWR);
    ASSERT_GE(fd, 0);
    uint8_t pointer[2] = {0x00, 0x00};
    uint8_t title[5] = {};
    i2c_msg messages[2] = {{0x50, 0, 2, pointer}, {0x50, I2C_M_RD, 5, title}};
    i2c_rdwr_ioctl_data transfer{messages, 2};
    EXPECT_EQ(::ioctl(fd, I2C_RDWR, &transfer), 2);
    EXPECT_EQ(std::string(title, title + 5), "QRBO2");
    messages[1].addr = 0x52;
    EXPECT_EQ(::ioctl(fd, I2C_RDWR, &transfer), -1);
    EXPECT_EQ(errno, ENXIO);
    transfer.nmsgs = 0;
    EXPECT_EQ(::ioctl(fd, I2C_RDWR, &transfer), -1);
    EXPECT_EQ(errno, EINVAL);
    ::close(fd);
}

TEST_F(BoardDevices, DeviceNodesAnswerStatAsCharacterDevices)
{
    SimBoard board;
    struct stat st {
    };
    ASSERT_EQ(::stat("/dev/video5", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(major(st.st_rdev), 81u);
    EXPECT_EQ(minor(st.st_rdev), 5u);
    ASSERT_EQ(::lstat("/dev/gpiochip1", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(major(st.st_rdev), 254u);
    EXPECT_EQ(::access("/dev/i2c-8", R_OK | W_OK), 0);
    EXPECT_EQ(::stat("/dev/video6", &st), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(::access("/dev/gpiochip0", F_OK), -1);

    const int fd = ::open("/dev/video2", O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::fstat(fd, &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(minor(st.st_rdev), 2u);
    ::close(fd);
}

TEST_F(BoardDevices, TextFilesGiveModuleSerialAndChipDeviceNumber)
{
    SimBoard board;
    FILE *f = std::fopen("/proc/device-tree/serial-number", "r");
    ASSERT_NE(f, nullptr);
    char line[32] = {};
    ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
    std::fclose(f);
    EXPECT_STREQ(line, "1421223012345");

    const int fd = ::open("/sys/bus/gpio/devices/gpiochip1/dev", O_RDONLY);
    ASSERT_GE(fd, 0);
    char dev[16] = {};
    EXPECT_EQ(::read(fd, dev, sizeof dev - 1), 6);
    ::close(fd);
    EXPECT_STREQ(dev, "254:1\n");
    EXPECT_EQ(::open("/proc/device-tree/serial-number", O_RDWR), -1);
    EXPECT_EQ(errno, EACCES);
}

TEST_F(BoardDevices, EmptyBoardDirectoryReceivesTheDefaultDescription)
{
    SimBoard board;
    const int fd = ::open("/dev/video0", O_RDWR);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const std::string text = board.readFile("board.conf");
    EXPECT_NE(text.find("video_nodes = 0 1 2 3 4 5\n"), std::string::npos);
    EXPECT_NE(text.find("gpio_lines = 160\n"), std::string::npos);
}

TEST_F(BoardDevices, DescriptionChoosesWhichDevicesExist)
{
    SimBoard board("video_nodes = 0 1\ni2c_buses = 1 2\neeprom_bus = 2\neeprom_address = 0x57\n"
                   "module_serial =\nboard_serial = B1\n");
    EXPECT_EQ(::access("/dev/video1", F_OK), 0);
    EXPECT_EQ(::access("/dev/video3", F_OK), -1);
    EXPECT_EQ(::access("/dev/i2c-8", F_OK), -1);
    EXPECT_EQ(::access("/proc/device-tree/serial-number", F_OK), -1);
    I2cBus bus("/dev/i2c-2", 0x57);
    ASSERT_TRUE(bus.bound);
    EXPECT_EQ(bus.readAt(6, 7), std::string("102B1\xFF") + "2");
}

TEST_F(BoardDevices, WrongDescriptionLeavesABoardWithoutDevices)
{
    SimBoard board("video_nodes = 0 9\nfrobnicate = 1\n");
    CaptureStderr();
    EXPECT_EQ(::open("/dev/video0", O_RDWR), -1);
    const int error = errno;
    const std::string message = GetCapturedStderr();
    EXPECT_EQ(error, ENODEV);
    EXPECT_NE(message.find("board.conf: line 1: video_nodes: expected numbers from 0 to 5"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("board.conf: line 2: unknown key \"frobnicate\""), std::string::npos);
}

TEST_F(BoardDevices, MissingBoardDirectoryIsReportedAndUnsetMeansAMemoryBoard)
{
    ::setenv("ZE_SIM_DIR", "/nonexistent/board", 1);
    CaptureStderr();
    EXPECT_EQ(::open("/dev/video0", O_RDWR), -1);
    const int error = errno;
    EXPECT_EQ(GetCapturedStderr(),
              "boardsim: board directory /nonexistent/board: No such file or directory\n");
    EXPECT_EQ(error, ENODEV);
    ::unsetenv("ZE_SIM_DIR");
    const int fd = ::open("/dev/video0", O_RDWR);
    EXPECT_GE(fd, 0) << std::strerror(errno);
    ::close(fd);
}

TEST_F(BoardDevices, SensorDataFileGivesTheRegisterDefaults)
{
    SimBoard board("sensor_data = sensor.sdat\n");
    board.writeFile("sensor.sdat", R"([CHIP_DESCRIPTOR]
SENSORNAME = "Test sensor"
[END]
[OPTIONAL]
SDAT_VERSION = 2
REG_DATA_SIZE = 16
[END]
[ADDR_SPACE]
CORE = {REG, 0, "Core registers"}
VARS = {MCU, 1, "Variables"}
[END]
[REGISTERS]
; chip identification
CHIP_VERSION_REG = {0x3000, CORE, 1, 0xFFFF, RO, 0x2604, "Chip version" "Identifies the part"}
    {VERSION, 0xFFFF, RO, "Version" ""}
// timing
LINE_LENGTH = {0x300C, CORE, 1, 0xFFFF, RW, 1650, "Line length" ""}
BROKEN = {0x3010, CORE}
MCU_VAR = {0x3012, VARS, 1, 0xFFFF, RW, 0x7777, "Variable" ""}
[END]
)");
    const int fd = ::open("/dev/video0", O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(readRegister(fd, 0x3000), 0x2604);
    EXPECT_EQ(readRegister(fd, 0x300C), 1650);
    EXPECT_EQ(readRegister(fd, 0x3012), 0); // not a register of the sensor's own space
    ::close(fd);
}

TEST_F(BoardDevices, MissingSensorDataFileIsReported)
{
    SimBoard board("sensor_data = absent.sdat\n");
    CaptureStderr();
    EXPECT_EQ(::open("/dev/video0", O_RDWR), -1);
    EXPECT_NE(GetCapturedStderr().find("cannot read sensor-data file"), std::string::npos);
}

TEST_F(BoardDevices, FrameCounterOnTheChipVersionRegisterIsReported)
{
    SimBoard board("frame_counter_register = 0x3000\n");
    CaptureStderr();
    EXPECT_EQ(::open("/dev/video0", O_RDWR), -1);
    EXPECT_NE(
        GetCapturedStderr().find("frame_counter_register 0x3000 is the chip-version register"),
        std::string::npos);
}

TEST_F(BoardDevices, OtherDescriptorsPassThroughUntouched)
{
    SimBoard board;
    const std::string path = board.path("plain.txt");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::write(fd, "abc", 3), 3);
    struct stat st {
    };
    ASSERT_EQ(::fstat(fd, &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_size, 3);
    EXPECT_EQ(::ioctl(fd, VIDIOC_QUERYCAP, nullptr), -1);
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_EQ(::close(fd), 0);
}

} // namespace
