// V4L2_Camera: formats, memory-mapped buffers, streaming and the capture cycle.
#include "v4l2_camera.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/mman.h>

namespace {

constexpr uint32_t kCaptureCapability = V4L2_CAP_VIDEO_CAPTURE;
constexpr uint32_t kStreamingCapability = V4L2_CAP_STREAMING;
constexpr int kMaxTimeouts = 5;
constexpr uint32_t kMsPerSecond = 1000;

v4l2_buffer captureBuffer(uint32_t index = 0)
{
    v4l2_buffer b;
    std::memset(&b, 0, sizeof b);
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    b.index = index;
    return b;
}

v4l2_requestbuffers bufferRequest(uint32_t count)
{
    v4l2_requestbuffers req;
    std::memset(&req, 0, sizeof req);
    req.count = count;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    return req;
}

// Prints @format with the errno of the failure and its text.
void reportErrno(const char *format)
{
    const int error = errno;
    std::fprintf(stderr, format, error, std::strerror(error));
}

} // namespace

bool V4L2_Camera::initCaps()
{
    v4l2_capability caps;
    std::memset(&caps, 0, sizeof caps);
    if (xioctl(VIDIOC_QUERYCAP, &caps) == -1) {
        std::fprintf(stderr,
                     "v4l2 -- failed to query caps (xioctl VIDIOC_QUERYCAP) for channel: %d\n",
                     channel);
        return false;
    }
    if ((caps.capabilities & kCaptureCapability) == 0) {
        std::fprintf(stderr, "v4l2 -- channel %d is not a video capture device\n", channel);
        return false;
    }
    if ((caps.capabilities & kStreamingCapability) == 0) {
        std::fprintf(stderr, "v4l2 -- channel %d does not support streaming i/o\n", channel);
        return false;
    }
    return true;
}

bool V4L2_Camera::initFormats()
{
    v4l2_format format;
    std::memset(&format, 0, sizeof format);
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix.width = requestedWidth;
    format.fmt.pix.height = requestedHeight;
    format.fmt.pix.pixelformat = pixelFormat;
    format.fmt.pix.field = V4L2_FIELD_NONE;
    if (xioctl(VIDIOC_S_FMT, &format) == -1) {
        const int error = errno;
        std::fprintf(stderr,
                     "v4l2 -- failed to set video format of device (errno=%i) (%s), nFD=%d\n",
                     error, std::strerror(error), fd);
        return false;
    }
    sensor_set_stride(stride[channel]);
    if (stride[channel] != 0)
        activeWidth =
            bytesPerPixel != 0 ? stride[channel] / static_cast<uint32_t>(bytesPerPixel) : 0;
    else
        activeWidth = format.fmt.pix.width;
    activeHeight = format.fmt.pix.height;
    return initMMap();
}

bool V4L2_Camera::initMMap()
{
    // A node keeps its buffers while any of them is mapped: the old ones go first.
    buffers[channel].clear();
    lastFrame[channel] = nullptr;
    requeued[channel] = true;
    v4l2_requestbuffers req = bufferRequest(kBufferCount);
    if (xioctl(VIDIOC_REQBUFS, &req) == -1) {
        reportErrno("v4l2 -- does not support mmap (errno=%i) (%s)\n");
        return false;
    }
    if (req.count < kMinBuffers) {
        std::fprintf(stderr, "v4l2 -- insufficient mmap memory\n");
        return false;
    }
    std::vector<MappedBuffer> mapped;
    mapped.reserve(req.count);
    for (uint32_t i = 0; i < req.count; ++i) {
        v4l2_buffer record = captureBuffer(i);
        if (xioctl(VIDIOC_QUERYBUF, &record) == -1) {
            reportErrno("v4l2 -- failed retrieve mmap buffer info (errno=%i) (%s)\n");
            return false;
        }
        void *address =
            ::mmap(nullptr, record.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, record.m.offset);
        if (address == MAP_FAILED) {
            reportErrno("v4l2 -- failed to mmap buffer (errno=%i) (%s)\n");
            return false;
        }
        mapped.emplace_back(record, address, record.length);
    }
    buffers[channel] = std::move(mapped);
    return true;
}

bool V4L2_Camera::FreeMMap()
{
    for (MappedBuffer &buffer : buffers[channel]) {
        if (const int error = buffer.unmap(); error != 0) {
            std::fprintf(stderr, "v4l2 -- failed to un-mmap (errno=%i) (%s)\n", error,
                         std::strerror(error));
            return false;
        }
    }
    dropBuffers(channel);
    return true;
}

bool V4L2_Camera::CleanDevice()
{
    v4l2_requestbuffers req = bufferRequest(0);
    if (xioctl(VIDIOC_REQBUFS, &req) == -1) {
        reportErrno("v4l2 -- does not clean mmap (errno=%i) (%s)\n");
        return false;
    }
    return true;
}

bool V4L2_Camera::initChannel(uint32_t width, uint32_t height, uint32_t format)
{
    requestedWidth = width;
    requestedHeight = height;
    pixelFormat = format;
    update_frame_format_property(DRV_PROP_WIDTH, width);
    update_frame_format_property(DRV_PROP_HEIGHT, height);
    update_sensor_image_property(DRV_PROP_PIXEL_FORMAT, format);
    return initCaps() && initFormats();
}

bool V4L2_Camera::ReInitialize()
{
    const uint32_t width = requestedWidth, height = requestedHeight;
    bool ok = true;
    for (int c = 0; c < numVirtual && ok; ++c) {
        SetFD(c);
        if (virtualMode)
            ok = initChannel(virtualWidth[c], virtualHeight[c], virtualFormat[c]);
        else
            ok = initChannel(width, height, pixelFormat);
    }
    requestedWidth = width;
    requestedHeight = height;
    SetFD(0);
    if (!ok) {
        needsReinit = true;
        return false;
    }
    needsReinit = false;
    formatReset = false;
    return true;
}

bool V4L2_Camera::UnInitialize()
{
    bool ok = true;
    for (int c = 0; c < kChannels && ok; ++c) {
        if (buffers[c].empty())
            continue;
        SetFD(c);
        ok = FreeMMap() && CleanDevice();
        // A format reset in two-channel mode rebuilds the second channel later.
        if (formatReset && virtualMode)
            break;
    }
    SetFD(0);
    return ok;
}

bool V4L2_Camera::queueAll()
{
    for (const MappedBuffer &buffer : buffers[channel]) {
        v4l2_buffer record = captureBuffer(buffer.record().index);
        if (xioctl(VIDIOC_QBUF, &record) == -1) {
            reportErrno("v4l2 -- failed to VIDIOC_QBUF (errno=%i) (%s)\n");
            return false;
        }
    }
    requeued[channel] = true;
    return true;
}

bool V4L2_Camera::StartStream()
{
    bool ok = true;
    for (int c = 0; c < numVirtual && ok; ++c) {
        SetFD(c);
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        ok = queueAll();
        if (ok && xioctl(VIDIOC_STREAMON, &type) == -1) {
            reportErrno("v4l2 -- failed to start streaming (errno=%i) (%s)\n");
            ok = false;
        }
    }
    SetFD(0);
    if (ok)
        streaming = true;
    return ok;
}

bool V4L2_Camera::StopStream()
{
    bool ok = true;
    for (int c = 0; c < numVirtual; ++c) {
        SetFD(c);
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(VIDIOC_STREAMOFF, &type) == -1) {
            const int error = errno;
            std::fprintf(stderr, "v4l2 -- failed to stop streaming channel %d (errno=%i) (%s)\n", c,
                         error, std::strerror(error));
            ok = false;
            break;
        }
        // Stream-off hands every buffer back: nothing of this channel is held any more.
        requeued[c] = true;
        lastFrame[c] = nullptr;
    }
    SetFD(0);
    streaming = false;
    return ok;
}

// Waits for the current channel's frame and dequeues it; false when the capture ends here.
bool V4L2_Camera::waitForFrame(uint32_t timeoutMs)
{
    // The wait is counted in whole seconds: 500 ms waits not at all.
    const int waitMs = static_cast<int>(timeoutMs / kMsPerSecond * kMsPerSecond);
    int timeouts = 0;
    while (streaming && !needsReinit) {
        pollfd ready{fd, POLLIN, 0};
        const int rc = ::poll(&ready, 1, waitMs);
        if (rc == -1) {
            if (errno == EINTR)
                continue;
            reportErrno("v4l2 -- select() failed (errno=%i) (%s)\n");
            return false;
        }
        if (rc == 0 || (ready.revents & POLLIN) == 0) {
            if (rc == 0)
                std::fprintf(stderr, "v4l2 -- select() timed out (channel %d)...\n", channel);
            else
                reportErrno("v4l2 -- FD not set (errno=%i) (%s)\n");
            // Bounded either way: a descriptor that never becomes readable ends the capture.
            if (++timeouts == kMaxTimeouts) {
                std::fprintf(stderr, "v4l2 -- tried 5 times (channel %d)...\n", channel);
                return false;
            }
            continue;
        }
        if (ReadFrame() == 1)
            return true;
        reportErrno("v4l2 -- ReadFrame() failed (errno=%i) (%s)\n");
        return false;
    }
    return true;
}

bool V4L2_Camera::CaptureFrames(uint32_t timeoutMs)
{
    if (needsReinit)
        return false;
    bool ok = true;
    for (int c = 0; c < numVirtual && ok; ++c) {
        SetFD(c);
        ok = waitForFrame(timeoutMs);
    }
    SetFD(0);
    return ok;
}

int V4L2_Camera::ReadFrame()
{
    v4l2_buffer record = captureBuffer();
    if (xioctl(VIDIOC_DQBUF, &record) == -1) {
        if (errno == EAGAIN)
            return 0;
        reportErrno("v4l2 -- ioctl(VIDIOC_DQBUF) failed (errno=%i) (%s)\n");
        return -1;
    }
    std::vector<MappedBuffer> &mine = buffers[channel];
    if (record.index >= mine.size()) {
        // Not one of ours: give it straight back rather than read memory we did not map.
        xioctl(VIDIOC_QBUF, &record);
        errno = EINVAL;
        return -1;
    }
    lastBuffer[channel] = record;
    // Never more than was mapped, whatever the driver reports.
    bytesUsed[channel] = std::min<uint64_t>(record.bytesused, mine[record.index].length());
    lastFrame[channel] = mine[record.index].data();
    requeued[channel] = false;
    return 1;
}

int V4L2_Camera::ReleaseFrame()
{
    int result = 0;
    for (int c = 0; c < numVirtual; ++c) {
        if (requeued[c])
            continue;
        SetFD(c);
        v4l2_buffer record = lastBuffer[c];
        if (xioctl(VIDIOC_QBUF, &record) == -1) {
            reportErrno("v4l2 -- ioctl(VIDIOC_QBUF) failed (errno=%i) (%s)\n");
            result = -1;
            break;
        }
        requeued[c] = true;
        lastFrame[c] = nullptr;
    }
    SetFD(0);
    return result;
}
