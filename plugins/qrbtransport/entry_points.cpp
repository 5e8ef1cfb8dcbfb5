// Entry points: helpers, opening (board link, camera, sensor) and closing a board camera,
// device name, transport start and stop.
#include "entry_points.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "board_config.h"
#include "plugin_support.h"
#include "zentro_errors.h"

using namespace zentro::qrb;

namespace {

// The sensor path with which the library opens cameras without identifying a sensor.
constexpr const char *kNoSensorPath = "#CDAT";

std::string ownFile()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&OpenCameraDLL), &info) == 0 || !info.dli_fname)
        return "libqrbtransport.so";
    return info.dli_fname;
}

std::string baseName(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isDirectory(const char *path)
{
    struct stat status {
    };
    return ::stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

bool isFile(const std::string &path)
{
    struct stat status {
    };
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

void describeCamera(ze_camera_t *camera, const CameraDescription &board, const std::string &where)
{
    camera->productVersion = board.productVersion;
    camera->firmwareVersion = board.firmwareVersion;
    std::snprintf(camera->productName, ZE_TEXT_SIZE, "%s", board.productName.c_str());
    std::snprintf(camera->productSerialNumber, ZE_TEXT_SIZE, "%s",
                  board.productSerialNumber.c_str());
    const size_t used = strnlen(camera->transportName, ZE_TEXT_SIZE - 1);
    std::snprintf(camera->transportName + used, ZE_TEXT_SIZE - used, "Network (%s)", where.c_str());
}

// Identifies the sensor on this side: the file the board identified, found by its name in the
// sensor-data directory @sensorPath, else a search of that directory over the board's bus.
int identifySensor(ze_camera_t *camera, const char *sensorPath, const std::string &boardFile)
{
    if (sensorPath != nullptr && !boardFile.empty() && isDirectory(sensorPath)) {
        const std::string named = std::string(sensorPath) + "/" + baseName(boardFile);
        if (isFile(named))
            return g_helpers->getSensor(camera, named.c_str());
    }
    return g_helpers->getSensor(camera, sensorPath);
}

// The board camera's sensor record follows the one identified here unless the board
// identified the same file: board-side grabs size their buffers from it.
int shareSensor(ze_camera_t *camera, RemoteCamera &remote, const std::string &boardFile)
{
    const ze_sensor_t *sensor = camera->sensor;
    if (sensor == nullptr ||
        (!boardFile.empty() && baseName(boardFile) == baseName(sensor->fileName)))
        return CAMERA_SUCCESS;
    return remoteCall(camera, "OpenCameraDLL", [&](RemoteCamera &r) -> int {
        QJsonObject request = sensorRequest(r.device(), *sensor);
        const int result = replyResult(r.client().call(request));
        if (result == CAMERA_SUCCESS)
            remote.rememberSensor(std::move(request));
        return result;
    });
}

int openCamera(ze_camera_t *camera, const char *sensorPath, int index)
{
    const BoardSetting setting = configuredBoard(ownFile());
    // No board configured: no camera, and nothing to say (the automatic plug-in search
    // tries every plug-in on every desktop).
    if (setting.text.empty() || g_helpers == nullptr)
        return CAMERA_ERROR;
    const auto address = parseBoardAddress(setting.text);
    if (!address)
        return logError(CAMERA_ERROR,
                        "Invalid board address \"" + setting.text + "\" in " + setting.source +
                            " (expected HOST or HOST:PORT)",
                        "OpenCameraDLL", __LINE__);
    auto board = boardAt(*address, configuredTimeouts());
    OpenCamerasReply opened;
    try {
        std::lock_guard lock(board->mutex);
        opened = board->client.openCameras();
    } catch (const Error &error) {
        return logError(linkFailureCode(error), "Board " + address->text() + ": " + error.what(),
                        "OpenCameraDLL", __LINE__);
    }
    if (opened.retVal != CAMERA_SUCCESS)
        return logError(opened.retVal,
                        "The board at " + address->text() + " could not open its cameras",
                        "OpenCameraDLL", __LINE__);
    // The plug-in serves as many cameras as the board lists.
    if (index < 0 || static_cast<size_t>(index) >= opened.cameras.size())
        return CAMERA_ERROR;
    const CameraDescription &description = opened.cameras[static_cast<size_t>(index)];
    auto remote = std::make_unique<RemoteCamera>(board, description.deviceName);
    describeCamera(camera, description, address->text());
    if (!storeRemoteCamera(camera, remote.get()))
        return CAMERA_ERROR;
    // A refused open is released without CloseCameraDLL: nothing may stay behind then.
    auto refuse = [&](int code) {
        storeRemoteCamera(camera, nullptr);
        return code;
    };
    if (sensorPath != nullptr && std::strcmp(sensorPath, kNoSensorPath) == 0) {
        remote.release();
        return CAMERA_SUCCESS;
    }
    g_helpers->parseBoardConfigFile(camera, sensorPath);
    if (const int rc = identifySensor(camera, sensorPath, description.sensorFileName);
        rc != CAMERA_SUCCESS)
        return refuse(logError(rc, "No matching sdat", "OpenCameraDLL", __LINE__));
    if (const int rc = shareSensor(camera, *remote, description.sensorFileName);
        rc != CAMERA_SUCCESS)
        return refuse(logError(rc,
                               "The board at " + address->text() + " refused the sensor " +
                                   camera->sensor->fileName,
                               "OpenCameraDLL", __LINE__));
    remote.release();
    return CAMERA_SUCCESS;
}

} // namespace

QRB_EXPORT int SetHelpersDLL(const ze_plugin_helpers_t *helpers)
{
    g_helpers = helpers;
    return CAMERA_SUCCESS;
}

QRB_EXPORT int OpenCameraDLL(ze_camera_t *camera, const char *sensorPath, int index)
{
    try {
        return openCamera(camera, sensorPath, index);
    } catch (const std::exception &error) {
        return logError(CAMERA_ERROR, std::string("Board camera: ") + error.what(), "OpenCameraDLL",
                        __LINE__);
    }
}

// The board server owns its cameras for every client: a desktop session that ends leaves the
// board's camera open and streaming, so what one session set (registers, presets, modes) is
// still there for the next one, and a grab does not need the sensor reset that a fresh
// stream start takes on the board.
QRB_EXPORT int CloseCameraDLL(ze_camera_t *camera)
{
    const std::unique_ptr<RemoteCamera> remote(remoteCamera(camera));
    if (remote)
        storeRemoteCamera(camera, nullptr);
    return CAMERA_SUCCESS;
}

QRB_EXPORT const char *GetDeviceNameDLL(ze_camera_t *camera)
{
    const RemoteCamera *remote = remoteCamera(camera);
    return remote ? remote->lockName() : nullptr;
}

QRB_EXPORT int StartTransportDLL(ze_camera_t *camera)
{
    return remoteCall(camera, "StartTransportDLL", [](RemoteCamera &r) -> int {
        const int result = r.client().startTransport(r.device());
        if (result == CAMERA_SUCCESS)
            r.rememberTransportStarted(true);
        return result;
    });
}

QRB_EXPORT int StopTransportDLL(ze_camera_t *camera)
{
    return remoteCall(camera, "StopTransportDLL", [](RemoteCamera &r) -> int {
        const int result = r.client().stopTransport(r.device());
        if (result == CAMERA_SUCCESS)
            r.rememberTransportStarted(false);
        return result;
    });
}
