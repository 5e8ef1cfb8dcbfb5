// I2CDevice on the Linux I2C character device.
#include "i2c_device.h"

#include <cstdio>
#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint8_t kEndOfRecord = 0xFF;
constexpr uint8_t kTitle[] = {0x00, 0x00, 'Q', 'R', 'B', 'O', '2', kEndOfRecord};

uint8_t high(uint16_t address)
{
    return static_cast<uint8_t>(address >> 8);
}
uint8_t low(uint16_t address)
{
    return static_cast<uint8_t>(address);
}

} // namespace

I2CDevice::I2CDevice(const std::string &bus, int deviceAddress) : address(deviceAddress)
{
    fd.reset(::open(bus.c_str(), O_RDWR));
    if (!fd.isValid())
        throw std::runtime_error("Failed to open the I2C bus");
    if (::ioctl(fd.get(), I2C_SLAVE, static_cast<long>(address)) < 0) {
        fd.reset();
        throw std::runtime_error("Failed to acquire bus access or talk to the slave device");
    }
    uint8_t probe = 0;
    present = ::read(fd.get(), &probe, 1) == 1;
}

void I2CDevice::failed(const char *message)
{
    std::fprintf(stderr, "%s\n", message);
    lastOk = 0;
    ++errorCount;
}

bool I2CDevice::writeAll(const uint8_t *data, size_t size)
{
    return ::write(fd.get(), data, size) == static_cast<ssize_t>(size);
}

bool I2CDevice::setPointer(uint16_t where)
{
    const uint8_t pointer[2] = {high(where), low(where)};
    if (!writeAll(pointer, sizeof pointer)) {
        failed("Error setting pointer!");
        return false;
    }
    lastOk = 1;
    return true;
}

void I2CDevice::i2c_set_pointer(uint8_t highByte, uint8_t lowByte)
{
    setPointer(static_cast<uint16_t>(highByte << 8 | lowByte));
}

uint8_t I2CDevice::read_byte(uint16_t where)
{
    // After a failed pointer write the device would answer from the wrong address.
    if (!setPointer(where))
        return 0;
    uint8_t value = 0;
    if (::read(fd.get(), &value, 1) != 1) {
        failed("Error reading 1 bytes");
        return 0;
    }
    lastOk = 1;
    return value;
}

int I2CDevice::read_bytes(uint16_t where, uint8_t *buffer, int count)
{
    if (buffer == nullptr || count <= 0) {
        std::fprintf(stderr, "Error reading %d bytes\n", count);
        lastOk = 0;
        return ++errorCount;
    }
    if (!setPointer(where))
        return errorCount;
    if (::read(fd.get(), buffer, static_cast<size_t>(count)) != count) {
        std::fprintf(stderr, "Error reading %d bytes\n", count);
        lastOk = 0;
        return ++errorCount;
    }
    lastOk = 1;
    return 1;
}

void I2CDevice::write_byte(uint16_t where, uint8_t value)
{
    const uint8_t message[3] = {high(where), low(where), value};
    if (!writeAll(message, sizeof message)) {
        failed("Error writing 1 bytes");
        return;
    }
    lastOk = 1;
}

void I2CDevice::write_bytes(uint16_t where, const uint8_t *data, int count)
{
    if (count < 0 || (count > 0 && data == nullptr)) {
        failed("Error writing 1 bytes");
        return;
    }
    std::vector<uint8_t> message{high(where), low(where)};
    message.insert(message.end(), data, data + count);
    if (!writeAll(message.data(), message.size())) {
        failed("Error writing 1 bytes");
        return;
    }
    lastOk = 1;
}

void I2CDevice::write_title()
{
    if (!writeAll(kTitle, sizeof kTitle))
        throw std::runtime_error("Failed to write 8 bytes QRB title to the I2C device");
}

void I2CDevice::write_eor(uint16_t where)
{
    const uint8_t message[3] = {high(where), low(where), kEndOfRecord};
    if (!writeAll(message, sizeof message))
        throw std::runtime_error("Failed to write to the 8-bit EOR on the I2C device");
}
