// Where the client finds the network plug-in and the sensor-data files, relative to itself.
#pragma once

#include <string>

namespace zcli {

// The directory of the running executable ("" when it cannot be found).
std::string executableDirectory();

// The network transport plug-in: $ZE_PLUGIN_DIR, then the installed plug-in folder
// relative to the executable, then the build tree's lib folder. "" when none holds it.
std::string findNetworkPlugin();

// The desktop's sensor-data directory when none is given: <library home>/sensor_data when it
// exists, else the installed data folder relative to the executable.
std::string defaultSensorDataDirectory();

} // namespace zcli
