// Part number, product variant, version name and minor version from the identification
// lists of the loaded sensor file, the head-board identifier and the sensor family.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "camera/context.h"
#include "identify/family_list.h"
#include "identify/headboard_id.h"
#include "identify/probe_access.h"
#include "identify/version_writes.h"
#include "sensor_data/sensor_record.h"
#include "zentro_errors.h"
#include "zentro_identify.h"

namespace zentro {

namespace {

// Where the head board keeps its PROM, and how much of its identifier the record takes.
constexpr uint32_t kHeadboardPromAddr = 0xA8;
constexpr size_t kHeadboardIdLength = 168;
constexpr uint32_t kHeadboardRecordRoom = 4096;

std::atomic<HeadboardIdReader> gHeadboardIdReader{nullptr};

bool hasSerialTest(const NamedIdentEntry &entry)
{
    return entry.serial.base != 0;
}

bool hasRegisterTest(const NamedIdentEntry &entry)
{
    return entry.regName[0] != '\0';
}

// Named lists compare the whole value when no mask is given.
uint32_t namedField(uint32_t value, uint32_t mask)
{
    return mask == 0 ? value : fieldOf(value, mask);
}

bool entryPasses(ze_camera_t *camera, const NamedIdentEntry &entry)
{
    uint32_t value = 0;
    if (hasRegisterTest(entry))
        return readRegisterNamed(camera, entry.regName, &value) == CAMERA_SUCCESS &&
               isOneOf(namedField(value, entry.mask), entry.values, entry.valueCount);
    const IdentSerialTest &serial = entry.serial;
    return readSerialRegister(camera, serial, &value) == CAMERA_SUCCESS &&
           isOneOf(namedField(value, serial.mask), serial.values, serial.valueCount);
}

// The first entry whose test passes; else the last entry without a test; else none.
const NamedIdentEntry *pickEntry(ze_camera_t *camera, const NamedIdentList &list)
{
    const int32_t count = std::clamp(list.count, 0, kMaxNamedEntries);
    const NamedIdentEntry *untested = nullptr;
    for (int32_t i = 0; i < count; ++i) {
        const NamedIdentEntry &entry = list.entries[i];
        if (!hasRegisterTest(entry) && !hasSerialTest(entry))
            untested = &entry;
        else if (entryPasses(camera, entry))
            return &entry;
    }
    return untested;
}

void applyNamedLists(ze_camera_t *camera)
{
    ze_sensor_t *sensor = camera->sensor;
    const IdentData &ident = camera->context->ident;
    char *const names[] = {sensor->partNumber, sensor->productVariant, sensor->versionName};
    for (int kind = PartNumbers; kind < NamedListCount; ++kind) {
        const NamedIdentEntry *entry = pickEntry(camera, ident.named[kind]);
        if (!entry)
            continue;
        if (kind == MinorVersions)
            sensor->minorVersion = entry->number;
        else
            copyText(names[kind], ZE_TEXT_SIZE, entry->name);
    }
}

void readHeadboardId(ze_camera_t *camera)
{
    ze_sensor_t *sensor = camera->sensor;
    HeadboardIdReader reader = gHeadboardIdReader.load();
    if (sensor->serialNumber[0] != '\0' || !reader)
        return;
    std::string text(kHeadboardRecordRoom, '\0');
    if (reader(camera, kHeadboardPromAddr, text.data(), kHeadboardRecordRoom) != 0)
        return;
    text.resize(std::min(strnlen(text.data(), text.size()), kHeadboardIdLength));
    copyText(sensor->serialNumber, text.c_str());
}

} // namespace

void setHeadboardIdReader(HeadboardIdReader reader)
{
    gHeadboardIdReader.store(reader);
}

HeadboardIdReader headboardIdReader()
{
    return gHeadboardIdReader.load();
}

} // namespace zentro

extern "C" {

ZE_API int ze_DetectPartNumber(ze_camera_t *camera)
{
    if (!camera || !camera->context || !camera->sensor)
        return CAMERA_SUCCESS;
    {
        zentro::VersionWritesInForce writes(camera, 0);
        zentro::applyNamedLists(camera);
    }
    zentro::readHeadboardId(camera);
    zentro::lookUpFamily(camera->sensor, zentro::familyListPath());
    return CAMERA_SUCCESS;
}

} // extern "C"
