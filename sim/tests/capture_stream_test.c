/* Drives /dev/video0 of the simulated board as capture programs do (streaming, read()) and checks
 * the frames. */
#include <errno.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/select.h>
#include <unistd.h>

enum { REQUESTED_BUFFERS = 4, FRAMES_TO_CHECK = 8, SENSOR_ADDRESS = 0x10 };
enum { READ_WIDTH = 640, READ_HEIGHT = 48, READ_STRIDE = 1536, READ_SLACK = 100 };
enum { FRAME_COUNTER_REGISTER = 0x303A, PREFERRED_STRIDE_CONTROL = 0x9A206E };

static int failures;

#define CHECK(cond, ...)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            fprintf(stderr, "%s:%d: ", __FILE__, __LINE__);                                        \
            fprintf(stderr, __VA_ARGS__);                                                          \
            fputc('\n', stderr);                                                                   \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

#define REQUIRE(cond, ...)                                                                         \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            fprintf(stderr, "%s:%d: ", __FILE__, __LINE__);                                        \
            fprintf(stderr, __VA_ARGS__);                                                          \
            fputc('\n', stderr);                                                                   \
            exit(1);                                                                               \
        }                                                                                          \
    } while (0)

struct mapped_buffer {
    uint8_t *start;
    size_t length;
};

/* A 12-bit sample sits in the upper bits of its little-endian word, as the board stores it. */
static unsigned sample(const uint8_t *row, unsigned x)
{
    return ((unsigned)row[2 * x] | (unsigned)row[2 * x + 1] << 8) >> 4;
}

static unsigned frame_number_of(const uint8_t *frame)
{
    return sample(frame, 0) | sample(frame, 1) << 8 | sample(frame, 2) << 16 |
           sample(frame, 3) << 24;
}

/* Every sample but the four counter samples is (x + 2y + n) mod 4096; padding is zero. */
static void check_frame(const uint8_t *frame, const struct v4l2_pix_format *pix, unsigned n)
{
    int bad = 0;
    for (unsigned y = 0; y < pix->height && !bad; y += 97) {
        const uint8_t *row = frame + (size_t)y * pix->bytesperline;
        for (unsigned x = (y == 0 ? 4 : 0); x < pix->width; x += 13) {
            if (sample(row, x) != ((x + 2 * y + n) & 0xFFF)) {
                CHECK(0, "frame %u sample (%u,%u) is %u", n, x, y, sample(row, x));
                bad = 1;
                break;
            }
        }
        for (unsigned b = pix->width * 2; b < pix->bytesperline && !bad; ++b)
            if (row[b] != 0) {
                CHECK(0, "frame %u padding byte %u of row %u is %u", n, b, y, row[b]);
                bad = 1;
            }
    }
}

static unsigned read_register(int fd, unsigned address)
{
    struct v4l2_dbg_register r;
    memset(&r, 0, sizeof r);
    r.size = 2;
    r.reg = SENSOR_ADDRESS;
    r.val = (uint64_t)address << 32;
    REQUIRE(ioctl(fd, VIDIOC_DBG_G_REGISTER, &r) == 0, "G_REGISTER: %s", strerror(errno));
    return (unsigned)(r.val & 0xFFFF);
}

static void set_stride(int fd, int stride)
{
    struct v4l2_ext_control control = {.id = PREFERRED_STRIDE_CONTROL, .value = stride};
    struct v4l2_ext_controls controls = {
        .ctrl_class = PREFERRED_STRIDE_CONTROL & 0xFFF0000, .count = 1, .controls = &control};
    REQUIRE(ioctl(fd, VIDIOC_S_EXT_CTRLS, &controls) == 0, "stride: %s", strerror(errno));
}

static void wait_readable(int fd)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(fd, &readable);
    struct timeval timeout = {.tv_sec = 2, .tv_usec = 0};
    const int n = select(fd + 1, &readable, NULL, NULL, &timeout);
    REQUIRE(n == 1 && FD_ISSET(fd, &readable), "select gave %d (%s)", n, strerror(errno));
}

/* Opens /dev/video0 without blocking and reads its capabilities into @cap. */
static int open_node(struct v4l2_capability *cap)
{
    const int fd = open("/dev/video0", O_RDWR | O_NONBLOCK);
    REQUIRE(fd >= 0, "open: %s", strerror(errno));
    REQUIRE(ioctl(fd, VIDIOC_QUERYCAP, cap) == 0, "QUERYCAP: %s", strerror(errno));
    return fd;
}

static void stream(int width, int height, int stride)
{
    struct v4l2_capability cap;
    const int fd = open_node(&cap);
    CHECK(cap.device_caps & V4L2_CAP_VIDEO_CAPTURE, "no capture capability");
    CHECK(cap.device_caps & V4L2_CAP_STREAMING, "no streaming capability");

    struct v4l2_format fmt;
    memset(&fmt, 0, sizeof fmt);
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    fmt.fmt.pix.width = (unsigned)width;
    fmt.fmt.pix.height = (unsigned)height;
    fmt.fmt.pix.pixelformat = V4L2_PIX_FMT_SGRBG12;
    fmt.fmt.pix.field = V4L2_FIELD_NONE;
    REQUIRE(ioctl(fd, VIDIOC_S_FMT, &fmt) == 0, "S_FMT: %s", strerror(errno));
    if (stride != 0)
        set_stride(fd, stride);
    REQUIRE(ioctl(fd, VIDIOC_G_FMT, &fmt) == 0, "G_FMT: %s", strerror(errno));
    CHECK(fmt.fmt.pix.width == (unsigned)width && fmt.fmt.pix.height == (unsigned)height,
          "format is %ux%u", fmt.fmt.pix.width, fmt.fmt.pix.height);
    const unsigned expected_pitch = stride != 0 ? (unsigned)stride : (unsigned)width * 2;
    CHECK(fmt.fmt.pix.bytesperline == expected_pitch, "bytesperline %u, expected %u",
          fmt.fmt.pix.bytesperline, expected_pitch);
    CHECK(fmt.fmt.pix.sizeimage == expected_pitch * (unsigned)height, "sizeimage %u",
          fmt.fmt.pix.sizeimage);

    struct v4l2_requestbuffers req = {.count = REQUESTED_BUFFERS,
                                      .type = V4L2_BUF_TYPE_VIDEO_CAPTURE,
                                      .memory = V4L2_MEMORY_MMAP};
    REQUIRE(ioctl(fd, VIDIOC_REQBUFS, &req) == 0, "REQBUFS: %s", strerror(errno));
    REQUIRE(req.count == REQUESTED_BUFFERS, "granted %u buffers", req.count);

    struct mapped_buffer buffers[REQUESTED_BUFFERS];
    for (unsigned i = 0; i < req.count; ++i) {
        struct v4l2_buffer b = {
            .index = i, .type = V4L2_BUF_TYPE_VIDEO_CAPTURE, .memory = V4L2_MEMORY_MMAP};
        REQUIRE(ioctl(fd, VIDIOC_QUERYBUF, &b) == 0, "QUERYBUF: %s", strerror(errno));
        CHECK(b.length == fmt.fmt.pix.sizeimage, "buffer length %u", b.length);
        buffers[i].length = b.length;
        buffers[i].start = mmap(NULL, b.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, b.m.offset);
        REQUIRE(buffers[i].start != MAP_FAILED, "mmap: %s", strerror(errno));
        REQUIRE(ioctl(fd, VIDIOC_QBUF, &b) == 0, "QBUF: %s", strerror(errno));
    }

    struct v4l2_buffer b = {.type = V4L2_BUF_TYPE_VIDEO_CAPTURE, .memory = V4L2_MEMORY_MMAP};
    CHECK(ioctl(fd, VIDIOC_DQBUF, &b) == -1 && errno == EINVAL, "DQBUF before stream-on");
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    REQUIRE(ioctl(fd, VIDIOC_STREAMON, &type) == 0, "STREAMON: %s", strerror(errno));
    CHECK(ioctl(fd, VIDIOC_DQBUF, &b) == -1 && errno == EAGAIN, "DQBUF with nothing ready");

    int previous = -1;
    for (int i = 0; i < FRAMES_TO_CHECK; ++i) {
        wait_readable(fd);
        memset(&b, 0, sizeof b);
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        REQUIRE(ioctl(fd, VIDIOC_DQBUF, &b) == 0, "DQBUF: %s", strerror(errno));
        REQUIRE(b.index < req.count, "index %u", b.index);
        CHECK(b.bytesused == fmt.fmt.pix.sizeimage, "bytesused %u", b.bytesused);
        const unsigned n = frame_number_of(buffers[b.index].start);
        CHECK(n == b.sequence, "frame counter %u in the image, sequence %u", n, b.sequence);
        CHECK((int)n > previous, "frame %u after %d", n, previous);
        CHECK(read_register(fd, FRAME_COUNTER_REGISTER) >= (n & 0xFFFF),
              "frame counter register behind the frames");
        check_frame(buffers[b.index].start, &fmt.fmt.pix, n);
        previous = (int)n;
        REQUIRE(ioctl(fd, VIDIOC_QBUF, &b) == 0, "QBUF: %s", strerror(errno));
    }

    REQUIRE(ioctl(fd, VIDIOC_STREAMOFF, &type) == 0, "STREAMOFF: %s", strerror(errno));
    CHECK(ioctl(fd, VIDIOC_DQBUF, &b) == -1 && errno == EINVAL, "DQBUF after stream-off");
    for (unsigned i = 0; i < req.count; ++i)
        munmap(buffers[i].start, buffers[i].length);
    CHECK(close(fd) == 0, "close: %s", strerror(errno));
}

static int request_buffers(int fd, unsigned count)
{
    struct v4l2_requestbuffers req = {
        .count = count, .type = V4L2_BUF_TYPE_VIDEO_CAPTURE, .memory = V4L2_MEMORY_MMAP};
    return ioctl(fd, VIDIOC_REQBUFS, &req) == 0 ? 0 : errno;
}

/* Waits with select, as the board's capture tool does, then reads whole frames with room to
 * spare: each read gives exactly one frame, the next one. */
static void read_frames(void)
{
    struct v4l2_capability cap;
    const int fd = open_node(&cap);
    CHECK(cap.device_caps & V4L2_CAP_READWRITE, "no read() capability");
    CHECK(cap.capabilities & V4L2_CAP_READWRITE, "no read() capability for the device");

    set_stride(fd, READ_STRIDE);
    struct v4l2_format fmt;
    memset(&fmt, 0, sizeof fmt);
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    fmt.fmt.pix.width = READ_WIDTH;
    fmt.fmt.pix.height = READ_HEIGHT;
    fmt.fmt.pix.pixelformat = V4L2_PIX_FMT_SGRBG12;
    REQUIRE(ioctl(fd, VIDIOC_S_FMT, &fmt) == 0, "S_FMT: %s", strerror(errno));
    REQUIRE(fmt.fmt.pix.sizeimage == READ_STRIDE * READ_HEIGHT, "sizeimage %u",
            fmt.fmt.pix.sizeimage);

    const size_t size = fmt.fmt.pix.sizeimage + READ_SLACK;
    uint8_t *frame = malloc(size);
    REQUIRE(frame != NULL, "out of memory");
    long previous = -1;
    for (int i = 0; i < FRAMES_TO_CHECK; ++i) {
        ssize_t n;
        memset(frame, 0xAB, size);
        do {
            wait_readable(fd); /* the first wait starts read() I/O, as the tool's does */
            n = read(fd, frame, size);
        } while (n < 0 && errno == EAGAIN);
        REQUIRE(n >= 0, "read: %s", strerror(errno));
        CHECK((size_t)n == fmt.fmt.pix.sizeimage, "read gave %zd bytes", n);
        CHECK(frame[fmt.fmt.pix.sizeimage] == 0xAB, "read wrote past the frame");
        const unsigned number = frame_number_of(frame);
        CHECK(previous < 0 || number == previous + 1, "frame %u after %ld", number, previous);
        CHECK(read_register(fd, FRAME_COUNTER_REGISTER) >= (number & 0xFFFF),
              "frame counter register behind the frames");
        check_frame(frame, &fmt.fmt.pix, number);
        previous = number;
    }

    /* The buffer queue belongs to read() until its buffers are released. */
    CHECK(request_buffers(fd, REQUESTED_BUFFERS) == EBUSY, "REQBUFS while reading");
    CHECK(request_buffers(fd, 0) == 0, "REQBUFS 0 while reading");
    CHECK(read(fd, frame, size) == -1 && errno == EAGAIN, "read on a restarted node");
    free(frame);
    CHECK(close(fd) == 0, "close: %s", strerror(errno));
}

int main(void)
{
    stream(1920, 1200, 0);
    stream(1000, 120, 2048); /* rows padded to the preferred stride */
    read_frames();
    if (failures == 0)
        printf("capture stream checks passed\n");
    return failures == 0 ? 0 : 1;
}
