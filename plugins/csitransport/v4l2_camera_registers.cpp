// V4L2_Camera: register transfers over the capture driver and the sensor register operations.
#include "v4l2_camera.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <vector>

#include "driver_requests.h"

namespace {

constexpr int kWordWrite = 4;
constexpr unsigned kWordShift = 16;
constexpr uint16_t kLowHalf = 0xFFFF;

} // namespace

int V4L2_Camera::xioctl(unsigned long request, void *arg)
{
    int r = 0;
    do {
        r = ::ioctl(fd, request, arg);
    } while (r == -1 && (errno == EINTR || errno == EAGAIN));
    return r;
}

void V4L2_Camera::errno_exit(const char *s)
{
    // The plug-in never ends its host: it reports and returns.
    if (errno == DRV_I2C_NACK)
        return;
    const int error = errno;
    std::fprintf(stderr, "%s error# %d, %s\n", s, error, std::strerror(error));
}

int V4L2_Camera::i2c_read16(uint8_t slave, uint16_t address)
{
    v4l2_dbg_register r = drv::directRequest(slave, address, 0);
    if (xioctl(VIDIOC_DBG_G_REGISTER, &r) == -1) {
        const int error = errno;
        errno_exit("i2c_read16, VIDIOC_DBG_G_REGISTER");
        return -error;
    }
    return static_cast<int>(r.val & kLowHalf);
}

int V4L2_Camera::i2c_write16(uint8_t slave, uint16_t address, uint16_t value)
{
    v4l2_dbg_register r = drv::directRequest(slave, address, value);
    if (xioctl(VIDIOC_DBG_S_REGISTER, &r) == -1) {
        const int error = errno;
        errno_exit("i2c_write16, VIDIOC_DBG_S_REGISTER");
        return -error;
    }
    return 2;
}

int V4L2_Camera::transfer(unsigned long request, const char *name, uint8_t slave,
                          uint32_t addressBytes, uint32_t length, uint8_t *buffer)
{
    v4l2_dbg_register r = drv::bufferedRequest(slave, addressBytes, length, buffer);
    if (xioctl(request, &r) == -1) {
        const int error = errno;
        errno_exit(name);
        return -error;
    }
    // A read reports the bytes it got; a write sent the whole buffer.
    return request == VIDIOC_DBG_G_REGISTER ? static_cast<int>(r.val & DRV_RESULT_MASK)
                                            : static_cast<int>(length);
}

int V4L2_Camera::i2c_read(uint8_t slave, uint32_t length, uint8_t *buffer)
{
    return transfer(VIDIOC_DBG_G_REGISTER, "i2c_read, VIDIOC_DBG_G_REGISTER", slave,
                    DRV_REGISTER_SIZE, length, buffer);
}

int V4L2_Camera::i2c_write(uint8_t slave, uint32_t length, uint8_t *buffer)
{
    return transfer(VIDIOC_DBG_S_REGISTER, "i2c_write, VIDIOC_DBG_S_REGISTER", slave,
                    DRV_REGISTER_SIZE, length, buffer);
}

int V4L2_Camera::i2c_read8(uint8_t slave, uint32_t length, uint8_t *buffer)
{
    return transfer(VIDIOC_DBG_G_REGISTER, "i2c_read8, VIDIOC_DBG_G_REGISTER", slave,
                    DRV_REGISTER8_SIZE, length, buffer);
}

int V4L2_Camera::i2c_write8(uint8_t slave, uint32_t length, uint8_t *buffer)
{
    return transfer(VIDIOC_DBG_S_REGISTER, "i2c_write8, VIDIOC_DBG_S_REGISTER", slave,
                    DRV_REGISTER8_SIZE, length, buffer);
}

int V4L2_Camera::WriteSensor(uint16_t address, uint32_t value)
{
    int rc = i2c_write16(i2cAddress, address, static_cast<uint16_t>(value >> kWordShift));
    if (rc < 0)
        return rc;
    rc = i2c_write16(i2cAddress, static_cast<uint16_t>(address + 2), static_cast<uint16_t>(value));
    return rc < 0 ? rc : kWordWrite;
}

int V4L2_Camera::WriteSensor(uint16_t address, uint16_t value)
{
    return i2c_write16(i2cAddress, address, value);
}

int V4L2_Camera::WriteSensor(uint16_t address, uint8_t value)
{
    uint8_t buffer[3] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), value};
    return i2c_write(i2cAddress, sizeof buffer, buffer);
}

int V4L2_Camera::WriteSensor(uint8_t address, uint8_t value)
{
    uint8_t buffer[2] = {address, value};
    return i2c_write8(i2cAddress, sizeof buffer, buffer);
}

int64_t V4L2_Camera::ReadSensor32(uint16_t address)
{
    const int high = i2c_read16(i2cAddress, address);
    if (high < 0)
        return high;
    const int low = i2c_read16(i2cAddress, static_cast<uint16_t>(address + 2));
    if (low < 0)
        return low;
    return static_cast<int64_t>(static_cast<uint32_t>(high) << kWordShift |
                                static_cast<uint32_t>(low));
}

int V4L2_Camera::ReadSensor16(uint16_t address)
{
    return i2c_read16(i2cAddress, address);
}

int V4L2_Camera::ReadSensor8(uint16_t address)
{
    uint8_t buffer[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    const int rc = i2c_read(i2cAddress, 1, buffer);
    return rc < 0 ? rc : buffer[0];
}

int V4L2_Camera::ReadSensor8(uint8_t address)
{
    uint8_t buffer[1] = {address};
    const int rc = i2c_read8(i2cAddress, 1, buffer);
    return rc < 0 ? rc : buffer[0];
}

uint32_t V4L2_Camera::ReadBurst(uint16_t address, uint32_t length, uint8_t *out)
{
    if (length == 0 || out == nullptr)
        return 0;
    // The transfer needs room for the address as well as for the data.
    std::vector<uint8_t> work(size_t{length} + 2);
    work[0] = static_cast<uint8_t>(address >> 8);
    work[1] = static_cast<uint8_t>(address);
    const int rc = i2c_read(i2cAddress, length, work.data());
    if (rc != static_cast<int>(length))
        return 0;
    std::memcpy(out, work.data(), length);
    return length;
}
