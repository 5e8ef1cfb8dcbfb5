// Driver properties: versions, settings and the sensor's reset line.
#include "driver_control.h"

#include "driver_protocol.h"
#include "driver_requests.h"

#include <cstdio>
#include <cstring>
#include <linux/videodev2.h>
#include <unistd.h>

namespace {

// The reset line exists only on the board's own capture nodes.
bool isBoardVideoNode(const char *name)
{
    static const char *const kNodes[] = {"/dev/video0", "/dev/video1", "/dev/video2",
                                         "/dev/video3", "/dev/video4", "/dev/video5"};
    if (name == nullptr)
        return false;
    for (const char *node : kNodes)
        if (std::strcmp(name, node) == 0)
            return true;
    return false;
}

} // namespace

int sensor_config_prop(uint16_t property, uint32_t value)
{
    v4l2_dbg_register r = drv::propertyRequest(property, value);
    if (xioctl(fd, VIDIOC_DBG_S_REGISTER, &r) == -1) {
        errno_exit("VIDIOC_DBG_S_REGISTER");
        return -1;
    }
    return 0;
}

uint32_t sensor_read_prop(uint16_t property)
{
    v4l2_dbg_register r = drv::propertyRequest(property, 0);
    if (xioctl(fd, VIDIOC_DBG_G_REGISTER, &r) == -1) {
        errno_exit("VIDIOC_DBG_G_REGISTER");
        return 0;
    }
    return static_cast<uint32_t>(r.val);
}

char *get_version(qrb_kernel_version *version)
{
    int32_t *numbers[DRV_PROP_VERSION_COUNT] = {
        &version->jetpack_major, &version->jetpack_minor, &version->jetpack_patch,
        &version->kernel_major,  &version->kernel_minor,  &version->kernel_patch,
        &version->release_major, &version->release_minor, &version->release_patch};
    for (int i = 0; i < DRV_PROP_VERSION_COUNT; ++i)
        *numbers[i] = static_cast<int32_t>(
            sensor_read_prop(static_cast<uint16_t>(DRV_PROP_VERSION_FIRST - i)));
    std::snprintf(version->version, sizeof version->version,
                  "jetpack_%d_%d_%d_kernel_%d_%d_%d_release_%d_%d_%d", version->jetpack_major,
                  version->jetpack_minor, version->jetpack_patch, version->kernel_major,
                  version->kernel_minor, version->kernel_patch, version->release_major,
                  version->release_minor, version->release_patch);
    return version->version;
}

void sensor_gpio_reset(unsigned first, unsigned second)
{
    std::fprintf(stderr, "sensor reset - start\n");
    if (isBoardVideoNode(dev_name)) {
        sensor_config_prop(DRV_PROP_RESET_LINE, 0);
        sleep(first);
        sensor_config_prop(DRV_PROP_RESET_LINE, 1);
        sleep(second);
    }
    std::fprintf(stderr, "sensor reset - done\n");
}
