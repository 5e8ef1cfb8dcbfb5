// What the tests of libcsitransport share: a library home with the board's clock script, the
// camera opened through the real plug-in, the library's log and the board's GPIO lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <memory>

#include "sim_board.h"
#include "zentro.h"

namespace csi::testing {

// The plug-in file the tests load, and the sample sensor-data directory.
inline const std::string kPluginPath = CSITRANSPORT_PLUGIN;
inline const std::string kSensorDataDir = SAMPLE_SENSOR_DIR;

// The test program's library home (ZE_HOME) is an empty folder made before the first test; the
// board answers the clock script the plug-in runs from its scripts folder.

// The one camera the plug-in opens on the current simulated board, closed at scope end.
class PluginCamera
{
public:
    explicit PluginCamera(const std::string &sensorPath = kSensorDataDir);
    ~PluginCamera();
    PluginCamera(const PluginCamera &) = delete;
    PluginCamera &operator=(const PluginCamera &) = delete;

    ze_camera_t *get() const { return count > 0 ? cameras[0] : nullptr; }
    ze_camera_t *operator->() const { return get(); }

    int result = 0;
    int count = 0;
    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
};

// A fresh simulated board with the camera opened on it for each test.
class OpenedCameraTest : public ::testing::Test
{
protected:
    void SetUp() override;
    ze_camera_t *camera() const { return camera_->get(); }

    boardsim::testing::SimBoard board_;
    std::unique_ptr<PluginCamera> camera_;
};

// The library's error log for the scope of the object: the messages logged.
class LoggedErrors
{
public:
    LoggedErrors();
    ~LoggedErrors();
    LoggedErrors(const LoggedErrors &) = delete;
    LoggedErrors &operator=(const LoggedErrors &) = delete;
    std::vector<std::string> messages() const;
};

// Level and direction ("1 out") of GPIO line @offset in the board's gpio.state; "" when the
// line was never used.
std::string gpioLine(const boardsim::testing::SimBoard &board, unsigned offset);

// The argument of each run of the board's clock script, from the board's bus.log ("CLOCK
// <argument>", with " FAILED" when the script failed).
std::vector<std::string> clockRuns(const boardsim::testing::SimBoard &board);

} // namespace csi::testing
