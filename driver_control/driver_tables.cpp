// Register tables, property groups and the extended controls of the capture driver.
#include "driver_control.h"

#include "driver_protocol.h"
#include "driver_requests.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <linux/videodev2.h>

namespace {

bool isDriverTable(uint16_t id)
{
    return (id >= DRV_TABLE_CONTROL_FIRST && id <= DRV_TABLE_CONTROL_LAST) ||
           id == DRV_TABLE_STOP || id == DRV_TABLE_START;
}

bool isSignalProperty(uint16_t p)
{
    return p == 0xF002 || p == 0xF003 || (p >= 0xF008 && p <= 0xF00B);
}

// A request the driver cannot take ends the program: its caller sent a wrong table or
// property, and nothing later would make sense.
[[noreturn]] void refuse()
{
    std::exit(EXIT_FAILURE);
}

[[noreturn]] void refuseProperty(uint16_t group, uint16_t property)
{
    std::fprintf(stderr, "Table id : 0x%x not support Property :0x%x  \n", group, property);
    refuse();
}

uint8_t tableAddress()
{
    return static_cast<uint8_t>(sensor_read_prop(DRV_PROP_I2C_ADDRESS));
}

int setExtendedControl(uint32_t id, int32_t value)
{
    drv::ExtendedControlRequest request(id, value);
    if (xioctl(fd, VIDIOC_S_EXT_CTRLS, request.controls()) == -1) {
        errno_exit("VIDIOC_S_EXT_CTRLS");
        return -1;
    }
    return 0;
}

// A group property write is three property writes: open the group, the property, close.
int writeGroupProperty(uint16_t group, uint16_t property, uint32_t value)
{
    if (sensor_config_prop(group, 0) != 0 || sensor_config_prop(property, value) != 0 ||
        sensor_config_prop(DRV_END_MARKER, 0) != 0)
        return -1;
    return 0;
}

} // namespace

int config_driver_table(uint16_t id, const reg_16 *table)
{
    if (!isDriverTable(id)) {
        std::fprintf(stderr, "Table id : 0x%x not supported by driver \n", id);
        refuse();
    }
    if (table == nullptr) {
        std::fprintf(stderr, "Table id : 0x%x - invalida data \n", id);
        refuse();
    }
    std::fprintf(stderr, "Write to table id : 0x%x- initiated\n", id);
    const uint8_t address = tableAddress();
    if (i2c_write16(address, id, 0) != 0)
        return -1;
    for (int i = 0; i < DRV_TABLE_ENTRIES; ++i)
        if (i2c_write16(address, table[i].addr, table[i].val) != 0)
            return -1;
    std::fprintf(stderr, "write to table id : 0x%x- success\n", id);
    return 0;
}

int update_frame_format_property(uint16_t property, uint32_t value)
{
    if (property < DRV_FORMAT_PROP_FIRST || property > DRV_FORMAT_PROP_LAST)
        refuseProperty(DRV_TABLE_FRAME_FORMAT, property);
    std::fprintf(stderr, "Update format property[0x%x] : 0x%x- initiated\n", DRV_TABLE_FRAME_FORMAT,
                 property);
    const uint8_t address = tableAddress();
    if (i2c_write16(address, DRV_TABLE_FRAME_FORMAT, 0) != 0 ||
        i2c_write16(address, property, static_cast<uint16_t>(value)) != 0 ||
        i2c_write16(address, DRV_END_MARKER, 0) != 0)
        return -1;
    std::fprintf(stderr, "Update format property[0x%x] : 0x%x- success\n", DRV_TABLE_FRAME_FORMAT,
                 property);
    return 0;
}

int update_sensor_image_property(uint16_t property, uint32_t value)
{
    if (property < DRV_IMAGE_PROP_FIRST || property > DRV_IMAGE_PROP_LAST)
        refuseProperty(DRV_GROUP_IMAGE, property);
    std::fprintf(stderr, "Update sensor image property[0x%x] : 0x%x- initiated\n", property,
                 DRV_GROUP_IMAGE);
    if (writeGroupProperty(DRV_GROUP_IMAGE, property, value) != 0)
        return -1;
    std::fprintf(stderr, "Update sensor image property[0x%x] : 0x%x- success\n", property,
                 DRV_GROUP_IMAGE);
    return 0;
}

int update_sensor_signal_property(uint16_t property, uint32_t value)
{
    if (!isSignalProperty(property))
        refuseProperty(DRV_GROUP_SIGNAL, property);
    std::fprintf(stderr, "Update sensor signal property[0x%x] : 0x%x- initiated\n", property,
                 DRV_GROUP_SIGNAL);
    if (writeGroupProperty(DRV_GROUP_SIGNAL, property, value) != 0)
        return -1;
    std::fprintf(stderr, "Update signal image property[0x%x] : 0x%x- success\n", property,
                 DRV_GROUP_SIGNAL);
    return 0;
}

int sensor_set_control(uint16_t id, const reg_16 *table)
{
    const uint32_t control = drv_table_control(id);
    if (control == 0) {
        std::fprintf(stderr, "Table id : 0x%x not supported by driver \n", id);
        refuse();
    }
    std::fprintf(stderr, "apply camera control property : 0x%x - initiated\n", control);
    if (config_driver_table(id, table) != 0 || setExtendedControl(control, 1) != 0)
        return -1;
    std::fprintf(stderr, "apply camera control property : 0x%x - success\n", control);
    return 0;
}

int sensor_set_stride(uint32_t stride)
{
    std::fprintf(stderr, "apply preferred stride[0x%x] = %d - initiated\n", DRV_CONTROL_STRIDE,
                 static_cast<int>(stride));
    if (setExtendedControl(DRV_CONTROL_STRIDE, static_cast<int32_t>(stride)) != 0)
        return -1;
    std::fprintf(stderr, "apply preferred stride property[0x%x] = %d - success\n",
                 DRV_CONTROL_STRIDE, static_cast<int>(stride));
    return 0;
}
