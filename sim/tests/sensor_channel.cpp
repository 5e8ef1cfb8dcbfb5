// Debug-register requests to the simulated sensor, as the board plug-in makes them.
#include "sensor_channel.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace boardsim::testing {
namespace {

constexpr uint64_t kBufferFlag = 0x10000;
constexpr unsigned kHighShift = 32;
constexpr uint16_t kResetLineProperty = 0xFFF6;

} // namespace

SensorChannel::SensorChannel() : fd_(::open("/dev/video0", O_RDWR | O_NONBLOCK)) {}

SensorChannel::~SensorChannel()
{
    if (fd_ >= 0)
        ::close(fd_);
}

int SensorChannel::request(unsigned long op, uint32_t size, uint64_t reg, uint64_t &val) const
{
    v4l2_dbg_register r{};
    r.size = size;
    r.reg = reg;
    r.val = val;
    const int rc = ::ioctl(fd_, op, &r);
    val = r.val;
    return rc < 0 ? -errno : rc;
}

int SensorChannel::read16(uint8_t slave, uint16_t address, uint16_t &value) const
{
    uint64_t val = uint64_t{address} << kHighShift;
    const int rc = request(VIDIOC_DBG_G_REGISTER, 2, slave, val);
    value = static_cast<uint16_t>(val);
    return rc;
}

int SensorChannel::write16(uint8_t slave, uint16_t address, uint16_t value) const
{
    uint64_t val = uint64_t{address} << kHighShift | value;
    return request(VIDIOC_DBG_S_REGISTER, 2, slave, val);
}

int SensorChannel::readBytes(uint8_t slave, unsigned addressBytes, uint16_t address, size_t count,
                             std::vector<uint8_t> &out) const
{
    out.assign(count + addressBytes, 0);
    out[0] = static_cast<uint8_t>(addressBytes == 2 ? address >> 8 : address);
    out[addressBytes - 1] = static_cast<uint8_t>(address);
    uint64_t val = reinterpret_cast<uintptr_t>(out.data());
    const int rc = request(VIDIOC_DBG_G_REGISTER, addressBytes,
                           slave | kBufferFlag | uint64_t{count} << kHighShift, val);
    out.resize(count);
    return rc;
}

int SensorChannel::writeBytes(uint8_t slave, unsigned addressBytes, uint16_t address,
                              const std::vector<uint8_t> &data) const
{
    std::vector<uint8_t> buffer;
    if (addressBytes == 2)
        buffer.push_back(static_cast<uint8_t>(address >> 8));
    buffer.push_back(static_cast<uint8_t>(address));
    buffer.insert(buffer.end(), data.begin(), data.end());
    uint64_t val = reinterpret_cast<uintptr_t>(buffer.data());
    return request(VIDIOC_DBG_S_REGISTER, addressBytes,
                   slave | kBufferFlag | uint64_t{buffer.size()} << kHighShift, val);
}

int SensorChannel::holdReset(bool held) const
{
    uint64_t val = uint64_t{kResetLineProperty} << kHighShift | (held ? 0 : 1);
    return request(VIDIOC_DBG_S_REGISTER, 2, 0, val);
}

} // namespace boardsim::testing
