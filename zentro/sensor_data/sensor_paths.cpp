// Paths of sensor-data files: the directory of a file, files named beside it, and the paths
// that callers hand the readers.
#include "sensor_data/sensor_paths.h"

#include <cstring>

#include "sensor_data/lexer.h"
#include "zentro_config.h"
#include "zentro_osal.h"

namespace zentro {

namespace {

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

} // namespace

std::string directoryOf(std::string_view path)
{
    size_t separator = path.find_last_of("/\\");
    if (separator == std::string_view::npos)
        return {};
    return std::string(path.substr(0, separator == 0 ? 1 : separator));
}

namespace {

bool isAbsolute(std::string_view path)
{
    return !path.empty() && isSeparator(path.front());
}

bool hasXsdatExtension(std::string_view path)
{
    constexpr std::string_view kXsdat = ".xsdat";
    return path.size() >= kXsdat.size() &&
           equalsNoCase(path.substr(path.size() - kXsdat.size()), kXsdat);
}

} // namespace

std::string pathBesideSensorFile(const ze_sensor_t *sensor, const char *path)
{
    std::string directory = directoryOf(sensor->fileName);
    if (isAbsolute(path) || directory.empty())
        return path;
    std::string joined = directory;
    if (!isSeparator(joined.back()))
        joined += '/';
    joined += path;
    char full[OSAL_MAX_PATH];
    if (osal_fullpath(joined.c_str(), full, sizeof(full)) == 1 && strlen(full) < ZE_TEXT_SIZE)
        return full;
    return joined;
}

std::string normaliseSensorPath(std::string_view path)
{
    std::string cleaned;
    cleaned.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        // Doubled separators collapse, except a leading pair.
        if (i > 1 && isSeparator(path[i]) && isSeparator(cleaned.back()))
            continue;
        cleaned += path[i];
    }
    const bool bareName = cleaned.find_first_of("/\\") == std::string::npos;
    if (bareName && hasXsdatExtension(cleaned) && !osal_file_exists(cleaned.c_str())) {
        std::string inSensorData = std::string(ze_SensorData()) + "/" + cleaned;
        return inSensorData;
    }
    return cleaned;
}

} // namespace zentro
