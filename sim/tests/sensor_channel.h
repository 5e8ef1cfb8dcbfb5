// A capture node's debug-register channel used the way the board plug-in reaches a sensor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace boardsim::testing {

class SensorChannel
{
public:
    // Opens /dev/video0 of the current board; valid() tells whether that worked.
    SensorChannel();
    ~SensorChannel();
    SensorChannel(const SensorChannel &) = delete;
    SensorChannel &operator=(const SensorChannel &) = delete;

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Direct 16-bit access: 0 or a negative errno.
    int read16(uint8_t slave, uint16_t address, uint16_t &value) const;
    int write16(uint8_t slave, uint16_t address, uint16_t value) const;
    // Buffered transfers with addressBytes (1 or 2) of register address: 0 or a negative errno.
    int readBytes(uint8_t slave, unsigned addressBytes, uint16_t address, size_t count,
                  std::vector<uint8_t> &out) const;
    int writeBytes(uint8_t slave, unsigned addressBytes, uint16_t address,
                   const std::vector<uint8_t> &data) const;
    // Sensor reset line (driver property 0xFFF6): true holds the sensor in reset.
    int holdReset(bool held) const;
    // One debug-register request (op VIDIOC_DBG_G_REGISTER or _S_REGISTER) with these fields;
    // val is updated from the answer. 0 or a negative errno.
    int request(unsigned long op, uint32_t size, uint64_t reg, uint64_t &val) const;

private:
    int fd_ = -1;
};

} // namespace boardsim::testing
