// GrabFrameDLL: one frame from the capture device, cropped to the image, merged across virtual
// channels, shifted to the sensor's bit depth and copied to the caller.
#include "entry_points.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "block_helpers.h"
#include "zentro_errors.h"

namespace {

constexpr uint32_t kCaptureTimeoutMs = 1000;
constexpr uint8_t kNoFrameFill = 0xFF; // a white frame rather than stale data

// A frame ready for delivery: in the driver's buffer or in a work buffer of ours.
struct Frame {
    const uint8_t *data = nullptr;
    size_t size = 0;
    std::vector<uint8_t> work;

    void adopt(std::vector<uint8_t> &&bytes)
    {
        work = std::move(bytes);
        data = work.data();
        size = work.size();
    }
};

// Channel @c's last frame, its row padding dropped when the driver padded the rows.
Frame channelFrame(const DeviceContext &c, int channel, uint32_t width, uint32_t height)
{
    const V4L2_Camera &device = *c.device;
    Frame frame;
    frame.data = device.LastFrame(channel);
    frame.size = device.BytesUsed(channel);
    if (c.rowRemainder[channel] == 0 || frame.data == nullptr)
        return frame;
    const size_t pitch = size_t{c.stridePixels[channel]} * c.bytesPerPixel[channel];
    const size_t rowBytes = std::min(size_t{width} * c.bytesPerPixel[channel], pitch);
    // Never more rows than the driver delivered.
    const size_t rows = pitch == 0 ? 0 : std::min<size_t>(height, frame.size / pitch);
    std::vector<uint8_t> cropped(rows * rowBytes);
    CropImages_neon(cropped.data(), frame.data, pitch, rows, rowBytes);
    frame.adopt(std::move(cropped));
    return frame;
}

Frame singleChannelFrame(ze_camera_t *camera, const DeviceContext &c)
{
    return channelFrame(c, 0, c.device->RequestedWidth(), camera->sensor->imageHeight);
}

Frame twoChannelFrame(ze_camera_t *camera, DeviceContext &c)
{
    const ze_sensor_t &sensor = *camera->sensor;
    Frame parts[V4L2_Camera::kChannels];
    for (int ch = 0; ch < V4L2_Camera::kChannels; ++ch)
        parts[ch] = channelFrame(c, ch, sensor.vcWidth[ch], sensor.vcHeight[ch]);
    const uint8_t *sources[V4L2_Camera::kChannels] = {parts[0].data, parts[1].data};
    const size_t sizes[V4L2_Camera::kChannels] = {parts[0].data ? parts[0].size : 0,
                                                  parts[1].data ? parts[1].size : 0};
    std::vector<uint8_t> merged(sizes[0] + sizes[1]);
    MemAppend_neon(sources, merged.data(), sizes);
    c.frameData.vcOffset[0] = 0;
    c.frameData.vcBytes[0] = static_cast<uint32_t>(sizes[0]);
    c.frameData.vcOffset[1] = static_cast<uint32_t>(sizes[0]);
    c.frameData.vcBytes[1] = static_cast<uint32_t>(sizes[1]);
    Frame frame;
    frame.adopt(std::move(merged));
    return frame;
}

int grabFrame(ze_camera_t *camera, DeviceContext &c, uint8_t *buffer, uint32_t size)
{
    V4L2_Camera &device = *c.device;
    if ((device.NeedsReinit() || device.FormatReset()) && !RestartStreaming(camera, c))
        return CAMERA_ERROR;
    if (!device.IsStreaming()) {
        if (size != 0)
            std::memset(buffer, kNoFrameFill, size);
        return CAMERA_ERROR;
    }
    c.frameData = ze_frame_info_t{};
    // Whatever was dequeued goes back to the driver on every path.
    struct GiveBack {
        V4L2_Camera &device;
        ~GiveBack() { device.ReleaseFrame(); }
    } giveBack{device};
    if (!device.CaptureFrames(kCaptureTimeoutMs))
        return CAMERA_ERROR;
    const Frame frame = c.vcDemux == 1 ? twoChannelFrame(camera, c) : singleChannelFrame(camera, c);
    if (frame.data == nullptr)
        return CAMERA_ERROR; // the stream stopped while waiting
    const size_t delivered = std::min<size_t>(size, frame.size);
    BitShift_neon(buffer, frame.data, delivered, c.shift);
    // The driver numbers the frames it captured; clients tell dropped frames by the gaps.
    c.frameData.frameNumber = device.LastBuffer(0).sequence;
    c.frameData.bytesRequested = static_cast<uint32_t>(delivered);
    c.frameData.bytesReturned = static_cast<uint32_t>(frame.size);
    c.frameData.imageBytesReturned = static_cast<uint32_t>(frame.size);
    return CAMERA_SUCCESS;
}

} // namespace

bool RestartStreaming(ze_camera_t *camera, DeviceContext &c)
{
    V4L2_Camera &device = *c.device;
    // Nothing asked for yet: the sensor's own image size.
    const ze_sensor_t *sensor = camera->sensor;
    if ((device.RequestedWidth() == 0 || device.RequestedHeight() == 0) && sensor != nullptr &&
        sensor->imageWidth != 0 && sensor->imageHeight != 0)
        RequestFrameSize(c, sensor->imageWidth, sensor->imageHeight);
    device.RestartDriver();
    if (!CheckSettings(camera, c))
        return false;
    // The bit depth may have changed the pixel size since the frame size was set: the rows
    // are laid out again for the pixel size the stream will have.
    if (device.RequestedWidth() != 0)
        LayoutChannel(c, 0, device.RequestedWidth());
    if (!device.ReInitialize())
        return false;
    if (!device.StartStream()) {
        std::printf("\t\tStream Failed!\n");
        return false;
    }
    return true;
}

CSI_EXPORT int GrabFrameDLL(ze_camera_t *camera, uint8_t *buffer, uint32_t size)
{
    return guardedEntry("GrabFrameDLL", [&]() -> int {
        DeviceContext *c = deviceContext(camera);
        if (c == nullptr || camera->sensor == nullptr || c->sensorReset == 1)
            return CAMERA_SUCCESS;
        if (buffer == nullptr && size != 0)
            return CAMERA_ERROR;
        return grabFrame(camera, *c, buffer, size);
    });
}
