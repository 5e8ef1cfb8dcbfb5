// I2CDevice on the simulated I2C bus: the board EEPROM, an absent device, failing buses.
#include "i2c_device.h"

#include "sim_board.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using boardsim::testing::SimBoard;
using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

class I2cDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
    }
    SimBoard board_;
};

TEST_F(I2cDevice, EepromAnswersAndHoldsItsRecord)
{
    I2CDevice eeprom("/dev/i2c-8", 0x50);
    EXPECT_TRUE(eeprom.IsPresent());
    EXPECT_EQ(eeprom.read_byte(0), 'Q');
    EXPECT_EQ(eeprom.read_byte(5), 0xFF);
    uint8_t serial[10] = {};
    EXPECT_EQ(eeprom.read_bytes(9, serial, 10), 1);
    EXPECT_EQ(std::string(serial, serial + 10), "QRB2000001");
    EXPECT_EQ(eeprom.ErrorCount(), 0);
}

TEST_F(I2cDevice, WritesReachTheEepromAddressedByTwoBytes)
{
    I2CDevice eeprom("/dev/i2c-8", 0x50);
    eeprom.write_byte(0x0123, 0x42);
    const uint8_t data[] = {'x', 'y', 'z'};
    eeprom.write_bytes(0x0200, data, 3);
    eeprom.write_eor(0x0203);
    EXPECT_EQ(eeprom.read_byte(0x0123), 0x42);
    const std::string saved = board_.readFile("eeprom.bin");
    EXPECT_EQ(saved.substr(0x200, 4), "xyz\xFF");
    eeprom.write_byte(0, 'X');
    eeprom.write_title();
    EXPECT_EQ(board_.readFile("eeprom.bin").substr(0, 6), "QRBO2\xFF");
    EXPECT_EQ(eeprom.LastOk(), 1);
}

TEST_F(I2cDevice, AbsentDeviceIsNotPresentAndCountsFailures)
{
    I2CDevice absent("/dev/i2c-8", 0x51);
    EXPECT_FALSE(absent.IsPresent());
    CaptureStderr();
    EXPECT_EQ(absent.read_byte(0), 0);
    EXPECT_EQ(absent.ErrorCount(), 1);
    EXPECT_EQ(absent.read_byte(0), 0);
    EXPECT_EQ(absent.ErrorCount(), 2);
    absent.write_byte(0, 1);
    uint8_t buffer[4];
    EXPECT_EQ(absent.read_bytes(0, buffer, 4), 4);
    EXPECT_EQ(GetCapturedStderr(), "Error setting pointer!\nError setting pointer!\n"
                                   "Error writing 1 bytes\nError setting pointer!\n");
    EXPECT_EQ(absent.LastOk(), 0);
    EXPECT_THROW(absent.write_title(), std::runtime_error);
    try {
        absent.write_eor(0);
        FAIL() << "no error";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "Failed to write to the 8-bit EOR on the I2C device");
    }
}

TEST_F(I2cDevice, BusThatCannotBeOpenedOrAddressedIsARuntimeError)
{
    try {
        I2CDevice missing("/dev/i2c-3", 0x50);
        FAIL() << "no error";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "Failed to open the I2C bus");
    }
    try {
        I2CDevice wrong("/dev/i2c-8", 0x80);
        FAIL() << "no error";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "Failed to acquire bus access or talk to the slave device");
    }
}

TEST_F(I2cDevice, BadArgumentsAreCountedNotFollowed)
{
    I2CDevice eeprom("/dev/i2c-8", 0x50);
    CaptureStderr();
    EXPECT_EQ(eeprom.read_bytes(0, nullptr, 4), 1);
    EXPECT_EQ(eeprom.read_bytes(0, nullptr, -1), 2);
    eeprom.write_bytes(0, nullptr, 2);
    EXPECT_EQ(GetCapturedStderr(),
              "Error reading 4 bytes\nError reading -1 bytes\nError writing 1 bytes\n");
    EXPECT_EQ(eeprom.ErrorCount(), 3);
}

} // namespace
