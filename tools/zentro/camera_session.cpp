// Choosing, opening and closing the client's camera.
#include "camera_session.h"

#include <cstdlib>

#include "cli_error.h"
#include "install_paths.h"
#include "library_log.h"

namespace zcli {
namespace {

constexpr const char *kBoardVariable = "ZE_BOARD";

} // namespace

std::string boardAddress(const GlobalOptions &options)
{
    if (!options.board.empty())
        return options.board;
    const char *fromEnvironment = std::getenv(kBoardVariable);
    return fromEnvironment ? fromEnvironment : "";
}

std::unique_ptr<CameraSession> CameraSession::open(const GlobalOptions &options)
{
    std::unique_ptr<CameraSession> session(new CameraSession);
    session->sensorData_ =
        options.sensorData.empty() ? defaultSensorDataDirectory() : options.sensorData;
    if (!options.nullFile.empty()) {
        session->source_ = CameraSource::Null;
        session->description_ = "null camera on " + options.nullFile;
        session->openWith(ZE_TRANSPORT_NUL, options.nullFile, "");
        // A null camera answers register reads from the defaults its start loads.
        session->start();
        return session;
    }
    if (!options.recording.empty()) {
        session->source_ = CameraSource::Recording;
        session->description_ = "recording " + options.recording;
        session->openWith(ZE_TRANSPORT_RAW, options.recording, "");
        return session;
    }
    const std::string address = boardAddress(options);
    if (address.empty())
        usageError("no camera: give --board ADDRESS, --null FILE or --recording FILE, or set " +
                   std::string(kBoardVariable));
    session->source_ = CameraSource::Board;
    session->description_ = "board " + address;
    // The network plug-in reads the address from the environment when it opens.
    ::setenv(kBoardVariable, address.c_str(), 1);
    const std::string plugin = findNetworkPlugin();
    if (plugin.empty())
        throw CliError(kExitNoCamera,
                       "cannot find the network transport plug-in libqrbtransport.so "
                       "(set ZE_PLUGIN_DIR to the folder that holds it)");
    session->openWith(ZE_TRANSPORT_DLL, session->sensorData_, plugin);
    return session;
}

void CameraSession::openWith(uint32_t transport, const std::string &path, const std::string &plugin)
{
    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
    int count = 0;
    const int result = ze_OpenCameras2(cameras, &count, path.c_str(), transport, plugin.c_str());
    if (result != CAMERA_SUCCESS || count < 1) {
        if (count > 0)
            ze_CloseCameras2(cameras, count);
        throw CliError(kExitNoCamera, describeFailure("cannot open the " + description_,
                                                      result ? result : CAMERA_ERROR));
    }
    // Only the first camera is used; the others are released at once.
    if (count > 1)
        ze_CloseCameras2(cameras + 1, count - 1);
    camera_ = cameras[0];
}

CameraSession::~CameraSession()
{
    if (!camera_)
        return;
    // A board's stream outlives the session, as its camera does: the next command's grab
    // then needs no sensor reset, which would undo what the user set in between.
    if (started_ && source_ != CameraSource::Board)
        ze_stopTransport(camera_);
    ze_CloseCameras2(&camera_, 1);
}

ze_sensor_t &CameraSession::sensor() const
{
    if (!camera_->sensor)
        operationFailed("the sensor of the " + description_ +
                        " was not identified (check --sensor-data)");
    return *camera_->sensor;
}

void CameraSession::start()
{
    if (started_)
        return;
    const int result = ze_startTransport(camera_);
    if (result != CAMERA_SUCCESS)
        operationFailed(describeFailure("cannot start the " + description_, result));
    started_ = true;
}

} // namespace zcli
