/* Image types, sensor classification and the routines that turn raw frames into pixels. */
#ifndef ZENTRO_FRAME_H
#define ZENTRO_FRAME_H

#include <stdint.h>

#include "zentro_camera.h"
#include "zentro_export.h"

ZE_BEGIN_DECLS

/* Pixel formats of a sensor's frames (ze_sensor_t.imageType). */
enum ze_image_types {
    ZE_IMAGE_BAYER8 = 1,
    ZE_IMAGE_BAYER10 = 2,
    ZE_IMAGE_BAYER8_ZOOM = 3,
    ZE_IMAGE_BAYER10_ZOOM = 4,
    ZE_IMAGE_YCBCR = 5,
    ZE_IMAGE_RGB565 = 6,
    ZE_IMAGE_RGB555 = 7,
    ZE_IMAGE_RGB444X = 8,
    ZE_IMAGE_RGBX444 = 9,
    ZE_IMAGE_RGB24 = 10,
    ZE_IMAGE_RGB32 = 11,
    ZE_IMAGE_BAYER12 = 12,
    ZE_IMAGE_BAYER12_ALT = 13, /* a second code named "Bayer 12" */
    ZE_IMAGE_RGB48 = 14,
    ZE_IMAGE_JPEG = 15,
    ZE_IMAGE_BAYER_STEREO = 16,
    ZE_IMAGE_PNG = 17,
    ZE_IMAGE_PROG_BAYER = 18,
    ZE_IMAGE_YUV420 = 19,
    ZE_IMAGE_BAYER14 = 20,
    ZE_IMAGE_BAYER12_HIDY = 21,
    ZE_IMAGE_BAYER14_HIDY = 22,
    ZE_IMAGE_BAYER20 = 23,
    ZE_IMAGE_RGB332 = 24,
    ZE_IMAGE_M420 = 25,
    ZE_IMAGE_BAYER10_IHDR = 26,
    ZE_IMAGE_JPEG_SPDTAGS = 27,
    ZE_IMAGE_BAYER16 = 28,
    ZE_IMAGE_YCBCR10 = 29,
    ZE_IMAGE_BAYER6 = 30,
    ZE_IMAGE_JPEG_ROTATE = 31,
    ZE_IMAGE_Y400 = 32,
    ZE_IMAGE_RGB555L = 33,
    ZE_IMAGE_RGB555M = 34,
    ZE_IMAGE_BAYER_S24 = 35,
    ZE_IMAGE_H264 = 36,
    ZE_IMAGE_BAYER18 = 37,
    ZE_IMAGE_BAYER24 = 38,
    ZE_IMAGE_BAYER28 = 39,
    ZE_IMAGE_YUV420_P = 40
};

/* Characters (terminator included) a buffer of ze_GetImageTypeStr needs. */
#define ZE_IMAGE_TYPE_STR_SIZE 14

/*
 * Writes the name of image type @type ("Bayer 10", "YUV 4:2:0", ...) into @buffer, which
 * must hold ZE_IMAGE_TYPE_STR_SIZE characters. Returns 0; 1 for an unknown type (the text
 * is then "Unknown") or an absent buffer.
 */
ZE_API int ze_GetImageTypeStr(uint32_t type, char *buffer);

/* Non-zero for the Bayer types 1, 2, 12, 13, 16, 20, 23, 26, 28, 30, 38 and 39. */
ZE_API int ze_IsBayerImageType(uint32_t type);
/* Non-zero when @camera's sensor has a Bayer image type; 0 without a sensor. */
ZE_API int ze_IsBayer(ze_camera_t *camera);
/* Non-zero for the YCbCr types 5 and 29. */
ZE_API int ze_IsYcbcrImageType(uint32_t type);
/* Non-zero for the JPEG types 15, 27 and 31. */
ZE_API int ze_IsJpegImageType(uint32_t type);

/*
 * Sensor classification by the sensor type code; 0 without a camera or sensor.
 * Radar, lidar and iToF sensors sit behind an ISP: these three use the type code of the
 * first far sensor when there is one.
 */
ZE_API int ze_IsISP(ze_camera_t *camera);
ZE_API int ze_IsArrayImager(ze_camera_t *camera);
ZE_API int ze_IsItofISP(ze_camera_t *camera);
ZE_API int ze_IsRadar(ze_camera_t *camera);
ZE_API int ze_IsLidar(ze_camera_t *camera);
ZE_API int ze_IsItof(ze_camera_t *camera);

/*
 * Re-derives a Bayer sensor's image type from its bits per pixel, image count and the
 * camera's bits per clock and clocks per pixel; other image types stay. Run after every
 * frame-size change. Returns 0; 1 without a camera, context or sensor.
 */
ZE_API int _updateImageType(ze_camera_t *camera);

/*
 * Unswizzles @size bytes of a raw frame in place, as ZE_SW_UNSWIZZLE_MODE selects: 0 the
 * deep-Bayer merge, 2 samples MSB-aligned in 16-bit words, other values swizzled byte
 * pairs; by the camera's bits per clock (8 with two clocks per pixel, 10, 12, 14, 16).
 * Returns 0; 1 without a camera, context or buffer.
 */
ZE_API int _unSwizzleBuffer2(ze_camera_t *camera, uint8_t *buffer, uint32_t size);
/*
 * _unSwizzleBuffer2 over a whole frame: image width x image height x pixel bytes of the
 * sensor, never more than its image bytes (the size the caller's buffer was made for).
 * Returns 0; 1 without a camera, context, sensor or buffer.
 */
ZE_API int _unSwizzleBuffer1(ze_camera_t *camera, uint8_t *buffer);

/*
 * Merges the two 16-bit halves of each 32-bit word of a deep-Bayer frame (two clocks per
 * pixel) into one pixel value, in place, over @size bytes. Nothing happens with other
 * clocks per pixel or for a file-playback camera. Returns 0; 1 without a camera, context
 * or buffer.
 */
ZE_API int _mergeDeepBayer2(ze_camera_t *camera, uint8_t *buffer, uint32_t size);
/* _mergeDeepBayer2 over a whole frame, sized as for _unSwizzleBuffer1. */
ZE_API int _mergeDeepBayer1(ze_camera_t *camera, uint8_t *buffer);

/*
 * Compacts 8-bit samples that arrived LSB-aligned in 16-bit words to one byte each, in
 * place, when ZE_LSB_ALIGNED is set, the bits per clock are at most 8 and ZE_RX_TYPE is 1.
 * Never reads past the sensor's image bytes. Returns 0; 1 without a camera, context,
 * sensor or buffer.
 */
ZE_API int _repackLsbAligned8(ze_camera_t *camera, uint8_t *buffer);

/* 6-bit Bayer data is used as it arrives: leaves @buffer unchanged and returns 0. */
ZE_API int _unpackBayer6(ze_camera_t *camera, uint8_t *buffer);

ZE_END_DECLS

#endif /* ZENTRO_FRAME_H */
