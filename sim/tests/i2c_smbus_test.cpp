// SMBus transfers on the simulated I2C adapter: what reaches the EEPROM and what comes back.
#include "sim_board.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using boardsim::testing::SimBoard;

constexpr int kEepromAddress = 0x50;

class I2cSmbus : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
        fd_ = ::open("/dev/i2c-8", O_RDWR);
        ASSERT_GE(fd_, 0);
        ASSERT_EQ(::ioctl(fd_, I2C_SLAVE, kEepromAddress), 0);
    }
    void TearDown() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    // One SMBus transfer; 0 or the negative errno.
    int transfer(uint8_t readWrite, uint8_t command, uint32_t size, i2c_smbus_data *data)
    {
        i2c_smbus_ioctl_data request{readWrite, command, size, data};
        return ::ioctl(fd_, I2C_SMBUS, &request) == 0 ? 0 : -errno;
    }
    std::string eeprom(size_t offset, size_t count) const
    {
        return board_.readFile("eeprom.bin").substr(offset, count);
    }

    SimBoard board_;
    int fd_ = -1;
};

TEST_F(I2cSmbus, AdapterOffersSmbusBuiltFromPlainI2c)
{
    unsigned long funcs = 0;
    ASSERT_EQ(::ioctl(fd_, I2C_FUNCS, &funcs), 0);
    EXPECT_EQ(funcs, static_cast<unsigned long>(I2C_FUNC_I2C | I2C_FUNC_SMBUS_EMUL));
    EXPECT_EQ(funcs & I2C_FUNC_SMBUS_READ_BLOCK_DATA, 0u);
}

TEST_F(I2cSmbus, ReadsStartAtTheCommandAsHighAddressByte)
{
    board_.writeFile("eeprom.bin", std::string(0x300, '\xFF') + "\x12\x34\x56" +
                                       std::string(4096 - 0x303, '\xFF'));
    i2c_smbus_data data{};
    ASSERT_EQ(transfer(I2C_SMBUS_READ, 0x03, I2C_SMBUS_BYTE_DATA, &data), 0);
    EXPECT_EQ(data.byte, 0x12);
    ASSERT_EQ(transfer(I2C_SMBUS_READ, 0x03, I2C_SMBUS_WORD_DATA, &data), 0);
    EXPECT_EQ(data.word, 0x3412); // little-endian, as SMBus words are
    data.block[0] = 3;
    ASSERT_EQ(transfer(I2C_SMBUS_READ, 0x03, I2C_SMBUS_I2C_BLOCK_DATA, &data), 0);
    EXPECT_EQ(data.block[0], 3);
    EXPECT_EQ(data.block[1], 0x12);
    EXPECT_EQ(data.block[3], 0x56);
    // A read without a command continues where the last one ended.
    ASSERT_EQ(transfer(I2C_SMBUS_READ, 0, I2C_SMBUS_BYTE, &data), 0);
    EXPECT_EQ(data.byte, 0xFF);
}

TEST_F(I2cSmbus, WritesSetThePointerThenStore)
{
    i2c_smbus_data data{};
    data.word = 0xAB10; // low byte first: pointer 0x0110, then 0xAB stored there
    ASSERT_EQ(transfer(I2C_SMBUS_WRITE, 0x01, I2C_SMBUS_WORD_DATA, &data), 0);
    EXPECT_EQ(eeprom(0x110, 1), "\xAB");
    data.block[0] = 3;
    data.block[1] = 0x20; // low address byte
    data.block[2] = 'o';
    data.block[3] = 'k';
    ASSERT_EQ(transfer(I2C_SMBUS_WRITE, 0x02, I2C_SMBUS_I2C_BLOCK_DATA, &data), 0);
    EXPECT_EQ(eeprom(0x220, 2), "ok");
    data.byte = 0x30;
    ASSERT_EQ(transfer(I2C_SMBUS_WRITE, 0x02, I2C_SMBUS_BYTE_DATA, &data), 0);
    EXPECT_EQ(eeprom(0x230, 1), "\xFF") << "two bytes only address the memory";
}

TEST_F(I2cSmbus, AbsentDeviceIsNotAcknowledged)
{
    ASSERT_EQ(::ioctl(fd_, I2C_SLAVE, 0x51), 0);
    i2c_smbus_data data{};
    EXPECT_EQ(transfer(I2C_SMBUS_WRITE, 0, I2C_SMBUS_QUICK, nullptr), -ENXIO);
    EXPECT_EQ(transfer(I2C_SMBUS_READ, 0, I2C_SMBUS_BYTE, &data), -ENXIO);
    ASSERT_EQ(::ioctl(fd_, I2C_SLAVE, kEepromAddress), 0);
    EXPECT_EQ(transfer(I2C_SMBUS_WRITE, 0, I2C_SMBUS_QUICK, nullptr), 0);
}

TEST_F(I2cSmbus, MalformedTransfersAreRefused)
{
    const std::string before = board_.readFile("eeprom.bin");
    i2c_smbus_data data{};
    EXPECT_EQ(transfer(2, 0, I2C_SMBUS_BYTE_DATA, &data), -EINVAL);
    EXPECT_EQ(transfer(I2C_SMBUS_READ, 0, I2C_SMBUS_BYTE_DATA, nullptr), -EINVAL);
    EXPECT_EQ(transfer(I2C_SMBUS_READ, 0, 99, &data), -EINVAL);
    data.block[0] = 0;
    EXPECT_EQ(transfer(I2C_SMBUS_WRITE, 0, I2C_SMBUS_I2C_BLOCK_DATA, &data), -EINVAL);
    data.block[0] = I2C_SMBUS_BLOCK_MAX + 1;
    EXPECT_EQ(transfer(I2C_SMBUS_READ, 0, I2C_SMBUS_I2C_BLOCK_DATA, &data), -EINVAL);
    EXPECT_EQ(transfer(I2C_SMBUS_READ, 0, I2C_SMBUS_BLOCK_DATA, &data), -EOPNOTSUPP);
    EXPECT_EQ(board_.readFile("eeprom.bin"), before);
}

} // namespace
