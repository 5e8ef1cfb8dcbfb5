// SMBus transfers on the simulated I2C adapter, made of plain I2C messages as the kernel
// emulates them for adapters that only speak I2C.
#include "i2c_adapter_file.h"

#include <array>
#include <cstring>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

namespace boardsim {
namespace {

constexpr size_t kCommandBytes = 1;
constexpr size_t kWordBytes = 2;
// Command byte, count byte and a whole block.
constexpr size_t kMaxWriteBytes = kCommandBytes + 1 + I2C_SMBUS_BLOCK_MAX;

// The messages of one SMBus transfer: a write that starts with the command, then perhaps a read.
struct SmbusMessages {
    std::array<uint8_t, kMaxWriteBytes> out{};
    std::array<uint8_t, I2C_SMBUS_BLOCK_MAX> in{};
    std::array<i2c_msg, 2> msgs{};
    uint32_t count = 0;

    void write(uint16_t address, size_t length)
    {
        msgs[count++] = {address, 0, static_cast<uint16_t>(length), out.data()};
    }
    void read(uint16_t address, size_t length)
    {
        msgs[count++] = {address, I2C_M_RD, static_cast<uint16_t>(length), in.data()};
    }
};

bool validBlockLength(unsigned length)
{
    return length >= 1 && length <= I2C_SMBUS_BLOCK_MAX;
}

} // namespace

// Builds the messages the kernel would send for the transfer; the data is read back from them.
int I2cAdapterFile::smbus(void *arg)
{
    if (arg == nullptr)
        return -EFAULT;
    auto &request = *static_cast<i2c_smbus_ioctl_data *>(arg);
    const bool reading = request.read_write == I2C_SMBUS_READ;
    if (!reading && request.read_write != I2C_SMBUS_WRITE)
        return -EINVAL;
    const bool quick = request.size == I2C_SMBUS_QUICK;
    const bool byteWrite = request.size == I2C_SMBUS_BYTE && !reading;
    if (request.data == nullptr && !quick && !byteWrite)
        return -EINVAL;
    i2c_smbus_data &data = *request.data;
    const auto address = static_cast<uint16_t>(address_);
    SmbusMessages m;
    m.out[0] = request.command;
    switch (request.size) {
    case I2C_SMBUS_QUICK:
        m.msgs[m.count++] = {address, static_cast<uint16_t>(reading ? I2C_M_RD : 0), 0, nullptr};
        break;
    case I2C_SMBUS_BYTE:
        if (reading)
            m.read(address, 1);
        else
            m.write(address, kCommandBytes);
        break;
    case I2C_SMBUS_BYTE_DATA:
        m.out[1] = data.byte;
        m.write(address, reading ? kCommandBytes : kCommandBytes + 1);
        if (reading)
            m.read(address, 1);
        break;
    case I2C_SMBUS_WORD_DATA:
    case I2C_SMBUS_PROC_CALL:
        m.out[1] = static_cast<uint8_t>(data.word & 0xFF);
        m.out[2] = static_cast<uint8_t>(data.word >> 8);
        if (request.size == I2C_SMBUS_PROC_CALL || !reading)
            m.write(address, kCommandBytes + kWordBytes);
        else
            m.write(address, kCommandBytes);
        if (request.size == I2C_SMBUS_PROC_CALL || reading)
            m.read(address, kWordBytes);
        break;
    case I2C_SMBUS_BLOCK_DATA:
        // Reading a block whose length the device sends first needs the adapter to follow
        // that length, which this one does not offer (nor does it claim to).
        if (reading || !validBlockLength(data.block[0]))
            return reading ? -EOPNOTSUPP : -EINVAL;
        std::memcpy(&m.out[1], data.block, data.block[0] + 1u);
        m.write(address, kCommandBytes + 1 + data.block[0]);
        break;
    case I2C_SMBUS_I2C_BLOCK_BROKEN:
    case I2C_SMBUS_I2C_BLOCK_DATA: {
        // The old request number always reads a whole block.
        const unsigned length = reading && request.size == I2C_SMBUS_I2C_BLOCK_BROKEN
                                    ? I2C_SMBUS_BLOCK_MAX
                                    : data.block[0];
        if (!validBlockLength(length))
            return -EINVAL;
        if (reading) {
            m.write(address, kCommandBytes);
            m.read(address, length);
        } else {
            std::memcpy(&m.out[1], &data.block[1], length);
            m.write(address, kCommandBytes + length);
        }
        break;
    }
    default:
        return -EINVAL;
    }
    i2c_rdwr_ioctl_data messages{m.msgs.data(), m.count};
    if (const int rc = transfer(&messages); rc < 0)
        return rc;
    if (!reading && request.size != I2C_SMBUS_PROC_CALL)
        return 0;
    switch (request.size) {
    case I2C_SMBUS_BYTE:
    case I2C_SMBUS_BYTE_DATA:
        data.byte = m.in[0];
        break;
    case I2C_SMBUS_WORD_DATA:
    case I2C_SMBUS_PROC_CALL:
        data.word = static_cast<uint16_t>(m.in[0] | m.in[1] << 8);
        break;
    case I2C_SMBUS_I2C_BLOCK_BROKEN:
    case I2C_SMBUS_I2C_BLOCK_DATA:
        data.block[0] = static_cast<uint8_t>(m.msgs[1].len);
        std::memcpy(&data.block[1], m.in.data(), m.msgs[1].len);
        break;
    default:
        break;
    }
    return 0;
}

} // namespace boardsim
