// Library-wide configuration: board-configuration files, the start-up preset and the default sensor
// file.
#ifndef ZENTRO_CORE_CONFIG_H
#define ZENTRO_CORE_CONFIG_H

#include <cstdint>
#include <string>

#include "zentro_config.h"

namespace zentro {

// The name of the board-configuration file of a product: "ZE_%X.cfg".
std::string boardConfigFileName(uint32_t productId);

// The directory that holds the sensor-data files of @sensorPath: the path itself,
// or the directory of a ".sdat"/".xsdat" file.
std::string sensorDirectory(const std::string &sensorPath);

// Looks for the board-configuration file of @productId beside the library, in
// board_data folders, beside the program, beside the sensor-data files and below
// the home variables. Returns the first that exists; empty when none does.
std::string findBoardConfigFile(uint32_t productId, const std::string &sensorPath);

// The start-up preset: section "zentro" of apps_data/zentro.ini below the home.
std::string startupPresetPath();
inline constexpr const char *kStartupPresetSection = "zentro";

// Runs a preset section of an INI file without a camera; returns its result code.
using StartupPresetRunner = int (*)(const char *file, const char *section);

// Installs the function that runs the start-up preset (the preset interpreter).
void setStartupPresetRunner(StartupPresetRunner runner);

// Runs the start-up preset unless it has run in this process. Marked as run
// whatever the outcome. Returns false when it had run before.
bool runStartupPresetOnce();
bool startupPresetHasRun();

// The default sensor-data file, named by the start-up preset; empty when none.
std::string defaultSensorFile();
void setDefaultSensorFile(const std::string &path);

} // namespace zentro

#endif // ZENTRO_CORE_CONFIG_H
