// The simulated capture node: buffer and format rules, blocking dequeue, read(), threads, fork,
// access priorities and the capture faults of the board description.
#include "sim_board.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using boardsim::testing::SimBoard;

class VideoNode : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
    }
    static int requestBuffers(int fd, uint32_t count)
    {
        v4l2_requestbuffers req{};
        req.count = count;
        req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        req.memory = V4L2_MEMORY_MMAP;
        return ::ioctl(fd, VIDIOC_REQBUFS, &req) < 0 ? -errno : static_cast<int>(req.count);
    }
    static v4l2_format setFormat(int fd, uint32_t width, uint32_t height, uint32_t fourcc)
    {
        v4l2_format f{};
        f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        f.fmt.pix.width = width;
        f.fmt.pix.height = height;
        f.fmt.pix.pixelformat = fourcc;
        EXPECT_EQ(::ioctl(fd, VIDIOC_S_FMT, &f), 0) << std::strerror(errno);
        return f;
    }
    static void queueAll(int fd, int count)
    {
        for (int i = 0; i < count; ++i) {
            v4l2_buffer b{};
            b.index = static_cast<uint32_t>(i);
            b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            b.memory = V4L2_MEMORY_MMAP;
            ASSERT_EQ(::ioctl(fd, VIDIOC_QBUF, &b), 0) << std::strerror(errno);
        }
    }
    // Sets a 12-bit format, queues @count memory-mapped buffers and starts streaming.
    static void startStreaming(int fd, uint32_t width, uint32_t height, int count)
    {
        setFormat(fd, width, height, V4L2_PIX_FMT_SGRBG12);
        ASSERT_EQ(requestBuffers(fd, static_cast<uint32_t>(count)), count);
        queueAll(fd, count);
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        ASSERT_EQ(::ioctl(fd, VIDIOC_STREAMON, &type), 0);
    }
    // Stops the stream, checks that nothing is left for a reader, and starts a new one.
    static void restartStreaming(int fd, int count)
    {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        ASSERT_EQ(::ioctl(fd, VIDIOC_STREAMOFF, &type), 0);
        pollfd p{fd, POLLIN, 0};
        EXPECT_EQ(::poll(&p, 1, 0), 0);
        queueAll(fd, count);
        ASSERT_EQ(::ioctl(fd, VIDIOC_STREAMON, &type), 0);
    }
};

TEST_F(VideoNode, BuffersAreGrantedUpToTheDriversLimit)
{
    SimBoard board("max_buffers = 1\n");
    const int fd = ::open("/dev/video0", O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(requestBuffers(fd, 3), 1);
    EXPECT_EQ(requestBuffers(fd, 0), 0);
    ::close(fd);
}

TEST_F(VideoNode, FormatsAreAdjustedNotRefused)
{
    SimBoard board;
    const int fd = ::open("/dev/video0", O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    v4l2_format f = setFormat(fd, 640, 480, v4l2_fourcc('Y', 'U', 'Y', 'V'));
    EXPECT_EQ(f.fmt.pix.pixelformat, V4L2_PIX_FMT_SGRBG12);
    f = setFormat(fd, 640, 480, V4L2_PIX_FMT_SGRBG8);
    EXPECT_EQ(f.fmt.pix.bytesperline, 640u);
    EXPECT_EQ(f.fmt.pix.sizeimage, 640u * 480u);
    EXPECT_EQ(board.driverState().at("format.video0"), "640 480 GRBG 640");
    ::close(fd);
}

TEST_F(VideoNode, FormatAndStrideAreLockedWhileBuffersExist)
{
    SimBoard board;
    const int fd = ::open("/dev/video1", O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(requestBuffers(fd, 2), 2);
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    ASSERT_EQ(::ioctl(fd, VIDIOC_G_FMT, &f), 0);
    EXPECT_EQ(::ioctl(fd, VIDIOC_S_FMT, &f), -1);
    EXPECT_EQ(errno, EBUSY);
    const int other = ::open("/dev/video1", O_RDWR | O_NONBLOCK);
    EXPECT_EQ(requestBuffers(other, 2), -EBUSY);
    ::close(other);

    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.index = 1;
    ASSERT_EQ(::ioctl(fd, VIDIOC_QUERYBUF, &b), 0);
    EXPECT_EQ(::mmap(nullptr, b.length, PROT_READ, MAP_SHARED, fd, b.m.offset + 4096), MAP_FAILED);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(::mmap(nullptr, b.length, PROT_READ, MAP_PRIVATE, fd, b.m.offset), MAP_FAILED);
    b.index = 2;
    EXPECT_EQ(::ioctl(fd, VIDIOC_QUERYBUF, &b), -1);
    ::close(fd);
}

TEST_F(VideoNode, BlockingDequeueWaitsForTheNextFrame)
{
    SimBoard board;
    const int fd = ::open("/dev/video0", O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(requestBuffers(fd, 2), 2);
    queueAll(fd, 2);
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    ASSERT_EQ(::ioctl(fd, VIDIOC_STREAMON, &type), 0);
    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    ASSERT_EQ(::ioctl(fd, VIDIOC_DQBUF, &b), 0) << std::strerror(errno);
    EXPECT_EQ(b.sequence, 0u);
    EXPECT_EQ(b.flags & (V4L2_BUF_FLAG_DONE | V4L2_BUF_FLAG_QUEUED), 0u);
    EXPECT_EQ(b.bytesused, 1920u * 2 * 1200);
    ASSERT_EQ(::ioctl(fd, VIDIOC_STREAMOFF, &type), 0);
    ::close(fd);
}

TEST_F(VideoNode, ThreadsShareTheBoardWhileOneStreams)
{
    SimBoard board;
    const int stream = ::open("/dev/video0", O_RDWR | O_NONBLOCK);
    ASSERT_GE(stream, 0);
    ASSERT_NO_FATAL_FAILURE(startStreaming(stream, 320, 240, 3));

    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&wrong, t] {
            const int fd = ::open("/dev/video1", O_RDWR | O_NONBLOCK);
            for (int i = 0; i < 200; ++i) {
                v4l2_dbg_register r{};
                r.size = 2;
                r.reg = 0x10;
                r.val = uint64_t{0x3000} << 32;
                if (::ioctl(fd, VIDIOC_DBG_G_REGISTER, &r) != 0 || (r.val & 0xFFFF) != 0x0C54)
                    ++wrong;
                const int plain = ::open("/dev/null", O_RDONLY);
                if (plain < 0 || ::close(plain) != 0)
                    ++wrong;
            }
            ::close(fd);
            (void)t;
        });
    }
    int frames = 0;
    for (int i = 0; i < 200 && frames < 3; ++i) {
        v4l2_buffer b{};
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        if (::ioctl(stream, VIDIOC_DQBUF, &b) == 0) {
            ++frames;
            ASSERT_EQ(::ioctl(stream, VIDIOC_QBUF, &b), 0);
        } else {
            ASSERT_EQ(errno, EAGAIN);
            ::usleep(10000);
        }
    }
    for (auto &t : readers)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(frames, 3);
    ::close(stream); // closing a streaming node stops it
}

TEST_F(VideoNode, UserPointerBuffersReceiveFramesInPlace)
{
    SimBoard board;
    const int fd = ::open("/dev/video0", O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    const v4l2_format f = setFormat(fd, 32, 4, V4L2_PIX_FMT_SGRBG10);
    v4l2_requestbuffers req{};
    req.count = 2;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_USERPTR;
    ASSERT_EQ(::ioctl(fd, VIDIOC_REQBUFS, &req), 0);
    std::vector<uint16_t> memory[2] = {std::vector<uint16_t>(32 * 4, 0xFFFF),
                                       std::vector<uint16_t>(32 * 4, 0xFFFF)};
    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_USERPTR;
    b.length = f.fmt.pix.sizeimage - 1;
    b.m.userptr = reinterpret_cast<unsigned long>(memory[0].data());
    EXPECT_EQ(::ioctl(fd, VIDIOC_QBUF, &b), -1); // too small for a frame
    for (uint32_t i = 0; i < 2; ++i) {
        b.index = i;
        b.length = f.fmt.pix.sizeimage;
        b.m.userptr = reinterpret_cast<unsigned long>(memory[i].data());
        ASSERT_EQ(::ioctl(fd, VIDIOC_QBUF, &b), 0) << std::strerror(errno);
    }
    EXPECT_EQ(::mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0), MAP_FAILED);
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    ASSERT_EQ(::ioctl(fd, VIDIOC_STREAMON, &type), 0);
    int rc = -1;
    for (int i = 0; i < 100 && rc != 0; ++i) {
        rc = ::ioctl(fd, VIDIOC_DQBUF, &b);
        if (rc != 0)
            ::usleep(10000);
    }
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(b.m.userptr, reinterpret_cast<unsigned long>(memory[b.index].data()));
    const auto &frame = memory[b.index];
    // 10-bit samples sit in the upper bits of their words.
    EXPECT_EQ(frame[0], (b.sequence & 0xFF) << 6);
    EXPECT_EQ(frame[32 + 5], ((5 + 2 + b.sequence) & 0x3FF) << 6);
    ::close(fd);
}

TEST_F(VideoNode, CropIsTheWholeSensor)
{
    SimBoard board("width = 1280\nheight = 800\n");
    const int fd = ::open("/dev/video0", O_RDWR);
    ASSERT_GE(fd, 0);
    v4l2_cropcap cap{};
    cap.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    ASSERT_EQ(::ioctl(fd, VIDIOC_CROPCAP, &cap), 0);
    EXPECT_EQ(cap.defrect.width, 1280u);
    EXPECT_EQ(cap.bounds.height, 800u);
    v4l2_crop crop{};
    crop.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    crop.c = {10, 10, 100, 100};
    ASSERT_EQ(::ioctl(fd, VIDIOC_S_CROP, &crop), 0);
    EXPECT_EQ(crop.c.width, 1280u);
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    ASSERT_EQ(::ioctl(fd, VIDIOC_G_FMT, &f), 0);
    EXPECT_EQ(f.fmt.pix.width, 1280u);
    EXPECT_EQ(f.fmt.pix.pixelformat, V4L2_PIX_FMT_SGRBG12);
    ::close(fd);
}

TEST_F(VideoNode, ReadAndStreamingBuffersExcludeEachOther)
{
    SimBoard board;
    const int fd = ::open("/dev/video0", O_RDWR);
    const int other = ::open("/dev/video0", O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_GE(other, 0);
    setFormat(fd, 64, 8, V4L2_PIX_FMT_SGRBG12);
    uint8_t bytes[16];
    ASSERT_EQ(requestBuffers(fd, 2), 2);
    EXPECT_EQ(::read(fd, bytes, sizeof bytes), -1);
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(::read(other, bytes, sizeof bytes), -1);
    EXPECT_EQ(errno, EBUSY);
    ASSERT_EQ(requestBuffers(fd, 0), 0);
    void *volatile nowhere = nullptr; // hidden from the compiler's null-argument check
    EXPECT_EQ(::read(fd, nowhere, sizeof bytes), -1);
    EXPECT_EQ(errno, EFAULT);

    // A short read gives the start of frame 0 (number, then x + 2y + n in the words' upper
    // 12 bits) and nothing more.
    std::memset(bytes, 0xAB, sizeof bytes);
    ASSERT_EQ(::read(fd, bytes, 10), 10) << std::strerror(errno);
    const uint8_t start[] = {0, 0, 0, 0, 0, 0, 0, 0, 4 << 4, 0, 0xAB};
    EXPECT_EQ(std::memcmp(bytes, start, sizeof start), 0);

    EXPECT_EQ(requestBuffers(fd, 2), -EBUSY);
    EXPECT_EQ(requestBuffers(other, 2), -EBUSY);
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    EXPECT_EQ(::ioctl(fd, VIDIOC_STREAMON, &type), -1);
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(requestBuffers(fd, 0), 0); // ends read() I/O
    EXPECT_EQ(requestBuffers(fd, 2), 2);
    ::close(other);
    ::close(fd);
}

TEST_F(VideoNode, BlockingReadLeavesTheBoardToOtherThreads)
{
    SimBoard board("frame_rate = 1\n");
    const int fd = ::open("/dev/video0", O_RDWR);
    ASSERT_GE(fd, 0);
    std::atomic<bool> readDone{false};
    ssize_t got = -1;
    std::thread reader([&] {
        uint8_t bytes[8];
        got = ::read(fd, bytes, sizeof bytes);
        readDone = true;
    });
    ::usleep(100000); // the reader now waits most of a second for its frame
    const int fd1 = ::open("/dev/video1", O_RDWR);
    v4l2_capability cap{};
    EXPECT_EQ(::ioctl(fd1, VIDIOC_QUERYCAP, &cap), 0);
    EXPECT_FALSE(readDone.load()) << "the board was held while the reader waited";
    reader.join();
    EXPECT_EQ(got, 8);
    ::close(fd1);
    ::close(fd);
}

TEST_F(VideoNode, ForkedChildLeavesTheParentsStreamRunning)
{
    SimBoard board;
    const int fd = ::open("/dev/video0", O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_NO_FATAL_FAILURE(startStreaming(fd, 64, 8, 2));
    const pid_t child = ::fork();
    if (child == 0) {
        // The child closes what it inherited, as a spawned program's start-up code may do.
        ::_exit(::close(fd) == 0 ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    int rc = -1;
    for (int i = 0; i < 100 && rc != 0; ++i) {
        rc = ::ioctl(fd, VIDIOC_DQBUF, &b);
        if (rc != 0)
            ::usleep(10000);
    }
    EXPECT_EQ(rc, 0);
    ::close(fd);
}

// Waits (bounded) until the node has something for a waiting reader; the poll result.
int waitReadable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs);
}

int dequeue(int fd, v4l2_buffer &b)
{
    b = {};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    return ::ioctl(fd, VIDIOC_DQBUF, &b) == 0 ? 0 : -errno;
}

TEST_F(VideoNode, StalledSensorSendsItsFramesThenNoMore)
{
    SimBoard board("frame_rate = 200\nstall_after_frames = 2\n");
    const int fd = ::open("/dev/video0", O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_NO_FATAL_FAILURE(startStreaming(fd, 16, 4, 4));
    v4l2_buffer b{};
    for (uint32_t frame = 0; frame < 2; ++frame) {
        ASSERT_EQ(waitReadable(fd, 2000), 1);
        ASSERT_EQ(dequeue(fd, b), 0);
        EXPECT_EQ(b.sequence, frame);
    }
    // Many frame periods later there is still nothing: a capture waiting for it times out.
    EXPECT_EQ(waitReadable(fd, 100), 0);
    EXPECT_EQ(dequeue(fd, b), -EAGAIN);
    // A new stream gets its frames again before it stalls.
    ASSERT_NO_FATAL_FAILURE(restartStreaming(fd, 4));
    EXPECT_EQ(waitReadable(fd, 2000), 1);
    EXPECT_EQ(dequeue(fd, b), 0);
    ::close(fd);
}

TEST_F(VideoNode, SensorStalledFromTheStartSendsNothing)
{
    SimBoard board("frame_rate = 200\nstall_after_frames = 0\n");
    const int fd = ::open("/dev/video0", O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    uint8_t bytes[16];
    EXPECT_EQ(::read(fd, bytes, sizeof bytes), -1);
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_EQ(waitReadable(fd, 100), 0);
    ::close(fd);
}

TEST_F(VideoNode, FailedNodeWakesItsReaderWithEioUntilStreamOff)
{
    // A slow frame rate: the one good frame must still be waiting when the test dequeues it,
    // however loaded the machine (the node fails at the next frame's time).
    SimBoard board("frame_rate = 5\nfail_after_frames = 1\n");
    const int fd = ::open("/dev/video0", O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_NO_FATAL_FAILURE(startStreaming(fd, 16, 4, 4));
    v4l2_buffer b{};
    ASSERT_EQ(waitReadable(fd, 2000), 1);
    ASSERT_EQ(dequeue(fd, b), 0);
    // The failure wakes a waiting program and stays: each request says so.
    bool failed = false;
    for (int i = 0; i < 100 && !failed; ++i)
        failed = waitReadable(fd, 50) == 1 && dequeue(fd, b) == -EIO;
    ASSERT_TRUE(failed);
    EXPECT_EQ(waitReadable(fd, 0), 1);
    EXPECT_EQ(dequeue(fd, b), -EIO);
    b.index = 0;
    EXPECT_EQ(::ioctl(fd, VIDIOC_QBUF, &b), -1);
    EXPECT_EQ(errno, EIO);
    // Stream-off clears it; the next stream fails again after its frame.
    ASSERT_NO_FATAL_FAILURE(restartStreaming(fd, 4));
    ASSERT_EQ(waitReadable(fd, 2000), 1);
    EXPECT_EQ(dequeue(fd, b), 0);
    ::close(fd);
}

TEST_F(VideoNode, FailedNodeEndsReadIoWithEio)
{
    SimBoard board("frame_rate = 200\nfail_after_frames = 0\n");
    const int fd = ::open("/dev/video0", O_RDWR);
    ASSERT_GE(fd, 0);
    uint8_t bytes[16];
    EXPECT_EQ(::read(fd, bytes, sizeof bytes), -1); // blocking: woken by the failure
    EXPECT_EQ(errno, EIO);
    ::close(fd);
    // A new descriptor starts afresh, and fails the same way.
    const int again = ::open("/dev/video0", O_RDWR);
    EXPECT_EQ(::read(again, bytes, sizeof bytes), -1);
    EXPECT_EQ(errno, EIO);
    ::close(again);
}

TEST_F(VideoNode, HigherPriorityKeepsOthersFromChangingTheNode)
{
    SimBoard board;
    const int first = ::open("/dev/video0", O_RDWR | O_NONBLOCK);
    const int second = ::open("/dev/video0", O_RDWR | O_NONBLOCK);
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    uint32_t priority = V4L2_PRIORITY_RECORD;
    ASSERT_EQ(::ioctl(first, VIDIOC_S_PRIORITY, &priority), 0);
    uint32_t seen = 0;
    ASSERT_EQ(::ioctl(second, VIDIOC_G_PRIORITY, &seen), 0);
    EXPECT_EQ(seen, uint32_t{V4L2_PRIORITY_RECORD});
    // The outranked file may look but not change.
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    ASSERT_EQ(::ioctl(second, VIDIOC_G_FMT, &f), 0);
    EXPECT_EQ(::ioctl(second, VIDIOC_S_FMT, &f), -1);
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(requestBuffers(second, 2), -EBUSY);
    priority = V4L2_PRIORITY_INTERACTIVE;
    EXPECT_EQ(::ioctl(second, VIDIOC_S_PRIORITY, &priority), -1);
    EXPECT_EQ(errno, EBUSY);
    // Closing the holder gives the node back.
    ::close(first);
    ASSERT_EQ(::ioctl(second, VIDIOC_G_PRIORITY, &seen), 0);
    EXPECT_EQ(seen, uint32_t{V4L2_PRIORITY_DEFAULT});
    EXPECT_EQ(::ioctl(second, VIDIOC_S_FMT, &f), 0);
    priority = 7;
    EXPECT_EQ(::ioctl(second, VIDIOC_S_PRIORITY, &priority), -1);
    EXPECT_EQ(errno, EINVAL);
    ::close(second);
}

TEST_F(VideoNode, DescribesItsInputSizesAndRate)
{
    SimBoard board("frame_rate = 25\n");
    const int fd = ::open("/dev/video0", O_RDWR);
    ASSERT_GE(fd, 0);
    v4l2_input input{};
    ASSERT_EQ(::ioctl(fd, VIDIOC_ENUMINPUT, &input), 0);
    EXPECT_STREQ(reinterpret_cast<const char *>(input.name), "Camera");
    input.index = 1;
    EXPECT_EQ(::ioctl(fd, VIDIOC_ENUMINPUT, &input), -1);
    int index = 1;
    EXPECT_EQ(::ioctl(fd, VIDIOC_S_INPUT, &index), -1);
    v4l2_frmsizeenum sizes{};
    sizes.pixel_format = V4L2_PIX_FMT_SGRBG10;
    ASSERT_EQ(::ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &sizes), 0);
    EXPECT_EQ(sizes.type, uint32_t{V4L2_FRMSIZE_TYPE_CONTINUOUS});
    EXPECT_EQ(sizes.stepwise.max_width, 16384u);
    sizes.pixel_format = V4L2_PIX_FMT_YUYV;
    EXPECT_EQ(::ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &sizes), -1);
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    ASSERT_EQ(::ioctl(fd, VIDIOC_G_PARM, &parm), 0);
    EXPECT_EQ(parm.parm.capture.timeperframe.numerator, 1u);
    EXPECT_EQ(parm.parm.capture.timeperframe.denominator, 25u);
    // Requests the node does not know are refused as unknown, whatever their argument.
    EXPECT_EQ(::ioctl(fd, _IOWR('V', 0xFF, char[256]), nullptr), -1);
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_EQ(::ioctl(fd, VIDIOC_G_PARM, nullptr), -1);
    EXPECT_EQ(errno, EFAULT);
    ::close(fd);
}

} // namespace
