// The capture driver's control-channel requests, encoded once for every caller of the channel.
#ifndef DRIVER_REQUESTS_H
#define DRIVER_REQUESTS_H

#include <linux/videodev2.h>

#include <cstdint>
#include <cstring>

#include "driver_protocol.h"

namespace drv {

// Direct 16-bit access to register @address of the device at 7-bit @slave.
inline v4l2_dbg_register directRequest(uint8_t slave, uint16_t address, uint16_t value)
{
    v4l2_dbg_register r;
    std::memset(&r, 0, sizeof r);
    r.size = DRV_REGISTER_SIZE;
    r.reg = slave;
    r.val = uint64_t{address} << DRV_ADDRESS_SHIFT | value;
    return r;
}

// A buffered transfer of @length bytes through @buffer, which starts with a register
// address of @addressBytes bytes.
inline v4l2_dbg_register bufferedRequest(uint8_t slave, uint32_t addressBytes, uint32_t length,
                                         uint8_t *buffer)
{
    v4l2_dbg_register r;
    std::memset(&r, 0, sizeof r);
    r.size = addressBytes;
    r.reg = slave | DRV_BUFFER_FLAG | uint64_t{length} << DRV_LENGTH_SHIFT;
    r.val = reinterpret_cast<uintptr_t>(buffer);
    return r;
}

// A driver property: written with @value, or read (the value comes back in val).
inline v4l2_dbg_register propertyRequest(uint16_t property, uint32_t value)
{
    v4l2_dbg_register r;
    std::memset(&r, 0, sizeof r);
    r.size = DRV_REGISTER_SIZE;
    r.val = uint64_t{property} << DRV_ADDRESS_SHIFT | value;
    return r;
}

// One extended control of the camera class, ready for VIDIOC_S/G_EXT_CTRLS.
class ExtendedControlRequest
{
public:
    ExtendedControlRequest(uint32_t id, int32_t value)
    {
        std::memset(&control_, 0, sizeof control_);
        control_.id = id;
        control_.value = value;
        std::memset(&controls_, 0, sizeof controls_);
        controls_.ctrl_class = id & DRV_CONTROL_CLASS_MASK;
        controls_.count = 1;
        controls_.controls = &control_;
    }
    ExtendedControlRequest(const ExtendedControlRequest &) = delete;
    ExtendedControlRequest &operator=(const ExtendedControlRequest &) = delete;

    v4l2_ext_controls *controls() { return &controls_; }
    int32_t value() const { return control_.value; }

private:
    v4l2_ext_control control_;
    v4l2_ext_controls controls_;
};

} // namespace drv

#endif // DRIVER_REQUESTS_H
