// One camera of a transport plug-in: its own load of the plug-in, its entry points, its open
// and its close.
#include "transport/plugin_camera.h"

#include <cxxabi.h>

#include <cstdlib>
#include <new>
#include <string>

#include "camera/context.h"
#include "core/log.h"
#include "sensor_data/sensor_record.h"
#include "transport/helper_table.h"
#include "transport/plugin_entry_points.h"
#include "transport/plugin_record.h"
#include "zentro_board.h"
#include "zentro_sensor_data.h"

namespace {

constexpr char kDriverInfoPrefix[] = "Transport DLL: ";

// The plug-in file as the loader is given it: a bare or nested name is taken relative to
// the working directory, not searched for along the loader's library path.
std::string loadablePath(const char *pluginPath)
{
    if (pluginPath[0] == '.' || pluginPath[0] == '/')
        return pluginPath;
    return std::string("./") + pluginPath;
}

zentro::PluginRecord *recordOf(const ze_camera_t *camera)
{
    return camera->context ? static_cast<zentro::PluginRecord *>(camera->context->transportRecord)
                           : nullptr;
}

// Calls into the plug-in; an exception it lets out is stopped here and reported as a
// failure of @entry.
template <class Call>
int callGuarded(const char *entry, const char *pluginPath, Call call)
{
    try {
        return call();
    } catch (abi::__forced_unwind &) {
        throw; // a cancelled thread must unwind on
    } catch (...) {
        return ZE_ERRORLOGF(CAMERA_ERROR, "%s of transport DLL `%s` threw an exception", entry,
                            pluginPath);
    }
}

int loadPlugin(zentro::PluginRecord &record, const char *pluginPath)
{
    const std::string path = loadablePath(pluginPath);
    std::string reason;
    record.library = zentro::loadLibrary(path.c_str(), reason);
    if (record.library)
        return CAMERA_SUCCESS;
    ZE_ERRORLOGF(CAMERA_ERROR, "LoadLibrary(%s) failed. Unable to load transport DLL.",
                 path.c_str());
    return ZE_ERRORLOGF(CAMERA_ERROR, "Dynamic loader: %s", reason.c_str());
}

void freeSensor(ze_camera_t *camera)
{
    ze_DestructSensor(camera->sensor);
    free(camera->sensor);
    camera->sensor = nullptr;
}

} // namespace

namespace zentro {

int DLL_Transport_InitTransport(ze_camera_t *camera, int index, const char *sensorPath,
                                const char *descriptionFile, const char *pluginPath)
{
    if (!camera || !pluginPath)
        return CAMERA_ERROR;
    const int created = ze_InitCameraContext(camera);
    if (created != CAMERA_SUCCESS)
        return created;
    auto *record = new (std::nothrow) PluginRecord;
    if (!record)
        return ZE_ERRORLOG(CAMERA_ERROR, "Couldn't allocate transport record");
    camera->context->transportRecord = record;

    const int loaded = loadPlugin(*record, pluginPath);
    if (loaded != CAMERA_SUCCESS)
        return loaded;
    copyText(record->pluginPath, pluginPath);
    copyText(record->descriptionFile, descriptionFile ? descriptionFile : "");
    camera->transportType = ZE_TRANSPORT_DLL;

    const PluginOpenEntryPoints entries = resolveOpenEntryPoints(record->library);
    if (!entries.open) {
        // Not every shared library beside the plug-ins is one: no error line for those.
        const std::string message = "Not a transport DLL (it exports neither OpenCameraDLL "
                                    "nor InitCamera2DLL): " +
                                    std::string(pluginPath);
        ZE_MSGLOG(ZE_LOG_GENERAL, message.c_str());
        return CAMERA_ERROR;
    }
    const int bound = bindTransportControl(camera, record->library);
    if (bound != CAMERA_SUCCESS)
        return bound;
    bindOptionalEntryPoints(camera, *record);
    copyText(camera->context->driverInfo, (kDriverInfoPrefix + std::string(pluginPath)).c_str());

    if (entries.setHelpers)
        callGuarded("SetHelpersDLL", pluginPath,
                    [&] { return entries.setHelpers(&pluginHelpers()); });
    const char *path = sensorPath ? sensorPath : "";
    return callGuarded("OpenCameraDLL", pluginPath,
                       [&] { return entries.open(camera, path, index); });
}

void DLL_Transport_CloseCamera(ze_camera_t *camera, bool callPlugin)
{
    if (!camera)
        return;
    PluginRecord *record = recordOf(camera);
    if (record && record->library) {
        if (callPlugin) {
            if (const ze_plugin_close_camera_fn close = resolveCloseEntryPoint(record->library))
                callGuarded("CloseCameraDLL", record->pluginPath, [&] { return close(camera); });
        }
        freeSensor(camera);
        unbindEntryPoints(camera, *record);
        record->library.reset();
    }
    delete record;
    if (camera->context)
        camera->context->transportRecord = nullptr;
    freeSensor(camera);
    _freeBoardData(camera);
    ze_FreeCameraContext(camera);
    free(camera);
}

} // namespace zentro
