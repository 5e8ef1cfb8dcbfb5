// Mode entry points: the camera modes this board handles itself, the GPIO outputs and the
// settings check before streaming restarts.
#include "entry_points.h"

#include <algorithm>
#include <limits>

#include "board_services.h"
#include "zentro_errors.h"
#include "zentro_frame.h"
#include "zentro_modes.h"

namespace {

// Modes without a name in the library's table.
constexpr uint32_t kModeLaneRate = 108;
constexpr uint32_t kModeStreaming = 112;
constexpr uint32_t kModeFormatReset = 115;

constexpr uint32_t kMipiReceiver = 3; // the only ZE_RX_TYPE this board has
constexpr uint32_t kMinInputClock = 3187500;
constexpr uint32_t kMaxInputClock = 37090909;
constexpr uint32_t kHzPerKHz = 1000;
constexpr uint32_t kMinLanes = 2;
constexpr uint32_t kDefaultLanes = 4;
constexpr uint32_t kHighestOutputChannel = 2; // SetDisVirtual: channels 0 to 2
constexpr uint16_t kLineLengthRegister = 0x300C;
constexpr uint16_t kLineLengthFallbackRegister = 0x0342;
constexpr uint32_t kUnreadable16 = 0xFFFF;
// Mode 108 holds the per-lane rate in bits per second; the pixel clock is worked out in
// kilobits per second, with 320000 kbit/s when the mode was cleared or unreadable.
constexpr uint32_t kBitsPerKbit = 1000;
constexpr uint32_t kFallbackLaneRateKbps = 320000;
constexpr uint32_t kSampleBits = 16;

// The GPIO outputs: enable bit 16 + i drives line kGpioLines[i] with level bit i.
constexpr unsigned kGpioLines[] = {129, 130, 127, 124, 125, 126};
constexpr unsigned kGpioEnableShift = 16;

struct BitDepthFormat {
    uint32_t bitDepth;
    uint32_t pixelFormat;
};
constexpr BitDepthFormat kFormats[] = {
    {10, V4L2_PIX_FMT_SGRBG10}, {12, V4L2_PIX_FMT_SGRBG12}, {14, v4l2_fourcc('p', 'g', 'E', 'E')},
    {16, V4L2_PIX_FMT_SGRBG16}, {8, V4L2_PIX_FMT_SGRBG8},
};

// The stored value of a mode the plug-in keeps itself; none for the others.
uint32_t *storedMode(DeviceContext &c, uint32_t mode)
{
    switch (mode) {
    case ZE_OUTPUT_CLOCK_FREQ:
        return &c.outputClock;
    case ZE_SENSOR_RESET:
        return &c.sensorReset;
    case ZE_SHIP_SPEED:
        return &c.shipSpeed;
    case ZE_RX_LANES:
        return &c.lanes;
    case ZE_RX_BIT_DEPTH:
        return &c.bitDepth;
    case ZE_RX_VIRTUAL_CHANNEL:
        return &c.virtualChannel;
    case ZE_ALL_GPIO:
        return &c.allGpio;
    case ZE_RX_VCDT_DEMUX:
        return &c.vcDemux;
    case kModeLaneRate:
        return &c.laneRate;
    default:
        return nullptr;
    }
}

void stopAndRelease(V4L2_Camera &device)
{
    if (device.IsStreaming())
        device.StopStream();
    device.UnInitialize();
}

void setSensorReset(DeviceContext &c, uint32_t value)
{
    V4L2_Camera &device = *c.device;
    if (value == 1 && !device.NeedsReinit()) {
        stopAndRelease(device);
        device.ResetSensor(1);
        if (device.DeviceChanged())
            device.SwitchDevice(g_videoNum);
        else
            device.ResetDriver();
    } else if (value == 0) {
        device.ResetSensor(0);
    }
}

void setLanes(DeviceContext &c, uint32_t value)
{
    if (c.device->NeedsReinit())
        return;
    c.lanes = value < kMinLanes ? kDefaultLanes : value;
    g_videoNum = c.lanes == 2 ? 1 : c.lanes == 8 ? 2 : 0;
    c.device->ChangeMipiCam(g_videoNum);
}

void setStreaming(DeviceContext &c, uint32_t value)
{
    V4L2_Camera &device = *c.device;
    if (device.NeedsReinit())
        return;
    if (value == 0 && device.IsStreaming())
        device.StopStream();
    else if (value == 1 && !device.IsStreaming())
        device.StartStream();
}

void resetFormat(DeviceContext &c, uint32_t value)
{
    V4L2_Camera &device = *c.device;
    if (value != 1 || device.FormatReset())
        return;
    // The first request after open only arms the reset: the open already set the format.
    if (c.formatResetArmed == 0) {
        c.formatResetArmed = 1;
        return;
    }
    if (device.NeedsReinit())
        return;
    stopAndRelease(device);
    device.ResetFormat();
}

// The mode's effect on the device; the value is already stored when the mode has a field.
int applyMode(ze_camera_t *camera, DeviceContext &c, uint32_t mode, uint32_t value)
{
    switch (mode) {
    case ZE_RX_VIRTUAL_CHANNEL:
        c.device->SetDisVirtual(value > kHighestOutputChannel ? 0 : static_cast<int>(value));
        return CAMERA_SUCCESS;
    case ZE_SENSOR_RESET:
        setSensorReset(c, value);
        return CAMERA_SUCCESS;
    case ZE_SHIP_SPEED:
        c.device->SetI2CSpeed(value * kHzPerKHz);
        return CAMERA_SUCCESS;
    case ZE_OUTPUT_CLOCK_FREQ:
        c.outputClock = std::clamp(value, kMinInputClock, kMaxInputClock);
        SetInputClock(c.outputClock);
        return CAMERA_SUCCESS;
    case ZE_RX_LANES:
        setLanes(c, value);
        return CAMERA_SUCCESS;
    case ZE_ALL_GPIO:
        GpioSettings(c);
        return CAMERA_SUCCESS;
    case ZE_RX_VCDT_DEMUX:
        c.device->SetNumVirtual(value == 1 ? 2 : 1);
        return CAMERA_SUCCESS;
    case ZE_RX_BIT_DEPTH:
    case kModeLaneRate:
        return CAMERA_SUCCESS;
    case kModeStreaming:
        setStreaming(c, value);
        return CAMERA_SUCCESS;
    case kModeFormatReset:
        resetFormat(c, value);
        return CAMERA_SUCCESS;
    default:
        return g_helper->setMode(camera, mode, value);
    }
}

void checkImageFormat(DeviceContext &c)
{
    c.bytesPerPixel[0] = DeviceContext::kBytesPerSample;
    c.shift = kSampleBits - c.bitDepth;
    for (const BitDepthFormat &format : kFormats) {
        if (format.bitDepth != c.bitDepth)
            continue;
        if (format.pixelFormat == V4L2_PIX_FMT_SGRBG8) {
            c.shift = 0;
            c.bytesPerPixel[0] = 1;
        }
        c.device->SetImageType(format.pixelFormat);
    }
}

bool isLineLength(int value)
{
    return value > 0 && static_cast<uint32_t>(value) != kUnreadable16;
}

void checkLineLength(DeviceContext &c)
{
    V4L2_Camera &device = *c.device;
    int value = device.ReadSensor16(kLineLengthRegister);
    if (!isLineLength(value))
        value = device.ReadSensor16(kLineLengthFallbackRegister);
    // A sensor without either register leaves the driver's line length alone.
    if (!isLineLength(value))
        return;
    c.lineLength = static_cast<uint32_t>(value);
    if (c.lineLength != device.GetLineLength())
        device.SetLineLength(c.lineLength);
}

void checkPixelClock(DeviceContext &c)
{
    if (c.laneRate == 0 || c.laneRate == kUnreadable16)
        c.laneRate = kFallbackLaneRateKbps * kBitsPerKbit;
    if (c.bitDepth == 0)
        return;
    // 64-bit arithmetic: eight lanes at the top rate do not fit in 32 bits.
    const uint64_t kbps = c.laneRate / kBitsPerKbit;
    const uint64_t clock = kbps * c.lanes / c.bitDepth * kHzPerKHz;
    const auto pixelClock =
        static_cast<uint32_t>(std::min<uint64_t>(clock, std::numeric_limits<uint32_t>::max()));
    if (pixelClock != 0 && pixelClock != c.device->GetPixelClock())
        c.device->SetPixelClock(pixelClock);
}

bool checkVirtualChannels(ze_camera_t *camera, DeviceContext &c)
{
    V4L2_Camera &device = *c.device;
    if (c.vcDemux != 1) {
        device.CleanVirtual();
        return true;
    }
    const ze_sensor_t &sensor = *camera->sensor;
    device.SetVirtualSize(sensor.vcWidth, sensor.vcHeight, sensor.vcImageType);
    if (!device.VirtualMode() && !device.InitVirtual()) {
        std::printf("\t\tVirtual Initialization Failed!\n");
        return false;
    }
    return true;
}

} // namespace

void GpioSettings(DeviceContext &c)
{
    if (!c.gpio)
        return;
    for (unsigned i = 0; i < std::size(kGpioLines); ++i) {
        if ((c.allGpio >> (kGpioEnableShift + i) & 1) == 0)
            continue;
        c.gpio->SetLine(kGpioLines[i]);
        if (!c.gpio->IsRequested())
            c.gpio->RequestOut(0);
        c.gpio->SetValue(static_cast<int>(c.allGpio >> i & 1));
    }
}

bool CheckSettings(ze_camera_t *camera, DeviceContext &c)
{
    checkImageFormat(c);
    checkLineLength(c);
    checkPixelClock(c);
    return camera->sensor == nullptr || checkVirtualChannels(camera, c);
}

CSI_EXPORT int SetModeDLL(ze_camera_t *camera, uint32_t mode, uint32_t value)
{
    return guardedEntry("SetModeDLL", [&]() -> int {
        DeviceContext *c = deviceContext(camera);
        if (c == nullptr)
            return g_helper != nullptr ? g_helper->setMode(camera, mode, value) : CAMERA_ERROR;
        if (mode == ZE_RX_TYPE)
            return value == kMipiReceiver ? CAMERA_SUCCESS : CAMERA_ERROR;
        uint32_t *stored = storedMode(*c, mode);
        if (stored != nullptr) {
            if (*stored == value)
                return CAMERA_SUCCESS;
            // Lanes decide their stored value themselves (and only when they may change).
            if (mode != ZE_RX_LANES)
                *stored = value;
        }
        return applyMode(camera, *c, mode, value);
    });
}

CSI_EXPORT int GetModeDLL(ze_camera_t *camera, uint32_t mode, uint32_t *value)
{
    return guardedEntry("GetModeDLL", [&]() -> int {
        DeviceContext *c = deviceContext(camera);
        if (c == nullptr || value == nullptr)
            return g_helper != nullptr ? g_helper->getMode(camera, mode, value) : CAMERA_ERROR;
        if (mode == ZE_RX_TYPE) {
            *value = kMipiReceiver;
            return CAMERA_SUCCESS;
        }
        if (const uint32_t *stored = storedMode(*c, mode)) {
            *value = *stored;
            return CAMERA_SUCCESS;
        }
        return g_helper->getMode(camera, mode, value);
    });
}
