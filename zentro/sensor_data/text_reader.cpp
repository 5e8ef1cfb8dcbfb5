// The text sensor-data reader: entry point, section loop, finishing steps and syntax errors.
#include "sensor_data/text_reader.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "camera/context.h"
#include "core/log.h"
#include "osal/handles.h"
#include "sensor_data/data_file.h"
#include "sensor_data/sensor_record.h"
#include "sensor_data/xml_reader.h"
#include "zentro_osal.h"
#include "zentro_sensor_data.h"

namespace zentro {

namespace {

// Files larger than this are not sensor-data files; refusing them keeps memory bounded.
// Two-wire speed a file asks for when it names none (kHz).
constexpr uint32_t kDefaultShipSpeed = 400;
constexpr int kStartSdatVersion = 1;

constexpr std::string_view kXmlStart = "<?xml";
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Sensor type codes whose files start with far access off.
constexpr std::array<uint32_t, 4> kTypesWithoutFarAccess = {71, 103, 110, 111};
// Sensor type codes whose version name reads "ES<version>" rather than "REV<version>".
constexpr std::array<uint32_t, 6> kTypesWithEsVersion = {3, 7, 8, 9, 10, 12};
// Sensor type codes of system-on-chip sensors (code 19 only with YCbCr output).
constexpr std::array<uint32_t, 47> kSocTypes = {
    5,  6,  8,   10,  14,  16,  20,  23,  24,  26,  29,  35,  37,  38,  39, 44,
    45, 46, 47,  54,  55,  56,  61,  62,  66,  68,  71,  72,  74,  75,  76, 79,
    95, 99, 103, 104, 106, 111, 115, 120, 127, 128, 129, 147, 152, 159, 176};
constexpr uint32_t kTypeSocWhenYcbcr = 19;
constexpr uint32_t kImageTypeYcbcr = 5;

std::atomic<EarlyIdentityCheck> gEarlyIdentityCheck{nullptr};

// True for a path whose extension is ".sdat" or ".xsdat" (case-insensitive).
bool hasSensorDataExtension(std::string_view path)
{
    size_t dot = path.find_last_of('.');
    size_t separator = path.find_last_of("/\\");
    if (dot == std::string_view::npos || (separator != std::string_view::npos && separator > dot))
        return false;
    std::string_view extension = path.substr(dot);
    return equalsNoCase(extension, ".sdat") || equalsNoCase(extension, ".xsdat");
}

bool isXmlText(std::string_view text)
{
    if (text.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark)
        text.remove_prefix(kUtf8ByteOrderMark.size());
    return text.substr(0, kXmlStart.size()) == kXmlStart;
}

void logInformation(const std::string &message)
{
    ze_Msglog(ZE_LOG_GENERAL, message.c_str(), __FILE__, __func__, __LINE__);
}

// Skips an unknown section to its "[END]".
int skipUnknownSection(SensorFileReader &reader, std::string_view header)
{
    reader.syntaxError(UKNOWN_SECTION_ERROR, header);
    std::string_view line;
    while (reader.nextSectionLine(kRegisterLineLimit, line)) {
    }
    return PARSE_SUCCESS;
}

struct SectionReader {
    std::string_view name;
    int (*read)(SensorFileReader &reader);
};

constexpr std::array<SectionReader, 5> kSections = {{
    {"CHIP_DESCRIPTOR", readDescriptorSection},
    {"OPTIONAL", readOptionalSection},
    {"ADDR_SPACE", readAddrSpaceSection},
    {"REGISTERS", readRegisterSection},
    {"SUBDEVICES", readSubdeviceSection},
}};

int readSection(SensorFileReader &reader, std::string_view name, std::string_view header)
{
    for (const SectionReader &section : kSections) {
        if (equalsNoCase(section.name, name))
            return section.read(reader);
    }
    return skipUnknownSection(reader, header);
}

// Reads every section to the end of the file; stops at the first section that fails.
int readSections(SensorFileReader &reader)
{
    std::string_view line;
    while (reader.lines.next(kRegisterLineLimit, line)) {
        if (isSkippedLine(line) || isSectionEnd(line))
            continue;
        // Lines between sections that are not section headers are skipped.
        auto name = sectionHeader(line);
        if (!name)
            continue;
        int code = readSection(reader, *name, line);
        if (code != PARSE_SUCCESS)
            return code;
    }
    return PARSE_SUCCESS;
}

void applyInitialModes(ze_camera_t *camera, const ze_sensor_t *sensor)
{
    if (isOneOf(kTypesWithoutFarAccess, sensor->sensorType))
        setStoredMode(camera, ZE_ALLOW_FAR_ACCESS, 0);
    if (sensor->sensorType == kTypeMiddle12)
        setStoredMode(camera, ZE_MIDDLE_12, 1);
}

void fillVersionName(ze_sensor_t *sensor)
{
    if (sensor->versionName[0])
        return;
    const char *format = isOneOf(kTypesWithEsVersion, sensor->sensorType) ? "ES%u" : "REV%u";
    snprintf(sensor->versionName, sizeof(sensor->versionName), format, sensor->sensorVersion);
}

int parseTextFile(ze_camera_t *camera, const char *path, ze_sensor_t *sensor, std::string_view text)
{
    logInformation(std::string("parsing file ") + path);
    SensorFileReader reader(camera, sensor, text);
    int code = readSections(reader);
    registersChanged(camera);
    if (code != PARSE_SUCCESS)
        return ZE_ERRORLOGF(code, "reading sensor-data file %s failed", path);
    // A file without descriptor is not a sensor-data file; identification meets many.
    if (!reader.descriptorRead)
        return CHIP_DESC_ERROR;
    return finishSensorFile(camera, sensor);
}

int parseSensorFile(ze_camera_t *camera, const char *path, ze_sensor_t *sensor)
{
    std::string text;
    int code = readDataFile(path, text);
    if (code != PARSE_SUCCESS)
        return code;
    if (!sensor) {
        if (!camera->sensor && ze_AllocSensor(camera) != CAMERA_SUCCESS)
            return CAMERA_ERROR;
        sensor = camera->sensor;
    }
    resetSensorRecord(sensor, path);
    registersChanged(camera);
    resetIdentification(camera);
    if (isXmlText(text))
        return readXmlSensorFile(camera, path, sensor);
    return parseTextFile(camera, path, sensor, text);
}

} // namespace

int finishSensorFile(ze_camera_t *camera, ze_sensor_t *sensor)
{
    initGlobalContext(camera);
    applyInitialModes(camera, sensor);
    fillVersionName(sensor);
    return PARSE_SUCCESS;
}

void setEarlyIdentityCheck(EarlyIdentityCheck check)
{
    gEarlyIdentityCheck.store(check);
}

EarlyIdentityCheck earlyIdentityCheck()
{
    return gEarlyIdentityCheck.load();
}

bool isSocSensor(const ze_sensor_t *sensor)
{
    if (!sensor)
        return false;
    if (sensor->sensorType == kTypeSocWhenYcbcr)
        return sensor->imageType == kImageTypeYcbcr;
    return isOneOf(kSocTypes, sensor->sensorType);
}

void resetIdentification(ze_camera_t *camera)
{
    ze_common_context_t *context = camera->context;
    IdentData &ident = context->ident;
    // The probe state and the absent addresses belong to the running search.
    const uint32_t probing = ident.probing;
    const SocWish socWish = ident.socWish;
    const uint32_t wantedAddrSize = ident.wantedAddrSize;
    uint32_t absentMap[sizeof(ident.absentMap) / sizeof(ident.absentMap[0])];
    memcpy(absentMap, ident.absentMap, sizeof(absentMap));

    memset(&ident, 0, sizeof(ident));
    ident.probing = probing;
    ident.socWish = socWish;
    ident.wantedAddrSize = wantedAddrSize;
    memcpy(ident.absentMap, absentMap, sizeof(absentMap));
    ident.shipSpeed = kDefaultShipSpeed;
    ident.groupCount = 1;
    for (SavedVersionWrite &saved : ident.saved)
        saved.regIndex = -1;
    context->sdatVersion = kStartSdatVersion;
}

int SensorFileReader::syntaxError(int code, std::string_view text, const char *source,
                                  const char *function, int line)
{
    std::string lineText(text);
    return ze_syntaxerror(code, lineText.c_str(), sensor->fileName, lines.lineNumber(), source,
                          function, line);
}

bool SensorFileReader::nextSectionLine(size_t limit, std::string_view &line)
{
    while (lines.next(limit, line)) {
        if (isSectionEnd(line))
            return false;
        if (!isSkippedLine(line))
            return true;
    }
    return false;
}

} // namespace zentro

extern "C" {

ZE_API int ze_ParseSensorFile(ze_camera_t *camera, const char *path, ze_sensor_t *sensor)
{
    if (!camera || !path || !zentro::hasSensorDataExtension(path))
        return CAMERA_ERROR;
    if (!camera->context)
        return ZE_ERRORLOG(CAMERA_ERROR, "Must have a valid pCamera->context");
    try {
        return zentro::parseSensorFile(camera, path, sensor);
    } catch (const std::bad_alloc &) {
        return ZE_ERRORLOGF(CAMERA_ERROR, "out of memory reading sensor-data file %s", path);
    }
}

ZE_API int ze_syntaxerror(int code, const char *line, const char *file, int lineNo,
                          const char *source, const char *function, int sourceLine)
{
    return zentro::errorlogf(code, ZE_LEVEL_FROM_TABLE, source, function, sourceLine, "%s in %s:%d",
                             line ? line : "", file ? file : "", lineNo);
}

ZE_API int ze_IsSOC(ze_camera_t *camera)
{
    return camera && zentro::isSocSensor(camera->sensor) ? 1 : 0;
}

} // extern "C"
