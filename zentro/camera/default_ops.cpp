// Default transport-level operations, the frame-size update and the context items.
#include "camera/default_ops.h"

#include <cstring>

#include "camera/context.h"
#include "camera/generic_ops.h"
#include "camera/pixel_sizes.h"
#include "core/log.h"
#include "registers/cache.h"
#include "registers/space_switch.h"
#include "sensor_data/sensor_record.h"
#include "zentro_frame.h"
#include "zentro_modes.h"

namespace {

constexpr uint32_t kPlanarNumerator = 3;
constexpr uint32_t kPlanarDenominator = 2;

bool hasContext(const ze_camera_t *camera)
{
    return camera && camera->context;
}

// Register address step at @busAddr: the sensor's own step at its bus address, else 1.
uint32_t addressStep(const ze_camera_t *camera, uint32_t busAddr)
{
    const ze_sensor_t *sensor = camera->sensor;
    if (!sensor || busAddr != sensor->shipBaseAddr)
        return 1;
    return zentro::sensorUnitStep(sensor);
}

// Sets a mode the way a transport sees it: through the camera's slot when it has one.
void setTransportMode(ze_camera_t *camera, uint32_t mode, uint32_t value)
{
    if (camera->setMode)
        camera->setMode(camera, mode, value);
    else
        _SetMode(camera, mode, value);
}

// Register widths of the sensor for the transfers that follow, then the space selection.
int prepareSensorTransfer(ze_camera_t *camera, uint32_t addrSpace, bool forWrite)
{
    if (!hasContext(camera))
        return CAMERA_ERROR;
    const ze_sensor_t *sensor = camera->sensor;
    if (!sensor)
        return SENSOR_NOT_INITIALIZED;
    setTransportMode(camera, ZE_REG_ADDR_SIZE, sensor->regAddrSize);
    setTransportMode(camera, ZE_REG_DATA_SIZE, sensor->regDataSize);
    setTransportMode(camera, ZE_REG_DATA_LE, sensor->regDataLE);
    zentro::switchAddrSpace(camera, addrSpace, forWrite);
    return CAMERA_SUCCESS;
}

uint32_t contextValue(ze_camera_t *camera, uint32_t item)
{
    uint32_t value = 0;
    _GetContext(camera, item, &value);
    return value;
}

// Items 1-3 are modes, kept by the library's own setter and getter.
std::optional<uint32_t> modeOfItem(uint32_t item)
{
    switch (item) {
    case ZE_CONTEXT_BITS_PER_CLOCK:
        return ZE_BITS_PER_CLOCK;
    case ZE_CONTEXT_CLOCKS_PER_PIXEL:
        return ZE_CLOCKS_PER_PIXEL;
    case ZE_CONTEXT_PIXCLK_POLARITY:
        return ZE_PIXCLK_POLARITY;
    default:
        return std::nullopt;
    }
}

char *textOfItem(ze_camera_t *camera, uint32_t item)
{
    if (item == ZE_CONTEXT_DRIVER_INFO)
        return camera->context->driverInfo;
    if (item == ZE_CONTEXT_SERDES_PART_NUMBER)
        return camera->context->serdesPartNumber;
    return nullptr;
}

bool isPluginCamera(const ze_camera_t *camera)
{
    return camera->transportType == ZE_TRANSPORT_DLL;
}

} // namespace

namespace zentro {

int genericGrabFrame(ze_camera_t *camera, uint8_t *buffer, uint32_t size)
{
    if (!hasContext(camera))
        return CAMERA_ERROR;
    ze_common_context_t *context = camera->context;
    CriticalSection *lock =
        context->simultaneousGrab ? context->grabLock.get() : context->regLock.get();
    if (!context->ops.grabFrame)
        return CAMERA_NOT_SUPPORTED;
    // A context that was never finished has no locks yet, and no other user either.
    if (lock)
        lock->lock();
    const int result = context->ops.grabFrame(camera, buffer, size);
    if (lock)
        lock->unlock();
    return result;
}

std::optional<uint32_t> frameByteCount(uint32_t width, uint32_t height, uint32_t pixelBytes,
                                       uint32_t imageType, bool planarRule)
{
    uint64_t bytes = uint64_t(width) * height;
    if (planarRule && isPlanar420ImageType(imageType))
        bytes = bytes * kPlanarNumerator / kPlanarDenominator;
    else
        bytes *= pixelBytes;
    if (bytes > UINT32_MAX)
        return std::nullopt;
    return uint32_t(bytes);
}

} // namespace zentro

extern "C" {

ZE_API int _def_ReadRegister(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr,
                             uint32_t *value)
{
    if (!hasContext(camera) || !value)
        return CAMERA_ERROR;
    ze_registers_op_t read = camera->context->ops.readRegisters;
    return read ? read(camera, busAddr, regAddr, 1, value) : CAMERA_NOT_SUPPORTED;
}

ZE_API int _def_WriteRegister(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr,
                              uint32_t value)
{
    if (!hasContext(camera))
        return CAMERA_ERROR;
    ze_registers_op_t write = camera->context->ops.writeRegisters;
    return write ? write(camera, busAddr, regAddr, 1, &value) : CAMERA_NOT_SUPPORTED;
}

ZE_API int _def_ReadRegisters(ze_camera_t *camera, uint32_t busAddr, uint32_t start, uint32_t count,
                              uint32_t *values)
{
    if (count == 0)
        return CAMERA_SUCCESS;
    if (!hasContext(camera) || !values)
        return CAMERA_ERROR;
    ze_read_register_op_t read = camera->context->ops.readRegister;
    // Without single reads either (its slot empty or this default) the transport cannot
    // read at all: answer zeros rather than recurse.
    const bool canRead = read && read != _def_ReadRegister;
    const uint32_t step = addressStep(camera, busAddr);
    uint32_t addr = start;
    for (uint32_t i = 0; i < count; ++i, addr += step) {
        if (!canRead) {
            values[i] = 0;
            continue;
        }
        const int result = read(camera, busAddr, addr, &values[i]);
        if (result != CAMERA_SUCCESS)
            return result;
    }
    return CAMERA_SUCCESS;
}

ZE_API int _def_WriteRegisters(ze_camera_t *camera, uint32_t busAddr, uint32_t start,
                               uint32_t count, uint32_t *values)
{
    if (count == 0)
        return CAMERA_SUCCESS;
    if (!hasContext(camera) || !values)
        return CAMERA_ERROR;
    ze_write_register_op_t write = camera->context->ops.writeRegister;
    if (!write || write == _def_WriteRegister)
        return CAMERA_SUCCESS;
    const uint32_t step = addressStep(camera, busAddr);
    uint32_t addr = start;
    for (uint32_t i = 0; i < count; ++i, addr += step) {
        const int result = write(camera, busAddr, addr, values[i]);
        if (result != CAMERA_SUCCESS)
            return result;
    }
    return CAMERA_SUCCESS;
}

ZE_API int _def_ReadSensorRegisters(ze_camera_t *camera, uint32_t addrSpace, uint32_t start,
                                    uint32_t count, uint32_t *values)
{
    const int prepared = prepareSensorTransfer(camera, addrSpace, false);
    if (prepared != CAMERA_SUCCESS)
        return prepared;
    ze_registers_op_t read = camera->context->ops.readRegisters;
    if (!read)
        return CAMERA_NOT_SUPPORTED;
    return read(camera, camera->sensor->shipBaseAddr, start, count, values);
}

ZE_API int _def_WriteSensorRegisters(ze_camera_t *camera, uint32_t addrSpace, uint32_t start,
                                     uint32_t count, uint32_t *values)
{
    const int prepared = prepareSensorTransfer(camera, addrSpace, true);
    if (prepared != CAMERA_SUCCESS)
        return prepared;
    ze_registers_op_t write = camera->context->ops.writeRegisters;
    if (!write)
        return CAMERA_NOT_SUPPORTED;
    return write(camera, camera->sensor->shipBaseAddr, start, count, values);
}

ZE_API int _def_GrabFrame(ze_camera_t * /*camera*/, uint8_t * /*buffer*/, uint32_t /*size*/)
{
    return GRAB_FRAME_ERROR;
}

ZE_API int _UpdateFrameSize(ze_camera_t *camera, uint32_t width, uint32_t height,
                            uint32_t bitsPerClock, uint32_t clocksPerPixel)
{
    if (!hasContext(camera) || !camera->sensor)
        return CAMERA_ERROR;
    ze_sensor_t *sensor = camera->sensor;
    const uint32_t newWidth = width ? width : sensor->imageWidth;
    const uint32_t newHeight = height ? height : sensor->imageHeight;
    const uint32_t bpc =
        bitsPerClock ? bitsPerClock : contextValue(camera, ZE_CONTEXT_BITS_PER_CLOCK);
    const uint32_t cpp =
        clocksPerPixel ? clocksPerPixel : contextValue(camera, ZE_CONTEXT_CLOCKS_PER_PIXEL);
    const uint32_t pixelBytes = zentro::pixelByteCount(bpc, cpp);
    const auto imageBytes =
        zentro::frameByteCount(newWidth, newHeight, pixelBytes, sensor->imageType, true);
    if (!imageBytes)
        return ZE_ERRORLOGF(CAMERA_ERROR, "Frame of %u x %u pixels of %u bytes is too large",
                            newWidth, newHeight, pixelBytes);
    sensor->imageWidth = newWidth;
    sensor->imageHeight = newHeight;
    _SetContext(camera, ZE_CONTEXT_BITS_PER_CLOCK, &bpc);
    _SetContext(camera, ZE_CONTEXT_CLOCKS_PER_PIXEL, &cpp);
    sensor->bitsPerPixel = zentro::pixelBitCount(sensor, bpc, cpp);
    sensor->pixelBytes = pixelBytes;
    sensor->imageBytes = *imageBytes;
    return CAMERA_SUCCESS;
}

ZE_API int _def_UpdateFrameSize(ze_camera_t *camera, uint32_t width, uint32_t height,
                                uint32_t bitsPerClock, uint32_t clocksPerPixel)
{
    const int result = _UpdateFrameSize(camera, width, height, bitsPerClock, clocksPerPixel);
    if (result != CAMERA_SUCCESS)
        return result;
    _updateImageType(camera);
    return CAMERA_SUCCESS;
}

ZE_API int _GetContext(ze_camera_t *camera, uint32_t item, void *out)
{
    if (!out)
        return CAMERA_ERROR;
    if (item == ZE_CONTEXT_RESERVED) {
        memset(out, 0, 2 * sizeof(uint32_t));
        return CAMERA_SUCCESS;
    }
    if (!hasContext(camera))
        return CAMERA_ERROR;
    if (const auto mode = modeOfItem(item))
        return _GetMode(camera, *mode, static_cast<uint32_t *>(out));
    if (item == ZE_CONTEXT_DEVICE_CONTEXT) {
        if (!isPluginCamera(camera))
            return CAMERA_ERROR;
        *static_cast<void **>(out) = camera->context->deviceContext;
        return CAMERA_SUCCESS;
    }
    if (const char *text = textOfItem(camera, item)) {
        zentro::copyText(static_cast<char *>(out), ZE_TEXT_SIZE, text);
        return CAMERA_SUCCESS;
    }
    return CAMERA_ERROR;
}

ZE_API int _SetContext(ze_camera_t *camera, uint32_t item, const void *value)
{
    if (!hasContext(camera))
        return CAMERA_ERROR;
    if (item == ZE_CONTEXT_DEVICE_CONTEXT) {
        if (!isPluginCamera(camera))
            return CAMERA_ERROR;
        camera->context->deviceContext = const_cast<void *>(value);
        return CAMERA_SUCCESS;
    }
    if (!value)
        return CAMERA_ERROR;
    if (const auto mode = modeOfItem(item))
        return _SetMode(camera, *mode, *static_cast<const uint32_t *>(value));
    if (char *text = textOfItem(camera, item)) {
        zentro::copyText(text, ZE_TEXT_SIZE, static_cast<const char *>(value));
        return CAMERA_SUCCESS;
    }
    return CAMERA_ERROR;
}

} // extern "C"
