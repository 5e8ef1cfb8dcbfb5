// The null transport: opens a camera on a sensor-data file; registers live in the cache,
// frames are filled with a constant pattern at about 30 frames per second.
#include "transport/nul_transport.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "camera/context.h"
#include "camera/default_ops.h"
#include "camera/generic_ops.h"
#include "camera/pixel_sizes.h"
#include "transport/camera_shell.h"
#include "core/log.h"
#include "registers/cache.h"
#include "sensor_data/sensor_record.h"
#include "zentro_frame.h"
#include "zentro_modes.h"
#include "zentro_osal.h"
#include "zentro_sensor_data.h"

namespace {

constexpr char kProductName[] = "NUL Camera";
constexpr char kTransportName[] = "NUL";
constexpr char kDriverInfo[] = "Null device, no driver";
constexpr uint8_t kFillByte = 5;
// Four-byte pixels (Bayer 20 and 24) are filled word by word.
constexpr uint32_t kFillWord = 0x00030303;

// The transport record: the sensor-data path the camera was opened on.
struct NulTransportRecord {
    char path[ZE_TEXT_SIZE];
};

bool isFourBytePixelType(uint32_t type)
{
    return type == ZE_IMAGE_BAYER20 || type == ZE_IMAGE_BAYER24;
}

bool hasSensorDataExtension(std::string_view path)
{
    const size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string_view extension = path.substr(dot);
    const auto equalsNoCase = [extension](const char *wanted) {
        return extension.size() == strlen(wanted) &&
               osal_strnicmp(extension.data(), wanted, extension.size()) == 0;
    };
    return equalsNoCase(".sdat") || equalsNoCase(".xsdat");
}

// ---- Transport-level operations ----

int readZeros(ze_camera_t *, uint32_t, uint32_t, uint32_t count, uint32_t *values)
{
    if (values)
        std::fill(values, values + count, 0u);
    return CAMERA_SUCCESS;
}

int readZero(ze_camera_t *, uint32_t, uint32_t, uint32_t *value)
{
    if (value)
        *value = 0;
    return CAMERA_SUCCESS;
}

int discardValues(ze_camera_t *, uint32_t, uint32_t, uint32_t, uint32_t *)
{
    return CAMERA_SUCCESS;
}

int discardValue(ze_camera_t *, uint32_t, uint32_t, uint32_t)
{
    return CAMERA_SUCCESS;
}

int readSystemZeros(ze_camera_t *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t count,
                    uint32_t *values)
{
    if (values)
        std::fill(values, values + count, 0u);
    return CAMERA_SUCCESS;
}

int discardSystemValues(ze_camera_t *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t *)
{
    return CAMERA_SUCCESS;
}

int grabFrame(ze_camera_t *camera, uint8_t *buffer, uint32_t size)
{
    const uint32_t type = camera->sensor ? camera->sensor->imageType : 0;
    if (zentro::isCompressedImageType(type)) {
        osal_sleep(zentro::kNulFrameMs);
        return CAMERA_ERROR;
    }
    if (buffer && isFourBytePixelType(type)) {
        for (uint32_t offset = 0; offset + sizeof(kFillWord) <= size; offset += sizeof(kFillWord))
            memcpy(buffer + offset, &kFillWord, sizeof(kFillWord));
    } else if (buffer) {
        memset(buffer, kFillByte, size);
    }
    osal_sleep(zentro::kNulFrameMs);
    return CAMERA_SUCCESS;
}

// ---- Camera-level operations ----

int startTransport(ze_camera_t *camera)
{
    zentro::loadCacheDefaults(camera);
    return CAMERA_SUCCESS;
}

int stopTransport(ze_camera_t *)
{
    return CAMERA_SUCCESS;
}

int getFrameData(ze_camera_t *camera, ze_frame_info_t *frame)
{
    if (!frame)
        return CAMERA_ERROR;
    *frame = {};
    const ze_sensor_t *sensor = camera->sensor;
    if (!sensor)
        return CAMERA_ERROR;
    if (zentro::isCompressedImageType(sensor->imageType)) {
        osal_sleep(zentro::kNulFrameMs);
        return CAMERA_ERROR;
    }
    frame->bytesRequested = sensor->imageBytes;
    frame->bytesReturned = sensor->imageBytes;
    frame->imageBytesReturned = sensor->imageBytes;
    frame->vcBytes[0] = sensor->imageBytes;
    frame->frameLines = sensor->imageHeight;
    frame->lineSize = sensor->imageWidth;
    return CAMERA_SUCCESS;
}

int updateFrameSize(ze_camera_t *camera, uint32_t width, uint32_t height, uint32_t bitsPerClock,
                    uint32_t clocksPerPixel)
{
    ze_sensor_t *sensor = camera->sensor;
    if (!sensor)
        return CAMERA_ERROR;
    const uint32_t newWidth = width ? width : sensor->imageWidth;
    const uint32_t newHeight = height ? height : sensor->imageHeight;
    uint32_t bpc = zentro::cameraBitsPerClock(camera);
    uint32_t cpp = clocksPerPixel ? clocksPerPixel : zentro::cameraClocksPerPixel(camera);
    // A clock change without bits per clock keeps the stored bits per clock.
    const bool clocksChange = bitsPerClock != 0 || clocksPerPixel != 0;
    if (clocksChange && !(clocksPerPixel != 0 && bitsPerClock == 0))
        bpc = bitsPerClock;
    const uint32_t pixelBytes = zentro::pixelByteCount(bpc, cpp);
    const auto imageBytes =
        zentro::frameByteCount(newWidth, newHeight, pixelBytes, sensor->imageType, false);
    if (!imageBytes)
        return ZE_ERRORLOGF(CAMERA_ERROR, "Frame of %u x %u pixels of %u bytes is too large",
                            newWidth, newHeight, pixelBytes);
    sensor->imageWidth = newWidth;
    sensor->imageHeight = newHeight;
    if (clocksPerPixel)
        _SetMode(camera, ZE_CLOCKS_PER_PIXEL, cpp);
    if (clocksChange) {
        _SetMode(camera, ZE_BITS_PER_CLOCK, bpc);
        sensor->bitsPerPixel = zentro::pixelBitCount(sensor, bpc, cpp);
    }
    sensor->pixelBytes = pixelBytes;
    _updateImageType(camera);
    sensor->imageBytes = *imageBytes;
    return CAMERA_SUCCESS;
}

bool isReceiverChannelMode(uint32_t mode)
{
    return mode == ZE_RX_VIRTUAL_CHANNEL || mode == ZE_RX_VCDT_DEMUX;
}

int getMode(ze_camera_t *camera, uint32_t mode, uint32_t *value)
{
    // Register access never waits for a null camera's grab.
    if (mode == ZE_SIMUL_REG_FRAMEGRAB) {
        if (!value)
            return CAMERA_ERROR;
        *value = 1;
        return CAMERA_SUCCESS;
    }
    const int result = _GetMode(camera, mode, value);
    return isReceiverChannelMode(mode) ? CAMERA_SUCCESS : result;
}

int setMode(ze_camera_t *camera, uint32_t mode, uint32_t value)
{
    const int result = _SetMode(camera, mode, value);
    return isReceiverChannelMode(mode) ? CAMERA_SUCCESS : result;
}

// ---- Open and close ----

void installOperations(ze_camera_t *camera)
{
    camera->startTransport = startTransport;
    camera->stopTransport = stopTransport;
    zentro::installGenericCameraSlots(camera);
    camera->getFrameData = getFrameData;
    camera->updateFrameSize = updateFrameSize;
    camera->setMode = setMode;
    camera->getMode = getMode;

    ze_transport_ops &ops = camera->context->ops;
    ops.readSensorRegisters = readZeros;
    ops.writeSensorRegisters = discardValues;
    ops.readRegister = readZero;
    ops.writeRegister = discardValue;
    ops.readRegisters = readZeros;
    ops.writeRegisters = discardValues;
    ops.readSystemRegisters = readSystemZeros;
    ops.writeSystemRegisters = discardSystemValues;
    ops.grabFrame = grabFrame;
}

int closeCamera(ze_camera_t *camera)
{
    if (!camera)
        return CAMERA_SUCCESS;
    if (camera->context) {
        delete static_cast<NulTransportRecord *>(camera->context->transportRecord);
        camera->context->transportRecord = nullptr;
    }
    zentro::freeTransportCamera(camera);
    return CAMERA_SUCCESS;
}

// Reads the sensor record from @path; the specific code of a failure.
int createSensor(ze_camera_t *camera, const char *path)
{
    const uint32_t attributes = osal_get_file_attributes(path);
    if (attributes == OSAL_NO_FILE)
        return ZE_ERRORLOGF(SENSOR_DOES_NOT_MATCH, "File does not exist, `%s`", path);
    if (attributes & OSAL_ATTRIBUTE_DIRECTORY)
        return SENSOR_DOES_NOT_MATCH;
    if (!hasSensorDataExtension(path))
        return ZE_ERRORLOGF(CAMERA_ERROR, "Not a sensor-data file (.sdat or .xsdat), `%s`", path);
    const int allocated = ze_AllocSensor(camera);
    if (allocated != CAMERA_SUCCESS)
        return allocated;
    if (ze_ParseSensorFile(camera, path, nullptr) != PARSE_SUCCESS)
        return ZE_ERRORLOGF(SENSOR_FILE_PARSE_ERROR, "Couldn't read sensor-data file `%s`", path);
    return CAMERA_SUCCESS;
}

// A filled null camera on @path, or nullptr after logging why not.
ze_camera_t *openCamera(const char *path)
{
    ze_camera_t *camera = zentro::allocateTransportCamera();
    if (!camera)
        return nullptr;
    auto *record = new (std::nothrow) NulTransportRecord{};
    if (!record) {
        ZE_ERRORLOG(CAMERA_ERROR, "Couldn't allocate transport record");
        closeCamera(camera);
        return nullptr;
    }
    zentro::copyText(record->path, path);
    camera->context->transportRecord = record;
    zentro::copyText(camera->productName, kProductName);
    zentro::copyText(camera->transportName, kTransportName);
    camera->transportType = ZE_TRANSPORT_NUL;
    zentro::copyText(camera->context->driverInfo, kDriverInfo);
    installOperations(camera);
    if (createSensor(camera, path) != CAMERA_SUCCESS) {
        closeCamera(camera);
        return nullptr;
    }
    return camera;
}

} // namespace

namespace zentro {

int NUL_Transport_OpenCameras(ze_camera_t **slot, int room, int *found, const char *sensorPath,
                              const char * /*dllName*/)
{
    if (found)
        *found = 0;
    if (!slot || !found || room < 1 || !sensorPath || !sensorPath[0])
        return CAMERA_SUCCESS;
    ze_camera_t *camera = openCamera(sensorPath);
    if (!camera)
        return CAMERA_ERROR;
    *slot = camera;
    *found = 1;
    return CAMERA_SUCCESS;
}

int NUL_Transport_CloseCameras(int count, ze_camera_t **cameras)
{
    int result = CAMERA_SUCCESS;
    for (int i = 0; cameras && i < count; ++i)
        result = closeCamera(cameras[i]);
    return result;
}

} // namespace zentro
