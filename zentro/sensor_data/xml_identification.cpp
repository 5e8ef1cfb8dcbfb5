// Identification elements of an XML sensor-data file: version writes, waits and reads, the
// reset test, extra matches, groups and the named entries (part numbers, product variants,
// version names, minor versions).
#include <algorithm>
#include <string_view>
#include <vector>

#include "camera/context.h"
#include "sensor_data/sensor_record.h"
#include "sensor_data/xml_elements.h"

namespace zentro {

namespace {

constexpr int32_t kPlainWriteMarker = -1;
// A value list of these elements holds one value fewer than its storage without error.
constexpr size_t kShortValueLimit = kMaxIdentValues - 1;
constexpr uint32_t kDefaultAddrSize = 8;
constexpr uint32_t kDefaultDataSize = 16;

// The attributes identification elements share, as written.
struct IdentAttributes {
    std::string_view reg;
    std::string_view name;
    std::optional<uint32_t> mask;
    std::optional<uint32_t> dataSize;
    std::optional<uint32_t> serial;
    std::optional<uint32_t> regAddr;
    uint32_t addrSize = kDefaultAddrSize;
    std::optional<uint32_t> number;
    std::optional<int32_t> timeout;
    std::vector<uint32_t> values;
};

IdentAttributes readAttributes(XmlAttributes attributes)
{
    IdentAttributes read;
    for (const XmlAttribute &attribute : attributes) {
        std::string_view name = attribute.name;
        std::string_view value = xmlvalue::trimmed(attribute.value);
        if (equalsNoCase(name, "reg")) {
            read.reg = value;
        } else if (equalsNoCase(name, "name")) {
            read.name = value;
        } else if (equalsNoCase(name, "mask")) {
            if (auto pair = xmlvalue::numberPair(value, kDefaultDataSize)) {
                read.mask = pair->first;
                read.dataSize = pair->second;
            }
        } else if (equalsNoCase(name, "serial")) {
            read.serial = xmlvalue::number(value);
        } else if (equalsNoCase(name, "addr")) {
            if (auto pair = xmlvalue::numberPair(value, kDefaultAddrSize)) {
                read.regAddr = pair->first;
                read.addrSize = pair->second;
            }
        } else if (equalsNoCase(name, "number")) {
            read.number = xmlvalue::number(value);
        } else if (equalsNoCase(name, "timeout")) {
            if (auto timeout = xmlvalue::number(value))
                read.timeout = static_cast<int32_t>(*timeout);
        } else if (equalsNoCase(name, "value")) {
            read.values = xmlvalue::numbers(value);
        }
    }
    return read;
}

// Stores at most the storage's worth of @values; false when there are more than @limit.
bool storeValues(const std::vector<uint32_t> &values, size_t limit,
                 uint32_t (&storage)[kMaxIdentValues], int32_t &count)
{
    const size_t kept = std::min(values.size(), static_cast<size_t>(kMaxIdentValues));
    std::copy_n(values.begin(), kept, storage);
    count = static_cast<int32_t>(kept);
    return values.size() <= limit;
}

IdentData &identOf(XmlSensorReader &reader)
{
    return reader.camera()->context->ident;
}

IdentGroup &currentGroup(XmlSensorReader &reader)
{
    IdentData &ident = identOf(reader);
    return ident.groups[ident.groupCount - 1];
}

// A register test of @element: reg, mask and values; false (logged) without a register.
bool fillRegisterTest(XmlSensorReader &reader, const IdentAttributes &read,
                      std::string_view element, size_t limit, IdentRegisterTest &test)
{
    if (read.reg.empty()) {
        reader.syntaxError(CHIP_DESC_ERROR, std::string(element) + " without reg");
        return false;
    }
    copyFittedText(test.regName, read.reg);
    test.mask = read.mask.value_or(0);
    if (!storeValues(read.values, limit, test.values, test.valueCount))
        reader.syntaxError(CHIP_DESC_ERROR, element);
    return true;
}

void fillSerialTest(XmlSensorReader &reader, const IdentAttributes &read, std::string_view element,
                    IdentSerialTest &test)
{
    test.base = read.serial.value_or(0);
    test.regAddr = read.regAddr.value_or(0);
    test.addrSize = read.addrSize;
    test.mask = read.mask.value_or(0);
    test.dataSize = read.dataSize.value_or(kDefaultDataSize);
    if (!storeValues(read.values, kShortValueLimit, test.values, test.valueCount))
        reader.syntaxError(CHIP_DESC_ERROR, element);
}

char *namedField(ze_sensor_t *sensor, NamedListKind kind, size_t &size)
{
    switch (kind) {
    case PartNumbers:
        size = sizeof(sensor->partNumber);
        return sensor->partNumber;
    case ProductVariants:
        size = sizeof(sensor->productVariant);
        return sensor->productVariant;
    case VersionNames:
        size = sizeof(sensor->versionName);
        return sensor->versionName;
    default:
        size = 0;
        return nullptr;
    }
}

} // namespace

void addVersionWrite(XmlSensorReader &reader, XmlAttributes attributes, bool waitFor)
{
    if (!reader.groupOpen)
        return;
    const std::string_view element = waitFor ? "version_reg_waitfor" : "version_reg_write";
    IdentGroup &group = currentGroup(reader);
    if (group.versionWriteCount >= kMaxVersionWrites) {
        reader.syntaxError(CHIP_DESC_ERROR, element);
        return;
    }
    IdentAttributes read = readAttributes(attributes);
    if (read.reg.empty()) {
        reader.syntaxError(CHIP_DESC_ERROR, std::string(element) + " without reg");
        return;
    }
    IdentVersionWrite entry{};
    copyFittedText(entry.regName, read.reg);
    entry.mask = read.mask.value_or(0);
    // A write takes one value; a wait without timeout stays a write.
    if (!waitFor)
        read.values.resize(std::min<size_t>(read.values.size(), 1));
    entry.waitMs = waitFor && read.timeout ? *read.timeout : kPlainWriteMarker;
    if (!storeValues(read.values, kMaxIdentValues, entry.values, entry.valueCount))
        reader.syntaxError(CHIP_DESC_ERROR, element);
    group.versionWrites[group.versionWriteCount++] = entry;
}

void addVersionRead(XmlSensorReader &reader, XmlAttributes attributes)
{
    if (!reader.groupOpen)
        return;
    IdentGroup &group = currentGroup(reader);
    IdentRegisterTest test{};
    if (!fillRegisterTest(reader, readAttributes(attributes), "version_reg_read", kMaxIdentValues,
                          test))
        return;
    if (group.versionReadCount < kMaxVersionReads)
        group.versionReads[group.versionReadCount++] = test;
}

void setVersionResetIf(XmlSensorReader &reader, XmlAttributes attributes)
{
    if (!reader.groupOpen)
        return;
    IdentRegisterTest test{};
    // The message names the element as the library has always spelled it here.
    if (fillRegisterTest(reader, readAttributes(attributes), "version_reg_restif", kShortValueLimit,
                         test))
        currentGroup(reader).resetIf = test;
}

void setExtraMatch(XmlSensorReader &reader, XmlAttributes attributes)
{
    if (!reader.groupOpen)
        return;
    IdentGroup &group = currentGroup(reader);
    IdentAttributes read = readAttributes(attributes);
    if (!read.reg.empty()) {
        IdentRegisterTest test{};
        fillRegisterTest(reader, read, "extra_match", kMaxIdentValues, test);
        group.extraDesc = test;
        return;
    }
    if (!read.serial) {
        reader.syntaxError(CHIP_DESC_ERROR, "extra_match without reg or serial");
        return;
    }
    if (group.extraSerialCount >= kMaxExtraSerial)
        return;
    fillSerialTest(reader, read, "extra_match", group.extraSerial[group.extraSerialCount++]);
}

void openNextGroup(XmlSensorReader &reader)
{
    IdentData &ident = identOf(reader);
    if (reader.groupOpen && ident.groupCount < kMaxIdentGroups)
        ++ident.groupCount;
    else
        reader.groupOpen = false;
}

void addNamedEntry(XmlSensorReader &reader, XmlAttributes attributes, NamedListKind kind)
{
    NamedIdentList &list = identOf(reader).named[kind];
    if (list.count >= kMaxNamedEntries)
        return;
    IdentAttributes read = readAttributes(attributes);
    NamedIdentEntry entry{};
    std::string name(read.name.substr(0, kIdentNameLength));
    copyText(entry.name, name.c_str());
    entry.number = read.number.value_or(0);
    bool tested = true;
    if (read.serial) {
        fillSerialTest(reader, read, "part_number", entry.serial);
    } else if (!read.reg.empty()) {
        copyFittedText(entry.regName, read.reg);
        entry.mask = read.mask.value_or(0);
        if (!storeValues(read.values, kShortValueLimit, entry.values, entry.valueCount))
            reader.syntaxError(CHIP_DESC_ERROR, "part_number");
    } else {
        tested = false;
    }
    list.entries[list.count++] = entry;
    ze_sensor_t *sensor = reader.sensor();
    size_t size = 0;
    char *field = namedField(sensor, kind, size);
    if (!field)
        return;
    // The part number is the first one named; an untested variant or version name applies
    // at once, as in the text form.
    if (kind == PartNumbers ? !sensor->partNumber[0] : !tested)
        copyText(field, size, entry.name);
}

void addPartNumber(XmlSensorReader &reader, std::string_view name)
{
    NamedIdentList &list = identOf(reader).named[PartNumbers];
    if (list.count >= kMaxNamedEntries)
        return;
    NamedIdentEntry &entry = list.entries[list.count++];
    entry = NamedIdentEntry{};
    std::string kept(name.substr(0, kIdentNameLength));
    copyText(entry.name, kept.c_str());
}

} // namespace zentro
