// An open /dev/videoN of the simulated capture driver: formats, streaming, read() I/O, controls.
#pragma once

#include "board.h"
#include "fake_file.h"
#include "frame_pattern.h"
#include "state_files.h"

#include <deque>
#include <linux/videodev2.h>
#include <thread>
#include <vector>

namespace boardsim {

// The largest width and height a node takes.
constexpr uint32_t kMaxFrameDimension = 16384;
// Frames read() I/O keeps in flight, so that a reader that falls a little behind loses none.
constexpr uint32_t kReadBuffers = 4;

class VideoNodeFile : public FakeFile
{
public:
    VideoNodeFile(Board &board, int index, int eventFd);
    ~VideoNodeFile() override;

    int ioctl(BoardLock &lock, unsigned long request, void *arg) override;
    void *mmap(BoardLock &lock, void *addr, size_t length, int prot, int flags, off_t offset,
               int &error) override;
    ssize_t read(BoardLock &lock, void *buf, size_t count) override;
    void beforeWaitForInput(BoardLock &lock) override;
    void release(BoardLock &lock) override;
    void afterFork() override;
    dev_t deviceNumber() const override;

private:
    enum class BufferState { Dequeued, Queued, Done };
    // read() I/O runs on buffers of the node's own; Stopping while its worker is joined.
    enum class ReadIo { Off, Running, Stopping };
    struct Buffer {
        BufferState state = BufferState::Dequeued;
        unsigned long userPointer = 0; // application memory of a user-pointer buffer
        uint32_t bytesUsed = 0;
        uint32_t sequence = 0;
        timeval timestamp{};
    };

    // Requests a capture driver answers from its fixed description (video_node_info.cpp).
    int describe(unsigned long request, void *arg) const;
    int enumerateInput(v4l2_input &input) const;
    int enumerateFrameSizes(v4l2_frmsizeenum &sizes) const;
    int enumerateFrameIntervals(v4l2_frmivalenum &intervals) const;
    int streamParameters(v4l2_streamparm &parm) const;
    int selection(v4l2_selection &sel, bool set) const;
    int chipInfo(v4l2_dbg_chip_info &chip) const;
    // Access priorities: a file below the highest priority held may not change the node.
    int setPriority(uint32_t priority);
    bool outranked() const;

    int queryCapabilities(v4l2_capability &cap) const;
    int debugRegister(bool write, v4l2_dbg_register &r);
    int enumerateFormat(v4l2_fmtdesc &desc) const;
    int getFormat(v4l2_format &f) const;
    int setFormat(v4l2_format &f, bool tryOnly);
    int requestBuffers(BoardLock &lock, v4l2_requestbuffers &req);
    int allocateBuffers(uint32_t count, uint32_t memoryType);
    int allocateMappedBuffers(uint32_t count);
    int crop(unsigned long request, void *arg) const;
    uint8_t *frameMemory(uint32_t index) const;
    int queryBuffer(v4l2_buffer &b) const;
    int queueBuffer(v4l2_buffer &b);
    int dequeueBuffer(BoardLock &lock, v4l2_buffer &b);
    int streamOn(const int *type);
    int streamOff(BoardLock &lock, const int *type);
    int extControls(v4l2_ext_controls &c, unsigned long request);
    int setControl(uint32_t id, int32_t value, bool apply);
    int getControl(uint32_t id, int32_t &value) const;

    int startReadIo();
    void stopReadIo(BoardLock &lock);
    ssize_t deliverReadFrame(void *buf, size_t count);

    void adjustFormat(NodeFormat &format) const;
    void freeBuffers();
    void dropFinishedFrames();
    void startWorker();
    void stopWorker(BoardLock &lock);
    void streamLoop();
    void produceFrame();
    void fail();
    void clearFailure();
    void describeBuffer(uint32_t index, v4l2_buffer &b) const;
    bool ownsBuffers() const { return !buffers_.empty(); }
    bool nonBlocking() const;

    Board &board_;
    int index_;
    int eventFd_;
    VideoNodeState &node_;
    UniqueFd memory_;
    uint8_t *mapping_ = nullptr;
    size_t mappingSize_ = 0;
    size_t bufferPitch_ = 0; // distance of the buffers in the memory file, whole pages
    NodeFormat bufferFormat_;
    uint32_t memoryType_ = V4L2_MEMORY_MMAP;
    std::vector<Buffer> buffers_;
    std::deque<uint32_t> queued_;
    std::deque<uint32_t> done_;
    bool streaming_ = false;
    ReadIo readIo_ = ReadIo::Off;
    bool stopWorker_ = false;
    std::thread worker_;
    uint32_t sequence_ = 0;
    uint32_t priority_ = V4L2_PRIORITY_DEFAULT;
    uint32_t framesSent_ = 0; // frames of the current stream, for the capture faults
    bool failed_ = false;
};

} // namespace boardsim
