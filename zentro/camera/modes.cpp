// The mode table (where each mode lives) and the library's mode setter and getter.
#include <array>
#include <cstdint>
#include <initializer_list>

#include "camera/context.h"
#include "core/log.h"
#include "registers/cache.h"
#include "zentro_errors.h"
#include "zentro_modes.h"

namespace {

// Where a mode's value lives, or how the library's setter and getter treat it.
enum class Place : uint8_t {
    Unknown,            // no behaviour: both log "unrecognized mode" and answer 16
    Thread,             // the calling thread's settings record (and the camera's copy)
    Camera,             // the common context
    Shared,             // the common context and the device's shared context
    SharedOnly,         // the shared context only
    Special,            // computed or forwarded (specialSet / specialGet)
    Transport,          // only a transport implements it: 16 without a log line
    TransportSetLogged, // as Transport, but the setter logs "unrecognized mode"
};

struct PlaceGroup {
    Place place;
    std::initializer_list<uint32_t> modes;
};

// Modes 8, 9, 10, 26, 27, 45, 112, 115 and 120 on are Unknown.
constexpr PlaceGroup kPlaceGroups[] = {
    {Place::Thread,
     {ZE_REG_ADDR_SIZE, ZE_REG_DATA_SIZE, ZE_USE_REG_CACHE, ZE_SENDCOMMAND_TIMEOUT,
      ZE_REG_DATA_LE}},
    {Place::Camera,
     {ZE_ERROR_CHECK_MODE, ZE_SW_UNSWIZZLE_MODE, ZE_DIRECT_VAR_ACCESS, ZE_RX_VCDT_IDS,
      ZE_NACK_RETRIES, ZE_FAR_BROADCAST, ZE_KORT, ZE_TALVE, ZE_OBU, ZE_SENSOR_MAX_BIT_RATE}},
    {Place::Shared,
     {ZE_UNSWIZZLE_MODE,     ZE_PIXCLK_POLARITY,  ZE_BITS_PER_CLOCK,
      ZE_CLOCKS_PER_PIXEL,   ZE_RX_TYPE,          ZE_RX_LANES,
      ZE_RX_WIDTH,           ZE_RX_BIT_DEPTH,     ZE_RX_MODE,
      ZE_RX_CLASS,           ZE_RX_SYNC_CODE,     ZE_RX_EMBEDDED_DATA,
      ZE_RX_VIRTUAL_CHANNEL, ZE_RX_MSB_FIRST,     ZE_RX_CCIR656,
      ZE_RX_INTERLACED,      ZE_RX_PHY_SELECT,    ZE_RX_VCDT_DEMUX,
      ZE_RX_DESKEW,          ZE_STEREO_MODE,      ZE_LSB_ALIGNED,
      ZE_OUTPUT_PORT,        ZE_PIXEL_PACK,       ZE_MIDDLE_12,
      ZE_LOCK_SLAVE_IDS,     ZE_ACMP_ALLOW_SHORT, ZE_ACMP_IGNORE_CRC,
      ZE_SER_SHIP_ADDR,      ZE_DES_SHIP_ADDR,    108 /* serializer bit rate, no name */}},
    {Place::SharedOnly, {ZE_XDMA_LOGICAL, ZE_XDMA_PHY_A15, ZE_XDMA_PHY_REGION, ZE_XDMA_ADV_BASE}},
    {Place::Special,
     {ZE_SW_UNSWIZZLE_DEFAULT, ZE_DATA_IS_SWIZZLED, ZE_ERROR_LOG_TYPE, ZE_SPOOF_SIZE,
      ZE_SPOOF_SUPPORTED, ZE_HW_BUFFERING, ZE_ALLOW_FAR_ACCESS, ZE_SENSOR_POWER, ZE_SENSOR_RESET,
      ZE_SENSOR_SHUTDOWN, ZE_SIMUL_REG_FRAMEGRAB, ZE_RESERVE_SHIP_ADDR, ZE_ACMP0_SHIP_ADDR,
      ZE_ACMP2_SHIP_ADDR}},
    {Place::Transport,
     {ZE_SHIP_SPEED,
      ZE_HW_FRAME_COUNT,
      ZE_PIXCLK_FREQ,
      ZE_DETECT_FRAME_SIZE,
      ZE_HDMI_MODE,
      ZE_MEM_CAPTURE,
      ZE_MEM_CAPTURE_PROGRESS,
      ZE_MEM_CAPTURE_MB,
      ZE_HW_FRAME_COUNT_MASK,
      ZE_GRABFRAME_TIMEOUT,
      ZE_HW_FRAME_TIME,
      ZE_MEM_CAPTURE_CYCLE,
      ZE_PARITY,
      ZE_GPIO,
      ZE_EXTCLK_FREQ,
      ZE_MEM_CAPTURE_TRIGGER,
      ZE_RESET_IMAGE_FIFO,
      ZE_BITSLIP_PROCEDURE,
      ZE_DESCRAM,
      ZE_DESCRAM_RNO,
      ZE_DESCRAM_REF_ROWS,
      ZE_SPI_REG_ACCESS,
      ZE_SHIP_TO_SPI,
      ZE_MEM_BUFFERING,
      ZE_ALL_GPIO,
      93, // the transport's own sensor-match answer (no name)
      ZE_SPI_SPEED,
      ZE_FLASH_DELAY_ENABLE,
      ZE_FLASH_DELAY_INPUT,
      ZE_FLASH_DELAY_IINVERT,
      ZE_FLASH_DELAY_OUTPUT,
      ZE_FLASH_DELAY_OINVERT,
      ZE_FLASH_DELAY_TIME,
      ZE_FLASH_DELAY_WIDTH,
      111, // no name
      ZE_RX_MAX_BIT_RATE}},
    {Place::TransportSetLogged,
     {ZE_TRIGGER0_HIGH_WIDTH, ZE_TRIGGER0_LOW_WIDTH, ZE_TRIGGER, ZE_TRIGGER1_HIGH_WIDTH,
      ZE_TRIGGER1_LOW_WIDTH, ZE_TRIGGER2_HIGH_WIDTH, ZE_TRIGGER2_LOW_WIDTH, ZE_TRIGGER_COUNT,
      ZE_TRIGGER_INVERT, ZE_TRIGGER_ENABLE, ZE_TRIGGER_SELECT, ZE_TRIGGER_CLOCK_FREQ}},
};

constexpr std::array<Place, ZE_MODE_LIMIT> buildPlaces()
{
    std::array<Place, ZE_MODE_LIMIT> places{};
    for (const PlaceGroup &group : kPlaceGroups) {
        for (uint32_t mode : group.modes)
            places[mode] = group.place;
    }
    return places;
}

constexpr std::array<Place, ZE_MODE_LIMIT> kPlaces = buildPlaces();

Place placeOf(uint32_t mode)
{
    return mode < ZE_MODE_LIMIT ? kPlaces[mode] : Place::Unknown;
}

// The field of a thread settings record that holds a per-thread mode.
uint32_t ze_thread_settings_t::*threadField(uint32_t mode)
{
    switch (mode) {
    case ZE_REG_ADDR_SIZE:
        return &ze_thread_settings_t::regAddrSize;
    case ZE_REG_DATA_SIZE:
        return &ze_thread_settings_t::regDataSize;
    case ZE_USE_REG_CACHE:
        return &ze_thread_settings_t::useRegCache;
    case ZE_SENDCOMMAND_TIMEOUT:
        return &ze_thread_settings_t::sendCommandTimeout;
    default:
        return &ze_thread_settings_t::regDataLE;
    }
}

int unrecognizedSet()
{
    return ZE_ERRORLOG(CAMERA_NOT_SUPPORTED, "unrecognized mode in setMode()");
}

int unrecognizedGet()
{
    return ZE_ERRORLOG(CAMERA_NOT_SUPPORTED, "unrecognized mode in getMode()");
}

// The spoof size, the hardware-buffering word and the XDMA modes exist once per device.
ze_shared_context_t *sharedContext(ze_camera_t *camera)
{
    return camera->context->shared;
}

int noSharedContext(uint32_t mode)
{
    return ZE_ERRORLOGF(CAMERA_ERROR, "mode %u needs the device's shared context", mode);
}

// ZE_ALLOW_FAR_ACCESS values that name a bus base address instead of switching far access.
constexpr uint32_t kFirstFarGrantAddr = 2;
constexpr uint32_t kLastBusAddr = 255;
constexpr uint32_t kSpoofHalfBits = 16;
constexpr uint32_t kSpoofHalfMask = 0xFFFF;

int setErrorLogType(uint32_t value)
{
    if (value == ze_GetErrorLogLevel())
        return CAMERA_SUCCESS;
    return ze_SetErrorLogLevel(value);
}

int specialSet(ze_camera_t *camera, uint32_t mode, uint32_t value)
{
    switch (mode) {
    case ZE_DATA_IS_SWIZZLED:
        return CAMERA_SUCCESS; // whether data is swizzled is the transport's to say
    case ZE_ERROR_LOG_TYPE:
        return setErrorLogType(value);
    case ZE_SPOOF_SIZE:
        if (!sharedContext(camera))
            return noSharedContext(mode);
        sharedContext(camera)->spoofWidth = value & kSpoofHalfMask;
        sharedContext(camera)->spoofHeight = value >> kSpoofHalfBits;
        return CAMERA_SUCCESS;
    case ZE_SPOOF_SUPPORTED:
        return ZE_ERRORLOG(CAMERA_ERROR, "ZE_SPOOF_SUPPORTED is read-only");
    case ZE_HW_BUFFERING:
    case ZE_SIMUL_REG_FRAMEGRAB:
        return CAMERA_NOT_SUPPORTED;
    case ZE_ALLOW_FAR_ACCESS:
        // 2 to 255 name a bus address to allow, which leaves the switch as it is; the
        // allow-list itself belongs to the far-register access.
        if (value < kFirstFarGrantAddr || value > kLastBusAddr)
            zentro::setStoredMode(camera, mode, value);
        else
            camera->context->farAllowList.allow(value);
        return CAMERA_SUCCESS;
    case ZE_SENSOR_POWER:
        // Powering the sensor (up or anew) loses its register contents.
        if (value != 0)
            ze_InvalidateRegCache(camera);
        return CAMERA_SUCCESS;
    case ZE_SENSOR_RESET:
    case ZE_SENSOR_SHUTDOWN:
        // Leaving reset or shutdown starts the sensor from its defaults.
        if (value == 0)
            ze_InvalidateRegCache(camera);
        return CAMERA_SUCCESS;
    case ZE_RESERVE_SHIP_ADDR:
        // A reserved address is skipped by probes as if nothing answered there.
        if (value <= kLastBusAddr)
            camera->context->ident.markAbsent(value);
        return CAMERA_SUCCESS;
    case ZE_ACMP0_SHIP_ADDR:
    case ZE_ACMP2_SHIP_ADDR:
        // The on-board message processors read their base addresses from here.
        zentro::setStoredMode(camera, mode, value);
        return CAMERA_SUCCESS;
    default: // ZE_SW_UNSWIZZLE_DEFAULT
        return unrecognizedSet();
    }
}

int specialGet(ze_camera_t *camera, uint32_t mode, uint32_t *value)
{
    switch (mode) {
    case ZE_SW_UNSWIZZLE_DEFAULT:
    case ZE_DATA_IS_SWIZZLED:
    case ZE_RESERVE_SHIP_ADDR:
    case ZE_ACMP0_SHIP_ADDR:
    case ZE_ACMP2_SHIP_ADDR:
        *value = 0;
        return CAMERA_SUCCESS;
    case ZE_ERROR_LOG_TYPE:
        *value = ze_GetErrorLogLevel();
        return CAMERA_SUCCESS;
    case ZE_SPOOF_SIZE:
        if (!sharedContext(camera))
            return noSharedContext(mode);
        *value = sharedContext(camera)->spoofWidth +
                 (sharedContext(camera)->spoofHeight << kSpoofHalfBits);
        return CAMERA_SUCCESS;
    case ZE_HW_BUFFERING:
        *value = sharedContext(camera) ? sharedContext(camera)->hwBuffering
                                       : camera->context->modes[ZE_HW_BUFFERING];
        return CAMERA_SUCCESS;
    case ZE_ALLOW_FAR_ACCESS:
        *value = zentro::storedMode(camera, mode);
        return CAMERA_SUCCESS;
    case ZE_SENSOR_POWER:
    case ZE_SENSOR_RESET:
    case ZE_SENSOR_SHUTDOWN:
        return CAMERA_NOT_SUPPORTED;
    case ZE_SIMUL_REG_FRAMEGRAB:
        // The library's own grab path serves register access during a grab.
        *value = 1;
        return CAMERA_SUCCESS;
    default: // ZE_SPOOF_SUPPORTED
        return unrecognizedGet();
    }
}

void setThreadMode(ze_camera_t *camera, uint32_t mode, uint32_t value)
{
    uint32_t ze_thread_settings_t::*field = threadField(mode);
    zentro::threadSettings(camera).*field = value;
    // Threads whose tables are made later start from the camera's copy.
    camera->context->cameraSettings.*field = value;
}

bool hasContext(const ze_camera_t *camera)
{
    return camera && camera->context;
}

// ze_setMode's extra rule for transports: their power-down and reset-assert mean the
// sensor's registers no longer hold what the cache remembers.
bool transportSetLosesRegisters(uint32_t mode, uint32_t value)
{
    return (mode == ZE_SENSOR_POWER && value == 0) || (mode == ZE_SENSOR_RESET && value != 0);
}

// The family flags are plain per-camera values.
uint32_t familyFlag(ze_camera_t *camera, uint32_t mode)
{
    return hasContext(camera) ? zentro::storedMode(camera, mode) : 0;
}

} // namespace

extern "C" {

ZE_API int _SetMode(ze_camera_t *camera, uint32_t mode, uint32_t value)
{
    if (!hasContext(camera))
        return CAMERA_ERROR;
    switch (placeOf(mode)) {
    case Place::Thread:
        setThreadMode(camera, mode, value);
        return CAMERA_SUCCESS;
    case Place::Camera:
    case Place::Shared:
        zentro::setStoredMode(camera, mode, value);
        return CAMERA_SUCCESS;
    case Place::SharedOnly:
        if (!sharedContext(camera))
            return noSharedContext(mode);
        sharedContext(camera)->modes[mode] = value;
        return CAMERA_SUCCESS;
    case Place::Special:
        return specialSet(camera, mode, value);
    case Place::Transport:
        return CAMERA_NOT_SUPPORTED;
    case Place::TransportSetLogged:
    case Place::Unknown:
        break;
    }
    return unrecognizedSet();
}

ZE_API int _GetMode(ze_camera_t *camera, uint32_t mode, uint32_t *value)
{
    if (!hasContext(camera) || !value)
        return CAMERA_ERROR;
    switch (placeOf(mode)) {
    case Place::Thread:
        *value = zentro::threadSettings(camera).*threadField(mode);
        return CAMERA_SUCCESS;
    case Place::Camera:
    case Place::Shared:
        *value = zentro::storedMode(camera, mode);
        return CAMERA_SUCCESS;
    case Place::SharedOnly:
        if (!sharedContext(camera))
            return noSharedContext(mode);
        *value = sharedContext(camera)->modes[mode];
        return CAMERA_SUCCESS;
    case Place::Special:
        return specialGet(camera, mode, value);
    case Place::Transport:
    case Place::TransportSetLogged:
        return CAMERA_NOT_SUPPORTED;
    case Place::Unknown:
        break;
    }
    return unrecognizedGet();
}

ZE_API int ze_setMode(ze_camera_t *camera, uint32_t mode, uint32_t value)
{
    if (!hasContext(camera))
        return CAMERA_ERROR;
    if (!camera->setMode)
        return _SetMode(camera, mode, value);
    const int result = camera->setMode(camera, mode, value);
    if (result == CAMERA_SUCCESS && transportSetLosesRegisters(mode, value))
        ze_InvalidateRegCache(camera);
    return result;
}

ZE_API int ze_getMode(ze_camera_t *camera, uint32_t mode, uint32_t *value)
{
    if (!hasContext(camera) || !value)
        return CAMERA_ERROR;
    if (!camera->getMode)
        return _GetMode(camera, mode, value);
    return camera->getMode(camera, mode, value);
}

ZE_API uint32_t ze_IsKORT(ze_camera_t *camera)
{
    return familyFlag(camera, ZE_KORT);
}

ZE_API uint32_t ze_IsTALVE(ze_camera_t *camera)
{
    return familyFlag(camera, ZE_TALVE);
}

ZE_API uint32_t ze_IsOBU(ze_camera_t *camera)
{
    return familyFlag(camera, ZE_OBU);
}

} // extern "C"
