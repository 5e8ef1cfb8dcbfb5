// The simulated capture driver's control channel, driven with raw debug-register requests.
#include "sim_board.h"

#include "sensor_channel.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using boardsim::testing::SensorChannel;
using boardsim::testing::SimBoard;

constexpr uint8_t kSensor = 0x10;
// Registers of the default board's sensor and their defaults: line length 2200, integration
// time 0x0200.
constexpr uint16_t kLineLength = 0x3112;
constexpr uint16_t kIntegrationTime = 0x3114;
constexpr uint64_t kBufferFlag = 0x10000;

class ControlChannel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
        channel_ = std::make_unique<SensorChannel>();
        ASSERT_TRUE(channel_->valid()) << std::strerror(errno);
        fd_ = channel_->fd();
    }

    int request(unsigned long op, uint32_t size, uint64_t reg, uint64_t &val)
    {
        return channel_->request(op, size, reg, val);
    }
    int read16(uint8_t slave, uint16_t address, uint16_t &value)
    {
        uint64_t val = uint64_t{address} << 32;
        const int rc = request(VIDIOC_DBG_G_REGISTER, 2, slave, val);
        value = static_cast<uint16_t>(val);
        return rc;
    }
    int write16(uint8_t slave, uint16_t address, uint16_t value)
    {
        uint64_t val = uint64_t{address} << 32 | value;
        return request(VIDIOC_DBG_S_REGISTER, 2, slave, val);
    }
    uint16_t sensor16(uint16_t address)
    {
        uint16_t v = 0;
        EXPECT_EQ(read16(kSensor, address, v), 0);
        return v;
    }
    int readProperty(uint16_t number, uint32_t &value)
    {
        uint64_t val = uint64_t{number} << 32;
        const int rc = request(VIDIOC_DBG_G_REGISTER, 2, 0, val);
        value = static_cast<uint32_t>(val);
        return rc;
    }
    int writeProperty(uint16_t number, uint32_t value)
    {
        uint64_t val = uint64_t{number} << 32 | value;
        return request(VIDIOC_DBG_S_REGISTER, 2, 0, val);
    }
    uint32_t property(uint16_t number)
    {
        uint32_t v = 0;
        EXPECT_EQ(readProperty(number, v), 0);
        return v;
    }
    int transfer(bool write, uint8_t slave, uint32_t addressBytes, uint8_t *buffer, uint32_t length,
                 uint64_t &val)
    {
        val = reinterpret_cast<uintptr_t>(buffer);
        return request(write ? VIDIOC_DBG_S_REGISTER : VIDIOC_DBG_G_REGISTER, addressBytes,
                       slave | kBufferFlag | uint64_t{length} << 32, val);
    }
    int setControl(uint32_t id, int32_t value)
    {
        v4l2_ext_control c{};
        c.id = id;
        c.value = value;
        v4l2_ext_controls cs{};
        cs.ctrl_class = id & 0xFFF0000;
        cs.count = 1;
        cs.controls = &c;
        return ::ioctl(fd_, VIDIOC_S_EXT_CTRLS, &cs) < 0 ? -errno : 0;
    }

    SimBoard board_;
    std::unique_ptr<SensorChannel> channel_;
    int fd_ = -1;
};

TEST_F(ControlChannel, DirectAccessReadsChipVersionAndReadsBackWrites)
{
    EXPECT_EQ(sensor16(0x3000), 0x0C54);
    EXPECT_EQ(sensor16(kLineLength), 2200);
    EXPECT_EQ(write16(kSensor, 0x3012, 0xBEEF), 0);
    EXPECT_EQ(sensor16(0x3012), 0xBEEF);
    // The chip version is read-only: the write is acknowledged and dropped.
    EXPECT_EQ(write16(kSensor, 0x3000, 0x1234), 0);
    EXPECT_EQ(sensor16(0x3000), 0x0C54);
}

TEST_F(ControlChannel, AbsentBusAddressFailsWithRemoteIoError)
{
    uint16_t v = 0;
    EXPECT_EQ(read16(0x20, 0x3000, v), -EREMOTEIO);
    EXPECT_EQ(write16(0x20, 0x3000, 1), -EREMOTEIO);
    uint8_t buffer[4] = {0x30, 0x00};
    uint64_t val = 0;
    EXPECT_EQ(transfer(false, 0x21, 2, buffer, 2, val), -EREMOTEIO);
    EXPECT_EQ(board_.busLog().back(), "G_BUFFER 0x0021 size=2 NACK");
}

TEST_F(ControlChannel, MalformedRequestsAreRefused)
{
    uint64_t val = uint64_t{0x3000} << 32;
    EXPECT_EQ(request(VIDIOC_DBG_G_REGISTER, 4, kSensor, val), -EINVAL); // direct access is 16-bit
    EXPECT_EQ(request(VIDIOC_DBG_G_REGISTER, 2, 0x80, val), -EINVAL);    // not a 7-bit address
    val = 0;
    EXPECT_EQ(request(VIDIOC_DBG_G_REGISTER, 2, kSensor | kBufferFlag | (4ull << 32), val),
              -EINVAL); // no buffer
    uint8_t buffer[2] = {0x30, 0x00};
    EXPECT_EQ(transfer(true, kSensor, 2, buffer, 1, val), -EINVAL);  // shorter than the address
    EXPECT_EQ(transfer(false, kSensor, 3, buffer, 1, val), -EINVAL); // 24-bit addresses
    EXPECT_EQ(transfer(false, kSensor, 2, buffer, 5000, val), -EINVAL);
    v4l2_dbg_register r{};
    r.match.type = V4L2_CHIP_MATCH_SUBDEV;
    r.size = 2;
    r.reg = kSensor;
    EXPECT_EQ(::ioctl(fd_, VIDIOC_DBG_G_REGISTER, &r), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(ControlChannel, BufferedTransfersUseSixteenAndEightBitAddresses)
{
    uint8_t out[] = {0x30, 0x12, 0x12, 0x34, 0x56, 0x78};
    uint64_t val = 0;
    ASSERT_EQ(transfer(true, kSensor, 2, out, sizeof out, val), 0);
    EXPECT_EQ(sensor16(0x3012), 0x1234);
    EXPECT_EQ(sensor16(0x3014), 0x5678);

    uint8_t in[8] = {0x30, 0x13};
    ASSERT_EQ(transfer(false, kSensor, 2, in, 3, val), 0);
    EXPECT_EQ(val & 0xFFFF, 3u);
    EXPECT_EQ(in[0], 0x34);
    EXPECT_EQ(in[1], 0x56);
    EXPECT_EQ(in[2], 0x78);

    uint8_t out8[] = {0x20, 0xAB};
    ASSERT_EQ(transfer(true, kSensor, 1, out8, sizeof out8, val), 0);
    uint8_t in8[2] = {0x20};
    ASSERT_EQ(transfer(false, kSensor, 1, in8, 1, val), 0);
    EXPECT_EQ(in8[0], 0xAB);
    EXPECT_EQ(sensor16(0x0020), 0xAB00);
}

TEST_F(ControlChannel, PropertiesGiveVersionsAddressClockAndSpeed)
{
    const uint32_t expected[9] = {35, 4, 1, 5, 10, 120, 2, 1, 0};
    for (uint16_t i = 0; i < 9; ++i)
        EXPECT_EQ(property(static_cast<uint16_t>(0xFF7F - i)), expected[i]) << i;
    EXPECT_EQ(property(0xFF76), kSensor);
    EXPECT_EQ(property(0xFF71), 74250000u);
    EXPECT_EQ(property(0xFF6F), 2200u);
    EXPECT_EQ(property(0xFF6B), 400000u);
    EXPECT_EQ(writeProperty(0xFFF1, 100000), 0);
    EXPECT_EQ(property(0xFF6B), 100000u);
    EXPECT_EQ(writeProperty(0xFFF5, 0x36), 0);
    EXPECT_EQ(property(0xFF76), 0x36u);
    EXPECT_EQ(writeProperty(0xFFF3, 0x40), 0);
    EXPECT_EQ(writeProperty(0xFFF4, 0x48), 0);
    const auto state = board_.driverState();
    EXPECT_EQ(state.at("i2c_address"), "0x36");
    EXPECT_EQ(state.at("i2c_speed"), "100000");
    EXPECT_EQ(state.at("serializer_address"), "0x40");
    EXPECT_EQ(state.at("deserializer_address"), "0x48");
    uint32_t v = 0;
    EXPECT_EQ(readProperty(0xFF70, v), -EINVAL);
    EXPECT_EQ(writeProperty(0xFF76, 1), -EINVAL);
    EXPECT_EQ(writeProperty(0xFFF5, 0x80), -EINVAL);
}

TEST_F(ControlChannel, ResetLineSilencesSensorAndRestoresDefaults)
{
    ASSERT_EQ(write16(kSensor, kIntegrationTime, 0x0777), 0);
    ASSERT_EQ(writeProperty(0xFFF6, 0), 0);
    EXPECT_EQ(board_.driverState().at("reset_line"), "0");
    uint16_t v = 0;
    EXPECT_EQ(read16(kSensor, 0x3000, v), -EREMOTEIO);
    ASSERT_EQ(writeProperty(0xFFF6, 1), 0);
    EXPECT_EQ(sensor16(0x3000), 0x0C54);
    EXPECT_EQ(sensor16(kIntegrationTime), 0x0200);
    EXPECT_EQ(writeProperty(0xFFF6, 2), -EINVAL);
}

TEST_F(ControlChannel, PropertyGroupsTakeEffectWhenClosed)
{
    ASSERT_EQ(writeProperty(0xFFF9, 0), 0);
    ASSERT_EQ(writeProperty(0xF002, 3000), 0);
    ASSERT_EQ(writeProperty(0xF003, V4L2_PIX_FMT_SGRBG10), 0);
    EXPECT_EQ(writeProperty(0xF005, 1), -EINVAL); // not an image property
    EXPECT_EQ(property(0xFF6F), 2200u);           // nothing applied before the close
    ASSERT_EQ(writeProperty(0xFFFF, 0), 0);
    EXPECT_EQ(property(0xFF6F), 3000u);
    EXPECT_EQ(board_.driverState().at("image"),
              "0 0 3000 " + std::to_string(V4L2_PIX_FMT_SGRBG10) + " 0");

    ASSERT_EQ(writeProperty(0xFFFA, 0), 0);
    EXPECT_EQ(writeProperty(0xF004, 1), -EINVAL); // not a signal property
    ASSERT_EQ(writeProperty(0xF003, 96000000), 0);
    ASSERT_EQ(writeProperty(0xF00A, 1), 0);
    ASSERT_EQ(writeProperty(0xFFFF, 0), 0);
    EXPECT_EQ(property(0xFF71), 96000000u);
    const auto state = board_.driverState();
    EXPECT_EQ(state.at("signal.0xF003"), "96000000");
    EXPECT_EQ(state.at("signal.0xF00A"), "1");
    // Outside a group, group properties are unknown.
    EXPECT_EQ(writeProperty(0xF003, 5), -EINVAL);
}

TEST_F(ControlChannel, FrameFormatTableSetsFormatValues)
{
    ASSERT_EQ(write16(kSensor, 0xFFFB, 0), 0);
    ASSERT_EQ(write16(kSensor, 0xF000, 1280), 0);
    ASSERT_EQ(write16(kSensor, 0xF005, 7), 0);
    ASSERT_EQ(write16(kSensor, 0xFFFF, 0), 0);
    EXPECT_EQ(board_.driverState().at("frame_format"), "1280 0 0 0 0 7");
    EXPECT_EQ(board_.driverState().at("table.0xFFFB"), "0xF000:0x0500 0xF005:0x0007");
}

TEST_F(ControlChannel, FifteenEntryTablePaddingNeverReachesTheSensor)
{
    ASSERT_EQ(write16(kSensor, 0x0000, 0x5A5A), 0);
    ASSERT_EQ(write16(kSensor, 0xFF02, 0), 0);
    ASSERT_EQ(write16(kSensor, kIntegrationTime, 0x0321), 0);
    ASSERT_EQ(write16(kSensor, 0xFFFF, 0), 0);
    for (int i = 0; i < 13; ++i)
        ASSERT_EQ(write16(kSensor, 0, 0), 0);
    EXPECT_EQ(sensor16(0x0000), 0x5A5A);
    EXPECT_EQ(sensor16(kIntegrationTime), 0x0200); // stored, not yet applied
    EXPECT_EQ(board_.driverState().at("table.0xFF02"), "0x3114:0x0321");
    // After the padding, register 0 is an ordinary register again.
    ASSERT_EQ(write16(kSensor, 0, 0), 0);
    EXPECT_EQ(sensor16(0x0000), 0x0000);

    ASSERT_EQ(setControl(0x9A200C, 1), 0);
    EXPECT_EQ(sensor16(kIntegrationTime), 0x0321);
    EXPECT_EQ(board_.driverState().at("control.0x9A200C"), "1");
}

TEST_F(ControlChannel, StartAndStopTablesAreWrittenToTheSensor)
{
    ASSERT_EQ(write16(kSensor, 0xFFFD, 0), 0);
    ASSERT_EQ(write16(kSensor, 0x301A, 0x10DC), 0);
    ASSERT_EQ(write16(kSensor, 0xFFFF, 0), 0);
    EXPECT_EQ(sensor16(0x301A), 0x10DC);
    EXPECT_EQ(board_.driverState().at("table.0xFFFD"), "0x301A:0x10DC");
    ASSERT_EQ(write16(kSensor, 0xFFFC, 0), 0);
    ASSERT_EQ(write16(kSensor, 0xFFFF, 0), 0);
    EXPECT_EQ(board_.driverState().at("table.0xFFFC"), "");
}

TEST_F(ControlChannel, ExtendedControlsCheckIdsClassesAndRanges)
{
    EXPECT_EQ(setControl(0x9A2002, 1), 0);
    EXPECT_EQ(setControl(0x9A2003, 1), -EINVAL);
    EXPECT_EQ(setControl(0x9A2002, 2), -ERANGE);
    EXPECT_EQ(setControl(0x9A206E, 4096), 0);
    EXPECT_EQ(setControl(0x9A206E, -1), -ERANGE);

    v4l2_ext_control c{};
    c.id = 0x9A206E;
    v4l2_ext_controls cs{};
    cs.ctrl_class = 0x9A0000;
    cs.count = 1;
    cs.controls = &c;
    ASSERT_EQ(::ioctl(fd_, VIDIOC_G_EXT_CTRLS, &cs), 0);
    EXPECT_EQ(c.value, 4096);
    cs.ctrl_class = 0x980000; // user class: the camera controls are not in it
    EXPECT_EQ(::ioctl(fd_, VIDIOC_G_EXT_CTRLS, &cs), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(ControlChannel, SensorRegistersAreKeptInTheBoardDirectory)
{
    ASSERT_EQ(write16(kSensor, 0x3012, 0xA55A), 0);
    const std::string regs = board_.readFile("bus-0x10.regs");
    ASSERT_EQ(regs.size(), 65536u);
    EXPECT_EQ(static_cast<uint8_t>(regs[0x3012]), 0xA5);
    EXPECT_EQ(static_cast<uint8_t>(regs[0x3013]), 0x5A);
}

TEST_F(ControlChannel, TrafficIsRecordedInTheBusLog)
{
    board_.clearBusLog();
    ASSERT_EQ(write16(kSensor, 0x3012, 0x0042), 0);
    sensor16(0x3012);
    property(0xFF76);
    const std::vector<std::string> expected = {"S_REGISTER 0x0010 0x3012 0x0042",
                                               "G_REGISTER 0x0010 0x3012 0x0042",
                                               "G_PROPERTY 0xFF76 0x0010"};
    EXPECT_EQ(board_.busLog(), expected);
}

} // namespace
