// The default preset file of a sensor: beside its sensor-data file, named after the file, the
// part number or part number and version, else the same in the apps_data folder.
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "camera/context.h"
#include "zentro.h"

namespace zentro::presets {

namespace {

bool exists(const std::string &path)
{
    return osal_get_file_attributes(path.c_str()) != 0xFFFFFFFFu;
}

// @text with the first @from replaced by @to (unchanged when @from is absent or empty).
std::string replaceFirst(std::string text, const std::string &from, const std::string &to)
{
    const size_t position = from.empty() ? std::string::npos : text.find(from);
    if (position != std::string::npos)
        text.replace(position, from.size(), to);
    return text;
}

std::string directoryOf(const std::string &path)
{
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// Part numbers of the sensor's part-number list that hold unconditionally: entries without a
// register or serial-bus test.
std::vector<std::string> listedPartNumbers(ze_camera_t *camera)
{
    std::vector<std::string> names;
    const NamedIdentList &list = camera->context->ident.named[PartNumbers];
    for (int32_t i = 0; i < list.count && i < kMaxNamedEntries; ++i) {
        const NamedIdentEntry &entry = list.entries[i];
        if (entry.regName[0] == '\0' && entry.serial.base == 0 && entry.name[0] != '\0')
            names.emplace_back(entry.name, strnlen(entry.name, sizeof(entry.name)));
    }
    return names;
}

// Candidates (b) to (g) after the path itself; @path is updated with the "-DEV." replacement.
std::vector<std::string> candidates(ze_camera_t *camera, std::string &path)
{
    const ze_sensor_t &sensor = *camera->sensor;
    const std::string sensorName = sensor.name;
    std::vector<std::string> list{path};
    path = path.find("-DEV.") != std::string::npos ? replaceFirst(path, "-DEV.", ".")
                                                   : replaceFirst(path, "-dev.", ".");
    list.push_back(path);
    std::vector<std::string> partNumbers{sensor.partNumber};
    for (const std::string &listed : listedPartNumbers(camera))
        partNumbers.push_back(listed);
    // Part numbers of 8 or more characters are also tried by their first 8, the length of
    // older file names.
    constexpr size_t kShortPartNumber = 8;
    for (const std::string &partNumber : partNumbers) {
        if (partNumber.empty())
            continue;
        list.push_back(replaceFirst(path, sensorName, partNumber));
        if (partNumber.size() >= kShortPartNumber)
            list.push_back(replaceFirst(path, sensorName, partNumber.substr(0, kShortPartNumber)));
    }
    for (const std::string &partNumber : partNumbers) {
        if (!partNumber.empty())
            list.push_back(directoryOf(path) + partNumber + "-" + sensor.versionName + ".ini");
    }
    return list;
}

// The first candidate that exists for a sensor-data path; @last receives the path itself
// after the "-DEV." replacement.
std::optional<std::string> firstExisting(ze_camera_t *camera, const std::string &sensorPath,
                                         std::string &last)
{
    std::string path = replaceFirst(replaceFirst(sensorPath, ".xsdat", ".ini"), ".sdat", ".ini");
    for (const std::string &candidate : candidates(camera, path)) {
        if (exists(candidate))
            return candidate;
    }
    last = path;
    return std::nullopt;
}

std::string defaultIniFile(ze_camera_t *camera)
{
    const std::string sensorPath = camera->sensor->fileName;
    if (sensorPath.find(".sdat") == std::string::npos &&
        sensorPath.find(".xsdat") == std::string::npos) {
        const size_t dot = sensorPath.rfind('.');
        const std::string ini =
            (dot == std::string::npos ? sensorPath : sensorPath.substr(0, dot)) + ".ini";
        const std::string info = replaceFirst(ini, ".ini", "_info.txt");
        return !exists(ini) && exists(info) ? info : ini;
    }
    std::string last;
    if (std::optional<std::string> found = firstExisting(camera, sensorPath, last))
        return *found;
    if (sensorPath.find("sensor_data") != std::string::npos) {
        std::string ignored;
        if (std::optional<std::string> found = firstExisting(
                camera, replaceFirst(sensorPath, "sensor_data", "apps_data"), ignored))
            return *found;
    }
    return last;
}

} // namespace

} // namespace zentro::presets

extern "C" {

ZE_API int ze_DefaultIniFile(ze_camera_t *camera, char *buffer, uint32_t length)
{
    if (!buffer || length == 0)
        return CAMERA_ERROR;
    buffer[0] = '\0';
    if (!camera || !camera->sensor || !camera->context)
        return CAMERA_ERROR;
    try {
        const std::string name = zentro::presets::defaultIniFile(camera);
        // A cut name would name another file.
        if (name.size() >= length)
            return CAMERA_ERROR;
        memcpy(buffer, name.c_str(), name.size() + 1);
        return CAMERA_SUCCESS;
    } catch (const std::bad_alloc &) {
        return CAMERA_ERROR;
    }
}

} // extern "C"
