// V4L2_Camera: construction, opening and closing the video nodes, the current channel.
#include "v4l2_camera.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/stat.h>

namespace {

constexpr const char *kSecondChannelNode = "/dev/video3";

} // namespace

V4L2_Camera::V4L2_Camera(int index)
    : deviceIndex(index), pixelFormat(V4L2_PIX_FMT_SGRBG12),
      version(std::make_unique<qrb_kernel_version>())
{
}

V4L2_Camera::~V4L2_Camera()
{
    CloseDriver();
}

bool V4L2_Camera::Create(int index)
{
    devicePath = "/dev/video" + std::to_string(index);
    struct stat st {
    };
    if (::stat(devicePath.c_str(), &st) == -1) {
        std::fprintf(stderr, "Cannot identify '%s': %d, %s\n", devicePath.c_str(), errno,
                     std::strerror(errno));
        return false;
    }
    if (!S_ISCHR(st.st_mode)) {
        std::fprintf(stderr, "%s is no devicen\n", devicePath.c_str());
        return false;
    }
    UniqueFd first(::open(devicePath.c_str(), O_RDWR | O_NONBLOCK));
    if (!first.isValid()) {
        std::fprintf(stderr, "Cannot open '%s': %d, %s\n", devicePath.c_str(), errno,
                     std::strerror(errno));
        return false;
    }
    UniqueFd second(::open(kSecondChannelNode, O_RDWR | O_NONBLOCK));
    if (!second.isValid()) {
        std::fprintf(stderr, "Cannot open OSTRIX_DEVICE_HEADBOARD_LANE4_MVC: %d, %s\n", errno,
                     std::strerror(errno));
        return false;
    }
    fds[0] = std::move(first);
    fds[1] = std::move(second);
    deviceIndex = index;
    channel = 0;
    fd = fds[0].get();
    opened = true;
    get_version(version.get());
    i2cAddress = static_cast<uint8_t>(sensor_read_prop(DRV_PROP_I2C_ADDRESS));
    sensor_config_prop(DRV_PROP_I2C_SPEED, i2cSpeed);
    return true;
}

bool V4L2_Camera::CloseDriver()
{
    // Both nodes are closed: the second one is opened with the first whether it is used or not.
    for (auto &node : fds)
        node.reset();
    fd = -1;
    channel = 0;
    deviceIndex = 0;
    opened = false;
    needsReinit = false;
    return true;
}

void V4L2_Camera::SetFD(int newChannel)
{
    if (newChannel < 0 || newChannel >= kChannels)
        return;
    channel = newChannel;
    fd = fds[newChannel].get();
}
