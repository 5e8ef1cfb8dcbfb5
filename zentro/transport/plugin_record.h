// The record a plug-in camera keeps of its plug-in: where it came from and its own load of it.
#ifndef ZENTRO_TRANSPORT_PLUGIN_RECORD_H
#define ZENTRO_TRANSPORT_PLUGIN_RECORD_H

#include "camera/context.h"
#include "osal/shared_library.h"
#include "zentro_plugin.h"

namespace zentro {

// An entry point the library keeps for the plug-in without ever calling it.
using PluginProc = void (*)();

// One per plug-in camera, in its common context (transportRecord). The plug-in's own device
// context (context item 4) is kept in the common context beside it.
struct PluginRecord {
    // The ".cam" file that named the plug-in, or empty.
    char descriptionFile[ZE_TEXT_SIZE] = {};
    // The plug-in file as it was named, before the library made it relative to ".".
    char pluginPath[ZE_TEXT_SIZE] = {};
    // This camera's load of the plug-in: each camera releases its own.
    UniqueLibrary library;
    PluginProc regControl = nullptr;
    PluginProc playCapable = nullptr;
    PluginProc isViewfinder = nullptr;
    // "GetDeviceNameDLL", behind the context's getDeviceName operation.
    ze_plugin_device_name_fn deviceName = nullptr;
};

// The plug-in record of @camera; nullptr for a camera of another transport.
inline PluginRecord *pluginRecord(const ze_camera_t *camera)
{
    if (!camera || camera->transportType != ZE_TRANSPORT_DLL || !camera->context)
        return nullptr;
    return static_cast<PluginRecord *>(camera->context->transportRecord);
}

} // namespace zentro

#endif // ZENTRO_TRANSPORT_PLUGIN_RECORD_H
