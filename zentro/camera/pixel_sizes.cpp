// Pixel sizes from bits per clock and clocks per pixel, and the image types that size frames.
#include "camera/pixel_sizes.h"

#include "camera/context.h"
#include "zentro_frame.h"
#include "zentro_modes.h"

namespace {

// Up to this many bits a clock occupies whole bytes; wider clocks take a 32-bit word.
constexpr uint32_t kMaxByteSizedClockBits = 16;
constexpr uint32_t kWideClockBytes = 4;
constexpr uint32_t kBitsPerByte = 8;

// Sensors that send a stereo pair of 8-bit pixels as one 16-bit clock.
constexpr uint32_t kStereoPairSensorTypes[] = {28, 53};
constexpr uint32_t kStereoPairClockBits = 16;
constexpr uint32_t kStereoPairPixelBits = 8;

bool isStereoPairSensor(const ze_sensor_t *sensor)
{
    if (!sensor)
        return false;
    for (uint32_t type : kStereoPairSensorTypes) {
        if (sensor->sensorType == type)
            return true;
    }
    return false;
}

} // namespace

namespace zentro {

uint32_t bytesPerClock(uint32_t bitsPerClock)
{
    if (bitsPerClock > kMaxByteSizedClockBits)
        return kWideClockBytes;
    return (bitsPerClock + kBitsPerByte - 1) / kBitsPerByte;
}

uint32_t pixelByteCount(uint32_t bitsPerClock, uint32_t clocksPerPixel)
{
    return clocksPerPixel * bytesPerClock(bitsPerClock);
}

uint32_t pixelBitCount(const ze_sensor_t *sensor, uint32_t bitsPerClock, uint32_t clocksPerPixel)
{
    if (isStereoPairSensor(sensor) && bitsPerClock == kStereoPairClockBits && clocksPerPixel == 1)
        return kStereoPairPixelBits;
    return bitsPerClock * clocksPerPixel;
}

uint32_t cameraBitsPerClock(const ze_camera_t *camera)
{
    return storedMode(camera, ZE_BITS_PER_CLOCK);
}

uint32_t cameraClocksPerPixel(const ze_camera_t *camera)
{
    return storedMode(camera, ZE_CLOCKS_PER_PIXEL);
}

uint32_t cameraPixelBytes(const ze_camera_t *camera)
{
    return pixelByteCount(cameraBitsPerClock(camera), cameraClocksPerPixel(camera));
}

uint32_t cameraPixelBits(const ze_camera_t *camera)
{
    return pixelBitCount(camera ? camera->sensor : nullptr, cameraBitsPerClock(camera),
                         cameraClocksPerPixel(camera));
}

bool isCompressedImageType(uint32_t type)
{
    return type == ZE_IMAGE_JPEG || type == ZE_IMAGE_PNG || type == ZE_IMAGE_JPEG_SPDTAGS ||
           type == ZE_IMAGE_H264;
}

bool isPlanar420ImageType(uint32_t type)
{
    return type == ZE_IMAGE_YUV420 || type == ZE_IMAGE_M420 || type == ZE_IMAGE_YUV420_P;
}

} // namespace zentro
