// Binding a plug-in's entry points, by name, into its camera.
#ifndef ZENTRO_TRANSPORT_PLUGIN_ENTRY_POINTS_H
#define ZENTRO_TRANSPORT_PLUGIN_ENTRY_POINTS_H

#include "osal/shared_library.h"
#include "transport/plugin_record.h"
#include "zentro_plugin.h"

namespace zentro {

// The entry points that make a shared library a transport plug-in.
struct PluginOpenEntryPoints {
    ze_plugin_set_helpers_fn setHelpers = nullptr; // may be absent
    ze_plugin_open_camera_fn open = nullptr;       // "OpenCameraDLL", else "InitCamera2DLL"
};
PluginOpenEntryPoints resolveOpenEntryPoints(const UniqueLibrary &library);

// Binds "StartTransportDLL" and "StopTransportDLL" into @camera. Returns 0, or CAMERA_ERROR
// after logging which one the plug-in lacks.
int bindTransportControl(ze_camera_t *camera, const UniqueLibrary &library);

// Binds the optional entry points of @record's plug-in into @camera, its context and
// @record, with the library's defaults standing in for missing ones, and gives the camera
// the generic register and grab operations, which reach the plug-in under the camera's
// locks.
void bindOptionalEntryPoints(ze_camera_t *camera, PluginRecord &record);

// "CloseCameraDLL" of @library, or nullptr.
ze_plugin_close_camera_fn resolveCloseEntryPoint(const UniqueLibrary &library);

// Empties every operation slot of @camera and its context, and the entry points @record
// keeps, so that nothing points into the plug-in once it is unloaded.
void unbindEntryPoints(ze_camera_t *camera, PluginRecord &record);

} // namespace zentro

#endif // ZENTRO_TRANSPORT_PLUGIN_ENTRY_POINTS_H
