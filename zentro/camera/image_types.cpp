// Image types: their names, the type tests, sensor classification and the image-type update.
#include <array>
#include <cstdint>
#include <cstdio>

#include "camera/context.h"
#include "camera/pixel_sizes.h"
#include "registers/lookup.h"
#include "zentro_errors.h"
#include "zentro_frame.h"
#include "zentro_sensor.h"

namespace {

// Names by image type code; index 0 and codes past the end are unknown.
constexpr std::array<const char *, 41> kImageTypeNames = {
    nullptr,       "Bayer 8",     "Bayer 10",     "Bayer8 Zoom",   "Bayer10 Zoom",  "YCbCr",
    "565RGB",      "555RGB",      "444XRGB",      "X444RGB",       "RGB24",         "RGB32",
    "Bayer 12",    "Bayer 12",    "RGB48",        "JPEG",          "Bayer Stereo",  "PNG",
    "Prog. Bayer", "YUV 4:2:0",   "Bayer 14",     "Bayer 12 HiDy", "Bayer 14 HiDy", "Bayer 20",
    "332RGB",      "M420",        "Bayer10 iHDR", "JPEG SpdTags",  "Bayer 16",      "YCbCr 10",
    "Bayer 6",     "JPEG Rotate", "Y400",         "555LRGB",       "555MRGB",       "Bayer S24",
    "H.264",       "Bayer 18",    "Bayer 24",     "Bayer 28",      "YUV 4:2:0-P",
};
constexpr const char *kUnknownImageType = "Unknown";

constexpr uint32_t kBayerTypes[] = {
    ZE_IMAGE_BAYER8,       ZE_IMAGE_BAYER10, ZE_IMAGE_BAYER12, ZE_IMAGE_BAYER12_ALT,
    ZE_IMAGE_BAYER_STEREO, ZE_IMAGE_BAYER14, ZE_IMAGE_BAYER20, ZE_IMAGE_BAYER10_IHDR,
    ZE_IMAGE_BAYER16,      ZE_IMAGE_BAYER6,  ZE_IMAGE_BAYER24, ZE_IMAGE_BAYER28,
};
constexpr uint32_t kYcbcrTypes[] = {ZE_IMAGE_YCBCR, ZE_IMAGE_YCBCR10};
constexpr uint32_t kJpegTypes[] = {ZE_IMAGE_JPEG, ZE_IMAGE_JPEG_SPDTAGS, ZE_IMAGE_JPEG_ROTATE};

// Sensor type codes of each class.
constexpr uint32_t kIspSensors[] = {44, 71, 95, 99, 103, 111, 120, 127, 128, 129, 159, 176};
constexpr uint32_t kItofIspSensors[] = {195};
constexpr uint32_t kRadarSensors[] = {170, 182, 188};
constexpr uint32_t kLidarSensors[] = {171, 180};
constexpr uint32_t kItofSensors[] = {193, 198, 199};

template <size_t N>
bool isOneOf(const uint32_t (&codes)[N], uint32_t code)
{
    for (uint32_t candidate : codes) {
        if (candidate == code)
            return true;
    }
    return false;
}

const ze_sensor_t *sensorOf(const ze_camera_t *camera)
{
    return camera ? camera->sensor : nullptr;
}

// Radar, lidar and iToF parts sit behind an ISP: the first far sensor names the part.
const ze_sensor_t *farPartOf(const ze_camera_t *camera)
{
    const ze_sensor_t *sensor = sensorOf(camera);
    if (sensor && sensor->farSensor1)
        return sensor->farSensor1;
    return sensor;
}

template <size_t N>
int sensorIsOneOf(const ze_sensor_t *sensor, const uint32_t (&codes)[N])
{
    return sensor && isOneOf(codes, sensor->sensorType) ? 1 : 0;
}

// Multi-image frames carry plain 8- or 10-bit Bayer data whatever the pixel depth.
uint32_t multiImageType(const ze_sensor_t *sensor)
{
    constexpr uint32_t kEightBits = 8;
    return sensor->bitsPerPixel == kEightBits ? ZE_IMAGE_BAYER8 : ZE_IMAGE_BAYER10;
}

uint32_t singleImageType(const ze_sensor_t *sensor, uint32_t bitsPerClock, uint32_t clocksPerPixel)
{
    // A 16-bit clock carrying one pixel is a stereo pair (8 bits) or a 16-bit pixel.
    constexpr uint32_t kWideClockBits = 16;
    const bool oneWideClock = bitsPerClock == kWideClockBits && clocksPerPixel == 1;
    const uint32_t current = sensor->imageType;
    switch (sensor->bitsPerPixel) {
    case 6:
        return ZE_IMAGE_BAYER6;
    case 8:
        return oneWideClock ? ZE_IMAGE_BAYER_STEREO : ZE_IMAGE_BAYER8;
    case 10:
        return current == ZE_IMAGE_BAYER10_IHDR ? current : uint32_t{ZE_IMAGE_BAYER10};
    case 12:
        return ZE_IMAGE_BAYER12;
    case 14:
        return ZE_IMAGE_BAYER14;
    case 16:
        return oneWideClock ? uint32_t{ZE_IMAGE_BAYER16} : current;
    case 20:
        return ZE_IMAGE_BAYER20;
    case 24:
        return ZE_IMAGE_BAYER24;
    case 28:
        return ZE_IMAGE_BAYER28;
    default:
        return current;
    }
}

} // namespace

extern "C" {

ZE_API int ze_GetImageTypeStr(uint32_t type, char *buffer)
{
    if (!buffer)
        return CAMERA_ERROR;
    const bool known = type < kImageTypeNames.size() && kImageTypeNames[type];
    snprintf(buffer, ZE_IMAGE_TYPE_STR_SIZE, "%s",
             known ? kImageTypeNames[type] : kUnknownImageType);
    return known ? CAMERA_SUCCESS : CAMERA_ERROR;
}

ZE_API int ze_IsBayerImageType(uint32_t type)
{
    return isOneOf(kBayerTypes, type) ? 1 : 0;
}

ZE_API int ze_IsBayer(ze_camera_t *camera)
{
    const ze_sensor_t *sensor = sensorOf(camera);
    return sensor ? ze_IsBayerImageType(sensor->imageType) : 0;
}

ZE_API int ze_IsYcbcrImageType(uint32_t type)
{
    return isOneOf(kYcbcrTypes, type) ? 1 : 0;
}

ZE_API int ze_IsJpegImageType(uint32_t type)
{
    return isOneOf(kJpegTypes, type) ? 1 : 0;
}

ZE_API int ze_IsISP(ze_camera_t *camera)
{
    return sensorIsOneOf(sensorOf(camera), kIspSensors);
}

ZE_API int ze_IsArrayImager(ze_camera_t *camera)
{
    return zentro::isArrayImager(sensorOf(camera)) ? 1 : 0;
}

ZE_API int ze_IsItofISP(ze_camera_t *camera)
{
    return sensorIsOneOf(sensorOf(camera), kItofIspSensors);
}

ZE_API int ze_IsRadar(ze_camera_t *camera)
{
    return sensorIsOneOf(farPartOf(camera), kRadarSensors);
}

ZE_API int ze_IsLidar(ze_camera_t *camera)
{
    return sensorIsOneOf(farPartOf(camera), kLidarSensors);
}

ZE_API int ze_IsItof(ze_camera_t *camera)
{
    return sensorIsOneOf(farPartOf(camera), kItofSensors);
}

ZE_API int _updateImageType(ze_camera_t *camera)
{
    if (!camera || !camera->context || !camera->sensor)
        return CAMERA_ERROR;
    ze_sensor_t *sensor = camera->sensor;
    if (!ze_IsBayerImageType(sensor->imageType))
        return CAMERA_SUCCESS;
    if (sensor->imageCount != 1)
        sensor->imageType = multiImageType(sensor);
    else
        sensor->imageType = singleImageType(sensor, zentro::cameraBitsPerClock(camera),
                                            zentro::cameraClocksPerPixel(camera));
    return CAMERA_SUCCESS;
}

} // extern "C"
