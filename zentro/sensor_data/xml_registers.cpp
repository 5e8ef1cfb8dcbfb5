// Address spaces, registers, bitfields and their details in an XML sensor-data file.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/log.h"
#include "sensor_data/sensor_record.h"
#include "sensor_data/xml_elements.h"
#include "zentro_datatypes.h"
#include "zentro_reg_access.h"

namespace zentro {

namespace {

// Arrays start with room for this many entries and double when full.
constexpr int32_t kFirstRoom = 2;
// Characters of a default or range text that are converted.
constexpr size_t kMaxValueTextLength = 61;
constexpr uint32_t kMaxValueBits = 32;
constexpr uint32_t kDefaultDataType = 1;
constexpr uint32_t kDetailLength = ZE_TEXT_SIZE - 1;

struct OverwriteCheckWord {
    std::string_view word;
    uint32_t check;
};
constexpr std::array<OverwriteCheckWord, 8> kOverwriteChecks = {{
    {"OW", 1},
    {"OTPM_WARN", 1},
    {"OE", 2},
    {"OTPM_ERR", 2},
    {"W", 3},
    {"WARN", 3},
    {"E", 4},
    {"ERR", 4},
}};

int32_t grownRoom(int32_t room, int32_t count)
{
    return std::max(room > 0 ? room * 2 : kFirstRoom, count + 1);
}

uint32_t dataTypeByName(std::string_view name)
{
    uint32_t type = ze_DataTypeFromString(std::string(name).c_str());
    return type == ZE_DATATYPE_INVALID ? kDefaultDataType : type;
}

uint32_t convertValue(uint32_t dataType, std::string_view text, uint32_t mask)
{
    std::string kept(text.substr(0, kMaxValueTextLength));
    return ze_Str2Int(static_cast<int>(dataType), kept.c_str(), mask);
}

// "MIN MAX": both converted, or both cleared when the text does not hold two words.
void convertRange(uint32_t dataType, std::string_view text, uint32_t mask, uint32_t &minimum,
                  uint32_t &maximum)
{
    std::string_view first = firstWord(text);
    std::string_view second;
    if (!first.empty())
        second =
            firstWord(text.substr(static_cast<size_t>(first.data() - text.data()) + first.size()));
    if (first.empty() || second.empty()) {
        minimum = maximum = 0;
        return;
    }
    minimum = convertValue(dataType, first, mask);
    maximum = convertValue(dataType, second, mask);
}

// @span is the number as the file writes it, sign included: "-1" is below 1, not 0xFFFFFFFF.
uint32_t spanFromNumber(int32_t span)
{
    if (span < 1)
        return 1;
    return span <= 2 ? static_cast<uint32_t>(span) : 4;
}

// The texts of a register or bitfield whose conversion waits for the data type and mask.
struct ValueTexts {
    std::optional<std::string_view> defaultValue;
    std::optional<std::string_view> range;
};

// Attributes registers and bitfields share; false when @name is not one of them.
template <class Record>
bool applyCommonAttribute(XmlSensorReader &reader, std::string_view element, Record &record,
                          const XmlAttribute &attribute, ValueTexts &texts)
{
    std::string_view name = attribute.name;
    std::string_view value = xmlvalue::trimmed(attribute.value);
    if (equalsNoCase(name, "name")) {
        copyFittedText(record.name, value);
    } else if (equalsNoCase(name, "mask")) {
        auto mask = xmlvalue::number(value);
        if (mask)
            record.mask = *mask;
        else
            reader.badValue(element, attribute);
    } else if (equalsNoCase(name, "rw")) {
        record.access = parseAccessWord(value);
    } else if (equalsNoCase(name, "display_name")) {
        copyFittedText(record.displayName, value);
    } else if (equalsNoCase(name, "ext_name")) {
        copyFittedText(record.externalName, value);
    } else if (equalsNoCase(name, "datatype")) {
        record.dataType = dataTypeByName(value);
    } else if (equalsNoCase(name, "range")) {
        texts.range = value;
    } else if (equalsNoCase(name, "confidential")) {
        record.confidential = xmlvalue::beginsWith(value, 'Y')   ? 1
                              : xmlvalue::beginsWith(value, 'P') ? 2
                                                                 : 0;
    } else {
        return false;
    }
    return true;
}

// The address step of @reg's space, computed on the record being read.
uint32_t addrIncrementOf(XmlSensorReader &reader, const ze_reg_t &reg)
{
    ze_camera_t *camera = reader.camera();
    ze_sensor_t *shown = camera->sensor;
    camera->sensor = reader.sensor();
    const uint32_t step =
        ze_GetSensorAddrIncrement(camera, reg.addrSpace ? reg.addrSpace->type : ZE_SPACE_REG);
    camera->sensor = shown;
    return std::max(step, 1u);
}

void placeInSpace(XmlSensorReader &reader, ze_reg_t &reg, std::string_view spaceName)
{
    const ze_addr_space_list_t *table = reader.sensor()->addrSpaces;
    const int32_t index = findAddrSpace(reader.shared(), spaceName);
    if (index >= 0) {
        reg.addrSpace = &table->spaces[index];
        reg.addrSpaceId = static_cast<uint32_t>(reg.addrSpace->id);
        return;
    }
    // An unknown space name leaves the register in the first space with id 0.
    reg.addrSpaceId = 0;
    reg.addrSpace = table && table->count > 0 ? &table->spaces[0] : nullptr;
}

void applyRegisterAttribute(XmlSensorReader &reader, ze_reg_t &reg, const XmlAttribute &attribute,
                            ValueTexts &texts)
{
    if (applyCommonAttribute(reader, "reg", reg, attribute, texts))
        return;
    std::string_view name = attribute.name;
    std::string_view value = xmlvalue::trimmed(attribute.value);
    uint32_t *number = nullptr;
    if (equalsNoCase(name, "addr")) {
        number = &reg.addr;
    } else if (equalsNoCase(name, "span")) {
        if (auto span = xmlvalue::number(value))
            reg.span = spanFromNumber(static_cast<int32_t>(*span));
        else
            reader.badValue("reg", attribute);
    } else if (equalsNoCase(name, "space")) {
        placeInSpace(reader, reg, value);
    } else if (equalsNoCase(name, "default")) {
        texts.defaultValue = value;
    } else if (equalsNoCase(name, "volatile")) {
        reg.isVolatile = xmlvalue::beginsWith(value, 'Y') ? 1 : 0;
    } else if (equalsNoCase(name, "overwrite_check")) {
        reg.overwriteCheck = 0;
        for (const OverwriteCheckWord &word : kOverwriteChecks) {
            if (equalsNoCase(word.word, value))
                reg.overwriteCheck = word.check;
        }
    } else if (equalsNoCase(name, "check_bitmask")) {
        number = &reg.checkBitmask;
    } else if (equalsNoCase(name, "check_value")) {
        number = &reg.checkValue;
    }
    if (!number)
        return;
    if (auto parsed = xmlvalue::number(value))
        *number = *parsed;
    else
        reader.badValue("reg", attribute);
}

// Registers wider than 32 bits do not fit a register value: the span is cut to fit.
void limitSpan(const ze_sensor_t *sensor, ze_reg_t &reg)
{
    const uint32_t unitBits = sensor->regDataSize;
    if (unitBits > 0 && reg.span * unitBits > kMaxValueBits)
        reg.span = std::max(kMaxValueBits / unitBits, 1u);
}

bool makeRegisterRoom(XmlSensorReader &reader)
{
    ze_sensor_t *sensor = reader.sensor();
    SensorFileReader &shared = reader.shared();
    if (sensor->regCount < shared.regCapacity)
        return true;
    const int32_t room = grownRoom(shared.regCapacity, sensor->regCount);
    void *moved = realloc(sensor->regs, sizeof(ze_reg_t) * static_cast<size_t>(room));
    if (!moved)
        return false;
    sensor->regs = static_cast<ze_reg_t *>(moved);
    shared.regCapacity = room;
    return true;
}

bool makeBitfieldRoom(XmlSensorReader &reader, ze_reg_t &reg)
{
    if (reg.bitfieldCount < reader.bitfieldCapacity)
        return true;
    const int32_t room =
        std::min(grownRoom(reader.bitfieldCapacity, reg.bitfieldCount), ZE_MAX_BITFIELDS);
    void *moved = realloc(reg.bitfields, sizeof(ze_bitfield_t) * static_cast<size_t>(room));
    if (!moved)
        return false;
    reg.bitfields = static_cast<ze_bitfield_t *>(moved);
    reader.bitfieldCapacity = room;
    return true;
}

bool hasBitfield(const ze_reg_t &reg, const char *name)
{
    for (int32_t i = 0; i < reg.bitfieldCount; ++i) {
        if (equalsNoCase(reg.bitfields[i].name, name))
            return true;
    }
    return false;
}

bool makeSpaceRoom(XmlSensorReader &reader)
{
    ze_sensor_t *sensor = reader.sensor();
    if (!sensor->addrSpaces) {
        sensor->addrSpaces =
            static_cast<ze_addr_space_list_t *>(calloc(1, sizeof(ze_addr_space_list_t)));
        if (!sensor->addrSpaces)
            return false;
    }
    SensorFileReader &shared = reader.shared();
    const int32_t count = sensor->addrSpaces->count;
    if (count < shared.spaceCapacity)
        return true;
    const int32_t room = grownRoom(shared.spaceCapacity, count);
    if (!resizeAddrSpaces(sensor, room))
        return false;
    shared.spaceCapacity = room;
    return true;
}

// The detail that text of an open detail element goes to, or nullptr.
char *detailTarget(XmlSensorReader &reader)
{
    if (reader.currentReg < 0)
        return nullptr;
    ze_reg_t &reg = reader.sensor()->regs[reader.currentReg];
    if (reader.openBitfields > 0 && reader.currentBitfield >= 0)
        return reg.bitfields[reader.currentBitfield].detail;
    return reg.detail;
}

} // namespace

void addAddrSpace(XmlSensorReader &reader, XmlAttributes attributes)
{
    if (!makeSpaceRoom(reader)) {
        reader.fail(ZE_ERRORLOG(CAMERA_ERROR, "Couldn't grow the address-space table"));
        return;
    }
    ze_addr_space_list_t *table = reader.sensor()->addrSpaces;
    ze_addr_space_t &space = table->spaces[table->count];
    memset(&space, 0, sizeof(space));
    for (const XmlAttribute &attribute : attributes) {
        std::string_view name = attribute.name;
        std::string_view value = xmlvalue::trimmed(attribute.value);
        uint32_t *number = nullptr;
        if (equalsNoCase(name, "name"))
            copyFittedText(space.name, value);
        else if (equalsNoCase(name, "desc"))
            copyFittedText(space.description, value);
        else if (equalsNoCase(name, "type"))
            space.type = addrSpaceTypeFromWord(value);
        else if (equalsNoCase(name, "value"))
            number = reinterpret_cast<uint32_t *>(&space.id);
        else if (equalsNoCase(name, "far_base"))
            number = &space.farBase;
        else if (equalsNoCase(name, "far_addr_size"))
            number = &space.farAddrSize;
        else if (equalsNoCase(name, "far_data_size"))
            number = &space.farDataSize;
        else if (equalsNoCase(name, "far_data_le"))
            space.farDataLE = xmlvalue::yesNo(value).value_or(false) ? 1 : 0;
        if (!number)
            continue;
        if (auto parsed = xmlvalue::number(value))
            *number = *parsed;
        else
            reader.badValue("space", attribute);
    }
    reader.shared().spaceIndex.emplace(lowerCase(space.name), table->count);
    ++table->count;
}

void endAddrSpaces(XmlSensorReader &reader)
{
    ze_sensor_t *sensor = reader.sensor();
    SensorFileReader &shared = reader.shared();
    ze_addr_space_list_t *table = sensor->addrSpaces;
    if (!table || sensor->regCount > 0 || table->count == 0 || table->count >= shared.spaceCapacity)
        return;
    if (resizeAddrSpaces(sensor, table->count))
        shared.spaceCapacity = table->count;
}

bool startRegister(XmlSensorReader &reader, XmlAttributes attributes)
{
    reader.currentReg = -1;
    reader.currentBitfield = -1;
    reader.bitfieldCapacity = 0;
    ze_sensor_t *sensor = reader.sensor();
    if (!makeRegisterRoom(reader)) {
        reader.fail(ZE_ERRORLOG(CAMERA_ERROR, "Couldn't allocate the register array"));
        return true;
    }
    ze_reg_t &reg = sensor->regs[sensor->regCount];
    memset(&reg, 0, sizeof(reg));
    reg.mask = 0xFFFFFFFF;
    reg.span = 1;
    reg.access = ZE_ACCESS_RW;
    reg.dataType = kDefaultDataType;
    const ze_addr_space_list_t *table = sensor->addrSpaces;
    if (table && table->count > 0) {
        reg.addrSpace = &table->spaces[table->count - 1];
        reg.addrSpaceId = static_cast<uint32_t>(reg.addrSpace->id);
    }
    ValueTexts texts;
    for (const XmlAttribute &attribute : attributes)
        applyRegisterAttribute(reader, reg, attribute, texts);

    if (!reg.name[0]) {
        reader.syntaxError(PARSE_REG_ERROR, "reg without name");
        return false;
    }
    // Registers between the address steps of their space do not exist.
    if (reg.addr % addrIncrementOf(reader, reg) != 0)
        return false;
    std::string key = lowerCase(reg.name);
    if (reader.shared().registerNames.count(key)) {
        reader.syntaxError(DUPLICATE_DESC_ERROR, reg.name);
        return false;
    }
    limitSpan(sensor, reg);
    if (texts.defaultValue)
        reg.defaultValue = convertValue(reg.dataType, *texts.defaultValue, reg.mask);
    if (texts.range)
        convertRange(reg.dataType, *texts.range, reg.mask, reg.rangeMin, reg.rangeMax);
    reader.shared().registerNames.insert(std::move(key));
    reader.currentReg = sensor->regCount++;
    recordSelectAddress(reader.shared(), reg, false);
    int code = runEarlyIdentityCheck(reader.shared(), reg);
    if (code == PARSE_SUCCESS)
        return false;
    reader.fail(code);
    return true;
}

void endRegister(XmlSensorReader &reader)
{
    if (reader.currentReg < 0)
        return;
    ze_reg_t &reg = reader.sensor()->regs[reader.currentReg];
    if (reg.bitfieldCount >= reader.bitfieldCapacity)
        return;
    if (reg.bitfieldCount == 0) {
        free(reg.bitfields);
        reg.bitfields = nullptr;
    } else if (void *trimmed = realloc(reg.bitfields, sizeof(ze_bitfield_t) *
                                                          static_cast<size_t>(reg.bitfieldCount))) {
        reg.bitfields = static_cast<ze_bitfield_t *>(trimmed);
    } else {
        return;
    }
    reader.bitfieldCapacity = reg.bitfieldCount;
}

void trimRegisters(XmlSensorReader &reader)
{
    ze_sensor_t *sensor = reader.sensor();
    SensorFileReader &shared = reader.shared();
    if (sensor->regCount >= shared.regCapacity)
        return;
    if (sensor->regCount == 0) {
        free(sensor->regs);
        sensor->regs = nullptr;
    } else if (void *trimmed = realloc(sensor->regs,
                                       sizeof(ze_reg_t) * static_cast<size_t>(sensor->regCount))) {
        sensor->regs = static_cast<ze_reg_t *>(trimmed);
    } else {
        return;
    }
    shared.regCapacity = sensor->regCount;
}

void startBitfield(XmlSensorReader &reader, XmlAttributes attributes)
{
    reader.currentBitfield = -1;
    if (reader.currentReg < 0)
        return;
    ze_reg_t &reg = reader.sensor()->regs[reader.currentReg];
    ze_bitfield_t bitfield{};
    bitfield.access = ZE_ACCESS_RW;
    bitfield.dataType = kDefaultDataType;
    ValueTexts texts;
    for (const XmlAttribute &attribute : attributes)
        applyCommonAttribute(reader, "bitfield", bitfield, attribute, texts);
    if (!bitfield.name[0]) {
        reader.syntaxError(PARSE_REG_ERROR, std::string(reg.name) + ": bitfield without name");
        return;
    }
    if (hasBitfield(reg, bitfield.name)) {
        reader.syntaxError(DUPLICATE_DESC_ERROR, bitfield.name);
        return;
    }
    if (reg.bitfieldCount >= ZE_MAX_BITFIELDS) {
        reader.syntaxError(PARSE_REG_ERROR, std::string(reg.name) + ": more than " +
                                                std::to_string(ZE_MAX_BITFIELDS) + " bitfields");
        return;
    }
    if (!makeBitfieldRoom(reader, reg)) {
        reader.fail(ZE_ERRORLOG(CAMERA_ERROR, "Couldn't allocate a bitfield array"));
        return;
    }
    // Field values are the masked bits shifted down to bit 0; so are their ranges.
    const uint32_t fieldMask = bitfield.mask ? bitfield.mask >> __builtin_ctz(bitfield.mask) : 0;
    if (texts.range)
        convertRange(bitfield.dataType, *texts.range, fieldMask, bitfield.rangeMin,
                     bitfield.rangeMax);
    reader.currentBitfield = reg.bitfieldCount;
    reg.bitfields[reg.bitfieldCount++] = bitfield;
}

void startDetail(XmlSensorReader &reader)
{
    if (char *detail = detailTarget(reader))
        detail[0] = '\0';
}

void appendDetail(XmlSensorReader &reader, std::string_view piece)
{
    char *detail = detailTarget(reader);
    if (!detail)
        return;
    const size_t length = strnlen(detail, kDetailLength);
    const size_t kept = std::min(piece.size(), kDetailLength - length);
    memcpy(detail + length, piece.data(), kept);
    detail[length + kept] = '\0';
}

void afterFarMerge(XmlSensorReader &reader)
{
    // The merge leaves both arrays exactly as large as their counts.
    ze_sensor_t *sensor = reader.sensor();
    reader.shared().regCapacity = sensor->regCount;
    reader.shared().spaceCapacity = sensor->addrSpaces ? sensor->addrSpaces->count : 0;
}

} // namespace zentro
