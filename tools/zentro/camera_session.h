// The one camera a command works on: chosen by the global options, opened and closed here.
#pragma once

#include <memory>
#include <string>

#include <zentro.h>

#include "arguments.h"

namespace zcli {

enum class CameraSource { Board, Null, Recording };

class CameraSession
{
public:
    // Opens the camera the options name (ZE_BOARD when none does). Throws a usage error when
    // no camera is named and kExitNoCamera when it cannot be opened.
    static std::unique_ptr<CameraSession> open(const GlobalOptions &options);
    ~CameraSession();
    CameraSession(const CameraSession &) = delete;
    CameraSession &operator=(const CameraSession &) = delete;

    ze_camera_t *camera() const { return camera_; }
    CameraSource source() const { return source_; }
    // What was opened, for messages: "board 10.0.0.2", "null camera x.sdat", ...
    const std::string &description() const { return description_; }
    const std::string &sensorDataDirectory() const { return sensorData_; }

    // The sensor record; throws (status 1) when the camera has none.
    ze_sensor_t &sensor() const;
    // Starts the camera's transport once (streaming, or the null camera's register defaults).
    void start();

private:
    CameraSession() = default;
    void openWith(uint32_t transport, const std::string &path, const std::string &plugin);

    ze_camera_t *camera_ = nullptr;
    CameraSource source_ = CameraSource::Null;
    std::string description_;
    std::string sensorData_;
    bool started_ = false;
};

// The board address the client would use: --board, else $ZE_BOARD ("" when neither).
std::string boardAddress(const GlobalOptions &options);

} // namespace zcli
