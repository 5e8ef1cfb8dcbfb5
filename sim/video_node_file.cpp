// The simulated V4L2 capture node.
#include "video_node_file.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "application_memory.h"
#include "real_functions.h"

namespace boardsim {
namespace {

constexpr uint32_t kMaxStride = 65535;
constexpr uint32_t kMaxControls = 64;
constexpr size_t kPageSize = 4096;
constexpr uint32_t kDriverVersion = (5u << 16) | (10u << 8) | 120u;
constexpr uint32_t kCapabilities =
    V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE | V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT;

size_t roundUpToPage(size_t n)
{
    return (n + kPageSize - 1) / kPageSize * kPageSize;
}

void copyName(uint8_t *dst, size_t size, const std::string &text)
{
    std::memset(dst, 0, size);
    std::memcpy(dst, text.data(), std::min(size - 1, text.size()));
}

bool isCaptureType(uint32_t type)
{
    return type == V4L2_BUF_TYPE_VIDEO_CAPTURE;
}

// The crop requests take the multi-planar type for the single-planar one, as the kernel does.
bool isCropType(uint32_t type)
{
    return isCaptureType(type) || type == V4L2_BUF_TYPE_VIDEO_CAPTURE_MPLANE;
}

// The requests of the buffer queue, which read() I/O has taken over while it runs.
bool isQueueRequest(unsigned long request)
{
    return request == VIDIOC_QUERYBUF || request == VIDIOC_QBUF || request == VIDIOC_DQBUF ||
           request == VIDIOC_STREAMON || request == VIDIOC_STREAMOFF;
}

// Every request the node answers; any other is unknown to it (ENOTTY), whatever its argument.
constexpr unsigned long kKnownRequests[] = {VIDIOC_QUERYCAP,
                                            VIDIOC_ENUM_FMT,
                                            VIDIOC_G_FMT,
                                            VIDIOC_S_FMT,
                                            VIDIOC_TRY_FMT,
                                            VIDIOC_REQBUFS,
                                            VIDIOC_QUERYBUF,
                                            VIDIOC_QBUF,
                                            VIDIOC_DQBUF,
                                            VIDIOC_STREAMON,
                                            VIDIOC_STREAMOFF,
                                            VIDIOC_G_EXT_CTRLS,
                                            VIDIOC_S_EXT_CTRLS,
                                            VIDIOC_TRY_EXT_CTRLS,
                                            VIDIOC_G_CTRL,
                                            VIDIOC_S_CTRL,
                                            VIDIOC_CROPCAP,
                                            VIDIOC_G_CROP,
                                            VIDIOC_S_CROP,
                                            VIDIOC_DBG_G_REGISTER,
                                            VIDIOC_DBG_S_REGISTER,
                                            VIDIOC_DBG_G_CHIP_INFO,
                                            VIDIOC_G_PRIORITY,
                                            VIDIOC_S_PRIORITY,
                                            VIDIOC_ENUMINPUT,
                                            VIDIOC_G_INPUT,
                                            VIDIOC_S_INPUT,
                                            VIDIOC_ENUM_FRAMESIZES,
                                            VIDIOC_ENUM_FRAMEINTERVALS,
                                            VIDIOC_G_PARM,
                                            VIDIOC_S_PARM,
                                            VIDIOC_G_SELECTION,
                                            VIDIOC_S_SELECTION};

bool knownRequest(unsigned long request)
{
    return std::find(std::begin(kKnownRequests), std::end(kKnownRequests), request) !=
           std::end(kKnownRequests);
}

// The requests that change the node, refused to a file that another outranks in priority.
bool changesNode(unsigned long request)
{
    switch (request) {
    case VIDIOC_S_FMT:
    case VIDIOC_REQBUFS:
    case VIDIOC_STREAMON:
    case VIDIOC_STREAMOFF:
    case VIDIOC_S_INPUT:
    case VIDIOC_S_PARM:
    case VIDIOC_S_CTRL:
    case VIDIOC_S_EXT_CTRLS:
    case VIDIOC_S_CROP:
    case VIDIOC_S_SELECTION:
    case VIDIOC_S_PRIORITY:
        return true;
    default:
        return false;
    }
}

// A mapped range of the application's memory (a user-pointer buffer), checked as the kernel
// does when it pins the pages.
bool applicationMemoryMapped(unsigned long address, size_t length)
{
    const unsigned long start = address / kPageSize * kPageSize;
    return ::msync(reinterpret_cast<void *>(start), length + (address - start), MS_ASYNC) == 0;
}

} // namespace

VideoNodeFile::VideoNodeFile(Board &board, int index, int eventFd)
    : board_(board), index_(index), eventFd_(eventFd), node_(board.videoNodes[index])
{
    if (node_.format.pixelFormat == 0) {
        const auto &d = board_.description();
        node_.format = {d.width, d.height, defaultPixelFormat(d.bitDepth).fourcc, 0};
        adjustFormat(node_.format);
    }
    ++node_.priorities[priority_];
}

VideoNodeFile::~VideoNodeFile()
{
    if (mapping_ != nullptr)
        ::munmap(mapping_, mappingSize_);
}

dev_t VideoNodeFile::deviceNumber() const
{
    return makedev(kVideoMajor, static_cast<unsigned>(index_));
}

int VideoNodeFile::ioctl(BoardLock &lock, unsigned long request, void *arg)
{
    if (arg == nullptr)
        return knownRequest(request) ? -EFAULT : -ENOTTY;
    if (changesNode(request) && outranked())
        return -EBUSY;
    if (readIo_ != ReadIo::Off && isQueueRequest(request))
        return -EBUSY;
    switch (request) {
    case VIDIOC_S_PRIORITY:
        return setPriority(*static_cast<const uint32_t *>(arg));
    case VIDIOC_QUERYCAP:
        return queryCapabilities(*static_cast<v4l2_capability *>(arg));
    case VIDIOC_ENUM_FMT:
        return enumerateFormat(*static_cast<v4l2_fmtdesc *>(arg));
    case VIDIOC_G_FMT:
        return getFormat(*static_cast<v4l2_format *>(arg));
    case VIDIOC_S_FMT:
        return setFormat(*static_cast<v4l2_format *>(arg), false);
    case VIDIOC_TRY_FMT:
        return setFormat(*static_cast<v4l2_format *>(arg), true);
    case VIDIOC_REQBUFS:
        return requestBuffers(lock, *static_cast<v4l2_requestbuffers *>(arg));
    case VIDIOC_QUERYBUF:
        return queryBuffer(*static_cast<v4l2_buffer *>(arg));
    case VIDIOC_QBUF:
        return queueBuffer(*static_cast<v4l2_buffer *>(arg));
    case VIDIOC_DQBUF:
        return dequeueBuffer(lock, *static_cast<v4l2_buffer *>(arg));
    case VIDIOC_STREAMON:
        return streamOn(static_cast<const int *>(arg));
    case VIDIOC_STREAMOFF:
        return streamOff(lock, static_cast<const int *>(arg));
    case VIDIOC_G_EXT_CTRLS:
    case VIDIOC_S_EXT_CTRLS:
    case VIDIOC_TRY_EXT_CTRLS:
        return extControls(*static_cast<v4l2_ext_controls *>(arg), request);
    case VIDIOC_G_CTRL: {
        auto *c = static_cast<v4l2_control *>(arg);
        return getControl(c->id, c->value);
    }
    case VIDIOC_S_CTRL: {
        auto *c = static_cast<v4l2_control *>(arg);
        return setControl(c->id, c->value, true);
    }
    case VIDIOC_CROPCAP:
    case VIDIOC_G_CROP:
    case VIDIOC_S_CROP:
        return crop(request, arg);
    case VIDIOC_DBG_G_REGISTER:
    case VIDIOC_DBG_S_REGISTER:
        return debugRegister(request == VIDIOC_DBG_S_REGISTER,
                             *static_cast<v4l2_dbg_register *>(arg));
    default:
        return describe(request, arg);
    }
}

int VideoNodeFile::debugRegister(bool write, v4l2_dbg_register &r)
{
    const int rc = board_.driver.debugRegister(write, r);
    // A driver tells how wide the register it read is.
    if (rc == 0 && !write && r.size == 0)
        r.size = sizeof(uint32_t);
    return rc;
}

int VideoNodeFile::queryCapabilities(v4l2_capability &cap) const
{
    std::memset(&cap, 0, sizeof cap);
    copyName(cap.driver, sizeof cap.driver, "csi-capture");
    copyName(cap.card, sizeof cap.card, "Camera link " + std::to_string(index_));
    copyName(cap.bus_info, sizeof cap.bus_info, "platform:csi-capture." + std::to_string(index_));
    cap.version = kDriverVersion;
    cap.capabilities = kCapabilities | V4L2_CAP_DEVICE_CAPS;
    cap.device_caps = kCapabilities;
    return 0;
}

int VideoNodeFile::enumerateFormat(v4l2_fmtdesc &desc) const
{
    const auto *info = pixelFormatAt(desc.index);
    if (!isCaptureType(desc.type) || info == nullptr)
        return -EINVAL;
    const uint32_t index = desc.index, type = desc.type;
    std::memset(&desc, 0, sizeof desc);
    desc.index = index;
    desc.type = type;
    desc.pixelformat = info->fourcc;
    copyName(desc.description, sizeof desc.description, info->description);
    return 0;
}

void VideoNodeFile::adjustFormat(NodeFormat &f) const
{
    f.width = std::clamp<uint32_t>(f.width, 1, kMaxFrameDimension);
    f.height = std::clamp<uint32_t>(f.height, 1, kMaxFrameDimension);
    const PixelFormatInfo *info = findPixelFormat(f.pixelFormat);
    if (info == nullptr)
        info = &defaultPixelFormat(board_.description().bitDepth);
    f.pixelFormat = info->fourcc;
    const uint32_t minimum = f.width * info->bytesPerPixel;
    // The preferred stride pads rows; one shorter than a row cannot be honoured.
    f.bytesPerLine = node_.stride >= minimum ? node_.stride : minimum;
}

int VideoNodeFile::getFormat(v4l2_format &f) const
{
    if (!isCaptureType(f.type))
        return -EINVAL;
    auto &pix = f.fmt.pix;
    std::memset(&f.fmt, 0, sizeof f.fmt);
    pix.width = node_.format.width;
    pix.height = node_.format.height;
    pix.pixelformat = node_.format.pixelFormat;
    pix.field = V4L2_FIELD_NONE;
    pix.bytesperline = node_.format.bytesPerLine;
    pix.sizeimage = node_.format.bytesPerLine * node_.format.height;
    pix.colorspace = V4L2_COLORSPACE_RAW;
    return 0;
}

int VideoNodeFile::setFormat(v4l2_format &f, bool tryOnly)
{
    if (!isCaptureType(f.type))
        return -EINVAL;
    NodeFormat wanted{f.fmt.pix.width, f.fmt.pix.height, f.fmt.pix.pixelformat, 0};
    adjustFormat(wanted);
    if (!tryOnly) {
        if (node_.bufferOwner != nullptr)
            return -EBUSY;
        node_.format = wanted;
        board_.driver.state().nodeFormats[index_] = wanted;
        board_.driver.save();
    }
    const NodeFormat saved = node_.format;
    node_.format = wanted;
    getFormat(f);
    node_.format = saved;
    return 0;
}

int VideoNodeFile::requestBuffers(BoardLock &lock, v4l2_requestbuffers &req)
{
    const bool knownMemory = req.memory == V4L2_MEMORY_MMAP || req.memory == V4L2_MEMORY_USERPTR;
    if (!isCaptureType(req.type) || !knownMemory)
        return -EINVAL;
    if (node_.bufferOwner != nullptr && node_.bufferOwner != this)
        return -EBUSY;
    // Releasing the buffers ends read() I/O; asking for buffers meanwhile is refused.
    if (readIo_ != ReadIo::Off && req.count != 0)
        return -EBUSY;
    if (readIo_ == ReadIo::Running)
        stopReadIo(lock);
    if (streaming_ || readIo_ != ReadIo::Off)
        return -EBUSY;
    freeBuffers();
    std::memset(req.reserved, 0, sizeof req.reserved);
    req.flags = 0; // no cache hints: every buffer is coherent
    // Mapped buffers live in a memory file: a mapping keeps its pages after the buffers go.
    req.capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP | V4L2_BUF_CAP_SUPPORTS_USERPTR |
                       V4L2_BUF_CAP_SUPPORTS_ORPHANED_BUFS;
    if (req.count == 0)
        return 0;
    const uint32_t count = std::min(req.count, board_.description().maxBuffers);
    if (const int rc = allocateBuffers(count, req.memory); rc < 0)
        return rc;
    req.count = count;
    return 0;
}

int VideoNodeFile::allocateBuffers(uint32_t count, uint32_t memoryType)
{
    bufferFormat_ = node_.format;
    memoryType_ = memoryType;
    if (memoryType_ == V4L2_MEMORY_MMAP) {
        if (const int rc = allocateMappedBuffers(count); rc < 0)
            return rc;
    }
    buffers_.assign(count, Buffer{});
    node_.bufferOwner = this;
    return 0;
}

int VideoNodeFile::allocateMappedBuffers(uint32_t count)
{
    const size_t imageSize = size_t{bufferFormat_.bytesPerLine} * bufferFormat_.height;
    bufferPitch_ = roundUpToPage(imageSize);
    UniqueFd memory(::memfd_create("video-buffers", MFD_CLOEXEC));
    if (!memory.valid() || ::ftruncate(memory.get(), static_cast<off_t>(bufferPitch_ * count)) != 0)
        return -ENOMEM;
    void *map = real::mmap(nullptr, bufferPitch_ * count, PROT_READ | PROT_WRITE, MAP_SHARED,
                           memory.get(), 0);
    if (map == MAP_FAILED)
        return -ENOMEM;
    memory_ = std::move(memory);
    mapping_ = static_cast<uint8_t *>(map);
    mappingSize_ = bufferPitch_ * count;
    return 0;
}

uint8_t *VideoNodeFile::frameMemory(uint32_t index) const
{
    if (memoryType_ == V4L2_MEMORY_USERPTR)
        return reinterpret_cast<uint8_t *>(buffers_[index].userPointer);
    return mapping_ + index * bufferPitch_;
}

// The sensor's whole frame is the only crop rectangle.
int VideoNodeFile::crop(unsigned long request, void *arg) const
{
    const auto &d = board_.description();
    const v4l2_rect full{0, 0, d.width, d.height};
    if (request == VIDIOC_CROPCAP) {
        auto &cap = *static_cast<v4l2_cropcap *>(arg);
        if (!isCropType(cap.type))
            return -EINVAL;
        cap.bounds = full;
        cap.defrect = full;
        cap.pixelaspect = {1, 1};
        return 0;
    }
    auto &c = *static_cast<v4l2_crop *>(arg);
    if (!isCropType(c.type))
        return -EINVAL;
    c.c = full;
    return 0;
}

void VideoNodeFile::freeBuffers()
{
    if (mapping_ != nullptr)
        ::munmap(mapping_, mappingSize_);
    mapping_ = nullptr;
    mappingSize_ = 0;
    memory_.reset();
    buffers_.clear();
    memoryType_ = V4L2_MEMORY_MMAP;
    queued_.clear();
    done_.clear();
    if (node_.bufferOwner == this)
        node_.bufferOwner = nullptr;
}

void VideoNodeFile::describeBuffer(uint32_t index, v4l2_buffer &b) const
{
    const Buffer &buf = buffers_[index];
    std::memset(&b, 0, sizeof b);
    b.index = index;
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = memoryType_;
    b.field = V4L2_FIELD_NONE;
    b.length = bufferFormat_.bytesPerLine * bufferFormat_.height;
    if (memoryType_ == V4L2_MEMORY_USERPTR)
        b.m.userptr = buf.userPointer;
    else
        b.m.offset = static_cast<uint32_t>(index * bufferPitch_);
    b.bytesused = buf.bytesUsed;
    b.sequence = buf.sequence;
    b.timestamp = buf.timestamp;
    b.flags = V4L2_BUF_FLAG_MAPPED | V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC;
    if (buf.state == BufferState::Queued)
        b.flags |= V4L2_BUF_FLAG_QUEUED;
    if (buf.state == BufferState::Done)
        b.flags |= V4L2_BUF_FLAG_DONE;
}

int VideoNodeFile::queryBuffer(v4l2_buffer &b) const
{
    if (!isCaptureType(b.type) || b.index >= buffers_.size())
        return -EINVAL;
    describeBuffer(b.index, b);
    return 0;
}

int VideoNodeFile::queueBuffer(v4l2_buffer &b)
{
    if (!isCaptureType(b.type) || b.memory != memoryType_ || b.index >= buffers_.size())
        return -EINVAL;
    if (failed_)
        return -EIO;
    Buffer &buf = buffers_[b.index];
    if (buf.state != BufferState::Dequeued)
        return -EINVAL;
    if (memoryType_ == V4L2_MEMORY_USERPTR) {
        // The frame is written straight into the application's memory, which must hold it.
        const size_t imageSize = size_t{bufferFormat_.bytesPerLine} * bufferFormat_.height;
        if (b.m.userptr == 0 || b.length < imageSize)
            return -EINVAL;
        if (!applicationMemoryMapped(b.m.userptr, imageSize))
            return -EFAULT;
        buf.userPointer = b.m.userptr;
    }
    buf.state = BufferState::Queued;
    queued_.push_back(b.index);
    describeBuffer(b.index, b);
    return 0;
}

int VideoNodeFile::dequeueBuffer(BoardLock &lock, v4l2_buffer &b)
{
    if (!isCaptureType(b.type) || b.memory != memoryType_)
        return -EINVAL;
    const bool noWait = nonBlocking();
    while (done_.empty() || failed_) {
        if (failed_)
            return -EIO;
        if (!streaming_)
            return -EINVAL;
        if (noWait)
            return -EAGAIN;
        board_.frameReady.wait(lock);
    }
    const uint32_t index = done_.front();
    done_.pop_front();
    uint64_t one = 0;
    [[maybe_unused]] ssize_t n = real::read(eventFd_, &one, sizeof one);
    buffers_[index].state = BufferState::Dequeued;
    describeBuffer(index, b);
    return 0;
}

int VideoNodeFile::streamOn(const int *type)
{
    if (!isCaptureType(static_cast<uint32_t>(*type)) || buffers_.empty())
        return -EINVAL;
    if (streaming_)
        return 0;
    startWorker();
    return 0;
}

bool VideoNodeFile::nonBlocking() const
{
    return (::fcntl(eventFd_, F_GETFL) & O_NONBLOCK) != 0;
}

void VideoNodeFile::startWorker()
{
    framesSent_ = 0;
    streaming_ = true;
    stopWorker_ = false;
    worker_ = std::thread(&VideoNodeFile::streamLoop, this);
}

int VideoNodeFile::streamOff(BoardLock &lock, const int *type)
{
    if (!isCaptureType(static_cast<uint32_t>(*type)))
        return -EINVAL;
    stopWorker(lock);
    // Stream-off gives every buffer back to the application, dropping finished frames, and
    // clears a failure: the next stream starts afresh.
    dropFinishedFrames();
    clearFailure();
    queued_.clear();
    for (auto &buf : buffers_)
        buf.state = BufferState::Dequeued;
    return 0;
}

void VideoNodeFile::dropFinishedFrames()
{
    for (size_t i = 0; i < done_.size(); ++i) {
        uint64_t one = 0;
        [[maybe_unused]] ssize_t n = real::read(eventFd_, &one, sizeof one);
    }
    done_.clear();
}

// read() I/O streams into buffers of the node's own from the first read or wait for input on,
// so that frames keep the frame rate however the reads are spaced.
int VideoNodeFile::startReadIo()
{
    if (readIo_ == ReadIo::Running)
        return 0;
    if (readIo_ == ReadIo::Stopping || ownsBuffers() || node_.bufferOwner != nullptr)
        return -EBUSY;
    if (const int rc = allocateBuffers(kReadBuffers, V4L2_MEMORY_MMAP); rc < 0) {
        freeBuffers();
        return rc;
    }
    for (uint32_t i = 0; i < kReadBuffers; ++i) {
        buffers_[i].state = BufferState::Queued;
        queued_.push_back(i);
    }
    readIo_ = ReadIo::Running;
    startWorker();
    return 0;
}

void VideoNodeFile::stopReadIo(BoardLock &lock)
{
    // Stopping keeps other threads off the buffers while the lock is dropped for the join.
    readIo_ = ReadIo::Stopping;
    stopWorker(lock);
    dropFinishedFrames();
    clearFailure();
    freeBuffers();
    readIo_ = ReadIo::Off;
}

ssize_t VideoNodeFile::read(BoardLock &lock, void *buf, size_t count)
{
    if (count == 0)
        return 0;
    if (buf == nullptr)
        return -EFAULT;
    if (const int rc = startReadIo(); rc < 0)
        return rc;
    const bool noWait = nonBlocking();
    while (done_.empty() || failed_) {
        if (failed_)
            return -EIO;
        if (readIo_ != ReadIo::Running)
            return -EINVAL; // ended by another thread while this one waited
        if (noWait)
            return -EAGAIN;
        board_.frameReady.wait(lock);
    }
    return deliverReadFrame(buf, count);
}

// Hands out the oldest finished frame, cut to count bytes, and gives its buffer back to the
// worker.
ssize_t VideoNodeFile::deliverReadFrame(void *buf, size_t count)
{
    const uint32_t index = done_.front();
    const size_t size = std::min<size_t>(count, buffers_[index].bytesUsed);
    if (!copyToApplication(buf, frameMemory(index), size))
        return -EFAULT; // the frame stays for the next read
    done_.pop_front();
    uint64_t one = 0;
    [[maybe_unused]] ssize_t n = real::read(eventFd_, &one, sizeof one);
    buffers_[index].state = BufferState::Queued;
    queued_.push_back(index);
    return static_cast<ssize_t>(size);
}

void VideoNodeFile::beforeWaitForInput(BoardLock &)
{
    // A program waiting for frames on an idle node starts read() I/O, as with a driver.
    if (readIo_ == ReadIo::Off && !ownsBuffers() && node_.bufferOwner == nullptr) [[maybe_unused]]
        int rc = startReadIo();
}

void VideoNodeFile::stopWorker(BoardLock &lock)
{
    streaming_ = false;
    stopWorker_ = true;
    board_.frameReady.notify_all();
    if (worker_.joinable()) {
        // The worker needs the board lock to notice the stop; taking the handle first lets
        // a second thread stopping meanwhile find nothing to join.
        std::thread worker = std::move(worker_);
        lock.unlock();
        worker.join();
        lock.lock();
    }
}

void VideoNodeFile::streamLoop()
{
    BoardLock lock(board_.mutex);
    const auto period = std::chrono::microseconds(1000000 / board_.description().frameRate);
    auto next = std::chrono::steady_clock::now() + period;
    while (!stopWorker_) {
        if (board_.frameReady.wait_until(lock, next, [this] { return stopWorker_; }))
            break;
        next += period;
        produceFrame();
    }
}

void VideoNodeFile::produceFrame()
{
    // A sensor held in reset sends nothing.
    if (board_.link.resetHeld() || failed_)
        return;
    const auto &d = board_.description();
    if (d.stallAfterFrames && framesSent_ >= *d.stallAfterFrames)
        return;
    if (d.failAfterFrames && framesSent_ >= *d.failAfterFrames) {
        fail();
        return;
    }
    ++framesSent_;
    const uint32_t frame = sequence_++;
    board_.link.countFrame(frame);
    if (queued_.empty())
        return; // no buffer: the frame is dropped, as by a driver
    const uint32_t index = queued_.front();
    queued_.pop_front();
    const PixelFormatInfo *info = findPixelFormat(bufferFormat_.pixelFormat);
    drawTestFrame(frameMemory(index), *info, bufferFormat_.width, bufferFormat_.height,
                  bufferFormat_.bytesPerLine, frame);
    Buffer &buf = buffers_[index];
    buf.state = BufferState::Done;
    buf.bytesUsed = bufferFormat_.bytesPerLine * bufferFormat_.height;
    buf.sequence = frame;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    buf.timestamp = {now.tv_sec, now.tv_nsec / 1000};
    done_.push_back(index);
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = real::write(eventFd_, &one, sizeof one);
    board_.frameReady.notify_all();
}

// The node reports a lost device: the waiting program wakes and the buffer requests fail
// with EIO until the stream is stopped.
void VideoNodeFile::fail()
{
    failed_ = true;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = real::write(eventFd_, &one, sizeof one);
    board_.frameReady.notify_all();
}

void VideoNodeFile::clearFailure()
{
    if (!failed_)
        return;
    failed_ = false;
    uint64_t one = 0;
    [[maybe_unused]] ssize_t n = real::read(eventFd_, &one, sizeof one);
}

void *VideoNodeFile::mmap(BoardLock &, void *addr, size_t length, int prot, int flags, off_t offset,
                          int &error)
{
    if (readIo_ != ReadIo::Off) {
        error = EBUSY;
        return nullptr;
    }
    const bool shared = (flags & MAP_TYPE) == MAP_SHARED;
    const auto index = bufferPitch_ ? static_cast<size_t>(offset) / bufferPitch_ : 0;
    if (!shared || buffers_.empty() || memoryType_ != V4L2_MEMORY_MMAP || offset < 0 ||
        static_cast<size_t>(offset) % bufferPitch_ != 0 || index >= buffers_.size() ||
        length == 0 || length > bufferPitch_) {
        error = EINVAL;
        return nullptr;
    }
    void *p = real::mmap(addr, length, prot, flags, memory_.get(), offset);
    if (p == MAP_FAILED) {
        error = errno;
        return nullptr;
    }
    return p;
}

int VideoNodeFile::getControl(uint32_t id, int32_t &value) const
{
    if (id == kPreferredStrideControl) {
        value = static_cast<int32_t>(node_.stride);
        return 0;
    }
    if (!tableOfControl(id))
        return -EINVAL;
    const auto it = node_.controls.find(id);
    value = it == node_.controls.end() ? 0 : it->second;
    return 0;
}

int VideoNodeFile::setControl(uint32_t id, int32_t value, bool apply)
{
    if (id == kPreferredStrideControl) {
        if (value < 0 || static_cast<uint32_t>(value) > kMaxStride)
            return -ERANGE;
        if (!apply)
            return 0;
        if (node_.bufferOwner != nullptr)
            return -EBUSY;
        node_.stride = static_cast<uint32_t>(value);
        adjustFormat(node_.format);
        board_.driver.state().nodeFormats[index_] = node_.format;
        board_.driver.save();
        return 0;
    }
    if (!tableOfControl(id))
        return -EINVAL;
    if (value < 0 || value > 1)
        return -ERANGE;
    if (!apply)
        return 0;
    node_.controls[id] = value;
    return board_.driver.applyControlTable(id, value);
}

int VideoNodeFile::extControls(v4l2_ext_controls &c, unsigned long request)
{
    if (c.count == 0)
        return 0;
    if (c.count > kMaxControls)
        return -EINVAL;
    if (c.controls == nullptr)
        return -EFAULT;
    // Which: the current values, or one control class that every control must belong to.
    for (uint32_t i = 0; i < c.count; ++i) {
        const uint32_t id = c.controls[i].id;
        const bool known = id == kPreferredStrideControl || tableOfControl(id);
        const bool classOk =
            c.which == V4L2_CTRL_WHICH_CUR_VAL || c.which == V4L2_CTRL_ID2WHICH(id);
        if (!known || !classOk) {
            // Found before any control was touched: getting and setting point past the end,
            // trying at the control, as the kernel reports it.
            c.error_idx = request == VIDIOC_TRY_EXT_CTRLS ? i : c.count;
            return -EINVAL;
        }
    }
    for (uint32_t i = 0; i < c.count; ++i) {
        auto &ctrl = c.controls[i];
        int rc = 0;
        if (request == VIDIOC_G_EXT_CTRLS) {
            int32_t value = 0;
            rc = getControl(ctrl.id, value);
            ctrl.value = value;
        } else
            rc = setControl(ctrl.id, ctrl.value, request == VIDIOC_S_EXT_CTRLS);
        if (rc < 0) {
            c.error_idx = i;
            return rc;
        }
    }
    return 0;
}

void VideoNodeFile::afterFork()
{
    // The worker stayed with the parent: its handle is given up, never joined here.
    if (worker_.joinable())
        new std::thread(std::move(worker_));
    streaming_ = false;
    if (readIo_ != ReadIo::Off) {
        // The read buffers are shared with the parent, whose worker still fills them: the
        // child lets them go and starts read() I/O of its own when it reads.
        done_.clear();
        freeBuffers();
        readIo_ = ReadIo::Off;
    }
}

void VideoNodeFile::release(BoardLock &lock)
{
    if (readIo_ == ReadIo::Running)
        stopReadIo(lock);
    stopWorker(lock);
    freeBuffers();
    --node_.priorities[priority_];
}

} // namespace boardsim
