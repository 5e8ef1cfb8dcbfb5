// Entry points of an open board camera: modes, frame and buffer sizes, registers by bus
// address and frame grabs, each mapped to the board server's commands.
#include "entry_points.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>

#include "board_config.h"
#include "plugin_support.h"
#include "zentro_errors.h"
#include "zentro_modes.h"

using namespace zentro::qrb;

namespace {

// The mode with which identification asks a transport to decide a sensor match itself.
constexpr uint32_t kModeMatchTest = 93;

static_assert(sizeof(ze_frame_info_t) == kFrameInfoWords * sizeof(uint32_t));

// Modes that only steer the library on this side (how it addresses and caches registers,
// what it logs): kept here, never sent. The register widths go with every register request.
bool isLibraryMode(uint32_t mode)
{
    switch (mode) {
    case ZE_ERROR_CHECK_MODE:
    case ZE_REG_ADDR_SIZE:
    case ZE_REG_DATA_SIZE:
    case ZE_USE_REG_CACHE:
    case ZE_ERROR_LOG_TYPE:
    case kModeMatchTest:
        return true;
    default:
        return false;
    }
}

uint32_t localMode(ze_camera_t *camera, uint32_t mode, uint32_t fallback)
{
    uint32_t value = fallback;
    if (g_helpers->getMode(camera, mode, &value) != CAMERA_SUCCESS)
        return fallback;
    return value;
}

BusAccess busOf(ze_camera_t *camera, uint32_t busAddr)
{
    constexpr uint32_t kDefaultWidth = 16;
    return {busAddr, localMode(camera, ZE_REG_ADDR_SIZE, kDefaultWidth),
            localMode(camera, ZE_REG_DATA_SIZE, kDefaultWidth)};
}

// Image bytes per fetch request: ZE_BOARD_CHUNK when set (for measurements), else the default.
uint32_t frameChunk()
{
    static const uint32_t chunk = [] {
        const char *env = std::getenv(kChunkEnvironment);
        uint32_t value = 0;
        if (env) {
            const std::string_view text(env);
            std::from_chars(text.data(), text.data() + text.size(), value);
        }
        return value > 0 ? value : kDefaultFrameChunk;
    }();
    return chunk;
}

int setBoardMode(ze_camera_t *camera, uint32_t mode, uint32_t value)
{
    const int result = remoteCall(camera, "SetModeDLL", [&](RemoteCamera &r) -> int {
        // The library sets the data byte order before every sensor transfer: send changes only.
        if (mode == ZE_REG_DATA_LE && r.sentDataLE == value)
            return CAMERA_SUCCESS;
        const int rc =
            r.client().setMode(r.device(), static_cast<int32_t>(mode), static_cast<int32_t>(value));
        if (rc == CAMERA_SUCCESS && mode == ZE_REG_DATA_LE)
            r.sentDataLE = value;
        else if (rc == CAMERA_SUCCESS)
            r.rememberMode(mode, value);
        return rc;
    });
    // The library keeps its own copy, which it reads for frame sizes and register transfers;
    // a mode the board does not have is the library's alone.
    const int local = g_helpers->setMode(camera, mode, value);
    return result == CAMERA_NOT_SUPPORTED ? local : result;
}

} // namespace

QRB_EXPORT int SetModeDLL(ze_camera_t *camera, uint32_t mode, uint32_t value)
{
    if (g_helpers == nullptr)
        return CAMERA_ERROR;
    if (isLibraryMode(mode))
        return g_helpers->setMode(camera, mode, value);
    return setBoardMode(camera, mode, value);
}

QRB_EXPORT int GetModeDLL(ze_camera_t *camera, uint32_t mode, uint32_t *value)
{
    if (g_helpers == nullptr || value == nullptr)
        return CAMERA_ERROR;
    if (isLibraryMode(mode) || mode == ZE_REG_DATA_LE)
        return g_helpers->getMode(camera, mode, value);
    const int result = remoteCall(camera, "GetModeDLL", [&](RemoteCamera &r) -> int {
        return r.client().getMode(r.device(), static_cast<int32_t>(mode), *value);
    });
    return result == CAMERA_NOT_SUPPORTED ? g_helpers->getMode(camera, mode, value) : result;
}

QRB_EXPORT int UpdateFrameSizeDLL(ze_camera_t *camera, uint32_t width, uint32_t height,
                                  uint32_t bitsPerClock, uint32_t clocksPerPixel)
{
    if (g_helpers == nullptr)
        return CAMERA_ERROR;
    const int result = remoteCall(camera, "UpdateFrameSizeDLL", [&](RemoteCamera &r) -> int {
        const FrameSizeReply sizes =
            r.client().updateFrameSize(r.device(), width, height, bitsPerClock, clocksPerPixel);
        if (sizes.retVal == CAMERA_SUCCESS)
            r.rememberFrameSize(width, height, bitsPerClock, clocksPerPixel);
        return sizes.retVal;
    });
    // The sensor record on this side follows, so that buffers are sized alike on both sides.
    const int local =
        g_helpers->updateFrameSize(camera, width, height, bitsPerClock, clocksPerPixel);
    return result != CAMERA_SUCCESS ? result : local;
}

QRB_EXPORT int UpdateBufferSizeDLL(ze_camera_t *camera, uint32_t size, uint32_t, uint32_t)
{
    const int result = remoteCall(camera, "UpdateBufferSizeDLL", [&](RemoteCamera &r) -> int {
        uint32_t bufferSize = 0;
        return r.client().updateBufferSize(r.device(), size, bufferSize);
    });
    if (result == CAMERA_SUCCESS && camera->sensor != nullptr)
        camera->sensor->imageBytes = size;
    return result;
}

QRB_EXPORT int ReadRegisterDLL(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr,
                               uint32_t *value)
{
    if (g_helpers == nullptr || value == nullptr)
        return CAMERA_ERROR;
    const BusAccess bus = busOf(camera, busAddr);
    return remoteCall(camera, "ReadRegisterDLL", [&](RemoteCamera &r) -> int {
        return r.client().readRegister(r.device(), bus, regAddr, *value);
    });
}

QRB_EXPORT int WriteRegisterDLL(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr,
                                uint32_t value)
{
    if (g_helpers == nullptr)
        return CAMERA_ERROR;
    const BusAccess bus = busOf(camera, busAddr);
    return remoteCall(camera, "WriteRegisterDLL", [&](RemoteCamera &r) -> int {
        return r.client().writeRegister(r.device(), bus, regAddr, value);
    });
}

QRB_EXPORT int ReadRegistersDLL(ze_camera_t *camera, uint32_t busAddr, uint32_t start,
                                uint32_t count, uint32_t *values)
{
    if (g_helpers == nullptr || (values == nullptr && count != 0))
        return CAMERA_ERROR;
    const BusAccess bus = busOf(camera, busAddr);
    return remoteCall(camera, "ReadRegistersDLL", [&](RemoteCamera &r) -> int {
        return r.client().readRegisters(r.device(), bus, start, std::span(values, count));
    });
}

QRB_EXPORT int WriteRegistersDLL(ze_camera_t *camera, uint32_t busAddr, uint32_t start,
                                 uint32_t count, uint32_t *values)
{
    if (g_helpers == nullptr || (values == nullptr && count != 0))
        return CAMERA_ERROR;
    const BusAccess bus = busOf(camera, busAddr);
    return remoteCall(camera, "WriteRegistersDLL", [&](RemoteCamera &r) -> int {
        return r.client().writeRegisters(r.device(), bus, start,
                                         std::span<const uint32_t>(values, count));
    });
}

QRB_EXPORT int GrabFrameDLL(ze_camera_t *camera, uint8_t *buffer, uint32_t size)
{
    if (buffer == nullptr && size != 0)
        return CAMERA_ERROR;
    return remoteCall(camera, "GrabFrameDLL", [&](RemoteCamera &r) -> int {
        const GrabReply grab = r.client().grabFrame(r.device(), size);
        std::memcpy(&r.frameInfo, grab.info.data(), sizeof(r.frameInfo));
        if (grab.retVal != CAMERA_SUCCESS)
            return grab.retVal;
        const uint32_t wanted = std::min(size, grab.bytesReturned());
        const auto into = std::as_writable_bytes(std::span(buffer, wanted));
        const size_t fetched = r.client().fetchFrame(r.device(), into, frameChunk());
        return fetched < wanted ? NOT_ENOUGH_DATA_ERROR : CAMERA_SUCCESS;
    });
}

QRB_EXPORT int GetFrameDataDLL(ze_camera_t *camera, ze_frame_info_t *frameData)
{
    RemoteCamera *remote = remoteCamera(camera);
    if (remote == nullptr || frameData == nullptr)
        return CAMERA_ERROR;
    std::lock_guard lock(remote->mutex());
    *frameData = remote->frameInfo;
    return CAMERA_SUCCESS;
}
