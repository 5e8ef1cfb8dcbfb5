// Pixel and frame sizes derived from the bits per clock and clocks per pixel of a camera.
#ifndef ZENTRO_CAMERA_PIXEL_SIZES_H
#define ZENTRO_CAMERA_PIXEL_SIZES_H

#include <cstdint>

#include "zentro_camera.h"
#include "zentro_sensor.h"

namespace zentro {

// Bytes one clock of @bitsPerClock bits occupies: (B + 7) / 8 up to 16 bits, else 4.
uint32_t bytesPerClock(uint32_t bitsPerClock);
// Bytes of one pixel: clocks per pixel x bytes per clock.
uint32_t pixelByteCount(uint32_t bitsPerClock, uint32_t clocksPerPixel);
// Bits of one pixel: B x C, except 8 for the stereo-pair sensors (type codes 28 and 53)
// that send two 8-bit pixels in one 16-bit clock. @sensor may be null.
uint32_t pixelBitCount(const ze_sensor_t *sensor, uint32_t bitsPerClock, uint32_t clocksPerPixel);

// The camera's stored ZE_BITS_PER_CLOCK and ZE_CLOCKS_PER_PIXEL.
uint32_t cameraBitsPerClock(const ze_camera_t *camera);
uint32_t cameraClocksPerPixel(const ze_camera_t *camera);
// pixelByteCount and pixelBitCount for the camera's stored modes and sensor.
uint32_t cameraPixelBytes(const ze_camera_t *camera);
uint32_t cameraPixelBits(const ze_camera_t *camera);

// Image types whose frames are compressed (no raw frame to grab): 15, 17, 27, 36.
bool isCompressedImageType(uint32_t type);
// Planar 4:2:0 image types, whose frames hold width x height x 3 / 2 bytes: 19, 25, 40.
bool isPlanar420ImageType(uint32_t type);

} // namespace zentro

#endif // ZENTRO_CAMERA_PIXEL_SIZES_H
