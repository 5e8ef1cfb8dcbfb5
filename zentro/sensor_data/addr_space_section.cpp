// The ADDR_SPACE section: the table of address spaces through which registers are reached.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "core/log.h"
#include "sensor_data/sensor_record.h"
#include "sensor_data/text_reader.h"

namespace zentro {

namespace {

// Room of a new table; it doubles whenever it fills up.
constexpr int32_t kInitialSpaceRoom = 50;

struct SpaceTypeWord {
    std::string_view word;
    ze_addr_space_type_t type;
};
constexpr std::array<SpaceTypeWord, 13> kSpaceTypeWords = {{
    {"REG", ZE_SPACE_REG},
    {"MCU", ZE_SPACE_MCU},
    {"SFR", ZE_SPACE_SFR},
    {"MEM", ZE_SPACE_SFR},
    {"IND", ZE_SPACE_IND},
    {"FAR1", ZE_SPACE_FAR1},
    {"FAR1_REG", ZE_SPACE_FAR1},
    {"FAR1_MCU", ZE_SPACE_FAR1_MCU},
    {"FAR1_SFR", ZE_SPACE_FAR1_SFR},
    {"FAR2", ZE_SPACE_FAR2},
    {"FAR2_REG", ZE_SPACE_FAR2},
    {"FAR2_MCU", ZE_SPACE_FAR2_MCU},
    {"FAR2_SFR", ZE_SPACE_FAR2_SFR},
}};

// One line of the section, read but not yet stored.
struct SpaceLine {
    std::string_view name;
    ze_addr_space_type_t type = ZE_SPACE_REG;
    int32_t id = 0;
    std::string_view description;
};

// What follows the id: the quoted description, or the bare text when it has no quotes.
std::string_view descriptionText(std::string_view text)
{
    if (auto quoted = quotedText(text))
        return *quoted;
    return trimBlanks(text);
}

// NAME = {TYPE, ID, DESCRIPTION} or NAME = {ID, DESCRIPTION}
std::optional<SpaceLine> parseSpaceLine(std::string_view line)
{
    auto pair = splitKeyValue(line);
    if (!pair || !isSingleWord(pair->key) || pair->key.size() >= ZE_TEXT_SIZE)
        return std::nullopt;
    auto fields = splitBraceFields(pair->value, 1);
    if (!fields || fields->fields.empty())
        return std::nullopt;
    SpaceLine space;
    space.name = pair->key;
    std::string_view afterFirst = fields->hasTail ? fields->tail : std::string_view();
    if (auto id = parseInteger(fields->fields[0])) {
        space.id = static_cast<int32_t>(*id);
        space.description = descriptionText(afterFirst);
        return space;
    }
    space.type = addrSpaceTypeFromWord(fields->fields[0]);
    size_t comma = afterFirst.find(',');
    auto id = parseInteger(afterFirst.substr(0, comma));
    if (!id)
        return std::nullopt;
    space.id = static_cast<int32_t>(*id);
    if (comma != std::string_view::npos)
        space.description = descriptionText(afterFirst.substr(comma + 1));
    return space;
}

// A far space's description also carries "BASE ADDRSIZE DATASIZE".
void readFarParameters(ze_addr_space_t &space, std::string_view description)
{
    uint32_t *targets[] = {&space.farBase, &space.farAddrSize, &space.farDataSize};
    for (uint32_t *target : targets) {
        auto number = parseIntegerPrefix(description);
        if (!number)
            return;
        *target = number->value;
        description.remove_prefix(number->length);
    }
}

bool ensureSpaceTable(SensorFileReader &reader)
{
    if (!reader.sensor->addrSpaces)
        reader.sensor->addrSpaces =
            static_cast<ze_addr_space_list_t *>(calloc(1, sizeof(ze_addr_space_list_t)));
    return reader.sensor->addrSpaces != nullptr;
}

bool makeRoomForSpace(SensorFileReader &reader)
{
    ze_addr_space_list_t *table = reader.sensor->addrSpaces;
    if (table->count < reader.spaceCapacity)
        return true;
    int32_t room = reader.spaceCapacity > 0 ? reader.spaceCapacity * 2 : kInitialSpaceRoom;
    if (room <= table->count)
        room = table->count + kInitialSpaceRoom;
    if (!resizeAddrSpaces(reader.sensor, room))
        return false;
    reader.spaceCapacity = room;
    return true;
}

void storeSpace(SensorFileReader &reader, const SpaceLine &line)
{
    ze_addr_space_list_t *table = reader.sensor->addrSpaces;
    int32_t index = table->count++;
    ze_addr_space_t &space = table->spaces[index];
    memset(&space, 0, sizeof(space));
    copyFittedText(space.name, line.name);
    copyFittedText(space.description, line.description);
    space.id = line.id;
    space.type = line.type;
    if (isFar1Space(line.type) || isFar2Space(line.type))
        readFarParameters(space, line.description);
    reader.spaceIndex.emplace(lowerCase(line.name), index);
}

} // namespace

ze_addr_space_type_t addrSpaceTypeFromWord(std::string_view word)
{
    std::string_view trimmed = trimBlanks(word);
    for (const SpaceTypeWord &entry : kSpaceTypeWords) {
        if (equalsNoCase(entry.word, trimmed))
            return entry.type;
    }
    return ZE_SPACE_REG;
}

bool isFar1Space(ze_addr_space_type_t type)
{
    return type >= ZE_SPACE_FAR1 && type <= ZE_SPACE_FAR1_SFR;
}

bool isFar2Space(ze_addr_space_type_t type)
{
    return type >= ZE_SPACE_FAR2 && type <= ZE_SPACE_FAR2_SFR;
}

int32_t findAddrSpace(const SensorFileReader &reader, std::string_view name)
{
    auto found = reader.spaceIndex.find(lowerCase(name));
    return found == reader.spaceIndex.end() ? -1 : found->second;
}

bool resizeAddrSpaces(ze_sensor_t *sensor, int32_t room)
{
    ze_addr_space_list_t *table = sensor->addrSpaces;
    const uintptr_t oldStart = reinterpret_cast<uintptr_t>(table->spaces);
    void *moved = realloc(table->spaces, sizeof(ze_addr_space_t) * static_cast<size_t>(room));
    if (!moved)
        return false;
    table->spaces = static_cast<ze_addr_space_t *>(moved);
    // Registers point into the table: follow it to its new place.
    for (int32_t i = 0; oldStart && i < sensor->regCount; ++i) {
        ze_reg_t &reg = sensor->regs[i];
        uintptr_t at = reinterpret_cast<uintptr_t>(reg.addrSpace);
        if (!reg.addrSpace || at < oldStart)
            continue;
        size_t index = (at - oldStart) / sizeof(ze_addr_space_t);
        if (index < static_cast<size_t>(table->count))
            reg.addrSpace = &table->spaces[index];
    }
    return true;
}

int readAddrSpaceSection(SensorFileReader &reader)
{
    if (!ensureSpaceTable(reader))
        return ZE_ERRORLOG(CAMERA_ERROR, "Couldn't allocate the address-space table");
    // Far merges between sections size the array to its count.
    reader.spaceCapacity = reader.sensor->addrSpaces->count;
    bool failed = false;
    std::string_view line;
    while (reader.nextSectionLine(kDescriptorLineLimit, line)) {
        auto space = parseSpaceLine(line);
        if (!space) {
            reader.syntaxError(PARSE_ADDR_SPACE_ERROR, line);
            failed = true;
            continue;
        }
        if (!makeRoomForSpace(reader))
            return ZE_ERRORLOG(CAMERA_ERROR, "Couldn't grow the address-space table");
        storeSpace(reader, *space);
    }
    return failed ? PARSE_ADDR_SPACE_ERROR : PARSE_SUCCESS;
}

} // namespace zentro
