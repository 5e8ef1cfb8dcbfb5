// The raw playback transport: a ".raw" or ".yuv" recording with its "_info.txt" description
// opens as a camera whose grabs return the recorded frames in a loop.
#ifndef ZENTRO_TRANSPORT_RAW_PLAYBACK_H
#define ZENTRO_TRANSPORT_RAW_PLAYBACK_H

#include "zentro_camera.h"

namespace zentro {

// Opens one camera on the recording @sensorPath into *@slot. Returns 0 (with *@found 0 for
// an empty path or a path this transport does not play), or 1 when the recording cannot be
// played; the reason is logged.
int RAW_Transport_OpenCameras(ze_camera_t **slot, int room, int *found, const char *sensorPath,
                              const char *dllName);
// Closes and frees the @count listed cameras. Returns 0.
int RAW_Transport_CloseCameras(int count, ze_camera_t **cameras);

} // namespace zentro

#endif // ZENTRO_TRANSPORT_RAW_PLAYBACK_H
