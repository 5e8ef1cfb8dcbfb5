// The video node and its three I/O methods: read(), memory-mapped and user-pointer buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "options.h"

struct SensorEntry;

// One frame handed out by the device until it is given back.
struct Frame {
    const uint8_t *data;
    size_t bytes;
    unsigned index; // buffer index, for giving it back
};

// Geometry of the frames the device delivers.
struct FrameGeometry {
    uint32_t width;
    uint32_t height;
    uint32_t bytesPerLine;
    uint32_t imageBytes;
    uint32_t pixelFormat;
};

// The preferred stride in bytes that aligns rows of width 16-bit samples to 32 pixels; 0 (the
// driver's own) when width already is a multiple of 32.
uint32_t preferredStride(uint32_t width);

class CaptureDevice
{
public:
    CaptureDevice();
    ~CaptureDevice();
    CaptureDevice(const CaptureDevice &) = delete;
    CaptureDevice &operator=(const CaptureDevice &) = delete;

    // Opens the node read-write and non-blocking; it becomes the driver-control module's
    // device. Ends the program when the node does not exist, is not a character device or
    // cannot be opened.
    void open(const std::string &name);
    int descriptor() const { return fd_; }

    // Capability checks, crop, format (from the sensor table with -f) and buffers.
    FrameGeometry init(const SensorEntry &sensor, const CaptureSettings &settings);
    void start();
    // The next finished frame, or nothing when none is ready yet (EAGAIN).
    std::optional<Frame> dequeue();
    void requeue(const Frame &frame);
    void stop();
    // Releases the buffers and closes the node ("close" error path).
    void close();

private:
    struct Buffer;

    void checkCapabilities();
    void resetCrop();
    FrameGeometry setFormat(const SensorEntry &sensor, const CaptureSettings &settings);
    void initRead(size_t bytes);
    // VIDIOC_REQBUFS for kRequestedBuffers of a memory type; the count granted. A driver
    // without that memory type ends the program with the message unsupported.
    unsigned requestBuffers(uint32_t memory, const char *unsupported);
    void initMmap();
    void initUserPointer(size_t bytes);
    void queue(unsigned index);
    void releaseBuffers();

    std::string name_;
    int fd_ = -1;
    IoMethod io_ = IoMethod::Mmap;
    std::vector<std::unique_ptr<Buffer>> buffers_;
    bool streaming_ = false;
};
