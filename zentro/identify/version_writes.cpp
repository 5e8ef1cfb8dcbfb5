// Version writes of an identification group: registers set (or waited for) before the
// version registers are read, and set back afterwards.
#include "identify/version_writes.h"

#include <algorithm>

#include "camera/context.h"
#include "identify/probe_access.h"
#include "registers/lookup.h"
#include "zentro_osal.h"
#include "zentro_reg_access.h"

namespace zentro {

namespace {

// Settling time after each write of a group that waits for nothing.
constexpr uint32_t kSettleMs = 50;
// Waits longer than this poll at this interval.
constexpr int32_t kPollIntervalMs = 10;

bool hasWaitEntry(const IdentGroup &group)
{
    const int32_t count = std::clamp(group.versionWriteCount, 0, kMaxVersionWrites);
    return std::any_of(group.versionWrites, group.versionWrites + count,
                       [](const IdentVersionWrite &entry) { return entry.waitMs >= 0; });
}

bool fieldReached(ze_camera_t *camera, ze_reg_t *reg, const IdentVersionWrite &entry)
{
    uint32_t value = 0;
    return ze_ReadSensorReg(camera, reg, &value) == 0 &&
           isOneOf(fieldOf(value, entry.mask), entry.values, entry.valueCount);
}

// Reads until the field shows one of the entry's values: a short wait once, a longer one
// every kPollIntervalMs for as many reads as fit in it. Going on afterwards either way.
void waitForField(ze_camera_t *camera, ze_reg_t *reg, const IdentVersionWrite &entry)
{
    if (entry.waitMs <= kPollIntervalMs) {
        if (!fieldReached(camera, reg, entry))
            osal_sleep(static_cast<uint32_t>(entry.waitMs));
        return;
    }
    const int32_t reads = (entry.waitMs + kPollIntervalMs - 1) / kPollIntervalMs;
    for (int32_t i = 0; i < reads; ++i) {
        if (fieldReached(camera, reg, entry))
            return;
        if (i + 1 < reads)
            osal_sleep(kPollIntervalMs);
    }
}

void writeEntry(ze_camera_t *camera, ze_reg_t *reg, const IdentVersionWrite &entry,
                SavedVersionWrite &saved)
{
    uint32_t previous = 0;
    // Without the register's value there is nothing to restore and no field to place.
    if (ze_ReadSensorReg(camera, reg, &previous) != 0)
        return;
    saved = {static_cast<int32_t>(reg - camera->sensor->regs), previous};
    const uint32_t value = entry.valueCount > 0 ? entry.values[0] : 0;
    ze_WriteSensorReg(camera, reg, withField(previous, entry.mask, value));
}

} // namespace

void runVersionWrites(ze_camera_t *camera, int group)
{
    IdentData &ident = camera->context->ident;
    for (SavedVersionWrite &saved : ident.saved)
        saved = {-1, 0};
    if (group < 0 || group >= kMaxIdentGroups || !camera->sensor)
        return;
    const IdentGroup &entries = ident.groups[group];
    const bool settle = !hasWaitEntry(entries);
    SpaceSelectionKeeper selection(camera);
    const int32_t count = std::clamp(entries.versionWriteCount, 0, kMaxVersionWrites);
    for (int32_t i = 0; i < count; ++i) {
        const IdentVersionWrite &entry = entries.versionWrites[i];
        ze_reg_t *reg = findSensorRegister(camera, entry.regName);
        if (!reg)
            continue;
        if (entry.waitMs < 0) {
            writeEntry(camera, reg, entry, ident.saved[i]);
            if (settle)
                osal_sleep(kSettleMs);
        } else if (entry.waitMs > 0) {
            waitForField(camera, reg, entry);
        }
    }
}

void restoreVersionWrites(ze_camera_t *camera)
{
    if (!camera->context)
        return;
    IdentData &ident = camera->context->ident;
    ze_sensor_t *sensor = camera->sensor;
    SpaceSelectionKeeper selection(camera);
    for (int i = kMaxVersionWrites - 1; i >= 0; --i) {
        SavedVersionWrite &saved = ident.saved[i];
        if (sensor && saved.regIndex >= 0 && saved.regIndex < sensor->regCount)
            ze_WriteSensorReg(camera, &sensor->regs[saved.regIndex], saved.previous);
        saved = {-1, 0};
    }
}

} // namespace zentro
