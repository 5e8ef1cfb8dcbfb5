// Entry points: helpers, opening and closing the camera, transport start and stop, frame data,
// frame and buffer sizes.
#include "entry_points.h"

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "board_services.h"
#include "zentro_errors.h"

namespace {

constexpr const char *kSourceFile = "csitransport";
constexpr const char *kGpioChip = "gpiochip1";
constexpr const char *kEepromBus = "/dev/i2c-8";
constexpr int kEepromAddress = 0x50;
constexpr const char *kNoSensorPath = "#CDAT";
constexpr const char *kTransportName = "High Speed MIPI";
constexpr uint32_t kRowAlignment = 64;
constexpr uint32_t kMinFrameSide = 100;
constexpr uint32_t kShallowBitDepth = 9; // below: one byte per pixel

int logError(int code, const char *message, const char *function, int line)
{
    if (g_helper == nullptr || g_helper->errorlog == nullptr)
        return code;
    return g_helper->errorlog(code, ZE_LEVEL_FROM_TABLE, message, kSourceFile, function, line);
}

void copyText(char *to, const std::string &text)
{
    std::snprintf(to, ZE_TEXT_SIZE, "%s", text.c_str());
}

// The board's GPIO chip, or none when it cannot be opened (the outputs then stay as they are).
std::unique_ptr<GPIO_Control> openGpio()
{
    try {
        return std::make_unique<GPIO_Control>(kGpioChip);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s: %s\n", kGpioChip, error.what());
        return nullptr;
    }
}

// The board EEPROM, or none when its bus cannot be opened or it does not answer.
std::unique_ptr<I2CDevice> openEeprom()
{
    try {
        auto eeprom = std::make_unique<I2CDevice>(kEepromBus, kEepromAddress);
        if (eeprom->IsPresent())
            return eeprom;
    } catch (const std::runtime_error &error) {
        std::fprintf(stderr, "%s\n", error.what());
    }
    return nullptr;
}

// Serial number and the revision-2 marker line of a board that has its EEPROM.
void readBoardIdentity(ze_camera_t *camera, DeviceContext &context)
{
    copyText(camera->productSerialNumber, ReadSerialNumber(*context.eeprom));
    if (!context.gpio)
        return;
    try {
        context.gpio->SetQRBRev2();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "GPIO line %u: %s\n", GPIO_Control::kRev2Line, error.what());
    }
}

void describeCamera(ze_camera_t *camera, const qrb_kernel_version &version)
{
    camera->productID = 0;
    camera->firmwareVersion = 0;
    camera->boardChipCount = 0;
    std::snprintf(camera->productName, ZE_TEXT_SIZE, "QRB (%u.%u.%u)",
                  static_cast<unsigned>(version.release_major),
                  static_cast<unsigned>(version.release_minor),
                  static_cast<unsigned>(version.release_patch));
    const size_t used = strnlen(camera->transportName, ZE_TEXT_SIZE - 1);
    std::snprintf(camera->transportName + used, ZE_TEXT_SIZE - used, "%s", kTransportName);
}

int openCamera(ze_camera_t *camera, const char *sensorPath)
{
    SetInputClock(DeviceContext::kDefaultOutputClock);
    auto context = std::make_unique<DeviceContext>(g_videoNum);
    context->gpio = openGpio();
    if (!storeDeviceContext(camera, context.get()))
        return CAMERA_ERROR;
    // A refused open is released without CloseCameraDLL: nothing may stay behind then.
    auto refuse = [&](int code) {
        storeDeviceContext(camera, nullptr);
        return code;
    };
    context->eeprom = openEeprom();
    if (context->eeprom)
        readBoardIdentity(camera, *context);
    V4L2_Camera &device = *context->device;
    if (!device.IsOpened() && !device.Create(g_videoNum))
        return refuse(logError(CAMERA_ERROR, "Camera create failed!\n", "OpenCameraDLL", __LINE__));
    // Register accesses compare their bus address with the one the device points at now.
    context->busAddress = uint32_t{device.I2CAddress()} << 1;
    describeCamera(camera, device.Version());
    if (sensorPath != nullptr && std::strcmp(sensorPath, kNoSensorPath) == 0) {
        context.release();
        return CAMERA_SUCCESS;
    }
    g_helper->parseBoardConfigFile(camera, sensorPath);
    if (const int rc = g_helper->getSensor(camera, sensorPath); rc != CAMERA_SUCCESS)
        return refuse(logError(rc, "No matching sdat", "OpenCameraDLL", __LINE__));
    if (camera->sensor != nullptr) {
        device.SetI2CAddress(static_cast<uint8_t>(camera->sensor->shipBaseAddr));
        context->busAddress = camera->sensor->shipBaseAddr;
    }
    context.release();
    return CAMERA_SUCCESS;
}

void closeCamera(DeviceContext &context)
{
    if (context.gpio && context.gpio->LineSelected()) {
        try {
            context.gpio->Release();
        } catch (const std::exception &error) {
            std::fprintf(stderr, "GPIO release: %s\n", error.what());
        }
    }
    context.eeprom.reset();
    V4L2_Camera &device = *context.device;
    if (device.IsStreaming())
        device.StopStream();
    device.UnInitialize();
    device.CloseDriver();
}

} // namespace

CSI_EXPORT int SetHelpersDLL(const ze_plugin_helpers_t *helpers)
{
    g_helper = helpers;
    return CAMERA_SUCCESS;
}

CSI_EXPORT int OpenCameraDLL(ze_camera_t *camera, const char *sensorPath, int index)
{
    // The board has one camera link.
    if (index != 0 || camera == nullptr || g_helper == nullptr)
        return CAMERA_ERROR;
    return guardedEntry("OpenCameraDLL", [&]() -> int { return openCamera(camera, sensorPath); });
}

CSI_EXPORT int CloseCameraDLL(ze_camera_t *camera)
{
    return guardedEntry("CloseCameraDLL", [&]() -> int {
        // The context goes with the camera: the library frees the camera right after.
        std::unique_ptr<DeviceContext> context(deviceContext(camera));
        if (context) {
            storeDeviceContext(camera, nullptr);
            closeCamera(*context);
        }
        g_videoNum = 0;
        return CAMERA_SUCCESS;
    });
}

CSI_EXPORT int StartTransportDLL(ze_camera_t *camera)
{
    return guardedEntry("StartTransportDLL", [&]() -> int {
        DeviceContext *context = deviceContext(camera);
        if (context == nullptr || camera->sensor == nullptr)
            return CAMERA_SUCCESS;
        context->device->sensor_configuration();
        // A reopened or reset device streams again only after its formats and buffers are
        // rebuilt, as a grab would rebuild them.
        if (context->device->NeedsReinit())
            RestartStreaming(camera, *context);
        return CAMERA_SUCCESS;
    });
}

CSI_EXPORT int StopTransportDLL(ze_camera_t *camera)
{
    return guardedEntry("StopTransportDLL", [&]() -> int {
        DeviceContext *context = deviceContext(camera);
        if (context != nullptr && camera->sensor != nullptr && context->device->IsStreaming())
            context->device->StopStream();
        return CAMERA_SUCCESS;
    });
}

CSI_EXPORT int GetFrameDataDLL(ze_camera_t *camera, ze_frame_info_t *frameData)
{
    DeviceContext *context = deviceContext(camera);
    if (context == nullptr || camera->sensor == nullptr)
        return CAMERA_ERROR;
    if (frameData != nullptr)
        *frameData = context->frameData;
    return CAMERA_SUCCESS;
}

void LayoutChannel(DeviceContext &context, int channel, uint32_t width)
{
    const uint32_t bytesPerPixel = context.bytesPerPixel[channel];
    const uint32_t rowBytes = width * bytesPerPixel;
    context.rowRemainder[channel] = rowBytes % kRowAlignment;
    if (context.rowRemainder[channel] != 0) {
        const uint32_t padded = (rowBytes / kRowAlignment + 1) * kRowAlignment;
        context.stridePixels[channel] = padded / bytesPerPixel;
        context.device->SetStrideVal(channel, context.stridePixels[channel] * bytesPerPixel);
    } else {
        context.stridePixels[channel] = width;
        context.device->SetStrideVal(channel, 0);
    }
}

void RequestFrameSize(DeviceContext &context, uint32_t width, uint32_t height)
{
    context.device->SetRequestedSize(width, height);
    context.bytesPerPixel[0] = context.bitDepth < kShallowBitDepth ? 1 : 2;
    LayoutChannel(context, 0, width);
}

CSI_EXPORT int UpdateFrameSizeDLL(ze_camera_t *camera, uint32_t width, uint32_t height,
                                  uint32_t bitsPerClock, uint32_t clocksPerPixel)
{
    return guardedEntry("UpdateFrameSizeDLL", [&]() -> int {
        DeviceContext *context = deviceContext(camera);
        if (context == nullptr || camera->sensor == nullptr)
            return CAMERA_ERROR;
        if (width < kMinFrameSide || height < kMinFrameSide)
            return CAMERA_SUCCESS;
        if (camera->sensor->imageWidth == 0 || camera->sensor->imageHeight == 0)
            return CAMERA_SUCCESS;
        V4L2_Camera &device = *context->device;
        const bool resized = width != device.RequestedWidth() || height != device.RequestedHeight();
        if (device.FormatReset() || (device.NeedsReinit() && resized))
            RequestFrameSize(*context, width, height);
        g_helper->updateFrameSize(camera, width, height, bitsPerClock, clocksPerPixel);
        g_helper->updateImageType(camera);
        return CAMERA_SUCCESS;
    });
}

CSI_EXPORT int UpdateBufferSizeDLL(ze_camera_t *camera, uint32_t, uint32_t, uint32_t)
{
    return guardedEntry("UpdateBufferSizeDLL", [&]() -> int {
        DeviceContext *context = deviceContext(camera);
        if (context == nullptr || camera->sensor == nullptr)
            return CAMERA_ERROR;
        if (context->stridePixels[0] == 0)
            return CAMERA_SUCCESS;
        ze_sensor_t &sensor = *camera->sensor;
        uint64_t size =
            uint64_t{context->stridePixels[0]} * context->bytesPerPixel[0] * sensor.imageHeight;
        if (context->vcDemux == 1) {
            if (sensor.vcWidth[1] == 0)
                return CAMERA_ERROR;
            LayoutChannel(*context, 1, sensor.vcWidth[1]);
            size +=
                uint64_t{context->stridePixels[1]} * context->bytesPerPixel[1] * sensor.vcHeight[1];
        }
        if (size > UINT32_MAX)
            return CAMERA_ERROR;
        sensor.imageBytes = static_cast<uint32_t>(size);
        return CAMERA_SUCCESS;
    });
}
