// The simulated sensor in the geometry of its sensor-data file: 8-bit registers spanned by wider
// values, word-addressed 16-bit registers, pages behind a select register, kept between processes.
#include "sensor_channel.h"
#include "sim_board.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using boardsim::testing::SensorChannel;
using boardsim::testing::SimBoard;
using Bytes = std::vector<uint8_t>;

constexpr uint8_t kZx0042 = 0x36;
constexpr uint8_t kZx0016 = 0x48;
constexpr uint16_t kPageSelect = 0xF0;
constexpr size_t kZx0016PageBytes = 256 * 2;

std::string sample(const char *file)
{
    const std::string path = BOARDSIM_DEFAULT_SENSOR_DATA;
    return path.substr(0, path.rfind('/') + 1) + file;
}

class SensorGeometry : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
    }
    void carry(const char *file, uint8_t address, const std::string &more = "")
    {
        char line[40];
        std::snprintf(line, sizeof line, "sensor_address = 0x%02X\n", address);
        board_ = std::make_unique<SimBoard>("sensor_data = " + sample(file) + "\n" + line + more);
        channel_ = std::make_unique<SensorChannel>();
        ASSERT_TRUE(channel_->valid()) << std::strerror(errno);
        slave_ = address;
    }
    uint16_t direct(uint16_t address)
    {
        uint16_t v = 0;
        EXPECT_EQ(channel_->read16(slave_, address, v), 0) << std::hex << address;
        return v;
    }
    Bytes bytes(uint16_t address, size_t count)
    {
        Bytes out;
        EXPECT_EQ(channel_->readBytes(slave_, 1, address, count, out), 0) << std::hex << address;
        return out;
    }
    void page(uint16_t number) { ASSERT_EQ(channel_->write16(slave_, kPageSelect, number), 0); }

    std::unique_ptr<SimBoard> board_;
    std::unique_ptr<SensorChannel> channel_;
    uint8_t slave_ = 0;
};

TEST_F(SensorGeometry, ByteRegistersSpannedByAValueTransferMostSignificantFirst)
{
    carry("zx0042.sdat", kZx0042);
    // CHIP_VERSION_REG 0x9A42 lies in 0x00 (high byte) and 0x01.
    EXPECT_EQ(direct(0x00), 0x9A42);
    EXPECT_EQ(bytes(0x00, 2), (Bytes{0x9A, 0x42}));
    EXPECT_EQ(bytes(0x01, 1), (Bytes{0x42}));
    // COARSE_INTEGRATION_TIME (0x10-0x11, 0x0200) written whole, read a byte at a time.
    ASSERT_EQ(channel_->write16(slave_, 0x10, 0x0345), 0);
    EXPECT_EQ(bytes(0x10, 1), (Bytes{0x03}));
    EXPECT_EQ(bytes(0x11, 1), (Bytes{0x45}));
    // A byte-wide write changes one register only; the transfer runs on across registers.
    ASSERT_EQ(channel_->writeBytes(slave_, 1, 0x11, {0x99}), 0);
    EXPECT_EQ(direct(0x10), 0x0399);
    ASSERT_EQ(channel_->writeBytes(slave_, 1, 0x10, {0x01, 0x02, 0x03, 0x04}), 0);
    EXPECT_EQ(direct(0x10), 0x0102);
    EXPECT_EQ(direct(0x12), 0x0304); // FINE_INTEGRATION_TIME
    EXPECT_EQ(board_->busLog().back(), "G_REGISTER 0x0036 0x0012 0x0304");
}

TEST_F(SensorGeometry, WritesSpanningReadOnlyAndWritableRegistersChangeOnlyTheWritable)
{
    carry("zx0042.sdat", kZx0042);
    // REVISION_NUMBER (0x02) and MANUFACTURER_ID (0x03) are read-only, MODE_SELECT (0x08) is not.
    ASSERT_EQ(channel_->writeBytes(slave_, 1, 0x02, {0xFF, 0xFF}), 0);
    EXPECT_EQ(bytes(0x02, 2), (Bytes{0x11, 0x5A}));
    ASSERT_EQ(channel_->writeBytes(slave_, 1, 0x07, {0xEE, 0x01}), 0);
    EXPECT_EQ(bytes(0x07, 2), (Bytes{0x00, 0x01})); // UNIQUE_ID's last byte stays 0
}

TEST_F(SensorGeometry, AddressesBeyondAnEightBitSensorAreRefused)
{
    carry("zx0042.sdat", kZx0042);
    uint16_t v = 0;
    EXPECT_EQ(channel_->read16(slave_, 0x0100, v), -EINVAL);
    EXPECT_EQ(channel_->write16(slave_, 0x3000, 1), -EINVAL);
    Bytes out;
    EXPECT_EQ(channel_->readBytes(slave_, 2, 0x0100, 1, out), -EINVAL);
    EXPECT_EQ(board_->busLog().back(), "G_BUFFER 0x0036 size=2 0x0100 EINVAL");
    // A 16-bit register address that fits is the register itself.
    EXPECT_EQ(channel_->readBytes(slave_, 2, 0x0003, 1, out), 0);
    EXPECT_EQ(out, (Bytes{0x5A}));
    // Absent bus addresses still do not answer.
    EXPECT_EQ(channel_->read16(0x10, 0x0000, v), -EREMOTEIO);
}

TEST_F(SensorGeometry, WordRegistersHoldSixteenBitsAndValuesSpanTwoOfThem)
{
    carry("zx0016.sdat", kZx0016);
    page(0);
    EXPECT_EQ(direct(0x00), 0x1643);
    EXPECT_EQ(direct(0x01), 0x0021); // the next register, not the chip version's low byte
    // COARSE_INTEGRATION_TIME: 0x00000200 over 0x0A (high word) and 0x0B.
    EXPECT_EQ(bytes(0x0A, 4), (Bytes{0x00, 0x00, 0x02, 0x00}));
    ASSERT_EQ(channel_->writeBytes(slave_, 1, 0x0A, {0x00, 0x0F, 0x12, 0x34}), 0);
    EXPECT_EQ(direct(0x0A), 0x000F);
    EXPECT_EQ(direct(0x0B), 0x1234);
    // OTP_UNIQUE_ID (0x23, 0x24) is read-only: a whole-value write changes nothing.
    ASSERT_EQ(channel_->writeBytes(slave_, 1, 0x23, {1, 2, 3, 4}), 0);
    EXPECT_EQ(bytes(0x23, 4), (Bytes{0, 0, 0, 0}));
}

TEST_F(SensorGeometry, EachPageKeepsItsOwnRegistersAndTheSelectAnswersInEvery)
{
    carry("zx0016.sdat", kZx0016);
    // 0x01: REVISION_NUMBER (page 0), COLOR_PIPE_CTRL (page 1), MIPI_CTRL (page 2).
    page(2);
    EXPECT_EQ(direct(0x01), 0x0001);
    ASSERT_EQ(channel_->write16(slave_, 0x01, 0x00D1), 0);
    EXPECT_EQ(direct(kPageSelect), 2);
    page(0);
    EXPECT_EQ(direct(0x01), 0x0021);
    EXPECT_EQ(direct(kPageSelect), 0);
    page(1);
    EXPECT_EQ(direct(0x01), 0x003F);
    ASSERT_EQ(channel_->write16(slave_, 0x01, 0x0007), 0);
    page(2);
    EXPECT_EQ(direct(0x01), 0x00D1);
    // A page the sensor does not have reads zeros and keeps nothing.
    page(3);
    ASSERT_EQ(channel_->write16(slave_, 0x01, 0x1111), 0);
    EXPECT_EQ(direct(0x01), 0);
    EXPECT_EQ(direct(kPageSelect), 3);
}

TEST_F(SensorGeometry, PagesAreKeptInTheBoardDirectoryForOtherProcesses)
{
    carry("zx0016.sdat", kZx0016);
    page(2);
    ASSERT_EQ(channel_->write16(slave_, 0x10, 0x4001), 0); // STANDBY_CONTROL
    // One page after another, each 256 registers of two bytes, most significant byte first.
    std::string kept = board_->readFile("bus-0x48.regs");
    ASSERT_EQ(kept.size(), 3 * kZx0016PageBytes);
    EXPECT_EQ(kept.substr(2 * kZx0016PageBytes + 0x10 * 2, 2), std::string("\x40\x01", 2));
    EXPECT_EQ(kept.substr(0x00, 2), std::string("\x16\x43", 2));
    EXPECT_EQ(kept.substr(kPageSelect * 2, 2), std::string("\x00\x02", 2));
    // What another process leaves there is what a node opened later answers.
    kept[1 * kZx0016PageBytes + 0x20 * 2 + 1] = 0x05; // SHARPNESS of page 1
    board_->writeFile("bus-0x48.regs", kept);
    channel_ = std::make_unique<SensorChannel>();
    page(1);
    EXPECT_EQ(direct(0x20), 0x0305);
}

TEST_F(SensorGeometry, ReleasingResetRestoresTheDefaultsOfEveryPage)
{
    carry("zx0016.sdat", kZx0016);
    page(1);
    ASSERT_EQ(channel_->write16(slave_, 0x21, 0x001F), 0); // NOISE_REDUCTION, default 0x0008
    page(2);
    ASSERT_EQ(channel_->write16(slave_, 0x09, 0x0005), 0); // GPIO_DATA, default 0
    ASSERT_EQ(channel_->holdReset(true), 0);
    uint16_t v = 0;
    EXPECT_EQ(channel_->read16(slave_, 0x00, v), -EREMOTEIO);
    ASSERT_EQ(channel_->holdReset(false), 0);
    EXPECT_EQ(direct(kPageSelect), 0);
    EXPECT_EQ(direct(0x00), 0x1643);
    page(1);
    EXPECT_EQ(direct(0x21), 0x0008);
    page(2);
    EXPECT_EQ(direct(0x09), 0x0000);
}

TEST_F(SensorGeometry, FrameCounterBeyondTheSensorsAddressesLeavesTheBoardWithoutDevices)
{
    board_ =
        std::make_unique<SimBoard>("sensor_data = " + sample("zx0042.sdat") +
                                   "\nsensor_address = 0x36\nframe_counter_register = 0x303A\n");
    EXPECT_LT(::open("/dev/video0", O_RDWR), 0);
    EXPECT_EQ(errno, ENODEV);
}

} // namespace
