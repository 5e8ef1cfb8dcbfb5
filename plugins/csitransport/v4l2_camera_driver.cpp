// V4L2_Camera: driver properties, register tables, property groups and extended controls.
#include "v4l2_camera.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <linux/videodev2.h>
#include <unistd.h>

#include "driver_requests.h"

namespace {

constexpr unsigned kI2cSpeedSettleSeconds = 3;
constexpr uint32_t kStrideMask = 0xFFFF;
constexpr uint32_t kDefaultWidth = 1920;
constexpr uint32_t kDefaultHeight = 1200;
constexpr uint32_t kDefaultFrameFormat[] = {30, 1, 1, 0}; // 0xF002..0xF005

// The built-in stop and start tables hold only the end marker.
constexpr reg_16 kStopTable[V4L2_Camera::kTableLength] = {{DRV_END_MARKER, 0}};
constexpr reg_16 kStartTable[V4L2_Camera::kTableLength] = {{DRV_END_MARKER, 0}};

bool isDriverTable(uint16_t id)
{
    return (id >= DRV_TABLE_CONTROL_FIRST && id <= DRV_TABLE_CONTROL_LAST) ||
           id == DRV_TABLE_STOP || id == DRV_TABLE_START;
}

bool isSignalProperty(uint16_t p)
{
    return p == 0xF002 || p == 0xF003 || (p >= 0xF008 && p <= 0xF00B);
}

void refuseProperty(uint16_t group, uint16_t property)
{
    std::fprintf(stderr, "Table id: 0x%X not support Property :0x%X\n", group, property);
}

} // namespace

int V4L2_Camera::sensor_config_prop(uint16_t property, uint32_t value)
{
    v4l2_dbg_register r = drv::propertyRequest(property, value);
    if (xioctl(VIDIOC_DBG_S_REGISTER, &r) == -1) {
        const int error = errno;
        errno_exit("sensor_config_prop, VIDIOC_DBG_S_REGISTER");
        return -error;
    }
    return 0;
}

uint32_t V4L2_Camera::sensor_read_prop(uint16_t property)
{
    v4l2_dbg_register r = drv::propertyRequest(property, 0);
    if (xioctl(VIDIOC_DBG_G_REGISTER, &r) == -1) {
        errno_exit("sensor_read_prop IDIOC_DBG_G_REGISTER");
        return 0;
    }
    return static_cast<uint32_t>(r.val);
}

char *V4L2_Camera::get_version(qrb_kernel_version *v)
{
    int32_t *numbers[DRV_PROP_VERSION_COUNT] = {
        &v->jetpack_major, &v->jetpack_minor, &v->jetpack_patch, &v->kernel_major, &v->kernel_minor,
        &v->kernel_patch,  &v->release_major, &v->release_minor, &v->release_patch};
    for (int i = 0; i < DRV_PROP_VERSION_COUNT; ++i)
        *numbers[i] = static_cast<int32_t>(
            sensor_read_prop(static_cast<uint16_t>(DRV_PROP_VERSION_FIRST - i)));
    std::snprintf(v->version, sizeof v->version,
                  "jetpack_%d_%d_%d_kernel_%d_%d_%d_release_%d_%d_%d", v->jetpack_major,
                  v->jetpack_minor, v->jetpack_patch, v->kernel_major, v->kernel_minor,
                  v->kernel_patch, v->release_major, v->release_minor, v->release_patch);
    return v->version;
}

void V4L2_Camera::sensor_gpio_reset(unsigned first, unsigned second)
{
    std::fprintf(stderr, "sensor reset - start\n");
    sensor_config_prop(DRV_PROP_RESET_LINE, 0);
    ::sleep(first);
    sensor_config_prop(DRV_PROP_RESET_LINE, 1);
    ::sleep(second);
    std::fprintf(stderr, "sensor reset - done\n");
}

int V4L2_Camera::config_driver_table(uint16_t id, const reg_16 *table)
{
    if (!isDriverTable(id)) {
        std::fprintf(stderr, "Table id : 0x%X not supported by driver \n", id);
        return -EINVAL;
    }
    if (table == nullptr) {
        std::fprintf(stderr, "Table id : 0x%X - invalida data \n", id);
        return -EINVAL;
    }
    std::fprintf(stderr, "Write to table id : 0x%x- initiated\n", id);
    int rc = i2c_write16(i2cAddress, id, 0);
    for (int i = 0; i < DRV_TABLE_ENTRIES && rc >= 0; ++i) {
        if (table[i].addr != 0)
            rc = i2c_write16(i2cAddress, table[i].addr, table[i].val);
    }
    if (rc < 0)
        return rc;
    std::fprintf(stderr, "write to table id : 0x%x- success\n", id);
    return 0;
}

int V4L2_Camera::update_frame_format_property(uint16_t property, uint32_t value)
{
    if (property < DRV_FORMAT_PROP_FIRST || property > DRV_FORMAT_PROP_LAST) {
        refuseProperty(DRV_TABLE_FRAME_FORMAT, property);
        return -EINVAL;
    }
    int rc = i2c_write16(i2cAddress, DRV_TABLE_FRAME_FORMAT, 0);
    if (rc >= 0)
        rc = i2c_write16(i2cAddress, property, static_cast<uint16_t>(value));
    if (rc >= 0)
        rc = i2c_write16(i2cAddress, DRV_END_MARKER, 0);
    if (rc < 0)
        return rc;
    std::fprintf(stderr, "Update format property[0x%x] : 0x%x- success\n", DRV_TABLE_FRAME_FORMAT,
                 property);
    return 0;
}

int V4L2_Camera::writeGroupProperty(uint16_t group, uint16_t property, uint32_t value)
{
    int rc = sensor_config_prop(group, 0);
    if (rc == 0)
        rc = sensor_config_prop(property, value);
    if (rc == 0)
        rc = sensor_config_prop(DRV_END_MARKER, 0);
    return rc;
}

int V4L2_Camera::update_sensor_image_property(uint16_t property, uint32_t value)
{
    if (property < DRV_IMAGE_PROP_FIRST || property > DRV_IMAGE_PROP_LAST) {
        refuseProperty(DRV_GROUP_IMAGE, property);
        return -EINVAL;
    }
    const int rc = writeGroupProperty(DRV_GROUP_IMAGE, property, value);
    if (rc == 0)
        std::fprintf(stderr, "Update sensor image property[0x%x] : 0x%x- success\n", property,
                     DRV_GROUP_IMAGE);
    return rc;
}

int V4L2_Camera::update_sensor_signal_property(uint16_t property, uint32_t value)
{
    if (!isSignalProperty(property)) {
        refuseProperty(DRV_GROUP_SIGNAL, property);
        return -EINVAL;
    }
    const int rc = writeGroupProperty(DRV_GROUP_SIGNAL, property, value);
    if (rc == 0)
        std::fprintf(stderr, "Update sensor signal property[0x%x] : 0x%x- success\n", property,
                     DRV_GROUP_SIGNAL);
    return rc;
}

int V4L2_Camera::setExtendedControl(uint32_t id, int32_t value, const char *name,
                                    unsigned long request, int32_t *result)
{
    drv::ExtendedControlRequest control(id, value);
    if (xioctl(request, control.controls()) == -1) {
        const int error = errno;
        errno_exit(name);
        return -error;
    }
    if (result != nullptr)
        *result = control.value();
    return 0;
}

int V4L2_Camera::sensor_set_control(uint16_t id, const reg_16 *table)
{
    const uint32_t control = drv_table_control(id);
    if (control == 0) {
        std::fprintf(stderr, "Table id: 0x%X not supported by driver \n", id);
        return -EINVAL;
    }
    if (table == nullptr) {
        std::fprintf(stderr, "Table id: 0x%X - invalida data \n", id);
        return -EINVAL;
    }
    int rc = config_driver_table(id, table);
    if (rc == 0)
        rc = setExtendedControl(control, 1, "VIDIOC_S_EXT_CTRLS", VIDIOC_S_EXT_CTRLS, nullptr);
    if (rc == 0)
        std::fprintf(stderr, "apply camera control property : 0x%x - success\n", control);
    return rc;
}

int V4L2_Camera::sensor_set_stride(uint32_t bytes)
{
    const auto value = static_cast<int32_t>(bytes & kStrideMask);
    const int rc = setExtendedControl(DRV_CONTROL_STRIDE, value, "VIDIOC_S_EXT_CTRLS",
                                      VIDIOC_S_EXT_CTRLS, nullptr);
    if (rc == 0)
        std::fprintf(stderr, "apply preferred stride property[0x%x] = %d - success\n",
                     DRV_CONTROL_STRIDE, value);
    return rc;
}

int V4L2_Camera::sensor_get_stride()
{
    int32_t value = 0;
    const int rc =
        setExtendedControl(DRV_CONTROL_STRIDE, 0, "VIDIOC_G_EXT_CTRLS", VIDIOC_G_EXT_CTRLS, &value);
    return rc < 0 ? rc : value;
}

uint32_t V4L2_Camera::GetPixelClock()
{
    return sensor_read_prop(DRV_PROP_PIXEL_CLOCK);
}

uint32_t V4L2_Camera::GetLineLength()
{
    return sensor_read_prop(DRV_PROP_LINE_LENGTH);
}

void V4L2_Camera::SetI2CSpeed(uint32_t speed)
{
    i2cSpeed = speed;
    sensor_config_prop(DRV_PROP_I2C_SPEED, speed);
    // The bus needs this long to come back at the new speed.
    ::sleep(kI2cSpeedSettleSeconds);
}

void V4L2_Camera::SetI2CAddress(uint8_t address)
{
    i2cAddress = static_cast<uint8_t>((address >> 1) & 0x7F);
    sensor_config_prop(DRV_PROP_SENSOR_ADDRESS, i2cAddress);
}

void V4L2_Camera::ResetSensor(int level)
{
    if (level == 1) {
        sensor_config_prop(DRV_PROP_RESET_LINE, 0);
        needsReinit = true;
    } else {
        sensor_config_prop(DRV_PROP_RESET_LINE, 1);
    }
}

void V4L2_Camera::SetCSIFrameSize(uint32_t width, uint32_t height)
{
    update_frame_format_property(DRV_PROP_WIDTH, width);
    update_frame_format_property(DRV_PROP_HEIGHT, height);
}

void V4L2_Camera::SetLineLength(uint32_t value)
{
    lineLength = value;
    update_sensor_image_property(DRV_PROP_LINE_LENGTH_VALUE, value);
}

void V4L2_Camera::SetPixelClock(uint32_t value)
{
    pixelClock = value;
    update_sensor_signal_property(DRV_PROP_PIXEL_CLOCK_VALUE, value);
}

void V4L2_Camera::SetImageType(uint32_t code)
{
    pixelFormat = code;
    bytesPerPixel = code == V4L2_PIX_FMT_SGRBG8 ? 1 : 2;
    update_sensor_image_property(DRV_PROP_PIXEL_FORMAT, code);
}

void V4L2_Camera::DriverOff()
{
    config_driver_table(DRV_TABLE_STOP, kStopTable);
}

void V4L2_Camera::DriverOn()
{
    config_driver_table(DRV_TABLE_START, kStartTable);
}

void V4L2_Camera::RestartDriver()
{
    for (int c = 0; c < numVirtual; ++c) {
        SetFD(c);
        DriverOff();
        DriverOn();
    }
    SetFD(0);
}

void V4L2_Camera::sensor_configuration()
{
    update_frame_format_property(DRV_PROP_WIDTH, kDefaultWidth);
    update_frame_format_property(DRV_PROP_HEIGHT, kDefaultHeight);
    uint16_t property = DRV_PROP_LINE_LENGTH_VALUE;
    for (uint32_t value : kDefaultFrameFormat)
        update_frame_format_property(property++, value);
    update_sensor_image_property(DRV_PROP_PIXEL_FORMAT, pixelFormat);
    update_sensor_image_property(DRV_PROP_EMBEDDED_ROWS, 0);
    update_sensor_signal_property(0xF009, 1);
    update_sensor_signal_property(0xF00A, 1);
}
