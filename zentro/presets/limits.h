// Bounds on what one preset run may cost: waits, polls, nested section runs and where result
// files may go. The defaults serve users; a fuzzing harness tightens them.
#ifndef ZENTRO_PRESETS_LIMITS_H
#define ZENTRO_PRESETS_LIMITS_H

#include <cstdint>

namespace zentro::presets {

struct PresetLimits {
    // Longest single sleep of DELAY and of a poll, in milliseconds.
    uint32_t maxWaitMs = 10000;
    // Most re-reads one poll command makes, whatever its TIMEOUT says.
    uint32_t maxPolls = 0xFFFFFFFFu;
    // Sections one top-level call may run in all: LOADs that fan out (a section loading
    // itself twice) would otherwise run 2^16 sections before the depth check stops them.
    uint32_t maxSectionRuns = 10000;
    // Frames SAVE_IMAGE may grab in one top-level call (each grab waits for a frame).
    uint32_t maxFrameGrabs = 0xFFFFFFFFu;
    // Files loaded (LOAD) and written (SAVE_IMAGE, SAVE_REGS) only by plain name beside the
    // preset file.
    bool confineFiles = false;
};

PresetLimits presetLimits();
void setPresetLimits(const PresetLimits &limits);

} // namespace zentro::presets

#endif // ZENTRO_PRESETS_LIMITS_H
