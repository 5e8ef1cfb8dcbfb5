// Plays a raw recording as a camera: frames are read one at a time with pread, so a
// recording of any size plays with memory for at most one frame record. Compressed frames
// are found by scanning the file in bounded pieces as playback reaches them.
#include "transport/raw_playback.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "camera/context.h"
#include "camera/default_ops.h"
#include "camera/generic_ops.h"
#include "camera/pixel_sizes.h"
#include "core/log.h"
#include "registers/cache.h"
#include "sensor_data/sensor_record.h"
#include "transport/camera_shell.h"
#include "transport/raw_description.h"
#include "transport/raw_frame_scan.h"
#include "transport/raw_recorded_sensor.h"
#include "transport/raw_sensor.h"
#include "transport/raw_unpack.h"
#include "transport/unique_fd.h"
#include "zentro_frame.h"
#include "zentro_modes.h"
#include "zentro_osal.h"
#include "zentro_reg_access.h"

namespace {

using Clock = std::chrono::steady_clock;
using zentro::RawDescription;

constexpr char kProductName[] = "RAW Video File";
constexpr char kTransportName[] = "RAW";
constexpr char kDriverInfo[] = "No driver";
constexpr uint32_t kStartWidth = 640;
constexpr uint32_t kStartHeight = 480;
constexpr uint32_t kStartFrameMs = 33;
constexpr uint32_t kStartFrameUs = 33333;
constexpr uint32_t kFastFrameMs = 200;
constexpr uint32_t kUsPerMs = 1000;
constexpr uint32_t kMinFrameMs = 10;
constexpr uint32_t kMaxFrameMs = 4000;
constexpr uint32_t kStereoMode = 2;
constexpr uint32_t kPackedSwizzle = 1;

struct RawPlayback {
    std::string path;
    zentro::UniqueFd file; // open while the transport is started
    RawDescription desc;   // geometry and format as currently set
    uint32_t swizzled = 0;
    uint64_t recordBytes[zentro::kRawMaxContexts] = {};
    uint64_t cycleBytes = 0; // one record of every context
    uint64_t largestRecord = 0;
    bool scanned = false;              // compressed frames of varying size
    std::vector<uint64_t> frameStarts; // scanned frames found so far, and where the next starts
    uint32_t contexts = 1;
    int32_t frameCount = 0;
    uint32_t frameMs = kStartFrameMs;
    uint32_t frameUs = kStartFrameUs;
    int32_t lastFrame = 0;
    int32_t nextFrame = 0;
    uint32_t regs[zentro::kRawRegisterCount] = {};
    uint64_t fileSize = 0;
    std::vector<uint8_t> readBuffer; // one frame record, for recordings stored packed
    ze_frame_info_t stats = {};
    Clock::time_point dueAt{};
};

RawPlayback *recordOf(ze_camera_t *camera)
{
    return camera && camera->context ? static_cast<RawPlayback *>(camera->context->transportRecord)
                                     : nullptr;
}

bool hasExtension(const std::string &path, const char *wanted)
{
    const size_t dot = path.find_last_of('.');
    return dot != std::string::npos && strcasecmp(path.c_str() + dot, wanted) == 0;
}

// Bits per clock and clocks per pixel of an image type; false for a type that sets neither.
bool clockLayout(uint32_t type, const RawDescription &d, uint32_t &bits, uint32_t &clocks)
{
    const bool sixteen = d.outputBits == 16;
    switch (type) {
    case 1:
    case 24:
    case 32:
        bits = 8;
        clocks = 1;
        return true;
    case 2:
    case 26:
        bits = sixteen ? 8 : 10;
        clocks = sixteen ? 2 : 1;
        return true;
    case 12:
        bits = sixteen ? 8 : 12;
        clocks = sixteen ? 2 : 1;
        return true;
    case 10:
        bits = 8;
        clocks = 3;
        return true;
    case 11:
        bits = 8;
        clocks = 4;
        return true;
    case 14:
        bits = 16;
        clocks = 3;
        return true;
    case 20:
        bits = 14;
        clocks = 1;
        return true;
    case 23:
        if (d.outputBits == 32) {
            bits = 16;
            clocks = 2;
        } else if (d.packed) {
            bits = 20;
            clocks = 1;
        } else {
            bits = 10;
            clocks = 2;
        }
        return true;
    case 28:
        bits = 16;
        clocks = 1;
        return true;
    case 29:
        bits = 10;
        clocks = 2;
        return true;
    case 30:
        bits = 6;
        clocks = 1;
        return true;
    case 38:
        bits = 24;
        clocks = 1;
        return true;
    case 39:
        bits = 28;
        clocks = 1;
        return true;
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
    case 15:
    case 19:
    case 25:
    case 27:
    case 31:
    case 33:
    case 34:
    case 36:
    case 40:
        bits = 8;
        clocks = 2;
        return true;
    default:
        return false;
    }
}

uint32_t contextWidth(const RawPlayback &p, uint32_t i)
{
    return p.contexts < 2 ? p.desc.width : p.desc.contextWidth[i];
}

uint32_t contextHeight(const RawPlayback &p, uint32_t i)
{
    return p.contexts < 2 ? p.desc.height : p.desc.contextHeight[i];
}

// Bytes of one record of context @i: image plus status bytes.
uint64_t contextRecordBytes(const RawPlayback &p, const ze_sensor_t *s, uint32_t i)
{
    const uint64_t width = contextWidth(p, i);
    const uint64_t height = contextHeight(p, i);
    const RawDescription &d = p.desc;
    if (d.stereoMode == kStereoMode && p.contexts < 2 && height > 0)
        return 2 * (3 * (height - 1) * width + width) + d.statusBytes;
    uint64_t rowBytes = width * s->pixelBytes;
    if (d.packed)
        rowBytes = (width * s->bitsPerPixel + 7) / 8;
    uint64_t frameBytes = height * rowBytes;
    if (d.imageType == ZE_IMAGE_BAYER14) {
        frameBytes = height * width * 2;
    } else if (d.imageType == ZE_IMAGE_YCBCR10 && d.v210) {
        rowBytes = zentro::v210RowBytes(uint32_t(width));
        frameBytes = height * rowBytes;
    } else if (zentro::isPlanar420ImageType(d.imageType)) {
        frameBytes = width * height * 3 / 2;
    }
    return frameBytes + d.statusBytes;
}

void setRegister(RawPlayback &p, ze_sensor_t *s, uint32_t addr, uint32_t value)
{
    p.regs[addr] = value;
    s->regs[addr].defaultValue = value;
}

// Recomputes frame sizes and the frame count after the geometry or format changed. False
// (logged) when the frame is too large or the recording holds no whole frame.
bool resizeFrames(ze_camera_t *camera, RawPlayback &p)
{
    ze_sensor_t *s = camera->sensor;
    const uint64_t width = s->imageWidth;
    const uint64_t height = s->imageHeight;
    uint64_t imageBytes = width * height * s->pixelBytes;
    if (p.desc.stereoMode == kStereoMode && height > 0)
        imageBytes = (height * 6 - 4) * width;
    if (imageBytes > UINT32_MAX) {
        ZE_ERRORLOGF(CAMERA_ERROR, "Frame of %llu x %llu pixels is too large",
                     (unsigned long long)width, (unsigned long long)height);
        return false;
    }
    // Everything is computed first: a layout that cannot be played leaves the current one.
    const uint32_t contexts = p.desc.contexts < 2 ? 1 : p.desc.contexts;
    RawPlayback next;
    next.contexts = contexts;
    next.desc = p.desc;
    uint64_t cycleBytes = 0;
    uint64_t largest = 0;
    uint64_t recordBytes[zentro::kRawMaxContexts] = {};
    for (uint32_t i = 0; i < contexts; ++i) {
        recordBytes[i] = contextRecordBytes(next, s, i);
        cycleBytes += recordBytes[i];
        largest = std::max(largest, recordBytes[i]);
    }
    if (largest == 0 || largest > UINT32_MAX) {
        ZE_ERRORLOGF(CAMERA_ERROR, "Frames of %llu bytes cannot be played",
                     (unsigned long long)largest);
        return false;
    }
    const bool scanned = zentro::isScannedImageType(p.desc.imageType);
    // Compressed frames are counted as the scan finds them; until then the description's
    // count holds.
    const uint64_t frames =
        scanned ? uint64_t(p.desc.frames) : contexts * (p.fileSize / cycleBytes);
    if (frames < 1) {
        ZE_ERRORLOGF(
            CAMERA_ERROR, "Recording `%s` of %llu bytes holds no whole frame of %llu bytes",
            p.path.c_str(), (unsigned long long)p.fileSize, (unsigned long long)cycleBytes);
        return false;
    }
    s->imageBytes = uint32_t(imageBytes);
    p.contexts = contexts;
    p.cycleBytes = cycleBytes;
    p.largestRecord = largest;
    p.scanned = scanned;
    p.frameStarts.assign(1, 0);
    std::copy(std::begin(recordBytes), std::end(recordBytes), std::begin(p.recordBytes));
    p.frameCount = int32_t(std::min<uint64_t>(frames, INT32_MAX));
    p.regs[zentro::kRawNumFrames] = uint32_t(p.frameCount);
    s->regs[zentro::kRawCurFrame].rangeMax = uint32_t(p.frameCount - 1);
    s->regs[zentro::kRawReqFrame].rangeMax = uint32_t(p.frameCount - 1);
    const bool twoClockBayer =
        ze_IsBayerImageType(s->imageType) && zentro::cameraClocksPerPixel(camera) == 2;
    p.swizzled = twoClockBayer ? kPackedSwizzle : 0;
    p.regs[zentro::kRawSwizzled] = p.swizzled;
    // Only packed and V210 recordings go through a read buffer; others read straight into
    // the caller's buffer.
    const bool buffered =
        !scanned && (p.desc.packed || (p.desc.imageType == ZE_IMAGE_YCBCR10 && p.desc.v210));
    p.readBuffer.clear();
    p.readBuffer.shrink_to_fit();
    if (buffered)
        p.readBuffer.resize(size_t(largest));
    if (p.nextFrame >= p.frameCount)
        p.nextFrame = 0;
    return true;
}

int updateFrameSize(ze_camera_t *camera, uint32_t width, uint32_t height, uint32_t bitsPerClock,
                    uint32_t clocksPerPixel)
{
    RawPlayback *p = recordOf(camera);
    ze_sensor_t *s = camera ? camera->sensor : nullptr;
    if (!p || !s)
        return ZE_ERRORLOG(CAMERA_ERROR, "Raw playback camera has no playback record");
    if (width)
        s->imageWidth = width;
    if (height)
        s->imageHeight = height;
    if (clocksPerPixel)
        _SetMode(camera, ZE_CLOCKS_PER_PIXEL, clocksPerPixel);
    if (bitsPerClock)
        _SetMode(camera, ZE_BITS_PER_CLOCK, bitsPerClock);
    if (bitsPerClock || clocksPerPixel)
        s->bitsPerPixel = zentro::cameraPixelBits(camera);
    s->pixelBytes = zentro::cameraPixelBytes(camera);
    _updateImageType(camera);
    return resizeFrames(camera, *p) ? CAMERA_SUCCESS : CAMERA_ERROR;
}

int applyImageType(ze_camera_t *camera, RawPlayback &p)
{
    uint32_t bits = 0;
    uint32_t clocks = 0;
    camera->sensor->imageType = p.desc.imageType;
    if (!clockLayout(p.desc.imageType, p.desc, bits, clocks))
        return updateFrameSize(camera, 0, 0, 0, 0);
    return updateFrameSize(camera, 0, 0, bits, clocks);
}

// ---- Positions and reading ----

uint64_t framePosition(const RawPlayback &p, int32_t frame)
{
    const uint64_t cycle = uint64_t(frame) / p.contexts;
    uint64_t position = cycle * p.cycleBytes;
    for (uint32_t i = 0; i < uint32_t(frame) % p.contexts; ++i)
        position += p.recordBytes[i];
    return position;
}

// Reads up to @size bytes at @offset; the bytes read, or -1 on an error.
int64_t readAt(int fd, uint8_t *buffer, uint64_t size, uint64_t offset)
{
    uint64_t done = 0;
    while (done < size) {
        const ssize_t got = pread(fd, buffer + done, size - done, off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += uint64_t(got);
    }
    return int64_t(done);
}

void waitForPace(RawPlayback &p)
{
    if (p.frameUs == 0)
        return;
    const auto now = Clock::now();
    if (now < p.dueAt)
        std::this_thread::sleep_until(p.dueAt);
    p.dueAt = std::max(now, p.dueAt) + std::chrono::microseconds(p.frameUs);
}

// Where frame @frame lies in the file, for recordings whose frame sizes follow from the
// geometry.
void fixedFrameSpan(const RawPlayback &p, int32_t frame, uint64_t &position, uint64_t &bytes)
{
    position = framePosition(p, frame);
    bytes = p.recordBytes[uint32_t(frame) % p.contexts];
}

// The recording holds no whole frame from @found on: it plays the frames before.
void endScannedFrames(ze_camera_t *camera, RawPlayback &p, int32_t found)
{
    p.frameCount = found;
    p.regs[zentro::kRawNumFrames] = uint32_t(found);
    const uint32_t last = found > 0 ? uint32_t(found - 1) : 0;
    camera->sensor->regs[zentro::kRawCurFrame].rangeMax = last;
    camera->sensor->regs[zentro::kRawReqFrame].rangeMax = last;
    p.regs[zentro::kRawCurFrame] = std::min(p.regs[zentro::kRawCurFrame], last);
    p.regs[zentro::kRawReqFrame] = std::min(p.regs[zentro::kRawReqFrame], last);
    // Cached copies of the counting registers would otherwise report the old count.
    zentro::invalidateCacheRange(camera, ZE_SPACE_REG, 0, zentro::kRawNumFrames,
                                 zentro::kRawReqFrame + 1);
    ZE_MSGLOG(ZE_LOG_GENERAL,
              ("Recording `" + p.path + "` ends after " + std::to_string(found) + " whole frames")
                  .c_str());
}

// Finds the frames up to @frame that are not yet known; false when the recording ends
// before it (the frame count then shrinks to the frames found).
bool scanFramesUpTo(ze_camera_t *camera, RawPlayback &p, int32_t frame)
{
    if (p.frameStarts.size() > size_t(frame) + 1)
        return true;
    zentro::RawChunkReader reader(p.file.get(), p.fileSize);
    while (p.frameStarts.size() <= size_t(frame) + 1) {
        const uint64_t start = p.frameStarts.back();
        const uint64_t length = zentro::scannedFrameLength(reader, p.desc.imageType, start,
                                                           p.largestRecord, p.desc.statusBytes);
        if (length == 0) {
            endScannedFrames(camera, p, int32_t(p.frameStarts.size() - 1));
            return false;
        }
        p.frameStarts.push_back(start + length);
    }
    return true;
}

// The frame to deliver next and where it lies; false (logged) when there is none.
bool locateFrame(ze_camera_t *camera, RawPlayback &p, int32_t &frame, uint64_t &position,
                 uint64_t &bytes)
{
    if (p.nextFrame >= p.frameCount || p.nextFrame < 0)
        p.nextFrame = 0;
    frame = p.nextFrame;
    if (!p.scanned) {
        fixedFrameSpan(p, frame, position, bytes);
        return true;
    }
    if (!scanFramesUpTo(camera, p, frame))
        frame = 0; // the frames before are all known now
    if (p.frameCount < 1) {
        ZE_ERRORLOGF(GRAB_FRAME_ERROR, "Recording `%s` holds no whole frame", p.path.c_str());
        return false;
    }
    position = p.frameStarts[size_t(frame)];
    bytes = p.frameStarts[size_t(frame) + 1] - position;
    return true;
}

// Copies the record of @bytes at @position into @buffer of @size bytes; the bytes delivered.
int64_t deliverFrame(ze_camera_t *camera, RawPlayback &p, int32_t frame, uint64_t position,
                     uint64_t bytes, uint8_t *buffer, uint32_t size, uint64_t &recordRead)
{
    if (p.readBuffer.empty()) {
        const int64_t got = readAt(p.file.get(), buffer, std::min<uint64_t>(bytes, size), position);
        recordRead = got < 0 ? 0 : uint64_t(got);
        if (got >= 0 && uint64_t(got) == std::min<uint64_t>(bytes, size) && bytes > size)
            recordRead = bytes; // the rest of the record is there, the buffer only smaller
        return got;
    }
    const uint32_t context = uint32_t(frame) % p.contexts;
    const int64_t got = readAt(p.file.get(), p.readBuffer.data(),
                               std::min<uint64_t>(bytes, p.readBuffer.size()), position);
    if (got <= 0)
        return got;
    recordRead = uint64_t(got);
    zentro::RawUnpackLayout layout{contextWidth(p, context), contextHeight(p, context),
                                   camera->sensor->bitsPerPixel, p.desc.statusBytes};
    if (p.desc.imageType == ZE_IMAGE_YCBCR10 && p.desc.v210)
        return int64_t(
            zentro::unpackV210(layout, p.readBuffer.data(), uint64_t(got), buffer, size));
    if (p.desc.imageType == ZE_IMAGE_YCBCR10)
        layout.width *= 2;
    return int64_t(zentro::unpackPacked(layout, p.readBuffer.data(), uint64_t(got), buffer, size));
}

int grabFrame(ze_camera_t *camera, uint8_t *buffer, uint32_t size)
{
    RawPlayback *p = recordOf(camera);
    if (!p)
        return ZE_ERRORLOG(CAMERA_ERROR, "Raw playback camera has no playback record");
    p->stats = {};
    p->stats.bytesRequested = size;
    if (!buffer || !p->file.valid())
        return ZE_ERRORLOG(CAMERA_ERROR,
                           "Raw playback: no buffer, or the transport is not started");
    int32_t frame = 0;
    uint64_t position = 0;
    uint64_t bytes = 0;
    if (!locateFrame(camera, *p, frame, position, bytes))
        return GRAB_FRAME_ERROR;
    waitForPace(*p);
    uint64_t recordRead = 0;
    const int64_t delivered =
        deliverFrame(camera, *p, frame, position, bytes, buffer, size, recordRead);
    if (delivered <= 0)
        return ZE_ERRORLOG(GRAB_FRAME_ERROR, "Error reading from file");
    p->regs[zentro::kRawCurFrame] = uint32_t(frame);
    p->lastFrame = frame;
    p->nextFrame = frame + 1 >= p->frameCount ? 0 : frame + 1;
    if (p->swizzled)
        _unSwizzleBuffer2(camera, buffer, uint32_t(delivered));
    p->stats.bytesReturned = uint32_t(delivered);
    p->stats.imageBytesReturned = uint32_t(delivered);
    // Compressed frames are as long as the scan found them: nothing can be missing.
    if (!p->scanned && recordRead < bytes)
        return ZE_ERRORLOGF(NOT_ENOUGH_DATA_ERROR, "Frame %d of `%s` is short: %llu bytes", frame,
                            p->path.c_str(), (unsigned long long)recordRead);
    return CAMERA_SUCCESS;
}

// ---- Registers ----

bool isOwnRegister(ze_camera_t *camera, uint32_t busAddr, uint32_t addr)
{
    return addr < zentro::kRawRegisterCount && busAddr == camera->sensor->shipBaseAddr;
}

int readRegister(ze_camera_t *camera, uint32_t busAddr, uint32_t addr, uint32_t *value)
{
    RawPlayback *p = recordOf(camera);
    if (value)
        *value = p && camera->sensor && isOwnRegister(camera, busAddr, addr) ? p->regs[addr] : 0;
    return CAMERA_SUCCESS;
}

int readRegisters(ze_camera_t *camera, uint32_t busAddr, uint32_t start, uint32_t count,
                  uint32_t *values)
{
    for (uint32_t i = 0; values && i < count; ++i)
        readRegister(camera, busAddr, start + i, &values[i]);
    return CAMERA_SUCCESS;
}

uint32_t lastFrameIndex(const RawPlayback &p)
{
    return p.frameCount > 0 ? uint32_t(p.frameCount - 1) : 0;
}

// Applies a write to a register that steers the playback; the value to store.
uint32_t applyWrite(ze_camera_t *camera, RawPlayback &p, uint32_t addr, uint32_t value)
{
    switch (addr) {
    case zentro::kRawCurFrame:
        return std::min(value, lastFrameIndex(p));
    case zentro::kRawReqFrame:
        value = std::min(value, lastFrameIndex(p));
        p.nextFrame = int32_t(value);
        return value;
    case zentro::kRawFrameTimeMs:
        value = std::clamp(value, kMinFrameMs, kMaxFrameMs);
        p.frameMs = value;
        p.frameUs = value * kUsPerMs;
        return value;
    case zentro::kRawWidth:
        p.desc.width = value;
        updateFrameSize(camera, value, 0, 0, 0);
        return value;
    case zentro::kRawHeight:
        p.desc.height = value;
        updateFrameSize(camera, 0, value, 0, 0);
        return value;
    case zentro::kRawImageType:
        p.desc.imageType = value;
        applyImageType(camera, p);
        return value;
    case zentro::kRawSwizzled:
        p.swizzled = value;
        return value;
    default:
        return value;
    }
}

int writeRegister(ze_camera_t *camera, uint32_t busAddr, uint32_t addr, uint32_t value)
{
    RawPlayback *p = recordOf(camera);
    if (!p || !camera->sensor || !isOwnRegister(camera, busAddr, addr) ||
        camera->sensor->regs[addr].access == ZE_ACCESS_RO)
        return CAMERA_SUCCESS;
    p->regs[addr] = applyWrite(camera, *p, addr, value);
    return CAMERA_SUCCESS;
}

int writeRegisters(ze_camera_t *camera, uint32_t busAddr, uint32_t start, uint32_t count,
                   uint32_t *values)
{
    for (uint32_t i = 0; values && i < count; ++i)
        writeRegister(camera, busAddr, start + i, values[i]);
    return CAMERA_SUCCESS;
}

int readSensorRegisters(ze_camera_t *camera, uint32_t, uint32_t start, uint32_t count,
                        uint32_t *values)
{
    return readRegisters(camera, camera->sensor ? camera->sensor->shipBaseAddr : 0, start, count,
                         values);
}

int writeSensorRegisters(ze_camera_t *camera, uint32_t, uint32_t start, uint32_t count,
                         uint32_t *values)
{
    return writeRegisters(camera, camera->sensor ? camera->sensor->shipBaseAddr : 0, start, count,
                          values);
}

// ---- Camera-level operations ----

int startTransport(ze_camera_t *camera)
{
    RawPlayback *p = recordOf(camera);
    if (!p)
        return ZE_ERRORLOG(CAMERA_ERROR, "Raw playback camera has no playback record");
    p->file = zentro::UniqueFd(::open(p->path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!p->file.valid())
        return ZE_ERRORLOG(CAMERA_ERROR, "can't open file");
    p->lastFrame = 0;
    p->dueAt = Clock::now();
    return CAMERA_SUCCESS;
}

int stopTransport(ze_camera_t *camera)
{
    if (RawPlayback *p = recordOf(camera))
        p->file.reset();
    return CAMERA_SUCCESS;
}

int getFrameData(ze_camera_t *camera, ze_frame_info_t *frame)
{
    RawPlayback *p = recordOf(camera);
    if (!p || !frame)
        return ZE_ERRORLOG(CAMERA_ERROR, "Raw playback: no frame-information record");
    // Words from the vcOffset on stay as the caller left them.
    memcpy(frame, &p->stats, offsetof(ze_frame_info_t, vcOffset));
    return CAMERA_SUCCESS;
}

int getMode(ze_camera_t *camera, uint32_t mode, uint32_t *value)
{
    RawPlayback *p = recordOf(camera);
    if (!p || !value ||
        (mode != ZE_SIMUL_REG_FRAMEGRAB && mode != ZE_HW_FRAME_TIME && mode != ZE_DATA_IS_SWIZZLED))
        return _GetMode(camera, mode, value);
    *value = mode == ZE_SIMUL_REG_FRAMEGRAB ? 1
             : mode == ZE_HW_FRAME_TIME     ? p->frameUs
                                            : p->regs[zentro::kRawSwizzled];
    return CAMERA_SUCCESS;
}

// Setting ZE_HW_FRAME_TIME changes the pace of playback; 0 delivers frames as fast as the
// file reads.
int setMode(ze_camera_t *camera, uint32_t mode, uint32_t value)
{
    RawPlayback *p = recordOf(camera);
    if (p && mode == ZE_HW_FRAME_TIME) {
        p->frameUs = value;
        p->frameMs = value / kUsPerMs;
        return CAMERA_SUCCESS;
    }
    return _SetMode(camera, mode, value);
}

int noBufferUpdate(ze_camera_t *, uint32_t, uint32_t, uint32_t)
{
    return CAMERA_SUCCESS;
}

int noTransportInit(ze_camera_t *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t)
{
    return CAMERA_SUCCESS;
}

void installOperations(ze_camera_t *camera)
{
    camera->startTransport = startTransport;
    camera->stopTransport = stopTransport;
    zentro::installGenericCameraSlots(camera);
    camera->getFrameData = getFrameData;
    camera->updateFrameSize = updateFrameSize;
    camera->updateBufferSize = noBufferUpdate;
    camera->initTransport = noTransportInit;
    camera->setMode = setMode;
    camera->getMode = getMode;

    ze_transport_ops &ops = camera->context->ops;
    ops.readSensorRegisters = readSensorRegisters;
    ops.writeSensorRegisters = writeSensorRegisters;
    ops.readRegister = readRegister;
    ops.writeRegister = writeRegister;
    ops.readRegisters = readRegisters;
    ops.writeRegisters = writeRegisters;
    ops.grabFrame = grabFrame;
}

// ---- Load ----

bool readDescription(RawPlayback &p)
{
    const std::string descPath = zentro::rawDescriptionPath(p.path);
    if (descPath.empty() || descPath.size() >= ZE_TEXT_SIZE) {
        ZE_ERRORLOGF(CAMERA_ERROR, "No description path for `%s`", p.path.c_str());
        return false;
    }
    std::string text;
    std::string error;
    if (!zentro::readRawDescriptionFile(descPath, text, error) ||
        !zentro::parseRawDescription(text, p.desc, error)) {
        ZE_ERRORLOGF(CAMERA_ERROR, "%s", error.c_str());
        return false;
    }
    if (p.desc.frames < 1) {
        ZE_ERRORLOGF(CAMERA_ERROR, "Description `%s` gives no frame count", descPath.c_str());
        return false;
    }
    return true;
}

void applyDescriptionDefaults(RawPlayback &p)
{
    RawDescription &d = p.desc;
    if (!d.width)
        d.width = kStartWidth;
    if (!d.height)
        d.height = kStartHeight;
    if (!d.imageType)
        d.imageType = ZE_IMAGE_BAYER10;
    if (d.frameUs == 0)
        return; // no rate: the start values stay
    p.frameMs = d.frameMs;
    p.frameUs = d.frameUs;
    if (p.frameMs == 0) { // a rate above 1000 frames per second is not believed
        p.frameMs = kFastFrameMs;
        p.frameUs = kFastFrameMs * kUsPerMs;
    }
}

void copyToSensor(ze_sensor_t *s, const RawPlayback &p)
{
    const RawDescription &d = p.desc;
    s->width = s->imageWidth = d.width;
    s->height = s->imageHeight = d.height;
    s->bitsPerPixel = d.outputBits ? d.outputBits : s->bitsPerPixel;
    s->imageType = d.imageType;
    s->rangeSize = d.rangeSize;
    s->velocitySize = d.velocitySize;
    s->antennaArraySize = d.antennaArraySize;
    s->antennaGroupSize = d.antennaGroupSize;
    const bool bayer = ze_IsBayerImageType(d.imageType) != 0;
    if (d.rangeSize == 0 && bayer && d.height == 512 && (d.width == 512 || d.width == 1024)) {
        s->rangeSize = d.width;
        s->velocitySize = 128;
        s->antennaArraySize = 4;
        s->antennaGroupSize = 1;
    }
}

void publishRegisters(ze_camera_t *camera, RawPlayback &p)
{
    ze_sensor_t *s = camera->sensor;
    const RawDescription &d = p.desc;
    setRegister(p, s, zentro::kRawNumFrames, uint32_t(p.frameCount));
    setRegister(p, s, zentro::kRawFrameTimeMs, p.frameMs);
    setRegister(p, s, zentro::kRawWidth, d.width);
    setRegister(p, s, zentro::kRawHeight, d.height);
    setRegister(p, s, zentro::kRawContextCycling, d.contexts);
    for (uint32_t i = 0; i < uint32_t(zentro::kRawMaxContexts); ++i) {
        setRegister(p, s, zentro::kRawWidthContext0 + 2 * i, d.contextWidth[i]);
        setRegister(p, s, zentro::kRawWidthContext0 + 2 * i + 1, d.contextHeight[i]);
    }
    setRegister(p, s, zentro::kRawImageType, d.imageType);
    setRegister(p, s, zentro::kRawSwizzled, p.swizzled);
    setRegister(p, s, zentro::kRawStatusStructSize, d.statusBytes);
    setRegister(p, s, zentro::kRawLidarIntensityMode, d.stereoMode);
}

// Recorded values of the registers that describe the data's layout.
void applyRegisterLines(ze_camera_t *camera, RawPlayback &p)
{
    struct Target {
        uint32_t space, address, reg;
    };
    static constexpr Target kTargets[] = {{0, 0x31BE, zentro::kRawMipiConfigStatus},
                                          {0, 0x3FF8, zentro::kRawSensorAsMask},
                                          {1, 0x3F72, zentro::kRawArrayControlFp1}};
    for (const zentro::RawRegisterLine &line : p.desc.registerLines) {
        for (const Target &t : kTargets) {
            if (line.space == t.space && line.address == t.address)
                p.regs[t.reg] = line.value & camera->sensor->regs[t.reg].mask;
        }
    }
}

bool loadRecording(ze_camera_t *camera, RawPlayback &p)
{
    struct stat info {
    };
    if (stat(p.path.c_str(), &info) != 0) {
        ZE_ERRORLOG(CAMERA_ERROR, "can't open file");
        return false;
    }
    p.fileSize = uint64_t(info.st_size);
    camera->sensor->pixelBytes = 2;
    camera->sensor->bitsPerPixel = 10;
    if (!readDescription(p))
        return false;
    applyDescriptionDefaults(p);
    copyToSensor(camera->sensor, p);
    // Image sequences other than JPEG have no boundary the scan knows.
    if (zentro::isCompressedImageType(p.desc.imageType) &&
        !zentro::isScannedImageType(p.desc.imageType)) {
        ZE_ERRORLOGF(CAMERA_ERROR, "Compressed recordings cannot be played, `%s`", p.path.c_str());
        return false;
    }
    if (applyImageType(camera, p) != CAMERA_SUCCESS)
        return false;
    publishRegisters(camera, p);
    applyRegisterLines(camera, p);
    return true;
}

int closeCamera(ze_camera_t *camera)
{
    if (!camera)
        return CAMERA_SUCCESS;
    if (camera->context) {
        delete static_cast<RawPlayback *>(camera->context->transportRecord);
        camera->context->transportRecord = nullptr;
    }
    zentro::freeTransportCamera(camera);
    return CAMERA_SUCCESS;
}

ze_camera_t *openCamera(const char *path)
{
    ze_camera_t *camera = zentro::allocateTransportCamera();
    if (!camera)
        return nullptr;
    auto *record = new (std::nothrow) RawPlayback{};
    if (!record) {
        ZE_ERRORLOG(CAMERA_ERROR, "Couldn't allocate transport record");
        closeCamera(camera);
        return nullptr;
    }
    record->path = path;
    camera->context->transportRecord = record;
    zentro::copyText(camera->productName, kProductName);
    zentro::copyText(camera->transportName, kTransportName);
    camera->transportType = ZE_TRANSPORT_RAW;
    zentro::copyText(camera->context->driverInfo, kDriverInfo);
    installOperations(camera);
    if (zentro::buildRawSensor(camera, path) != CAMERA_SUCCESS || !loadRecording(camera, *record)) {
        closeCamera(camera);
        return nullptr;
    }
    zentro::restoreRecordedSensor(camera, record->path, zentro::rawDescriptionPath(record->path));
    return camera;
}

} // namespace

namespace zentro {

int RAW_Transport_OpenCameras(ze_camera_t **slot, int room, int *found, const char *sensorPath,
                              const char * /*dllName*/)
{
    if (found)
        *found = 0;
    if (!slot || !found || room < 1 || !sensorPath || !sensorPath[0])
        return CAMERA_SUCCESS;
    const std::string path(sensorPath);
    // Other files belong to the transports further down the table.
    if (!hasExtension(path, ".raw") && !hasExtension(path, ".yuv"))
        return CAMERA_SUCCESS;
    ze_camera_t *camera = openCamera(sensorPath);
    if (!camera)
        return CAMERA_ERROR;
    *slot = camera;
    *found = 1;
    return CAMERA_SUCCESS;
}

int RAW_Transport_CloseCameras(int count, ze_camera_t **cameras)
{
    for (int i = 0; cameras && i < count; ++i)
        closeCamera(cameras[i]);
    return CAMERA_SUCCESS;
}

} // namespace zentro
