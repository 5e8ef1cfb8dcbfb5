// The tests of one identification group, run once the chip version matched.
#include "identify/group_tests.h"

#include <algorithm>

#include "camera/context.h"
#include "identify/probe_access.h"
#include "identify/version_writes.h"
#include "registers/lookup.h"
#include "zentro_errors.h"
#include "zentro_reg_access.h"

namespace zentro {

namespace {

bool hasName(const char *name)
{
    return name[0] != '\0';
}

bool serialEntryPasses(ze_camera_t *camera, const IdentSerialTest &test)
{
    bool absent = isAddressAbsent(camera, test.base);
    uint32_t value = 0;
    if (!absent) {
        const int result = readSerialRegister(camera, test, &value);
        if (result == I2C_NACK_ERROR) {
            markAddressAbsent(camera, test.base);
            absent = true;
        } else if (result != CAMERA_SUCCESS) {
            return false;
        }
    }
    // A data size of 0 asks that nothing answer at the address.
    if (absent)
        return test.dataSize == 0;
    return test.dataSize != 0 && isOneOf(fieldOf(value, test.mask), test.values, test.valueCount);
}

} // namespace

bool runResetIfTest(ze_camera_t *camera, const IdentGroup &group)
{
    const IdentRegisterTest &test = group.resetIf;
    if (!hasName(test.regName) || test.mask == 0)
        return false;
    uint32_t value = 0;
    ze_reg_t *reg = nullptr;
    if (readRegisterNamed(camera, test.regName, &value, &reg) != CAMERA_SUCCESS)
        return false;
    const uint32_t field = fieldOf(value, test.mask);
    const bool expected = test.valueCount > 0 ? isOneOf(field, test.values, test.valueCount)
                                              : field == fieldOf(reg->defaultValue, test.mask);
    if (expected)
        return false;
    pulseSensorReset(camera);
    return true;
}

bool extraDescriptorPasses(ze_camera_t *camera, IdentGroup &group)
{
    IdentRegisterTest &test = group.extraDesc;
    if (!hasName(test.regName))
        return true;
    ze_reg_t *reg = findSensorRegister(camera, test.regName);
    if (!reg)
        return true;
    if (test.mask == 0)
        test.mask = reg->mask;
    uint32_t value = 0;
    int result;
    {
        SpaceSelectionKeeper selection(camera);
        result = ze_ReadSensorReg(camera, reg, &value);
    }
    if (result != CAMERA_SUCCESS)
        return false;
    return (value & test.mask) == (reg->defaultValue & test.mask) ||
           isOneOf(fieldOf(value, test.mask), test.values, test.valueCount);
}

bool versionReadsPass(ze_camera_t *camera, int index)
{
    const IdentGroup &group = camera->context->ident.groups[index];
    const int32_t count = std::clamp(group.versionReadCount, 0, kMaxVersionReads);
    if (count == 0)
        return true;
    for (int32_t i = 0; i < count; ++i) {
        if (!findSensorRegister(camera, group.versionReads[i].regName))
            return false;
    }
    // Declared in this order so that the writes are undone before the selection returns.
    SpaceSelectionKeeper selection(camera);
    VersionWritesInForce writes(camera, index);
    for (int32_t i = 0; i < count; ++i) {
        const IdentRegisterTest &entry = group.versionReads[i];
        uint32_t value = 0;
        if (readRegisterNamed(camera, entry.regName, &value) != CAMERA_SUCCESS ||
            !isOneOf(fieldOf(value, entry.mask), entry.values, entry.valueCount))
            return false;
    }
    return true;
}

bool extraSerialPasses(ze_camera_t *camera, const IdentGroup &group)
{
    const int32_t count = std::clamp(group.extraSerialCount, 0, kMaxExtraSerial);
    for (int32_t i = 0; i < count; ++i) {
        if (!serialEntryPasses(camera, group.extraSerial[i]))
            return false;
    }
    return true;
}

bool groupMatches(ze_camera_t *camera, int index, bool *resetDone)
{
    IdentGroup &group = camera->context->ident.groups[index];
    if (runResetIfTest(camera, group))
        *resetDone = true;
    return extraDescriptorPasses(camera, group) && versionReadsPass(camera, index) &&
           extraSerialPasses(camera, group);
}

} // namespace zentro
