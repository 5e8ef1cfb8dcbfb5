// Bounds on what one preset run may cost.
#include "presets/limits.h"

#include <mutex>

namespace zentro::presets {

namespace {

std::mutex gLimitsLock;
PresetLimits gLimits;

} // namespace

PresetLimits presetLimits()
{
    std::lock_guard guard(gLimitsLock);
    return gLimits;
}

void setPresetLimits(const PresetLimits &limits)
{
    std::lock_guard guard(gLimitsLock);
    gLimits = limits;
}

} // namespace zentro::presets
