// Loads the recorded sensor's data file into a playback camera and replays its register values.
#include "transport/raw_recorded_sensor.h"

#include <filesystem>
#include <sys/stat.h>

#include "core/log.h"
#include "registers/cache.h"
#include "transport/raw_description.h"
#include "transport/raw_sensor.h"
#include "zentro_config.h"
#include "zentro_reg.h"
#include "zentro_reg_access.h"
#include "zentro_sensor.h"
#include "zentro_sensor_data.h"

namespace {

// Register names of the recorded sensor begin with this prefix and a ".".
constexpr char kRecordedName[] = "SENSOR";
// A second device gets a name of its own: under the same prefix its registers would be
// hidden behind those of the first.
constexpr char kAttachedName[] = "FAR2";
constexpr char kConfigurationsDir[] = "configurations";

bool isRegularFile(const std::string &path)
{
    struct stat info {
    };
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The last component of @name; recordings made on other systems may use "\" as separator.
std::string lastComponent(const std::string &name)
{
    const size_t separator = name.find_last_of("/\\");
    return separator == std::string::npos ? name : name.substr(separator + 1);
}

std::string directoryOf(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The first existing file among the places a recorded sensor's file is looked for; empty
// when there is none. The result is absolute: the far-file reader would otherwise take a
// relative name from the recording's directory rather than from the working directory.
std::string findSensorFile(const std::string &name, const std::string &rawPath)
{
    const std::string component = lastComponent(name);
    const std::string sensorData = ze_SensorData();
    const std::string candidates[] = {
        name,
        directoryOf(rawPath) + "/" + component,
        sensorData + "/" + component,
        sensorData + "/" + kConfigurationsDir + "/" + component,
    };
    for (const std::string &candidate : candidates) {
        if (component.empty() || !isRegularFile(candidate))
            continue;
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(candidate, error);
        return error ? candidate : absolute.string();
    }
    return {};
}

void attachSensorFile(ze_camera_t *camera, const zentro::RawSensorFileLine &line,
                      const std::string &rawPath)
{
    ze_sensor_t *sensor = camera->sensor;
    // A device attached to the recorded sensor only makes sense once that sensor is there.
    if (line.attached != (sensor->farSensor1 != nullptr) || sensor->farSensor2)
        return;
    const std::string path = findSensorFile(line.name, rawPath);
    if (path.empty()) {
        ZE_ERRORLOGF(PARSE_FILE_ERROR,
                     "Recorded sensor file `%s` not found as named, beside `%s` or in `%s`",
                     line.name.c_str(), rawPath.c_str(), ze_SensorData());
        return;
    }
    const bool first = sensor->farSensor1 == nullptr;
    const int code =
        ze_ParseFarSensorFile(camera, first ? kRecordedName : kAttachedName,
                              first ? ZE_SPACE_FAR1 : ZE_SPACE_FAR2, 0, path.c_str(), sensor);
    if (code != PARSE_SUCCESS)
        ZE_ERRORLOGF(code, "Couldn't load recorded sensor file `%s`", path.c_str());
}

void writeRecordedValue(ze_camera_t *camera, const zentro::RawRecordedValue &recorded,
                        const char *sensorFile)
{
    const std::string name = std::string(kRecordedName) + "." + recorded.name;
    if (!ze_ExistsRegister(camera, name.c_str())) {
        ZE_ERRORLOGF(PARSE_REG_ERROR, "Line %zu: recorded register `%s` is not in `%s`",
                     recorded.line, recorded.name.c_str(), sensorFile);
        return;
    }
    const int code = ze_WriteSensorRegStr(camera, name.c_str(), nullptr, recorded.value);
    if (code != CAMERA_SUCCESS)
        ZE_ERRORLOGF(code, "Line %zu: couldn't restore `%s` to 0x%X", recorded.line, name.c_str(),
                     recorded.value);
}

} // namespace

namespace zentro {

void restoreRecordedSensor(ze_camera_t *camera, const std::string &rawPath,
                           const std::string &descriptionPath)
{
    std::string text;
    std::string error;
    RawRecordedSensor recorded;
    if (!readRawDescriptionFile(descriptionPath, text, error) ||
        !parseRawRecordedSensor(text, recorded, error)) {
        ZE_ERRORLOGF(PARSE_FILE_ERROR, "%s", error.c_str());
        return;
    }
    for (const RawSensorFileLine &line : recorded.files)
        attachSensorFile(camera, line, rawPath);
    const ze_sensor_t *far = camera->sensor->farSensor1;
    if (!far)
        return;
    // With no hardware behind it, the recorded sensor's registers live in the cache: they
    // start at the sensor file's defaults. The playback registers stay live.
    loadCacheDefaults(camera);
    invalidateCacheRange(camera, ZE_SPACE_REG, 0, 0, kRawRegisterCount);
    for (const std::string &problem : recorded.problems)
        ZE_ERRORLOGF(PARSE_REG_ERROR, "%s in `%s`", problem.c_str(), descriptionPath.c_str());
    for (const RawRecordedValue &value : recorded.values)
        writeRecordedValue(camera, value, far->fileName);
}

} // namespace zentro
