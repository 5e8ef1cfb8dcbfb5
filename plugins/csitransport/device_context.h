// DeviceContext: what the plug-in keeps per opened camera, and the plug-in's process-wide state.
#pragma once

#include "gpio_control.h"
#include "i2c_device.h"
#include "v4l2_camera.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>

#include "zentro_plugin.h"

// Entry points are exported under their plain names; everything else stays hidden.
#define CSI_EXPORT extern "C" __attribute__((visibility("default")))

struct DeviceContext {
    static constexpr uint32_t kDefaultShipSpeedKHz = 400;
    static constexpr uint32_t kDefaultBusAddress = 0x20;
    static constexpr uint32_t kNoVirtualChannel = 255;
    static constexpr uint32_t kDefaultLaneRate = 320000000; // bits per second per lane
    static constexpr uint32_t kDefaultBitDepth = 12;
    static constexpr uint32_t kDefaultOutputClock = 27000000;
    static constexpr uint32_t kBytesPerSample = 2;

    explicit DeviceContext(int videoNum);

    ze_frame_info_t frameData{};
    std::unique_ptr<V4L2_Camera> device;
    std::unique_ptr<GPIO_Control> gpio; // none when the chip cannot be opened
    std::unique_ptr<I2CDevice> eeprom;  // none when the board EEPROM is absent
    uint32_t shipSpeed = kDefaultShipSpeedKHz;
    uint32_t busAddress = kDefaultBusAddress;
    uint32_t lanes;
    uint32_t lineLength = 0;
    uint32_t allGpio = 0;
    uint32_t vcDemux = 0;
    uint32_t virtualChannel = kNoVirtualChannel;
    uint32_t laneRate = kDefaultLaneRate;
    uint32_t shift = 16 - kDefaultBitDepth;
    uint32_t bitDepth = kDefaultBitDepth;
    uint32_t outputClock = kDefaultOutputClock;
    uint32_t formatResetArmed = 0;
    uint32_t sensorReset = 0;
    uint32_t bytesPerPixel[V4L2_Camera::kChannels] = {kBytesPerSample, kBytesPerSample};
    uint32_t rowRemainder[V4L2_Camera::kChannels] = {};
    uint32_t stridePixels[V4L2_Camera::kChannels] = {};
};

// The helper table the library handed over (SetHelpersDLL); none before.
extern const ze_plugin_helpers_t *g_helper;
// The video device number the next open uses ("/dev/video" + number).
extern int g_videoNum;

// The camera's device context (context item 4), or none.
DeviceContext *deviceContext(ze_camera_t *camera);
// Stores @context as the camera's device context (none clears it); false when refused.
bool storeDeviceContext(ze_camera_t *camera, DeviceContext *context);

// Maps library result codes 1, 2, 3 to 14, 15, 16 and everything else to 0.
int zentroError(int code);

// Runs an entry point's body; an escaping exception is reported and answered with 1, so
// that none crosses into the library.
template <class Body>
int guardedEntry(const char *entry, Body &&body) noexcept
{
    try {
        return body();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s: %s\n", entry, error.what());
    } catch (...) {
        std::fprintf(stderr, "%s: unexpected failure\n", entry);
    }
    return 1;
}
