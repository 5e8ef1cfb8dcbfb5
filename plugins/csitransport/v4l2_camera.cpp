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
constexpr const char *kNodePrefix = "/dev/video";
constexpr int kHighestSwitchNode = 5; // SwitchDevice maps 1..5 to their nodes, else node 0

int openNode(const std::string &path)
{
    return ::open(path.c_str(), O_RDWR | O_NONBLOCK);
}

// The capture pixel format of a library image type.
uint32_t formatOfImageType(uint32_t imageType)
{
    switch (imageType) {
    case 1:
        return V4L2_PIX_FMT_SGRBG8;
    case 2:
        return V4L2_PIX_FMT_SGRBG10;
    case 20:
        return v4l2_fourcc('p', 'g', 'E', 'E');
    case 28:
        return V4L2_PIX_FMT_SGRBG16;
    default:
        return V4L2_PIX_FMT_SGRBG12;
    }
}

} // namespace

V4L2_Camera::V4L2_Camera(int index)
    : deviceIndex(index), previousDeviceIndex(index), pixelFormat(V4L2_PIX_FMT_SGRBG12),
      version(std::make_unique<qrb_kernel_version>())
{
}

V4L2_Camera::~V4L2_Camera()
{
    CloseDriver();
}

bool V4L2_Camera::Create(int index)
{
    devicePath = kNodePrefix + std::to_string(index);
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
    UniqueFd first(openNode(devicePath));
    if (!first.isValid()) {
        std::fprintf(stderr, "Cannot open '%s': %d, %s\n", devicePath.c_str(), errno,
                     std::strerror(errno));
        return false;
    }
    UniqueFd second(openNode(kSecondChannelNode));
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
    // The mappings go before their nodes; both nodes are closed, as the second one is
    // opened with the first whether it is used or not.
    for (int c = 0; c < kChannels; ++c) {
        dropBuffers(c);
        fds[c].reset();
    }
    streaming = false;
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

void V4L2_Camera::dropBuffers(int c)
{
    buffers[c].clear();
    lastFrame[c] = nullptr;
    bytesUsed[c] = 0;
    requeued[c] = true;
}

bool V4L2_Camera::SwitchDevice(int index)
{
    if (opened && index == deviceIndex)
        return true;
    previousDeviceIndex = deviceIndex;
    deviceIndex = index >= 1 && index <= kHighestSwitchNode ? index : 0;
    devicePath = kNodePrefix + std::to_string(deviceIndex);
    deviceChanged = false;
    return ResetDriver();
}

bool V4L2_Camera::ResetDriver()
{
    // The buffers of the old descriptor end with it; a stream on it ends too.
    if (streaming)
        StopStream();
    dropBuffers(0);
    fds[0].reset();
    UniqueFd node(openNode(devicePath));
    if (!node.isValid()) {
        const int error = errno;
        std::fprintf(stderr, "Cannot open channel %d, error = %d (%s)\n", 0, error,
                     std::strerror(error));
        SetFD(0);
        return false;
    }
    fds[0] = std::move(node);
    SetFD(0);
    opened = true;
    sensor_config_prop(DRV_PROP_SENSOR_ADDRESS, i2cAddress);
    needsReinit = true;
    return true;
}

bool V4L2_Camera::InitVirtual()
{
    SetFD(1);
    const int rc = sensor_config_prop(DRV_PROP_SENSOR_ADDRESS, i2cAddress);
    SetFD(0);
    if (rc < 0)
        return false;
    virtualMode = true;
    return true;
}

void V4L2_Camera::SetVirtualSize(const uint32_t widths[kChannels],
                                 const uint32_t heights[kChannels],
                                 const uint32_t imageTypes[kChannels])
{
    for (int c = 0; c < kChannels; ++c) {
        virtualWidth[c] = widths[c];
        virtualHeight[c] = heights[c];
        virtualFormat[c] = formatOfImageType(imageTypes[c]);
    }
}

void V4L2_Camera::SetRequestedSize(uint32_t width, uint32_t height)
{
    requestedWidth = width;
    requestedHeight = height;
}

void V4L2_Camera::SetStrideVal(int c, uint32_t bytes)
{
    if (c >= 0 && c < kChannels)
        stride[c] = bytes;
}
