// Paths of sensor-data files: the directory of a file, files named beside it, and the paths
// that callers hand the readers.
#ifndef ZENTRO_SENSOR_DATA_SENSOR_PATHS_H
#define ZENTRO_SENSOR_DATA_SENSOR_PATHS_H

#include <string>
#include <string_view>

#include "zentro_sensor.h"

namespace zentro {

// The directory part of @path ("" for a bare name).
std::string directoryOf(std::string_view path);

// A relative @path names a file beside the current sensor file of @sensor.
std::string pathBesideSensorFile(const ze_sensor_t *sensor, const char *path);

// @path with doubled directory separators collapsed (a leading pair stays); a bare name
// ending ".xsdat" that does not exist here is looked for in the sensor-data directory.
std::string normaliseSensorPath(std::string_view path);

} // namespace zentro

#endif // ZENTRO_SENSOR_DATA_SENSOR_PATHS_H
