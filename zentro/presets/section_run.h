// The state of one running preset section, handed to every command of the section.
#ifndef ZENTRO_PRESETS_SECTION_RUN_H
#define ZENTRO_PRESETS_SECTION_RUN_H

#include <cstdint>
#include <string>
#include <string_view>

#include "presets/limits.h"
#include "zentro_camera.h"

namespace zentro::presets {

// Shared by a top-level section and every section it loads.
struct RunBudget {
    PresetLimits limits;
    uint32_t sectionsRun = 0;
    uint32_t framesGrabbed = 0;
    bool exhaustedReported = false;
};

struct SectionRun {
    ze_camera_t *camera;
    std::string file;      // the preset file the section came from
    uint32_t depth;        // 0 for the section a caller asked for
    uint32_t page = 0;     // the address-space select value REG and BITFIELD work in
    std::string_view line; // the entry being run, "KEY=value", for messages
    RunBudget *budget;

    bool hasSensor() const { return camera && camera->sensor; }
};

// What a command asks of its section.
enum class Flow { Continue, EndSection };

// Logs @message with the running line through ze_ini_error.
void reportError(const SectionRun &run, const char *message);

// Runs @section of @file (the current file when @file is empty) one level deeper than @run.
uint32_t loadNested(const SectionRun &run, const std::string &file, const std::string &section);

// The directory of the running preset file ("" when it names none).
std::string presetDirectory(const SectionRun &run);

// Sleeps @ms, bounded by the run's limits.
void boundedSleep(const SectionRun &run, uint32_t ms);

} // namespace zentro::presets

#endif // ZENTRO_PRESETS_SECTION_RUN_H
