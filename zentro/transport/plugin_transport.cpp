// The plug-in transport: finds plug-ins, opens their cameras index by index, closes them.
#include "transport/plugin_transport.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "core/log.h"
#include "transport/plugin_camera.h"
#include "transport/plugin_record.h"
#include "transport/plugin_search.h"
#include "zentro_osal.h"

namespace {

// The caller's camera array from the first slot this transport may fill.
class CameraSlots
{
public:
    CameraSlots(ze_camera_t **first, int room) : first_(first), room_(std::max(room, 0)) {}

    bool full() const { return count_ >= room_; }
    int count() const { return count_; }
    void add(ze_camera_t *camera) { first_[count_++] = camera; }

private:
    ze_camera_t **first_;
    int room_;
    int count_ = 0;
};

// Opens camera @index of @plugin; nullptr after releasing it when the plug-in refuses it,
// with the reason in @result.
ze_camera_t *openCamera(const zentro::PluginCandidate &plugin, const char *sensorPath, int index,
                        int &result)
{
    auto *camera = static_cast<ze_camera_t *>(calloc(1, sizeof(ze_camera_t)));
    if (!camera) {
        result = ZE_ERRORLOG(CAMERA_ERROR, "Couldn't allocate camera structure");
        return nullptr;
    }
    try {
        result = zentro::DLL_Transport_InitTransport(
            camera, index, sensorPath, plugin.descriptionFile.c_str(), plugin.pluginPath.c_str());
    } catch (const std::bad_alloc &) {
        result = ZE_ERRORLOG(CAMERA_ERROR, "Couldn't open a transport DLL camera: out of memory");
    }
    if (result == CAMERA_SUCCESS)
        return camera;
    // The plug-in never opened this camera: it must not be asked to close it.
    zentro::DLL_Transport_CloseCamera(camera, false);
    return nullptr;
}

// Adds the cameras of @plugin, index by index, until it refuses one or @slots is full.
// Returns 0 when it added any (or there was no room), else the refusal's result.
int addCameras(CameraSlots &slots, const zentro::PluginCandidate &plugin, const char *sensorPath)
{
    for (int index = 0; !slots.full(); ++index) {
        int result = CAMERA_SUCCESS;
        ze_camera_t *camera = openCamera(plugin, sensorPath, index, result);
        if (camera) {
            slots.add(camera);
            continue;
        }
        if (index > 0)
            return CAMERA_SUCCESS;
        const std::string message = "Transport DLL " + plugin.pluginPath +
                                    " opened no camera: result " + std::to_string(result);
        ZE_MSGLOG(ZE_LOG_GENERAL, message.c_str());
        return result;
    }
    return CAMERA_SUCCESS;
}

// Adds the cameras of each of @plugins. Returns 0 when any camera was added, else the
// largest result.
int addCamerasOfEach(CameraSlots &slots, const std::vector<zentro::PluginCandidate> &plugins,
                     const char *sensorPath, int largest = CAMERA_SUCCESS)
{
    const int before = slots.count();
    for (const zentro::PluginCandidate &plugin : plugins)
        largest = std::max(largest, addCameras(slots, plugin, sensorPath));
    return slots.count() > before ? CAMERA_SUCCESS : largest;
}

int searchPlugins(CameraSlots &slots, const char *sensorPath)
{
    std::vector<zentro::PluginCandidate> plugins = zentro::describedPlugins();
    const std::vector<zentro::PluginCandidate> folderPlugins = zentro::searchedDirectoryPlugins();
    plugins.insert(plugins.end(), folderPlugins.begin(), folderPlugins.end());
    return addCamerasOfEach(slots, plugins, sensorPath);
}

int openDirectory(CameraSlots &slots, const char *directory, const char *sensorPath)
{
    const std::vector<zentro::PluginCandidate> plugins = zentro::pluginsInDirectory(directory);
    if (plugins.empty())
        return ZE_ERRORLOGF(CAMERA_ERROR, "No transport DLL (*.so) in directory `%s`", directory);
    return addCamerasOfEach(slots, plugins, sensorPath);
}

int openNamed(CameraSlots &slots, const char *sensorPath, const char *dllName)
{
    if (!dllName || !dllName[0])
        return searchPlugins(slots, sensorPath);
    const uint32_t attributes = osal_get_file_attributes(dllName);
    if (attributes == OSAL_NO_FILE)
        return ZE_ERRORLOGF(CAMERA_ERROR, "Transport DLL `%s` does not exist", dllName);
    if (attributes & OSAL_ATTRIBUTE_DIRECTORY)
        return openDirectory(slots, dllName, sensorPath);
    return ZE_ERRORLOG(addCameras(slots, {dllName, {}}, sensorPath),
                       "DLL_Transport_OpenCameras failed on specific file");
}

} // namespace

namespace zentro {

int DLL_Transport_OpenCameras(ze_camera_t **slot, int room, int *found, const char *sensorPath,
                              const char *dllName)
{
    if (found)
        *found = 0;
    if (!slot || !found)
        return CAMERA_ERROR;
    CameraSlots slots(slot, room);
    int result = CAMERA_SUCCESS;
    try {
        result = openNamed(slots, sensorPath, dllName);
    } catch (const std::bad_alloc &) {
        result = ZE_ERRORLOG(CAMERA_ERROR, "Couldn't search for transport DLLs: out of memory");
    }
    *found = slots.count();
    return result;
}

int DLL_Transport_CloseCameras(int count, ze_camera_t **cameras)
{
    for (int i = 0; cameras && i < count; ++i)
        DLL_Transport_CloseCamera(cameras[i], true);
    return CAMERA_SUCCESS;
}

} // namespace zentro

extern "C" {

ZE_API const char *DLL_Transport_DllName(const ze_camera_t *camera)
{
    const zentro::PluginRecord *record = zentro::pluginRecord(camera);
    return record && record->pluginPath[0] ? record->pluginPath : nullptr;
}

} // extern "C"
