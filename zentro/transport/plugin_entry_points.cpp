// Binding a plug-in's entry points, by name, into its camera, with the library's defaults
// for the ones it does not export.
#include "transport/plugin_entry_points.h"

#include <type_traits>

#include "camera/context.h"
#include "camera/default_ops.h"
#include "camera/generic_ops.h"
#include "core/log.h"
#include "sensor_data/sensor_record.h"
#include "zentro_modes.h"

namespace {

constexpr char kSetHelpers[] = "SetHelpersDLL";
constexpr char kOpenCamera[] = "OpenCameraDLL";
constexpr char kInitCamera2[] = "InitCamera2DLL";
constexpr char kStartTransport[] = "StartTransportDLL";
constexpr char kStopTransport[] = "StopTransportDLL";
constexpr char kCloseCamera[] = "CloseCameraDLL";

// The entry point @name of @library as a @Fn, or nullptr.
template <class Fn>
Fn entryPoint(const zentro::UniqueLibrary &library, const char *name)
{
    return reinterpret_cast<Fn>(zentro::librarySymbol(library, name));
}

// Sets @slot to the entry point @name, or to @fallback when the plug-in lacks it.
template <class Slot>
void bind(Slot &slot, const zentro::UniqueLibrary &library, const char *name,
          std::type_identity_t<Slot> fallback = nullptr)
{
    const Slot found = entryPoint<Slot>(library, name);
    slot = found ? found : fallback;
}

// The context's getDeviceName operation of a plug-in camera: its "GetDeviceNameDLL" text.
int pluginDeviceName(ze_camera_t *camera, char *name, uint32_t size)
{
    const zentro::PluginRecord *record = zentro::pluginRecord(camera);
    const char *text = record && record->deviceName ? record->deviceName(camera) : nullptr;
    if (!text || !name || size == 0)
        return CAMERA_ERROR;
    zentro::copyText(name, size, text);
    return CAMERA_SUCCESS;
}

void bindCameraOperations(ze_camera_t *camera, const zentro::UniqueLibrary &library)
{
    // Register access and grabs always go through the library, which takes the camera's
    // locks and keeps the register cache.
    zentro::installGenericCameraSlots(camera);

    bind(camera->setMode, library, "SetModeDLL", _SetMode);
    bind(camera->getMode, library, "GetModeDLL", _GetMode);
    bind(camera->updateFrameSize, library, "UpdateFrameSizeDLL", _def_UpdateFrameSize);
    bind(camera->initTransport, library, "InitTransportDLL");
    bind(camera->updateBufferSize, library, "UpdateBufferSizeDLL");
    bind(camera->getFrameData, library, "GetFrameDataDLL");
}

void bindTransportOperations(ze_transport_ops &ops, const zentro::UniqueLibrary &library)
{
    bind(ops.readSensorRegisters, library, "ReadSensorRegistersDLL", _def_ReadSensorRegisters);
    bind(ops.writeSensorRegisters, library, "WriteSensorRegistersDLL", _def_WriteSensorRegisters);
    bind(ops.readRegister, library, "ReadRegisterDLL", _def_ReadRegister);
    bind(ops.writeRegister, library, "WriteRegisterDLL", _def_WriteRegister);
    bind(ops.readRegisters, library, "ReadRegistersDLL", _def_ReadRegisters);
    bind(ops.writeRegisters, library, "WriteRegistersDLL", _def_WriteRegisters);
    bind(ops.grabFrame, library, "GrabFrameDLL", _def_GrabFrame);
    bind(ops.sendCommand, library, "SendCommandDLL");
    bind(ops.readSystemRegisters, library, "ReadSystemRegistersDLL");
    bind(ops.writeSystemRegisters, library, "WriteSystemRegistersDLL");
    bind(ops.sendAcmp0Message, library, "SendAcmp0MessageDLL");
    bind(ops.iniFileCommand, library, "IniFileCommandDLL");
    // Hot-plug notification: kept for plug-ins that provide it, never called here.
    bind(ops.setNotifyCallback, library, "SetNotifyCallbackDLL");
    bind(ops.enableDeviceNotification, library, "EnableDeviceNotificationDLL");
    bind(ops.matchDevChangeMsg, library, "MatchDevChangeMsgDLL");
    bind(ops.disableDeviceNotification, library, "DisableDeviceNotificationDLL");
}

void bindRecordEntryPoints(zentro::PluginRecord &record)
{
    bind(record.regControl, record.library, "RegControlDLL");
    bind(record.playCapable, record.library, "PlayCapableDLL");
    bind(record.isViewfinder, record.library, "IsViewfinderDLL");
    bind(record.deviceName, record.library, "GetDeviceNameDLL");
}

} // namespace

namespace zentro {

PluginOpenEntryPoints resolveOpenEntryPoints(const UniqueLibrary &library)
{
    PluginOpenEntryPoints entries;
    bind(entries.setHelpers, library, kSetHelpers);
    bind(entries.open, library, kOpenCamera,
         entryPoint<ze_plugin_open_camera_fn>(library, kInitCamera2));
    return entries;
}

int bindTransportControl(ze_camera_t *camera, const UniqueLibrary &library)
{
    bind(camera->startTransport, library, kStartTransport);
    if (!camera->startTransport)
        return ZE_ERRORLOG(CAMERA_ERROR, "osal_GetProcAddress failed for StartTransportDLL");
    bind(camera->stopTransport, library, kStopTransport);
    if (!camera->stopTransport)
        return ZE_ERRORLOG(CAMERA_ERROR, "osal_GetProcAddress failed for StopTransportDLL");
    return CAMERA_SUCCESS;
}

void bindOptionalEntryPoints(ze_camera_t *camera, PluginRecord &record)
{
    bindCameraOperations(camera, record.library);
    bindTransportOperations(camera->context->ops, record.library);
    bindRecordEntryPoints(record);
    camera->context->ops.getDeviceName = record.deviceName ? pluginDeviceName : nullptr;
}

ze_plugin_close_camera_fn resolveCloseEntryPoint(const UniqueLibrary &library)
{
    return entryPoint<ze_plugin_close_camera_fn>(library, kCloseCamera);
}

void unbindEntryPoints(ze_camera_t *camera, PluginRecord &record)
{
    camera->startTransport = nullptr;
    camera->stopTransport = nullptr;
    camera->readSensorRegisters = nullptr;
    camera->writeSensorRegisters = nullptr;
    camera->readRegister = nullptr;
    camera->writeRegister = nullptr;
    camera->readRegisters = nullptr;
    camera->writeRegisters = nullptr;
    camera->grabFrame = nullptr;
    camera->getFrameData = nullptr;
    camera->updateFrameSize = nullptr;
    camera->updateBufferSize = nullptr;
    camera->setMode = nullptr;
    camera->getMode = nullptr;
    camera->initTransport = nullptr;
    if (camera->context)
        camera->context->ops = {};
    record.regControl = nullptr;
    record.playCapable = nullptr;
    record.isViewfinder = nullptr;
    record.deviceName = nullptr;
}

} // namespace zentro
