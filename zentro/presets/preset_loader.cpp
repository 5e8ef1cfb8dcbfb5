// Running a preset section: finding it, offering each line to the command handlers, and
// dispatching it to the built-in commands; nesting and its bounds.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "camera/context.h"
#include "core/config.h"
#include "core/log.h"
#include "presets/arguments.h"
#include "presets/commands.h"
#include "presets/register_values.h"
#include "presets/section_reader.h"
#include "presets/section_run.h"
#include "zentro.h"

namespace zentro::presets {

namespace {

// Sections meant for a scripting front end; they are neither read nor run here.
constexpr const char *kScriptSectionMarker = "Python:";
// Longest preset file name and section name taken (the working buffers of older callers).
constexpr size_t kMaxPathLength = 511;
constexpr size_t kMaxSectionNameLength = 255;
// Room of a logged message, terminator included.
constexpr size_t kMessageSize = 256;

void logNotFound(const std::string &file, const std::string &section)
{
    const std::string where = section + " in " + file;
    ze_ini_error("Preset not found", where.c_str());
}

constexpr uint32_t kFileTypeBits = 0xF000;
constexpr uint32_t kRegularFile = 0x8000;

bool isRegularFile(const std::string &path)
{
    const uint32_t attributes = osal_get_file_attributes(path.c_str());
    return attributes != 0xFFFFFFFFu && (attributes & kFileTypeBits) == kRegularFile;
}

bool handledBy(uint32_t result)
{
    return result == ZE_INI_HANDLED || result == ZE_INI_HANDLED_ALT;
}

// Offers the line to the plug-in's and then the application's handler; true when one took it.
bool offerToHandlers(ze_camera_t *camera, const std::string &key, const std::string &value)
{
    if (!camera || !camera->context)
        return false;
    const ze_common_context &context = *camera->context;
    if (context.ops.iniFileCommand &&
        handledBy(context.ops.iniFileCommand(camera, key.c_str(), value.c_str())))
        return true;
    return context.iniCommandHandler &&
           handledBy(context.iniCommandHandler(camera, key.c_str(), value.c_str()));
}

// The section's starting page: the select register's value on sensors that have one.
uint32_t readCurrentPage(ze_camera_t *camera)
{
    if (!hasSelectRegister(camera))
        return 0;
    const ze_sensor_t &sensor = *camera->sensor;
    ze_setMode(camera, ZE_REG_ADDR_SIZE, sensor.regAddrSize);
    ze_setMode(camera, ZE_REG_DATA_SIZE, 16);
    ze_setMode(camera, ZE_REG_DATA_LE, 0);
    uint32_t page = 0;
    if (ze_readRegister(camera, sensor.shipBaseAddr, sensor.addrSpaces->readSelectAddr, &page) !=
        CAMERA_SUCCESS)
        page = 0;
    return page;
}

// Runs one entry; false when the section is to end here.
bool runEntry(SectionRun &run, std::string_view entry)
{
    const size_t equals = entry.find('=');
    if (equals == std::string_view::npos)
        return true;
    entry = entry.substr(0, entry.find("//"));
    if (entry.size() <= equals)
        return true;
    const std::string key(trim(entry.substr(0, equals)));
    const std::string value(trim(entry.substr(equals + 1)));
    if (value.empty())
        return true;
    if (offerToHandlers(run.camera, key, value))
        return true;
    const CommandFunction command = findCommand(key);
    if (!command)
        return true;
    run.line = entry;
    return command(run, value) == Flow::Continue;
}

uint32_t runSection(ze_camera_t *camera, const std::string &file, const std::string &section,
                    uint32_t depth, RunBudget &budget)
{
    if (section.find(kScriptSectionMarker) != std::string::npos)
        return 0;
    if (depth > ZE_PRESET_MAX_DEPTH) {
        const std::string where = section + " at level " + std::to_string(depth);
        return static_cast<uint32_t>(ze_ini_error("Failed recursive call check", where.c_str()));
    }
    if (budget.sectionsRun >= budget.limits.maxSectionRuns) {
        // One message per top-level call: a fanning-out preset would otherwise flood the log.
        if (!budget.exhaustedReported) {
            budget.exhaustedReported = true;
            const std::string where =
                section + " (limit " + std::to_string(budget.limits.maxSectionRuns) + ")";
            ze_ini_error("Too many sections loaded by one preset", where.c_str());
        }
        return INI_LOAD_ERROR;
    }
    if (file.size() > kMaxPathLength || section.size() > kMaxSectionNameLength) {
        ze_ini_error("Preset file or section name too long",
                     section.substr(0, kMaxTokenLength).c_str());
        return INI_LOAD_ERROR;
    }
    ++budget.sectionsRun;

    // Devices and pipes may never end a line or the file: reading one would hang the caller.
    if (!isRegularFile(file)) {
        logNotFound(file, section);
        return INI_LOAD_ERROR;
    }
    std::vector<char> storage;
    const std::optional<std::vector<std::string_view>> entries =
        readSection(file, section, storage);
    if (!entries) {
        logNotFound(file, section);
        return INI_LOAD_ERROR;
    }
    SectionRun run{camera, file, depth, readCurrentPage(camera), {}, &budget};
    for (std::string_view entry : *entries) {
        if (!runEntry(run, entry))
            break;
    }
    return INI_SUCCESS;
}

uint32_t runTopLevel(ze_camera_t *camera, const std::string &file, const std::string &section,
                     uint32_t depth)
{
    RunBudget budget{presetLimits()};
    return runSection(camera, file, section, depth, budget);
}

// Restores the camera's ZE_REG_DATA_LE mode when a preset returns.
class DataLeRestorer
{
public:
    explicit DataLeRestorer(ze_camera_t *camera) : camera_(camera)
    {
        if (camera_ && ze_getMode(camera_, ZE_REG_DATA_LE, &value_) != CAMERA_SUCCESS)
            camera_ = nullptr;
    }
    ~DataLeRestorer()
    {
        if (camera_)
            ze_setMode(camera_, ZE_REG_DATA_LE, value_);
    }
    DataLeRestorer(const DataLeRestorer &) = delete;
    DataLeRestorer &operator=(const DataLeRestorer &) = delete;

private:
    ze_camera_t *camera_;
    uint32_t value_ = 0;
};

uint32_t loadPreset(ze_camera_t *camera, const char *file, const char *section)
{
    const std::string sectionName = section && section[0] ? section : ZE_DEFAULT_PRESET_SECTION;
    DataLeRestorer restorer(camera);
    if (file && file[0]) {
        if (strlen(file) > kMaxPathLength) {
            ze_ini_error("Preset file or section name too long", "file name");
            return INI_LOAD_ERROR;
        }
        if (osal_get_file_attributes(file) == 0xFFFFFFFFu) {
            ze_ini_error("Preset file not found", file);
            return INI_LOAD_ERROR;
        }
        return runTopLevel(camera, file, sectionName, 0);
    }
    char defaultFile[kMaxPathLength + 1] = {};
    const int found = ze_DefaultIniFile(camera, defaultFile, sizeof(defaultFile));
    if (found != CAMERA_SUCCESS)
        return static_cast<uint32_t>(found);
    return runTopLevel(camera, defaultFile, sectionName, 0);
}

int runStartupPreset(const char *file, const char *section)
{
    return static_cast<int>(ze_LoadINIPreset(nullptr, file, section));
}

// The start-up preset runs through this interpreter wherever the library is linked with it.
struct StartupPresetRegistration {
    StartupPresetRegistration() { setStartupPresetRunner(runStartupPreset); }
};
const StartupPresetRegistration gStartupPresetRegistration;

} // namespace

void reportError(const SectionRun &run, const char *message)
{
    const std::string line(run.line);
    ze_ini_error(message, line.c_str());
}

uint32_t loadNested(const SectionRun &run, const std::string &file, const std::string &section)
{
    std::string path = run.file;
    if (!file.empty()) {
        if (run.budget->limits.confineFiles && file.find_first_of("/\\") != std::string::npos) {
            reportError(run, "Preset file must be a plain name in LOAD");
            return INI_LOAD_ERROR;
        }
        // A name from "/" on is taken as it stands; others are beside the running file.
        const std::string directory = presetDirectory(run);
        path = file.front() == '/' || directory.empty() ? file : directory + "/" + file;
    }
    return runSection(run.camera, path, section, run.depth + 1, *run.budget);
}

std::string presetDirectory(const SectionRun &run)
{
    const size_t slash = run.file.find_last_of('/');
    return slash == std::string::npos ? std::string() : run.file.substr(0, slash);
}

void boundedSleep(const SectionRun &run, uint32_t ms)
{
    const uint32_t bounded = std::min(ms, run.budget->limits.maxWaitMs);
    if (bounded > 0)
        osal_sleep(bounded);
}

} // namespace zentro::presets

extern "C" {

ZE_API uint32_t ze_LoadINIPreset(ze_camera_t *camera, const char *file, const char *section)
{
    try {
        return zentro::presets::loadPreset(camera, file, section);
    } catch (const std::bad_alloc &) {
        return static_cast<uint32_t>(ZE_ERRORLOG(INI_LOAD_ERROR, "Out of memory running a preset"));
    }
}

ZE_API uint32_t _LoadSection(ze_camera_t *camera, const char *file, const char *section,
                             uint32_t depth)
{
    if (!file || !section)
        return static_cast<uint32_t>(ze_ini_error("Preset not found", "no file or section name"));
    try {
        return zentro::presets::runTopLevel(camera, file, section, depth);
    } catch (const std::bad_alloc &) {
        return static_cast<uint32_t>(ZE_ERRORLOG(INI_LOAD_ERROR, "Out of memory running a preset"));
    }
}

ZE_API int ze_ini_error(const char *message, const char *line)
{
    char text[zentro::presets::kMessageSize];
    snprintf(text, sizeof(text), "%s: %s", message ? message : "", line ? line : "");
    return ze_Errorlog(INI_LOAD_ERROR, ZE_LEVEL_FROM_TABLE, text, __FILE__, __func__, __LINE__);
}

ZE_API int ze_SetIniCommandHandler(ze_camera_t *camera, ze_ini_command_handler_t handler)
{
    if (!camera || !camera->context)
        return CAMERA_ERROR;
    camera->context->iniCommandHandler = handler;
    return CAMERA_SUCCESS;
}

} // extern "C"
