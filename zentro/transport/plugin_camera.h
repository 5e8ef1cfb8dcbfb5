// One camera of a transport plug-in: loading the plug-in for it, opening it, closing it.
#ifndef ZENTRO_TRANSPORT_PLUGIN_CAMERA_H
#define ZENTRO_TRANSPORT_PLUGIN_CAMERA_H

#include "zentro_camera.h"

namespace zentro {

// Opens camera number @index of the plug-in file @pluginPath on the zero-filled @camera:
// creates its context and plug-in record, loads the plug-in (a path that begins with
// neither "." nor "/" is taken relative to the working directory), binds its entry points,
// hands it the helper table and calls its open entry point with @sensorPath and @index.
// @descriptionFile is the ".cam" file that named the plug-in, or empty. Returns the open
// entry point's result; CAMERA_ERROR when the plug-in cannot be loaded or lacks a required
// entry point (logged, except for a library without an open entry point, which is no
// plug-in). Whatever the result, the caller releases the camera with
// DLL_Transport_CloseCamera: asking the plug-in to close it only when it opened.
int DLL_Transport_InitTransport(ze_camera_t *camera, int index, const char *sensorPath,
                                const char *descriptionFile, const char *pluginPath);

// Releases @camera: when @callPlugin is set and the camera opened, lets its plug-in close it
// with "CloseCameraDLL"; then frees its sensor record and board chips, releases its load of
// the plug-in and frees its record, common context and the camera itself.
void DLL_Transport_CloseCamera(ze_camera_t *camera, bool callPlugin);

} // namespace zentro

#endif // ZENTRO_TRANSPORT_PLUGIN_CAMERA_H
