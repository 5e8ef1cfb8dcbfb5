// Sensor register access over the capture driver: direct 16-bit access and buffered transfers.
#include "driver_control.h"

#include "driver_protocol.h"
#include "driver_requests.h"

#include <cstring>
#include <linux/videodev2.h>

namespace {

constexpr const char *kReadName = "VIDIOC_DBG_G_REGISTER";
constexpr const char *kWriteName = "VIDIOC_DBG_S_REGISTER";

} // namespace

uint16_t i2c_read16(uint8_t slave, uint16_t address)
{
    v4l2_dbg_register r = drv::directRequest(slave, address, 0);
    if (xioctl(fd, VIDIOC_DBG_G_REGISTER, &r) == -1) {
        errno_exit(kReadName);
        return 0;
    }
    return static_cast<uint16_t>(r.val);
}

int i2c_write16(uint8_t slave, uint16_t address, uint16_t value)
{
    v4l2_dbg_register r = drv::directRequest(slave, address, value);
    if (xioctl(fd, VIDIOC_DBG_S_REGISTER, &r) == -1) {
        errno_exit(kWriteName);
        return -1;
    }
    return 0;
}

int i2c_read(uint8_t slave, uint32_t length, uint8_t *buffer)
{
    v4l2_dbg_register r = drv::bufferedRequest(slave, DRV_REGISTER_SIZE, length, buffer);
    if (xioctl(fd, VIDIOC_DBG_G_REGISTER, &r) == -1) {
        errno_exit(kReadName);
        return 0;
    }
    return static_cast<int>(r.val & DRV_RESULT_MASK);
}

int i2c_write(uint8_t slave, uint32_t length, uint8_t *buffer)
{
    v4l2_dbg_register r = drv::bufferedRequest(slave, DRV_REGISTER_SIZE, length, buffer);
    if (xioctl(fd, VIDIOC_DBG_S_REGISTER, &r) == -1) {
        errno_exit(kWriteName);
        return -1;
    }
    return 0;
}
