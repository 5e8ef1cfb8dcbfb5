// Identifying the attached sensor: its sensor-data file found among the files of a
// directory in three passes, or read from the file it was given.
#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "camera/context.h"
#include "camera/transport_table.h"
#include "core/config.h"
#include "core/log.h"
#include "identify/sensor_match.h"
#include "osal/handles.h"
#include "sensor_data/early_identity_check.h"
#include "sensor_data/sensor_record.h"
#include "zentro_errors.h"
#include "zentro_identify.h"
#include "zentro_modes.h"
#include "zentro_osal.h"
#include "zentro_sensor_data.h"

namespace zentro {

namespace {

constexpr const char *kCandidatePattern = "*.*sdat";
constexpr uint32_t kNarrowAddrSize = 8;
constexpr uint32_t kWideAddrSize = 16;
constexpr uint32_t kWidestAddrSize = 32;

// One pass of the search: the kind of sensor and the register address size it accepts.
struct SearchPass {
    SocWish socWish;
    uint32_t addrSize;
};
constexpr SearchPass kPasses[] = {
    {SocWish::Any, kWideAddrSize},
    {SocWish::NonSocOnly, kNarrowAddrSize},
    {SocWish::SocOnly, kNarrowAddrSize},
};

void debugLine(const char *text)
{
    ZE_MSGLOG(ZE_LOG_DEBUG, text);
}

// The candidate files of @directory, by name so that a directory always gives the same
// answer (a text file and its XML twin: the ".sdat" comes first).
std::vector<std::string> candidateFiles(const std::string &directory)
{
    std::vector<std::string> names;
    std::unique_ptr<osal_find_t, Deleter<osal_find_t, osal_close_find_file>> finder(
        osal_open_find_file(directory.c_str()));
    if (!finder)
        return names;
    for (int found = osal_find_first_file(finder.get(), kCandidatePattern); found;
         found = osal_find_next_file(finder.get()))
        names.emplace_back(finder->name);
    std::sort(names.begin(), names.end());
    return names;
}

std::string joinPath(const std::string &directory, const std::string &name)
{
    if (!directory.empty() && (directory.back() == '/' || directory.back() == '\\'))
        return directory + name;
    return directory + "/" + name;
}

// The probe state the reader's early rejects look at, set while one candidate is read.
class ProbeState
{
public:
    ProbeState(ze_camera_t *camera, const SearchPass &pass) : ident_(camera->context->ident)
    {
        ident_.probing = 1;
        ident_.socWish = pass.socWish;
        ident_.wantedAddrSize = pass.addrSize;
    }
    ~ProbeState()
    {
        ident_.probing = 0;
        ident_.socWish = SocWish::Any;
        ident_.wantedAddrSize = 0;
    }
    ProbeState(const ProbeState &) = delete;
    ProbeState &operator=(const ProbeState &) = delete;

private:
    IdentData &ident_;
};

// The early check the reader runs once the chip version of a candidate is known: the
// chip version only, the groups need registers that may come later in the file.
bool chipVersionMatchesEarly(ze_camera_t *camera)
{
    return checkSensorMatch(camera, true);
}

// Why a read candidate is not the attached sensor; nothing when it is.
const char *rejection(ze_camera_t *camera, int parsed, const SearchPass &pass, std::string &buffer)
{
    if (parsed != PARSE_SUCCESS)
        return "No match because parse failed";
    const bool soc = ze_IsSOC(camera) != 0;
    if (pass.socWish == SocWish::SocOnly && !soc)
        return "No match because want SOC and file is not SOC";
    if (pass.socWish == SocWish::NonSocOnly && soc)
        return "No match because don't want SOC and file is SOC";
    const uint32_t size = camera->sensor->regAddrSize;
    // A wish for 16 bits takes 32-bit files too.
    if (pass.addrSize != 0 && size != pass.addrSize &&
        !(pass.addrSize == kWideAddrSize && size == kWidestAddrSize)) {
        buffer = "No match because want addr size " + std::to_string(pass.addrSize) +
                 " and sensor is " + std::to_string(size);
        return buffer.c_str();
    }
    initGlobalContext(camera);
    if (!checkSensorMatch(camera, false))
        return "No match because SHIP base addr/version reg/fuseID";
    return nullptr;
}

// Leaves nothing of a rejected candidate in the camera but an empty sensor record.
void forgetCandidate(ze_camera_t *camera)
{
    ze_DestructSensor(camera->sensor);
    registersChanged(camera);
    releaseSharedContext(camera);
}

void announceMatch(const std::string &path)
{
    if (!ze_isInfoLogEnabled())
        return;
    const std::string text = "\n\nFound matching sdat: " + path;
    ZE_MSGLOG(ZE_LOG_GENERAL, text.c_str());
}

// One pass over the candidates of @directory.
int findMatch(ze_camera_t *camera, const std::string &directory, const SearchPass &pass)
{
    const std::vector<std::string> names = candidateFiles(directory);
    if (names.empty())
        return ZE_ERRORLOGF(SENSOR_DOES_NOT_MATCH, "No sdat files found in `%s`",
                            directory.c_str());
    std::string reason;
    for (const std::string &name : names) {
        if (probeCancelled())
            return ZE_ERRORLOG(CAMERA_ERROR, "Sensor data file search cancelled before completing");
        const std::string path = joinPath(directory, name);
        int parsed;
        {
            ProbeState probe(camera, pass);
            parsed = ze_ParseSensorFile(camera, path.c_str(), camera->sensor);
        }
        if (const char *why = rejection(camera, parsed, pass, reason)) {
            debugLine(why);
            forgetCandidate(camera);
            continue;
        }
        announceMatch(path);
        camera->context->ident.clearAbsentMap();
        ze_DetectPartNumber(camera);
        return CAMERA_SUCCESS;
    }
    return ZE_ERRORLOG(SENSOR_DOES_NOT_MATCH, pass.socWish == SocWish::NonSocOnly
                                                  ? "No matches found ignoring SOC"
                                                  : "\n\nNo matches found");
}

// The serial bus of the identified sensor: SPI for a base address with bit 0x100, and
// the file's speed for it when it gives one.
void setUpBusAccess(ze_camera_t *camera)
{
    const IdentData &ident = camera->context->ident;
    const bool spi = (camera->sensor->shipBaseAddr & kSpiBaseAddrBit) != 0;
    ze_setMode(camera, ZE_SHIP_TO_SPI, spi ? 1 : 0);
    if (spi && ident.spiSpeed != 0)
        ze_setMode(camera, ZE_SPI_SPEED, ident.spiSpeed);
    else if (!spi && ident.shipSpeed != 0)
        ze_setMode(camera, ZE_SHIP_SPEED, ident.shipSpeed);
}

// A named file is taken as it is, without tests.
int loadNamedFile(ze_camera_t *camera, const char *path)
{
    if (ze_ParseSensorFile(camera, path, camera->sensor) != PARSE_SUCCESS) {
        releaseSensorRecord(camera);
        return ZE_ERRORLOGF(SENSOR_FILE_PARSE_ERROR, "Couldn't read sensor data file %s", path);
    }
    initGlobalContext(camera);
    setUpBusAccess(camera);
    ze_updateFrameSize(camera, camera->sensor->imageWidth, camera->sensor->imageHeight, 0, 0);
    return CAMERA_SUCCESS;
}

int searchDirectory(ze_camera_t *camera, const std::string &directory)
{
    int result = SENSOR_DOES_NOT_MATCH;
    for (size_t i = 0; i < std::size(kPasses); ++i) {
        result = findMatch(camera, directory, kPasses[i]);
        if (result == CAMERA_SUCCESS)
            return CAMERA_SUCCESS;
        if (result != SENSOR_DOES_NOT_MATCH) {
            releaseSensorRecord(camera);
            // The last pass's failure has been logged once already.
            if (i + 1 < std::size(kPasses))
                ze_Errorlog(result, ZE_LEVEL_FROM_TABLE, "Sensor identification failed", __FILE__,
                            __func__, __LINE__);
            return result;
        }
    }
    return SENSOR_DOES_NOT_MATCH;
}

// @path identified from step 1 on; @mayUseDefault lets a directory without a match fall
// back to the default sensor-data file (once: the default file gets no fallback itself).
int identify(ze_camera_t *camera, const char *path, bool mayUseDefault)
{
    if (!path || !path[0])
        return CAMERA_SUCCESS;
    if (!camera || !camera->context || !camera->readSensorRegisters)
        return CAMERA_ERROR;
    const int allocated = ze_AllocSensor(camera);
    if (allocated != CAMERA_SUCCESS)
        return allocated;
    const bool directory = osal_directory_exists(path) != 0;
    if (!directory && !osal_file_exists(path)) {
        releaseSensorRecord(camera);
        return ZE_ERRORLOGF(SENSOR_DOES_NOT_MATCH, "No sdat files found in `%s`", path);
    }
    if (!directory)
        return loadNamedFile(camera, path);

    setEarlyIdentityCheck(chipVersionMatchesEarly);
    const int result = searchDirectory(camera, path);
    if (result != SENSOR_DOES_NOT_MATCH)
        return result;
    if (defaultSensorFile().empty())
        runStartupPresetOnce();
    const std::string fallback = defaultSensorFile();
    if (mayUseDefault && !fallback.empty())
        return identify(camera, fallback.c_str(), false);
    releaseSensorRecord(camera);
    return SENSOR_DOES_NOT_MATCH;
}

} // namespace

} // namespace zentro

extern "C" {

ZE_API int _getSensor(ze_camera_t *camera, const char *sensor_path)
{
    try {
        return zentro::identify(camera, sensor_path, true);
    } catch (const std::bad_alloc &) {
        return ZE_ERRORLOG(CAMERA_ERROR, "out of memory identifying the sensor");
    }
}

} // extern "C"
