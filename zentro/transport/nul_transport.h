// The null transport: a camera without hardware, described entirely by a sensor-data file.
#ifndef ZENTRO_TRANSPORT_NUL_TRANSPORT_H
#define ZENTRO_TRANSPORT_NUL_TRANSPORT_H

#include "zentro_camera.h"

namespace zentro {

// Opens one null camera on the ".sdat"/".xsdat" file @sensorPath into *@slot. Returns 0
// (with *@found 0 for an empty path), or 1 when the file cannot be used; the reason is
// logged.
int NUL_Transport_OpenCameras(ze_camera_t **slot, int room, int *found, const char *sensorPath,
                              const char *dllName);
// Closes and frees the @count listed null cameras. Returns 0.
int NUL_Transport_CloseCameras(int count, ze_camera_t **cameras);

// Frames take this long on a null camera: about 30 per second.
inline constexpr uint32_t kNulFrameMs = 33;

} // namespace zentro

#endif // ZENTRO_TRANSPORT_NUL_TRANSPORT_H
