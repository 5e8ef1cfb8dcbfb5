// The OPTIONAL section: register sizes, format version and the identification data that
// sensor identification tests (groups, named entries, version writes and reads).
#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "camera/context.h"
#include "core/log.h"
#include "sensor_data/sensor_record.h"
#include "sensor_data/text_reader.h"

namespace zentro {

namespace {

constexpr int32_t kDefaultWaitMs = 500;
constexpr int32_t kPlainWriteMarker = -1;
constexpr size_t kRegisterNameSize = ZE_TEXT_SIZE;
// A named entry or extra-serial list holds one value fewer than its storage without error.
constexpr size_t kNamedValueLimit = kMaxIdentValues - 1;
constexpr size_t kValueLimit = kMaxIdentValues;
// Characters of a named entry's name that are kept, terminator included.
constexpr size_t kNamedEntryNameSize = kIdentNameLength;

constexpr uint32_t kAddrSize32 = 32;
constexpr uint32_t kAddrSize16 = 16;

enum class Parsed { Ok, TooManyValues, Malformed };

bool isRegisterSize(uint32_t bits)
{
    return bits == 8 || bits == 16 || bits == 32;
}

// The comma-separated parts of @text, each trimmed.
std::vector<std::string_view> splitOnCommas(std::string_view text)
{
    std::vector<std::string_view> parts;
    size_t comma;
    while ((comma = text.find(',')) != std::string_view::npos) {
        parts.push_back(trimBlanks(text.substr(0, comma)));
        text.remove_prefix(comma + 1);
    }
    parts.push_back(trimBlanks(text));
    return parts;
}

// "A : B" as two numbers.
std::optional<std::pair<uint32_t, uint32_t>> numberPair(std::string_view text)
{
    size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    auto first = parseInteger(text.substr(0, colon));
    auto second = parseInteger(text.substr(colon + 1));
    if (!first || !second)
        return std::nullopt;
    return std::make_pair(*first, *second);
}

// A register name: one word of at most 255 characters.
bool copyRegisterName(char (&field)[kRegisterNameSize], std::string_view text)
{
    std::string_view name = trimBlanks(text);
    if (!isSingleWord(name) || name.size() >= kRegisterNameSize)
        return false;
    copyFittedText(field, name);
    return true;
}

// Stores at most the storage's worth of @values; false when there are more than @limit.
bool storeValues(const std::vector<uint32_t> &values, size_t limit,
                 uint32_t (&storage)[kMaxIdentValues], int32_t &count)
{
    size_t kept = std::min(values.size(), static_cast<size_t>(kMaxIdentValues));
    std::copy_n(values.begin(), kept, storage);
    count = static_cast<int32_t>(kept);
    return values.size() <= limit;
}

// REG , MASK , VALUE (VALUE a number or a value list) into any record with the fields
// regName, mask, valueCount and values.
template <class Test>
Parsed parseRegisterTest(std::string_view text, Test &test, size_t limit)
{
    std::vector<std::string_view> parts = splitOnCommas(text);
    if (parts.size() != 3)
        return Parsed::Malformed;
    auto mask = parseInteger(parts[1]);
    auto values = parseValueOrList(parts[2]);
    if (!copyRegisterName(test.regName, parts[0]) || !mask || !values)
        return Parsed::Malformed;
    test.mask = *mask;
    return storeValues(*values, limit, test.values, test.valueCount) ? Parsed::Ok
                                                                     : Parsed::TooManyValues;
}

// BASE , REGADDR : ADDRSIZE , MASK : DATASIZE , VALUE
Parsed parseSerialTest(std::string_view text, IdentSerialTest &test)
{
    std::vector<std::string_view> parts = splitOnCommas(text);
    if (parts.size() != 4)
        return Parsed::Malformed;
    auto base = parseInteger(parts[0]);
    auto address = numberPair(parts[1]);
    auto maskAndSize = numberPair(parts[2]);
    auto values = parseValueOrList(parts[3]);
    if (!base || !address || !maskAndSize || !values)
        return Parsed::Malformed;
    test.base = *base;
    test.regAddr = address->first;
    test.addrSize = address->second;
    test.mask = maskAndSize->first;
    test.dataSize = maskAndSize->second;
    return storeValues(*values, kNamedValueLimit, test.values, test.valueCount)
               ? Parsed::Ok
               : Parsed::TooManyValues;
}

class OptionalSection
{
public:
    explicit OptionalSection(SensorFileReader &reader)
        : reader_(reader), sensor_(reader.sensor), context_(reader.camera->context),
          ident_(context_->ident)
    {
    }

    int read();

private:
    struct Key {
        std::string_view name;
        bool (OptionalSection::*apply)(std::string_view value);
    };
    static const std::array<Key, 18> kKeys;

    bool applySensorVersion(std::string_view value);
    bool applyFullWidth(std::string_view value);
    bool applyFullHeight(std::string_view value);
    bool applyAddrSize(std::string_view value);
    bool applyDataSize(std::string_view value);
    bool applySdatVersion(std::string_view value);
    bool applyPartNumber(std::string_view value);
    bool applyProductVariant(std::string_view value);
    bool applyVersionName(std::string_view value);
    bool applyExtraDescReg(std::string_view value);
    bool applyExtraDescMask(std::string_view value);
    bool applyExtraDescValues(std::string_view value);
    bool applyVersionWrite(std::string_view value);
    bool applyVersionWait(std::string_view value);
    bool applyVersionRead(std::string_view value);
    bool applyVersionResetIf(std::string_view value);
    bool applyExtraSerial(std::string_view value);

    bool applyNamedEntry(std::string_view value, NamedListKind kind, char *field, size_t size);
    bool openNextGroup();
    const Key *findKey(std::string_view name) const;
    IdentGroup &group() { return ident_.groups[ident_.groupCount - 1]; }
    int rejectEarly() const;

    SensorFileReader &reader_;
    ze_sensor_t *sensor_;
    ze_common_context_t *context_;
    IdentData &ident_;
    // A message that follows the syntax error of the current line.
    const char *followUp_ = nullptr;
};

const std::array<OptionalSection::Key, 18> OptionalSection::kKeys = {{
    {"SENSOR_VERSION", &OptionalSection::applySensorVersion},
    {"FULL_WIDTH", &OptionalSection::applyFullWidth},
    {"FULL_HEIGHT", &OptionalSection::applyFullHeight},
    {"REG_ADDR_SIZE", &OptionalSection::applyAddrSize},
    {"REG_DATA_SIZE", &OptionalSection::applyDataSize},
    {"SDAT_VERSION", &OptionalSection::applySdatVersion},
    {"PART_NUMBER", &OptionalSection::applyPartNumber},
    {"PRODUCT_VARIANT", &OptionalSection::applyProductVariant},
    {"VERSION_NAME", &OptionalSection::applyVersionName},
    {"EXTRA_DESC_REG", &OptionalSection::applyExtraDescReg},
    {"EXTRA_DESC_MASK", &OptionalSection::applyExtraDescMask},
    {"EXTRA_DESC_VAL", &OptionalSection::applyExtraDescValues},
    {"VERSION_REG_WRITE", &OptionalSection::applyVersionWrite},
    {"VERSION_REG_WAITFOR", &OptionalSection::applyVersionWait},
    {"VERSION_REG_READ", &OptionalSection::applyVersionRead},
    {"VERSION_REG_RESETIF", &OptionalSection::applyVersionResetIf},
    {"EXTRA_SERIAL_REG", &OptionalSection::applyExtraSerial},
    // Handled before the table (it takes no value); listed so that it is a known key.
    {"OR_MATCH", nullptr},
}};

int OptionalSection::read()
{
    bool failed = false;
    std::string_view line;
    while (reader_.nextSectionLine(kDescriptorLineLimit, line)) {
        auto pair = splitKeyValue(line);
        std::string_view key = pair ? pair->key : trimBlanks(line);
        if (equalsNoCase(key, "OR_MATCH")) {
            if (!openNextGroup()) {
                reader_.syntaxError(CHIP_DESC_ERROR, line);
                failed = true;
            }
            continue;
        }
        if (!pair || pair->value.empty())
            return reader_.syntaxError(CHIP_DESC_ERROR, line);
        const Key *known = findKey(key);
        if (!known)
            continue; // keys of newer formats are ignored
        followUp_ = nullptr;
        if (!(this->*(known->apply))(pair->value)) {
            reader_.syntaxError(CHIP_DESC_ERROR, line);
            if (followUp_)
                ZE_ERRORLOG(CHIP_DESC_ERROR, followUp_);
            failed = true;
        }
    }
    if (failed)
        return CHIP_DESC_ERROR;
    return rejectEarly();
}

const OptionalSection::Key *OptionalSection::findKey(std::string_view name) const
{
    for (const Key &key : kKeys) {
        if (key.apply && equalsNoCase(key.name, name))
            return &key;
    }
    return nullptr;
}

int OptionalSection::rejectEarly() const
{
    return rejectUnwantedAddrSize(ident_, sensor_);
}

bool OptionalSection::openNextGroup()
{
    if (ident_.groupCount >= kMaxIdentGroups)
        return false;
    ++ident_.groupCount;
    return true;
}

bool OptionalSection::applySensorVersion(std::string_view value)
{
    auto version = parseInteger(firstWord(value));
    if (version)
        sensor_->sensorVersion = *version;
    return version.has_value();
}

bool OptionalSection::applyFullWidth(std::string_view value)
{
    auto width = parseInteger(firstWord(value));
    if (width)
        sensor_->width = *width;
    return width.has_value();
}

bool OptionalSection::applyFullHeight(std::string_view value)
{
    auto height = parseInteger(firstWord(value));
    if (height)
        sensor_->height = *height;
    return height.has_value();
}

bool OptionalSection::applyAddrSize(std::string_view value)
{
    auto bits = parseInteger(firstWord(value));
    if (!bits)
        return false;
    // The size stays as read: the file fails anyway, and the record shows what it said.
    sensor_->regAddrSize = *bits;
    if (isRegisterSize(*bits))
        return true;
    followUp_ = "register address size should be 8, 16 or 32";
    return false;
}

bool OptionalSection::applyDataSize(std::string_view value)
{
    auto bits = parseInteger(firstWord(value));
    if (!bits)
        return false;
    sensor_->regDataSize = *bits;
    if (isRegisterSize(*bits))
        return true;
    followUp_ = "register data size should be 8, 16 or 32";
    return false;
}

bool OptionalSection::applySdatVersion(std::string_view value)
{
    auto version = parseInteger(firstWord(value));
    if (version)
        context_->sdatVersion = *version;
    return version.has_value();
}

bool OptionalSection::applyPartNumber(std::string_view value)
{
    return applyNamedEntry(value, PartNumbers, sensor_->partNumber, sizeof(sensor_->partNumber));
}

bool OptionalSection::applyProductVariant(std::string_view value)
{
    return applyNamedEntry(value, ProductVariants, sensor_->productVariant,
                           sizeof(sensor_->productVariant));
}

bool OptionalSection::applyVersionName(std::string_view value)
{
    return applyNamedEntry(value, VersionNames, sensor_->versionName, sizeof(sensor_->versionName));
}

// KEY = "NAME" [SENSOR REG , MASK , VALUE | SERIAL BASE , REGADDR : ADDRSIZE , MASK :
// DATASIZE , VALUE]
bool OptionalSection::applyNamedEntry(std::string_view value, NamedListKind kind, char *field,
                                      size_t size)
{
    size_t afterName = 0;
    auto name = quotedText(value, &afterName);
    if (value.front() != '"' || !name)
        return false;
    NamedIdentEntry entry{};
    copyFittedText(entry.name, kNamedEntryNameSize, *name);
    std::string_view test = trimBlanks(value.substr(afterName));
    Parsed parsed = Parsed::Ok;
    if (!test.empty()) {
        std::string_view testKind = firstWord(test);
        std::string_view operands = test.substr(testKind.size());
        if (equalsNoCase(testKind, "SENSOR"))
            parsed = parseRegisterTest(operands, entry, kNamedValueLimit);
        else if (equalsNoCase(testKind, "SERIAL"))
            parsed = parseSerialTest(operands, entry.serial);
        else
            parsed = Parsed::Malformed;
    }
    if (parsed == Parsed::Malformed)
        return false;
    NamedIdentList &list = ident_.named[kind];
    if (list.count < kMaxNamedEntries) {
        const bool first = list.count == 0;
        list.entries[list.count++] = entry;
        // Untested entries apply at once; the first part number is the file's in any case.
        if (test.empty() || (kind == PartNumbers && first))
            copyText(field, size, entry.name);
    }
    return parsed == Parsed::Ok;
}

bool OptionalSection::applyExtraDescReg(std::string_view value)
{
    return copyRegisterName(group().extraDesc.regName, value);
}

bool OptionalSection::applyExtraDescMask(std::string_view value)
{
    auto mask = parseInteger(firstWord(value));
    if (mask)
        group().extraDesc.mask = *mask;
    return mask.has_value();
}

bool OptionalSection::applyExtraDescValues(std::string_view value)
{
    auto values = parseValueOrList(value);
    if (!values)
        return false;
    IdentRegisterTest &test = group().extraDesc;
    return storeValues(*values, kValueLimit, test.values, test.valueCount);
}

// REG, MASK, VALUE: a write done before identification reads.
bool OptionalSection::applyVersionWrite(std::string_view value)
{
    IdentGroup &current = group();
    if (current.versionWriteCount >= kMaxVersionWrites)
        return false;
    std::vector<std::string_view> parts = splitOnCommas(value);
    if (parts.size() != 3)
        return false;
    IdentVersionWrite entry{};
    auto mask = parseInteger(parts[1]);
    auto written = parseInteger(parts[2]);
    if (!copyRegisterName(entry.regName, parts[0]) || !mask || !written)
        return false;
    entry.mask = *mask;
    entry.values[0] = *written;
    entry.valueCount = 1;
    entry.waitMs = kPlainWriteMarker;
    current.versionWrites[current.versionWriteCount++] = entry;
    return true;
}

// REG, MASK, VALUE [, TIMEOUT] or REG, MASK, LIST, TIMEOUT: wait until the field holds one
// of the values.
bool OptionalSection::applyVersionWait(std::string_view value)
{
    IdentGroup &current = group();
    if (current.versionWriteCount >= kMaxVersionWrites)
        return false;
    std::vector<std::string_view> parts = splitOnCommas(value);
    if (parts.size() != 3 && parts.size() != 4)
        return false;
    IdentVersionWrite entry{};
    auto mask = parseInteger(parts[1]);
    auto values = parseValueOrList(parts[2]);
    auto timeout =
        parts.size() == 4 ? parseInteger(parts[3]) : std::optional<uint32_t>(kDefaultWaitMs);
    if (!copyRegisterName(entry.regName, parts[0]) || !mask || !values || !timeout)
        return false;
    entry.mask = *mask;
    entry.waitMs = static_cast<int32_t>(*timeout);
    bool withinLimit = storeValues(*values, kValueLimit, entry.values, entry.valueCount);
    current.versionWrites[current.versionWriteCount++] = entry;
    return withinLimit;
}

bool OptionalSection::applyVersionRead(std::string_view value)
{
    IdentRegisterTest test{};
    Parsed parsed = parseRegisterTest(value, test, kValueLimit);
    if (parsed == Parsed::Malformed)
        return false;
    IdentGroup &current = group();
    if (current.versionReadCount < kMaxVersionReads)
        current.versionReads[current.versionReadCount++] = test;
    return parsed == Parsed::Ok;
}

bool OptionalSection::applyVersionResetIf(std::string_view value)
{
    IdentRegisterTest test{};
    Parsed parsed = parseRegisterTest(value, test, kValueLimit);
    if (parsed == Parsed::Malformed)
        return false;
    group().resetIf = test;
    return parsed == Parsed::Ok;
}

bool OptionalSection::applyExtraSerial(std::string_view value)
{
    IdentSerialTest test{};
    Parsed parsed = parseSerialTest(value, test);
    if (parsed == Parsed::Malformed)
        return false;
    IdentGroup &current = group();
    if (current.extraSerialCount < kMaxExtraSerial)
        current.extraSerial[current.extraSerialCount++] = test;
    return parsed == Parsed::Ok;
}

} // namespace

int rejectUnwantedAddrSize(const IdentData &ident, const ze_sensor_t *sensor)
{
    const uint32_t wanted = ident.wantedAddrSize;
    const uint32_t size = sensor->regAddrSize;
    // A 32-bit device also answers the 16-bit probe.
    if (wanted != 0 && size != wanted && !(size == kAddrSize32 && wanted == kAddrSize16))
        return ZE_ERRORLOG(SENSOR_DOES_NOT_MATCH,
                           "Early reject: Register address size does not match");
    return PARSE_SUCCESS;
}

int readOptionalSection(SensorFileReader &reader)
{
    return OptionalSection(reader).read();
}

} // namespace zentro
