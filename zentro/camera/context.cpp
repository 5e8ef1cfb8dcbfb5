// Creating, finishing and releasing the per-camera common context.
#include "camera/context.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "core/log.h"
#include "registers/cache.h"
#include "registers/index.h"
#include "sensor_data/sensor_record.h"
#include "zentro_osal.h"

ze_common_context::ze_common_context() : registerIndex(new (std::nothrow) zentro::RegisterIndex) {}
ze_common_context::~ze_common_context() = default;

namespace {

std::atomic<uint64_t> nextContextSerial{1};

constexpr uint32_t kNotSet = 0xFFFFFFFF;
constexpr uint32_t kDefaultSyncCode = 0xF555;
constexpr uint32_t kDefaultNackRetries = 5;
constexpr uint32_t kDefaultSendCommandTimeout = 5;

bool isSharedOnlyMode(uint32_t mode)
{
    return mode == ZE_XDMA_LOGICAL || mode == ZE_XDMA_PHY_A15 || mode == ZE_XDMA_PHY_REGION ||
           mode == ZE_XDMA_ADV_BASE;
}

// Modes every user of one device sees alike (kept in the shared context too).
bool isSharedMode(uint32_t mode)
{
    switch (mode) {
    case ZE_UNSWIZZLE_MODE:
    case ZE_PIXCLK_POLARITY:
    case ZE_BITS_PER_CLOCK:
    case ZE_CLOCKS_PER_PIXEL:
    case ZE_RX_TYPE:
    case ZE_RX_LANES:
    case ZE_RX_WIDTH:
    case ZE_RX_BIT_DEPTH:
    case ZE_RX_MODE:
    case ZE_RX_CLASS:
    case ZE_RX_SYNC_CODE:
    case ZE_RX_EMBEDDED_DATA:
    case ZE_RX_VIRTUAL_CHANNEL:
    case ZE_RX_MSB_FIRST:
    case ZE_RX_CCIR656:
    case ZE_RX_INTERLACED:
    case ZE_RX_PHY_SELECT:
    case ZE_RX_VCDT_DEMUX:
    case ZE_RX_DESKEW:
    case ZE_STEREO_MODE:
    case ZE_LSB_ALIGNED:
    case ZE_OUTPUT_PORT:
    case ZE_PIXEL_PACK:
    case ZE_MIDDLE_12:
    case ZE_LOCK_SLAVE_IDS:
    case ZE_ACMP_ALLOW_SHORT:
    case ZE_ACMP_IGNORE_CRC:
    case ZE_SER_SHIP_ADDR:
    case ZE_DES_SHIP_ADDR:
    case 108: // serializer bit rate (no name)
        return true;
    default:
        return isSharedOnlyMode(mode);
    }
}

// Device names become parts of lock and context names: no blanks, separators or dots.
void sanitiseDeviceName(char *name)
{
    for (char *c = name; *c; ++c) {
        if (*c == ' ' || *c == '\\' || *c == '.' || *c == '/')
            *c = '_';
    }
}

void buildContextNames(ze_camera_t *camera)
{
    ze_common_context_t *context = camera->context;
    char device[ZE_TEXT_SIZE] = {};
    if (context->ops.getDeviceName)
        context->ops.getDeviceName(camera, device, sizeof(device));
    device[sizeof(device) - 1] = '\0';
    if (!device[0])
        return;
    sanitiseDeviceName(device);
    // Names are cut to their fields like every text of the context.
    const std::string name(device);
    zentro::copyText(context->regLockName, ("mutex_" + name).c_str());
    zentro::copyText(context->grabLockName, ("mutexgrab_" + name).c_str());
    zentro::copyText(context->sharedName, ("context_" + name).c_str());
}

void createSharedContext(ze_common_context_t *context)
{
    void *block =
        osal_alloc_global(context->sharedName, sizeof(ze_shared_context_t), &context->sharedHandle);
    if (!block) {
        // Without a device name (or memory) the camera keeps a private block.
        block = calloc(1, sizeof(ze_shared_context_t));
        context->sharedHandle = nullptr;
    }
    context->shared = static_cast<ze_shared_context_t *>(block);
    if (!context->shared || context->shared->initialised != 0)
        return;
    context->shared->initialised = kNotSet;
    for (uint32_t mode = 0; mode < ZE_MODE_LIMIT; ++mode) {
        if (isSharedMode(mode))
            context->shared->modes[mode] = context->modes[mode];
    }
    context->shared->modes[ZE_XDMA_LOGICAL] = kNotSet;
    context->shared->modes[ZE_XDMA_PHY_A15] = kNotSet;
    context->shared->modes[ZE_XDMA_PHY_REGION] = kNotSet;
    context->shared->modes[ZE_XDMA_ADV_BASE] = kNotSet;
}

void adoptSharedValues(ze_common_context_t *context)
{
    if (!context->shared)
        return;
    for (uint32_t mode = 0; mode < ZE_MODE_LIMIT; ++mode) {
        if (isSharedMode(mode))
            context->modes[mode] = context->shared->modes[mode];
    }
}

void setInitialModes(ze_camera_t *camera)
{
    ze_common_context_t *context = camera->context;
    context->modes[ZE_BITS_PER_CLOCK] = 8;
    context->modes[ZE_CLOCKS_PER_PIXEL] = 1;
    context->modes[ZE_PIXCLK_POLARITY] = 1;
    context->modes[ZE_UNSWIZZLE_MODE] = 3;
    context->cameraSettings = {camera, 8, 16, 1, kDefaultSendCommandTimeout, 0, 0};

    // In this order, through the library's own setter, as any later change would go.
    const struct {
        uint32_t mode;
        uint32_t value;
    } initial[] = {
        {ZE_SW_UNSWIZZLE_MODE, 1},
        {ZE_ERROR_CHECK_MODE, 1},
        {ZE_REG_ADDR_SIZE, 8},
        {ZE_REG_DATA_SIZE, 16},
        {ZE_ALLOW_FAR_ACCESS, 1},
        {ZE_RX_TYPE, kNotSet},
        {ZE_RX_MODE, 2},
        {ZE_RX_LANES, 1},
        {ZE_RX_DESKEW, 0},
        {ZE_RX_BIT_DEPTH, 10},
        {ZE_RX_CLASS, 1},
        {ZE_RX_SYNC_CODE, kDefaultSyncCode},
        {ZE_RX_EMBEDDED_DATA, 1},
        {ZE_RX_VIRTUAL_CHANNEL, 0},
        {ZE_RX_MSB_FIRST, 0},
        {ZE_RX_CCIR656, 0},
        {ZE_RX_INTERLACED, 0},
        {ZE_OUTPUT_PORT, 0},
        {ZE_ACMP_ALLOW_SHORT, 0},
        {ZE_USE_REG_CACHE, 0},
        {ZE_NACK_RETRIES, kDefaultNackRetries},
        {ZE_SENDCOMMAND_TIMEOUT, kDefaultSendCommandTimeout},
    };
    for (const auto &entry : initial)
        _SetMode(camera, entry.mode, entry.value);

    ze_transport_ops &ops = context->ops;
    ops.readSensorRegisters = nullptr;
    ops.writeSensorRegisters = nullptr;
    ops.readRegister = nullptr;
    ops.writeRegister = nullptr;
    ops.readRegisters = nullptr;
    ops.writeRegisters = nullptr;
    ops.setNotifyCallback = nullptr;
    ops.enableDeviceNotification = nullptr;
    ops.matchDevChangeMsg = nullptr;
    ops.disableDeviceNotification = nullptr;
    _SetMode(camera, ZE_DIRECT_VAR_ACCESS, 1);
}

} // namespace

namespace zentro {

void initGlobalContext(ze_camera_t *camera)
{
    if (!camera || !camera->context)
        return;
    ze_common_context_t *context = camera->context;
    if (!context->shared) {
        buildContextNames(camera);
        // Recursive; on this platform the names are informational only.
        if (!context->regLock)
            context->regLock.reset(new (std::nothrow) CriticalSection(context->regLockName));
        if (!context->grabLock)
            context->grabLock.reset(new (std::nothrow) CriticalSection(context->grabLockName));
        createSharedContext(context);
    }
    adoptSharedValues(context);
}

void releaseSharedContext(ze_camera_t *camera)
{
    ze_common_context_t *context = camera ? camera->context : nullptr;
    if (!context || !context->shared)
        return;
    if (context->sharedHandle)
        osal_free_global(context->sharedHandle, context->shared);
    else
        free(context->shared);
    context->shared = nullptr;
    context->sharedHandle = nullptr;
}

uint32_t storedMode(const ze_camera_t *camera, uint32_t mode)
{
    if (!camera || !camera->context || mode >= ZE_MODE_LIMIT)
        return 0;
    const ze_common_context_t *context = camera->context;
    if (context->shared && isSharedMode(mode))
        return context->shared->modes[mode];
    return context->modes[mode];
}

void setStoredMode(ze_camera_t *camera, uint32_t mode, uint32_t value)
{
    if (!camera || !camera->context || mode >= ZE_MODE_LIMIT)
        return;
    ze_common_context_t *context = camera->context;
    context->modes[mode] = value;
    if (context->shared && isSharedMode(mode))
        context->shared->modes[mode] = value;
}

} // namespace zentro

extern "C" {

ZE_API int ze_InitCameraContext(ze_camera_t *camera)
{
    if (!camera)
        return CAMERA_ERROR;
    ze_FreeCameraContext(camera);
    camera->context = new (std::nothrow) ze_common_context_t;
    if (!camera->context)
        return ZE_ERRORLOG(CAMERA_ERROR, "Couldn't allocate camera context");
    camera->context->serial = nextContextSerial.fetch_add(1, std::memory_order_relaxed);
    setInitialModes(camera);
    return CAMERA_SUCCESS;
}

ZE_API void ze_FreeCameraContext(ze_camera_t *camera)
{
    if (!camera || !camera->context)
        return;
    zentro::freeRegisterCache(camera);
    zentro::releaseSharedContext(camera);
    delete camera->context;
    camera->context = nullptr;
}

ZE_API void _init_global_context(ze_camera_t *camera)
{
    zentro::initGlobalContext(camera);
}

ZE_API int ze_GetShipAddrList(ze_camera_t *camera, uint32_t *addresses, int32_t *count)
{
    if (!camera || !camera->context)
        return CAMERA_ERROR;
    const zentro::IdentData &ident = camera->context->ident;
    int32_t n = ident.baseAddrCount;
    if (n < 0)
        n = 0;
    if (n > zentro::kMaxBaseAddrs)
        n = zentro::kMaxBaseAddrs;
    if (addresses)
        memcpy(addresses, ident.baseAddrs, sizeof(uint32_t) * n);
    if (count)
        *count = n;
    return CAMERA_SUCCESS;
}

} // extern "C"
