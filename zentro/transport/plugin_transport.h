// The plug-in transport's row of the transport table: opening and closing plug-in cameras.
#ifndef ZENTRO_TRANSPORT_PLUGIN_TRANSPORT_H
#define ZENTRO_TRANSPORT_PLUGIN_TRANSPORT_H

#include "zentro_camera.h"

namespace zentro {

// Opens the cameras of the plug-ins @dllName names into @slot, at most @room of them:
// - empty: the plug-ins named by the ".cam" files of the working directory, then every
//   "*.so" of "Plugins" below the library home; 0 when any camera opened, else the largest
//   result of the plug-ins tried (0 when there were none);
// - a file: that plug-in; its result, logged as a failure on a specific file;
// - a directory: each "*.so" in it, as in the search; CAMERA_ERROR when it holds none;
// - anything else: CAMERA_ERROR, logged.
// Each plug-in is asked for camera 0, 1, 2, ... until it refuses one. *@found receives
// the number of cameras written.
int DLL_Transport_OpenCameras(ze_camera_t **slot, int room, int *found, const char *sensorPath,
                              const char *dllName);
// Closes the @count listed plug-in cameras through their plug-ins and frees them. Returns 0.
int DLL_Transport_CloseCameras(int count, ze_camera_t **cameras);

} // namespace zentro

#endif // ZENTRO_TRANSPORT_PLUGIN_TRANSPORT_H
