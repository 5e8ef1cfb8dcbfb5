// The REGISTERS section: register lines with their bitfield lines, select registers and the
// early identity check.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "camera/context.h"
#include "core/log.h"
#include "sensor_data/sensor_record.h"
#include "sensor_data/text_reader.h"

namespace zentro {

namespace {

constexpr size_t kMaxNameLength = ZE_TEXT_SIZE - 1;
constexpr size_t kMaxSpaceNameLength = 39;
constexpr size_t kMaxAccessWordLength = 4;
constexpr uint32_t kSdatVersionWithSpan = 2;
constexpr size_t kLeadingFieldsWithSpan = 6;    // ADDR, SPACE, SPAN, MASK, ACCESS, DEFAULT
constexpr size_t kLeadingFieldsWithoutSpan = 5; // ADDR, SPACE, MASK, ACCESS, DEFAULT
constexpr size_t kBitfieldLeadingFields = 3;    // NAME, MASK, ACCESS
constexpr uint32_t kMaxValueBits = 32;
constexpr uint32_t kNarrowAddrSize = 8;
constexpr int32_t kFirstBitfieldRoom = 4;

constexpr std::string_view kChipVersionReg = "CHIP_VERSION_REG";
constexpr std::string_view kSpaceSelectReg = "ADDR_SPACE_SEL";
constexpr std::string_view kSerialReadIndexReg = "2_WIRE_SERIAL_READ_INDEX";
constexpr std::string_view kSerialWriteIndexReg = "2_WIRE_SERIAL_WRITE_INDEX";
// Name prefixes that mark confidential registers and bitfields (case-sensitive).
constexpr std::string_view kConfidentialRegPrefix = "RESERVED_";
constexpr std::array<std::string_view, 2> kConfidentialBitfieldPrefixes = {"BIT_", "BITS_"};

// Sensor type codes that select address spaces through ADDR_SPACE_SEL, and the two whose
// serial index registers do it.
constexpr std::array<uint32_t, 6> kTypesWithSpaceSelect = {8, 10, 16, 18, 20, 24};
constexpr std::array<uint32_t, 2> kTypesWithSerialIndex = {105, 118};
// Sensor type codes whose chip version can only be read once the space select is known.
constexpr std::array<uint32_t, 4> kTypesCheckedAfterSpaceSelect = {22, 40, 73, 85};

struct SelectNames {
    std::string_view read;
    std::string_view write;
};

SelectNames selectRegisterNames(uint32_t sensorType)
{
    if (isOneOf(kTypesWithSpaceSelect, sensorType))
        return {kSpaceSelectReg, kSpaceSelectReg};
    if (isOneOf(kTypesWithSerialIndex, sensorType))
        return {kSerialReadIndexReg, kSerialWriteIndexReg};
    return {};
}

struct RegisterLine {
    std::string_view name;
    uint32_t addr = 0;
    std::string_view space;
    uint32_t span = 1;
    uint32_t mask = 0;
    ze_access_t access = ZE_ACCESS_RW;
    uint32_t defaultValue = 0;
    std::string_view display;
    std::string_view detail;
};

struct BitfieldLine {
    std::string_view name;
    uint32_t mask = 0;
    ze_access_t access = ZE_ACCESS_RW;
    std::string_view display;
    std::string_view detail;
};

bool isBitfieldLine(std::string_view line)
{
    std::string_view trimmed = trimBlanks(line);
    return !trimmed.empty() && trimmed.front() == '{';
}

bool isAccessWord(std::string_view word)
{
    return !word.empty() && word.size() <= kMaxAccessWordLength;
}

bool startsWith(const char *text, std::string_view prefix)
{
    return strncmp(text, prefix.data(), prefix.size()) == 0;
}

// NAME = {ADDR, SPACE, [SPAN,] MASK, ACCESS, DEFAULT, DISPLAY DETAIL}
std::optional<RegisterLine> parseRegisterLine(std::string_view line, bool withSpan)
{
    auto pair = splitKeyValue(line);
    if (!pair || !isSingleWord(pair->key) || pair->key.size() > kMaxNameLength)
        return std::nullopt;
    const size_t leading = withSpan ? kLeadingFieldsWithSpan : kLeadingFieldsWithoutSpan;
    auto braces = splitBraceFields(pair->value, leading);
    if (!braces || braces->fields.size() != leading)
        return std::nullopt;
    // The older form always ends with the display name and detail texts.
    if (!withSpan && (!braces->hasTail || !quotedText(braces->tail)))
        return std::nullopt;
    const auto &fields = braces->fields;
    size_t next = 2;
    RegisterLine parsed;
    parsed.name = pair->key;
    parsed.space = fields[1];
    auto addr = parseInteger(fields[0]);
    auto span = withSpan ? parseInteger(fields[next++]) : std::optional<uint32_t>(1);
    auto mask = parseInteger(fields[next++]);
    std::string_view access = fields[next++];
    auto defaultValue = parseInteger(fields[next]);
    if (!addr || !span || !mask || !defaultValue || !isAccessWord(access) ||
        parsed.space.size() > kMaxSpaceNameLength)
        return std::nullopt;
    parsed.addr = *addr;
    parsed.span = *span;
    parsed.mask = *mask;
    parsed.access = parseAccessWord(access);
    parsed.defaultValue = *defaultValue;
    if (braces->hasTail) {
        QuotedPair texts = twoQuotedTexts(braces->tail);
        parsed.display = texts.first;
        parsed.detail = texts.second;
    }
    return parsed;
}

// {NAME, MASK, ACCESS, DISPLAY DETAIL}
std::optional<BitfieldLine> parseBitfieldLine(std::string_view line)
{
    auto braces = splitBraceFields(line, kBitfieldLeadingFields);
    if (!braces || braces->fields.size() != kBitfieldLeadingFields)
        return std::nullopt;
    BitfieldLine parsed;
    parsed.name = firstWord(braces->fields[0]);
    auto mask = parseInteger(braces->fields[1]);
    std::string_view access = braces->fields[2];
    if (parsed.name.empty() || parsed.name.size() > kMaxNameLength || !mask ||
        !isAccessWord(access))
        return std::nullopt;
    parsed.mask = *mask;
    parsed.access = parseAccessWord(access);
    if (braces->hasTail) {
        QuotedPair texts = twoQuotedTexts(braces->tail);
        parsed.display = texts.first;
        parsed.detail = texts.second;
    }
    return parsed;
}

// Register lines up to the section's end; the position is restored afterwards.
int32_t countRegisterLines(LineReader &lines)
{
    const LineReader::Position start = lines.position();
    int32_t count = 0;
    std::string_view line;
    while (lines.next(kRegisterLineLimit, line) && !isSectionEnd(line)) {
        if (!isSkippedLine(line) && !isBitfieldLine(line))
            ++count;
    }
    lines.restore(start);
    return count;
}

// Makes @sensor the camera's sensor while an identification check looks at it.
class SensorStandIn
{
public:
    SensorStandIn(ze_camera_t *camera, ze_sensor_t *sensor)
        : camera_(camera), previous_(camera->sensor)
    {
        camera_->sensor = sensor;
        registersChanged(camera_);
    }
    ~SensorStandIn()
    {
        camera_->sensor = previous_;
        registersChanged(camera_);
    }
    SensorStandIn(const SensorStandIn &) = delete;
    SensorStandIn &operator=(const SensorStandIn &) = delete;

private:
    ze_camera_t *camera_;
    ze_sensor_t *previous_;
};

class RegisterSection
{
public:
    explicit RegisterSection(SensorFileReader &reader) : reader_(reader), sensor_(reader.sensor) {}

    int read();

private:
    int readRegisterLine(std::string_view line);
    void readBitfieldLine(std::string_view line);
    bool makeRoom(int32_t lines);
    bool validSpan(uint32_t span) const;
    ze_reg_t &storeRegister(const RegisterLine &line);
    bool storeBitfield(ze_reg_t &reg, const BitfieldLine &line);
    // Logs a syntax error that fails the section at its end; the line is skipped.
    void fail(int code, std::string_view text, const char *source = __builtin_FILE(),
              const char *function = __builtin_FUNCTION(), int line = __builtin_LINE());

    SensorFileReader &reader_;
    ze_sensor_t *sensor_;
    int failure_ = PARSE_SUCCESS;
};

int RegisterSection::read()
{
    if (!makeRoom(countRegisterLines(reader_.lines)))
        return ZE_ERRORLOG(CAMERA_ERROR, "Couldn't allocate the register array");
    reader_.openRegister = nullptr;
    std::string_view line;
    int code = PARSE_SUCCESS;
    while (code == PARSE_SUCCESS && reader_.nextSectionLine(kRegisterLineLimit, line)) {
        if (reader_.openRegister && isBitfieldLine(line))
            readBitfieldLine(line);
        else
            code = readRegisterLine(line);
    }
    reader_.openRegister = nullptr;
    registersChanged(reader_.camera);
    return code != PARSE_SUCCESS ? code : failure_;
}

void RegisterSection::fail(int code, std::string_view text, const char *source,
                           const char *function, int line)
{
    reader_.syntaxError(code, text, source, function, line);
    if (failure_ == PARSE_SUCCESS)
        failure_ = code;
}

bool RegisterSection::makeRoom(int32_t lines)
{
    // Far merges between sections reallocate the array to its count: size it anew.
    const int32_t room = sensor_->regCount + lines;
    reader_.regCapacity = sensor_->regCount;
    if (lines == 0)
        return true;
    reader_.registerNames.reserve(static_cast<size_t>(room));
    void *moved = realloc(sensor_->regs, sizeof(ze_reg_t) * static_cast<size_t>(room));
    if (!moved)
        return false;
    sensor_->regs = static_cast<ze_reg_t *>(moved);
    memset(sensor_->regs + sensor_->regCount, 0,
           sizeof(ze_reg_t) * static_cast<size_t>(room - sensor_->regCount));
    reader_.regCapacity = room;
    registersChanged(reader_.camera);
    return true;
}

bool RegisterSection::validSpan(uint32_t span) const
{
    if (span == 1)
        return true;
    return (span == 2 || span == 4) && span * sensor_->regDataSize <= kMaxValueBits;
}

int RegisterSection::readRegisterLine(std::string_view line)
{
    reader_.openRegister = nullptr;
    const bool withSpan = reader_.camera->context->sdatVersion >= kSdatVersionWithSpan;
    auto parsed = parseRegisterLine(line, withSpan);
    if (!parsed || !validSpan(parsed->span)) {
        fail(PARSE_REG_ERROR, line);
        return PARSE_SUCCESS;
    }
    if (reader_.registerNames.count(lowerCase(parsed->name))) {
        fail(DUPLICATE_DESC_ERROR, parsed->name);
        return PARSE_SUCCESS;
    }
    if (sensor_->regCount >= reader_.regCapacity)
        return reader_.syntaxError(PARSE_REG_ERROR, line);
    ze_reg_t &reg = storeRegister(*parsed);
    reader_.openRegister = &reg;
    reader_.bitfieldCapacity = 0;
    recordSelectAddress(reader_, reg, true);
    return runEarlyIdentityCheck(reader_, reg);
}

ze_reg_t &RegisterSection::storeRegister(const RegisterLine &line)
{
    ze_reg_t &reg = sensor_->regs[sensor_->regCount++];
    copyFittedText(reg.name, line.name);
    reg.addr = line.addr;
    reg.mask = line.mask;
    reg.defaultValue = line.defaultValue;
    reg.access = line.access;
    copyFittedText(reg.displayName, line.display);
    copyFittedText(reg.detail, line.detail);
    reg.span = line.span;
    reg.dataType = 1;
    reg.confidential = startsWith(reg.name, kConfidentialRegPrefix) ? 1 : 0;
    const ze_addr_space_list_t *table = sensor_->addrSpaces;
    const int32_t space = findAddrSpace(reader_, line.space);
    if (space >= 0) {
        reg.addrSpace = &table->spaces[space];
        reg.addrSpaceId = static_cast<uint32_t>(reg.addrSpace->id);
    } else {
        // An unknown space name leaves the register in the first space with id 0.
        reg.addrSpaceId = 0;
        reg.addrSpace = table && table->count > 0 ? &table->spaces[0] : nullptr;
    }
    reader_.registerNames.insert(lowerCase(line.name));
    return reg;
}

void RegisterSection::readBitfieldLine(std::string_view line)
{
    ze_reg_t &reg = *reader_.openRegister;
    auto parsed = parseBitfieldLine(line);
    if (!parsed) {
        fail(PARSE_REG_ERROR, line);
        return;
    }
    // Storage ends at the limit: a further bitfield is a mistake of the file, not dropped
    // silently.
    if (reg.bitfieldCount >= ZE_MAX_BITFIELDS) {
        fail(PARSE_REG_ERROR, line);
        return;
    }
    if (!storeBitfield(reg, *parsed))
        fail(PARSE_REG_ERROR, line);
}

bool RegisterSection::storeBitfield(ze_reg_t &reg, const BitfieldLine &line)
{
    if (reg.bitfieldCount >= reader_.bitfieldCapacity) {
        int32_t room = reader_.bitfieldCapacity > 0
                           ? std::min(reader_.bitfieldCapacity * 2, ZE_MAX_BITFIELDS)
                           : kFirstBitfieldRoom;
        void *moved = realloc(reg.bitfields, sizeof(ze_bitfield_t) * static_cast<size_t>(room));
        if (!moved)
            return false;
        reg.bitfields = static_cast<ze_bitfield_t *>(moved);
        reader_.bitfieldCapacity = room;
    }
    ze_bitfield_t &bitfield = reg.bitfields[reg.bitfieldCount++];
    memset(&bitfield, 0, sizeof(bitfield));
    copyFittedText(bitfield.name, line.name);
    bitfield.mask = line.mask;
    bitfield.access = line.access;
    copyFittedText(bitfield.displayName, line.display);
    copyFittedText(bitfield.detail, line.detail);
    bitfield.dataType = 1;
    for (std::string_view prefix : kConfidentialBitfieldPrefixes) {
        if (startsWith(bitfield.name, prefix))
            bitfield.confidential = 1;
    }
    return true;
}

} // namespace

void recordSelectAddress(SensorFileReader &reader, const ze_reg_t &reg, bool narrowOnly)
{
    const ze_sensor_t *sensor = reader.sensor;
    ze_addr_space_list_t *table = sensor->addrSpaces;
    SelectNames names = selectRegisterNames(sensor->sensorType);
    if (!table || names.read.empty())
        return;
    const ze_addr_space_type_t type = reg.addrSpace ? reg.addrSpace->type : ZE_SPACE_REG;
    const bool far1 = isFar1Space(type);
    const bool far2 = isFar2Space(type);
    const bool narrow = !narrowOnly || sensor->regAddrSize == kNarrowAddrSize;
    if (equalsNoCase(reg.name, names.read)) {
        if (far1)
            table->far1SelectAddr = reg.addr;
        else if (far2)
            table->far2SelectAddr = reg.addr;
        else if (narrow)
            table->readSelectAddr = reg.addr;
    }
    if (equalsNoCase(reg.name, names.write) && !far1 && !far2 && narrow)
        table->writeSelectAddr = reg.addr;
}

int runEarlyIdentityCheck(SensorFileReader &reader, const ze_reg_t &reg)
{
    ze_camera_t *camera = reader.camera;
    ze_sensor_t *sensor = reader.sensor;
    IdentData &ident = camera->context->ident;
    EarlyIdentityCheck check = earlyIdentityCheck();
    if (!ident.probing || !check)
        return PARSE_SUCCESS;
    const bool chipVersion = equalsNoCase(reg.name, kChipVersionReg);
    const bool spaceSelect = equalsNoCase(reg.name, kSpaceSelectReg);
    if (!chipVersion && !spaceSelect)
        return PARSE_SUCCESS;
    reader.chipVersionSeen |= chipVersion;
    reader.spaceSelectSeen |= spaceSelect;
    // Some sensors answer their chip version only in the right address space.
    const bool needsSpaceSelect = isOneOf(kTypesCheckedAfterSpaceSelect, sensor->sensorType) ||
                                  (sensor->regAddrSize == kNarrowAddrSize && isSocSensor(sensor));
    const bool ready =
        needsSpaceSelect ? reader.chipVersionSeen && reader.spaceSelectSeen : chipVersion;
    if (!ready)
        return PARSE_SUCCESS;
    bool matches;
    {
        SensorStandIn standIn(camera, sensor);
        matches = check(camera);
    }
    if (!matches)
        return ZE_ERRORLOG(SENSOR_DOES_NOT_MATCH, "Early reject: CHIP_VERSION_REG does not match");
    ident.probing = 0;
    return PARSE_SUCCESS;
}

int readRegisterSection(SensorFileReader &reader)
{
    return RegisterSection(reader).read();
}

} // namespace zentro
