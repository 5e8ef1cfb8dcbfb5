// The library's default transport operations and its generic frame grab.
#ifndef ZENTRO_CAMERA_DEFAULT_OPS_H
#define ZENTRO_CAMERA_DEFAULT_OPS_H

#include <cstdint>
#include <optional>

#include "zentro_camera.h"

namespace zentro {

// The generic camera-level grab: holds the grab lock (the register lock when the transport
// cannot serve register access during a grab) around the context's grabFrame.
int genericGrabFrame(ze_camera_t *camera, uint8_t *buffer, uint32_t size);

// Bytes of a width x height frame of @pixelBytes-byte pixels; the planar 4:2:0 types take
// width x height x 3 / 2 when @planarRule is set. Nothing when it does not fit in 32 bits.
std::optional<uint32_t> frameByteCount(uint32_t width, uint32_t height, uint32_t pixelBytes,
                                       uint32_t imageType, bool planarRule);

} // namespace zentro

#endif // ZENTRO_CAMERA_DEFAULT_OPS_H
