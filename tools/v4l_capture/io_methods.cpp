// The video node's capabilities, format and buffers for read(), mmap and user-pointer I/O.
#include "io_methods.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "driver_control.h"
#include "sensor_table.h"

namespace {

constexpr unsigned kRequestedBuffers = 4;
constexpr unsigned kMinimumBuffers = 2;
constexpr uint32_t kBytesPerSample = 2;
constexpr uint32_t kStrideAlignment = 32;
constexpr size_t kUserPointerAlignment = 4096;

[[noreturn]] void failWith(const char *format, const std::string &name)
{
    std::fprintf(stderr, format, name.c_str());
    std::fputc('\n', stderr);
    std::exit(EXIT_FAILURE);
}

void request(unsigned long code, void *arg, const char *name)
{
    if (xioctl(fd, code, arg) == -1)
        errno_exit(name);
}

} // namespace

// One buffer: mapped from the driver (unmapped on release) or owned by the program.
struct CaptureDevice::Buffer {
    uint8_t *start = nullptr;
    size_t length = 0;
    bool mapped = false;

    Buffer(const Buffer &) = delete;
    Buffer &operator=(const Buffer &) = delete;
    Buffer(uint8_t *s, size_t l, bool m) : start(s), length(l), mapped(m) {}
    ~Buffer()
    {
        if (mapped)
            ::munmap(start, length);
        else
            std::free(start);
    }
};

uint32_t preferredStride(uint32_t width)
{
    if (width % kStrideAlignment == 0)
        return 0;
    return (width / kStrideAlignment + 1) * kStrideAlignment * kBytesPerSample;
}

CaptureDevice::CaptureDevice() = default;

CaptureDevice::~CaptureDevice()
{
    releaseBuffers();
    if (fd_ >= 0)
        ::close(fd_);
    if (::fd == fd_)
        ::fd = -1;
}

void CaptureDevice::open(const std::string &name)
{
    name_ = name;
    struct stat st;
    if (::stat(name.c_str(), &st) == -1) {
        const int e = errno;
        std::fprintf(stderr, "Cannot identify '%s': %d, %s\n", name.c_str(), e, std::strerror(e));
        std::exit(EXIT_FAILURE);
    }
    if (!S_ISCHR(st.st_mode))
        failWith("%s is no devicen", name);
    fd_ = ::open(name.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd_ == -1) {
        const int e = errno;
        std::fprintf(stderr, "Cannot open '%s': %d, %s\n", name.c_str(), e, std::strerror(e));
        std::exit(EXIT_FAILURE);
    }
    ::fd = fd_;
    ::dev_name = name_.c_str();
}

void CaptureDevice::checkCapabilities()
{
    v4l2_capability cap;
    std::memset(&cap, 0, sizeof cap);
    if (xioctl(fd_, VIDIOC_QUERYCAP, &cap) == -1) {
        if (errno == EINVAL)
            failWith("%s is no V4L2 device", name_);
        errno_exit("VIDIOC_QUERYCAP");
    }
    const uint32_t caps =
        cap.capabilities & V4L2_CAP_DEVICE_CAPS ? cap.device_caps : cap.capabilities;
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE))
        failWith("%s is no video capture device", name_);
    if (io_ == IoMethod::Read && !(caps & V4L2_CAP_READWRITE))
        failWith("%s does not support read i/o", name_);
    if (io_ != IoMethod::Read && !(caps & V4L2_CAP_STREAMING))
        failWith("%s does not support streaming i/o", name_);
}

void CaptureDevice::resetCrop()
{
    v4l2_cropcap cropcap;
    std::memset(&cropcap, 0, sizeof cropcap);
    cropcap.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (xioctl(fd_, VIDIOC_CROPCAP, &cropcap) != 0)
        return;
    v4l2_crop crop;
    std::memset(&crop, 0, sizeof crop);
    crop.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    crop.c = cropcap.defrect;
    (void)xioctl(fd_, VIDIOC_S_CROP, &crop); // a node without cropping keeps its window
}

FrameGeometry CaptureDevice::setFormat(const SensorEntry &sensor, const CaptureSettings &s)
{
    v4l2_format fmt;
    std::memset(&fmt, 0, sizeof fmt);
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (s.forceFormat) {
        if (s.preferredStride)
            sensor_set_stride(preferredStride(sensor.width()));
        fmt.fmt.pix.width = sensor.width();
        fmt.fmt.pix.height = sensor.height();
        fmt.fmt.pix.pixelformat = sensor.pixelFormat;
        fmt.fmt.pix.field = V4L2_FIELD_NONE;
        request(VIDIOC_S_FMT, &fmt, "VIDIOC_S_FMT");
    } else {
        request(VIDIOC_G_FMT, &fmt, "VIDIOC_G_FMT");
    }
    auto &pix = fmt.fmt.pix;
    // Buggy drivers report too little.
    pix.bytesperline = std::max(pix.bytesperline, pix.width * kBytesPerSample);
    pix.sizeimage = std::max(pix.sizeimage, pix.bytesperline * pix.height);
    return {pix.width, pix.height, pix.bytesperline, pix.sizeimage, pix.pixelformat};
}

FrameGeometry CaptureDevice::init(const SensorEntry &sensor, const CaptureSettings &s)
{
    io_ = s.io;
    checkCapabilities();
    resetCrop();
    const FrameGeometry g = setFormat(sensor, s);
    switch (io_) {
    case IoMethod::Read:
        initRead(g.imageBytes);
        break;
    case IoMethod::Mmap:
        initMmap();
        break;
    case IoMethod::UserPointer:
        initUserPointer(g.imageBytes);
        break;
    }
    return g;
}

void CaptureDevice::initRead(size_t bytes)
{
    auto *memory = static_cast<uint8_t *>(std::malloc(bytes));
    if (memory == nullptr) {
        std::fprintf(stderr, "Out of memory\n");
        std::exit(EXIT_FAILURE);
    }
    buffers_.push_back(std::make_unique<Buffer>(memory, bytes, false));
}

unsigned CaptureDevice::requestBuffers(uint32_t memory, const char *unsupported)
{
    v4l2_requestbuffers req;
    std::memset(&req, 0, sizeof req);
    req.count = kRequestedBuffers;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = memory;
    if (xioctl(fd_, VIDIOC_REQBUFS, &req) == -1) {
        if (errno == EINVAL)
            failWith(unsupported, name_);
        errno_exit("VIDIOC_REQBUFS");
    }
    return req.count;
}

void CaptureDevice::initMmap()
{
    const unsigned granted = requestBuffers(V4L2_MEMORY_MMAP, "%s does not support memory mapping");
    if (granted < kMinimumBuffers)
        failWith("Insufficient buffer memory on %s", name_);
    for (unsigned i = 0; i < granted; ++i) {
        v4l2_buffer buf;
        std::memset(&buf, 0, sizeof buf);
        buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buf.memory = V4L2_MEMORY_MMAP;
        buf.index = i;
        request(VIDIOC_QUERYBUF, &buf, "VIDIOC_QUERYBUF");
        void *start =
            ::mmap(nullptr, buf.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, buf.m.offset);
        if (start == MAP_FAILED)
            errno_exit("mmap");
        buffers_.push_back(
            std::make_unique<Buffer>(static_cast<uint8_t *>(start), buf.length, true));
    }
}

void CaptureDevice::initUserPointer(size_t bytes)
{
    requestBuffers(V4L2_MEMORY_USERPTR, "%s does not support user pointer i/o");
    const size_t rounded =
        (bytes + kUserPointerAlignment - 1) / kUserPointerAlignment * kUserPointerAlignment;
    for (unsigned i = 0; i < kRequestedBuffers; ++i) {
        auto *memory = static_cast<uint8_t *>(std::aligned_alloc(kUserPointerAlignment, rounded));
        if (memory == nullptr) {
            std::fprintf(stderr, "Out of memory\n");
            std::exit(EXIT_FAILURE);
        }
        buffers_.push_back(std::make_unique<Buffer>(memory, bytes, false));
    }
}

void CaptureDevice::queue(unsigned index)
{
    v4l2_buffer buf;
    std::memset(&buf, 0, sizeof buf);
    buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buf.index = index;
    if (io_ == IoMethod::Mmap) {
        buf.memory = V4L2_MEMORY_MMAP;
    } else {
        buf.memory = V4L2_MEMORY_USERPTR;
        buf.m.userptr = reinterpret_cast<unsigned long>(buffers_[index]->start);
        buf.length = static_cast<uint32_t>(buffers_[index]->length);
    }
    request(VIDIOC_QBUF, &buf, "VIDIOC_QBUF");
}

void CaptureDevice::start()
{
    if (io_ == IoMethod::Read)
        return;
    for (unsigned i = 0; i < buffers_.size(); ++i)
        queue(i);
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request(VIDIOC_STREAMON, &type, "VIDIOC_STREAMON");
    streaming_ = true;
}

std::optional<Frame> CaptureDevice::dequeue()
{
    if (io_ == IoMethod::Read) {
        Buffer &b = *buffers_[0];
        const ssize_t n = ::read(fd_, b.start, b.length);
        if (n == -1) {
            if (errno == EAGAIN || errno == EINTR)
                return std::nullopt;
            errno_exit("read");
            return std::nullopt;
        }
        return Frame{b.start, static_cast<size_t>(n), 0};
    }
    v4l2_buffer buf;
    std::memset(&buf, 0, sizeof buf);
    buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buf.memory = io_ == IoMethod::Mmap ? V4L2_MEMORY_MMAP : V4L2_MEMORY_USERPTR;
    if (xioctl(fd_, VIDIOC_DQBUF, &buf) == -1) {
        if (errno == EAGAIN)
            return std::nullopt;
        errno_exit("VIDIOC_DQBUF");
        return std::nullopt;
    }
    unsigned index = buf.index;
    if (io_ == IoMethod::UserPointer) {
        index = static_cast<unsigned>(buffers_.size());
        for (unsigned i = 0; i < buffers_.size(); ++i)
            if (reinterpret_cast<unsigned long>(buffers_[i]->start) == buf.m.userptr)
                index = i;
    }
    if (index >= buffers_.size()) {
        std::fprintf(stderr, "%s returned a buffer that is not one of ours (index %u)\n",
                     name_.c_str(), buf.index);
        std::exit(EXIT_FAILURE);
    }
    const size_t bytes = std::min<size_t>(buf.bytesused, buffers_[index]->length);
    return Frame{buffers_[index]->start, bytes, index};
}

void CaptureDevice::requeue(const Frame &frame)
{
    if (io_ != IoMethod::Read)
        queue(frame.index);
}

void CaptureDevice::stop()
{
    if (!streaming_)
        return;
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request(VIDIOC_STREAMOFF, &type, "VIDIOC_STREAMOFF");
    streaming_ = false;
}

void CaptureDevice::releaseBuffers()
{
    buffers_.clear();
}

void CaptureDevice::close()
{
    releaseBuffers();
    if (fd_ < 0)
        return;
    const int rc = ::close(fd_);
    fd_ = -1;
    ::fd = -1;
    if (rc == -1)
        errno_exit("close");
}
