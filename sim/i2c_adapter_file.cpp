// The simulated I2C character device.
#include "i2c_adapter_file.h"

#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/sysmacros.h>

namespace boardsim {
namespace {

constexpr int kMax7BitAddress = 0x7F;
constexpr size_t kMaxMessageBytes = 8192;
constexpr uint32_t kMaxMessages = 42;

} // namespace

dev_t I2cAdapterFile::deviceNumber() const
{
    return makedev(kI2cMajor, static_cast<unsigned>(bus_));
}

Eeprom *I2cAdapterFile::addressed() const
{
    const auto &d = board_.description();
    if (bus_ == d.eepromBus && address_ == d.eepromAddress)
        return board_.eeprom.get();
    return nullptr;
}

int I2cAdapterFile::ioctl(BoardLock &, unsigned long request, void *arg)
{
    switch (request) {
    case I2C_SLAVE:
    case I2C_SLAVE_FORCE: {
        const auto address = reinterpret_cast<uintptr_t>(arg);
        if (address > kMax7BitAddress)
            return -EINVAL;
        address_ = static_cast<int>(address);
        return 0;
    }
    case I2C_FUNCS:
        if (arg == nullptr)
            return -EFAULT;
        // What the kernel offers for an adapter that speaks plain I2C: SMBus built from it.
        *static_cast<unsigned long *>(arg) = I2C_FUNC_I2C | I2C_FUNC_SMBUS_EMUL;
        return 0;
    case I2C_SMBUS:
        return smbus(arg);
    case I2C_TENBIT:
        return arg == nullptr ? 0 : -EINVAL; // 7-bit addresses only
    case I2C_RETRIES:
    case I2C_TIMEOUT:
        return 0;
    case I2C_RDWR:
        return transfer(arg);
    default:
        return -ENOTTY;
    }
}

ssize_t I2cAdapterFile::read(BoardLock &, void *buf, size_t count)
{
    if (count > kMaxMessageBytes)
        return -EINVAL;
    Eeprom *device = addressed();
    if (device == nullptr)
        return -ENXIO;
    device->read(static_cast<uint8_t *>(buf), count);
    return static_cast<ssize_t>(count);
}

ssize_t I2cAdapterFile::write(BoardLock &, const void *buf, size_t count)
{
    if (count > kMaxMessageBytes)
        return -EINVAL;
    Eeprom *device = addressed();
    if (device == nullptr)
        return -ENXIO;
    if (!device->write(static_cast<const uint8_t *>(buf), count))
        return -ENXIO;
    return static_cast<ssize_t>(count);
}

// Combined transfers: each message goes to its own address; a NACK ends the transfer.
int I2cAdapterFile::transfer(void *arg)
{
    auto *data = static_cast<i2c_rdwr_ioctl_data *>(arg);
    if (data == nullptr || data->msgs == nullptr)
        return -EFAULT;
    if (data->nmsgs == 0 || data->nmsgs > kMaxMessages)
        return -EINVAL;
    const int saved = address_;
    for (uint32_t i = 0; i < data->nmsgs; ++i) {
        const i2c_msg &m = data->msgs[i];
        if (m.len > kMaxMessageBytes || (m.len > 0 && m.buf == nullptr) || (m.flags & I2C_M_TEN)) {
            address_ = saved;
            return -EINVAL;
        }
        address_ = m.addr;
        Eeprom *device = addressed();
        if (device == nullptr) {
            address_ = saved;
            return -ENXIO;
        }
        if (m.flags & I2C_M_RD) {
            device->read(m.buf, m.len);
        } else if (!device->write(m.buf, m.len)) {
            address_ = saved;
            return -ENXIO;
        }
    }
    address_ = saved;
    return static_cast<int>(data->nmsgs);
}

} // namespace boardsim
