// The XML sensor-data reader: entry point, element dispatch, collected texts, far sub-devices
// and parser errors.
#include "sensor_data/xml_reader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "core/log.h"
#include "sensor_data/sensor_record.h"
#include "sensor_data/xml_elements.h"
#include "zentro_sensor_data.h"

namespace zentro {

namespace {

// Characters of a far sub-device name that are used.
constexpr size_t kMaxFarNameLength = 80;
constexpr size_t kFirstNoteRoom = 16;

enum class Element {
    Sensor,
    VersionRegWrite,
    VersionRegWaitfor,
    VersionRegRead,
    VersionRegResetif,
    ExtraMatch,
    OrMatch,
    PartNumber,
    ProductVariant,
    VersionName,
    MinorVersion,
    AddrSpaces,
    Space,
    Registers,
    Reg,
    Bitfield,
    Detail,
    LongDesc,
    ConfNotes,
    Revision,
    FarSensor,
    Unknown,
};

struct ElementName {
    std::string_view name;
    Element element;
};

constexpr std::array<ElementName, 22> kElements = {{
    {"sensor", Element::Sensor},
    {"version_reg_write", Element::VersionRegWrite},
    {"version_reg_waitfor", Element::VersionRegWaitfor},
    {"version_reg_read", Element::VersionRegRead},
    {"version_reg_resetif", Element::VersionRegResetif},
    {"extra_match", Element::ExtraMatch},
    {"or_match", Element::OrMatch},
    {"part_number", Element::PartNumber},
    {"product_variant", Element::ProductVariant},
    {"version_name", Element::VersionName},
    {"sensor_version", Element::VersionName},
    {"minor_version", Element::MinorVersion},
    {"addr_spaces", Element::AddrSpaces},
    {"space", Element::Space},
    {"registers", Element::Registers},
    {"reg", Element::Reg},
    {"bitfield", Element::Bitfield},
    {"detail", Element::Detail},
    {"long_desc", Element::LongDesc},
    {"conf_notes", Element::ConfNotes},
    {"revision", Element::Revision},
    {"far_sensor", Element::FarSensor},
}};

Element elementOf(std::string_view name)
{
    for (const ElementName &entry : kElements) {
        if (equalsNoCase(entry.name, name))
            return entry.element;
    }
    return Element::Unknown;
}

void closeCounter(int &counter)
{
    if (counter > 0)
        --counter;
}

char *duplicateText(std::string_view text)
{
    char *copy = static_cast<char *>(malloc(text.size() + 1));
    if (!copy)
        throw std::bad_alloc();
    memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

struct FarSensorElement {
    std::string name;
    uint32_t type = 0;
    std::optional<uint32_t> base;
    std::string file;
};

// Merges the far sub-device a far_sensor element names; true stops the parse.
bool mergeFarSensor(XmlSensorReader &reader, XmlAttributes attributes)
{
    // One level of nesting only: a far file's own sub-devices are not followed.
    if (insideFarRead())
        return false;
    FarSensorElement far;
    for (const XmlAttribute &attribute : attributes) {
        std::string_view value = xmlvalue::trimmed(attribute.value);
        if (equalsNoCase(attribute.name, "name"))
            far.name = std::string(value.substr(0, kMaxFarNameLength));
        else if (equalsNoCase(attribute.name, "connection"))
            far.type = equalsNoCase(value, "FAR1")   ? ZE_SPACE_FAR1
                       : equalsNoCase(value, "FAR2") ? ZE_SPACE_FAR2
                                                     : 0;
        else if (equalsNoCase(attribute.name, "base"))
            far.base = xmlvalue::number(value);
        else if (equalsNoCase(attribute.name, "sdat"))
            far.file = std::string(value);
    }
    if (far.type == 0 || !far.base || far.file.empty()) {
        reader.syntaxError(PARSE_REG_ERROR, "far_sensor needs connection FAR1 or FAR2, base "
                                            "and sdat");
        reader.fail(PARSE_REG_ERROR);
        return false;
    }
    int code = ze_ParseFarSensorFile(reader.camera(), far.name.empty() ? nullptr : far.name.c_str(),
                                     far.type, *far.base, far.file.c_str(), reader.sensor());
    afterFarMerge(reader);
    if (code == PARSE_SUCCESS)
        return false;
    reader.fail(code);
    return true;
}

} // namespace

namespace xmlvalue {

std::string_view trimmed(std::string_view value)
{
    return trimBlanks(value);
}

std::optional<uint32_t> number(std::string_view value)
{
    auto prefix = parseIntegerPrefix(trimBlanks(value));
    if (!prefix)
        return std::nullopt;
    return prefix->value;
}

std::vector<uint32_t> numbers(std::string_view value)
{
    std::vector<uint32_t> found;
    std::string_view rest = trimBlanks(value);
    while (!rest.empty()) {
        auto prefix = parseIntegerPrefix(rest);
        if (!prefix)
            break;
        found.push_back(prefix->value);
        rest = trimBlanks(rest.substr(prefix->length));
    }
    return found;
}

std::optional<std::pair<uint32_t, uint32_t>> numberPair(std::string_view value,
                                                        uint32_t secondDefault)
{
    std::string_view text = trimBlanks(value);
    auto first = parseIntegerPrefix(text);
    if (!first)
        return std::nullopt;
    std::string_view rest = trimBlanks(text.substr(first->length));
    if (rest.empty() || rest.front() != ':')
        return std::make_pair(first->value, secondDefault);
    auto second = parseIntegerPrefix(trimBlanks(rest.substr(1)));
    if (!second)
        return std::nullopt;
    return std::make_pair(first->value, second->value);
}

std::optional<bool> yesNo(std::string_view value)
{
    std::string_view text = trimBlanks(value);
    if (text.empty())
        return std::nullopt;
    switch (toupper(static_cast<unsigned char>(text.front()))) {
    case 'Y':
    case '1':
        return true;
    case 'N':
    case '0':
        return false;
    default:
        return std::nullopt;
    }
}

bool beginsWith(std::string_view value, char letter)
{
    std::string_view text = trimBlanks(value);
    return !text.empty() && toupper(static_cast<unsigned char>(text.front())) ==
                                toupper(static_cast<unsigned char>(letter));
}

} // namespace xmlvalue

PendingNotes::~PendingNotes()
{
    clear();
}

void PendingNotes::clear()
{
    for (ze_desc_note_t &note : notes_) {
        free(note.regName);
        free(note.bitfieldName);
        free(note.text);
    }
    notes_.clear();
}

void PendingNotes::add(std::string_view regName, std::string_view bitfieldName,
                       std::string_view text)
{
    ze_desc_note_t note{};
    // Room first, so that the push below cannot throw and leak the copies.
    if (notes_.size() == notes_.capacity())
        notes_.reserve(std::max<size_t>(kFirstNoteRoom, notes_.capacity() * 2));
    try {
        note.regName = duplicateText(regName);
        note.bitfieldName = bitfieldName.empty() ? nullptr : duplicateText(bitfieldName);
        note.text = duplicateText(text);
    } catch (const std::bad_alloc &) {
        free(note.regName);
        free(note.bitfieldName);
        throw;
    }
    notes_.push_back(note);
}

bool PendingNotes::moveTo(ze_desc_note_t *&list, int32_t &count)
{
    if (notes_.empty())
        return true;
    const size_t total = static_cast<size_t>(count) + notes_.size();
    void *grown = realloc(list, sizeof(ze_desc_note_t) * total);
    if (!grown) {
        clear();
        return false;
    }
    list = static_cast<ze_desc_note_t *>(grown);
    memcpy(list + count, notes_.data(), sizeof(ze_desc_note_t) * notes_.size());
    count = static_cast<int32_t>(total);
    notes_.clear();
    return true;
}

XmlSensorReader::XmlSensorReader(ze_camera_t *camera, ze_sensor_t *sensor)
    : text_(camera, sensor, std::string_view()), parser_(*this)
{
}

int XmlSensorReader::syntaxError(int code, std::string_view text, const char *source,
                                 const char *function, int line)
{
    std::string lineText(text);
    return ze_syntaxerror(code, lineText.c_str(), sensor()->fileName, parser_.currentLine(), source,
                          function, line);
}

void XmlSensorReader::badValue(std::string_view element, const XmlAttribute &attribute)
{
    std::string text = std::string(element) + ": unusable value " + std::string(attribute.name) +
                       "=\"" + std::string(attribute.value) + "\"";
    syntaxError(CHIP_DESC_ERROR, text);
}

void XmlSensorReader::fail(int code)
{
    if (result == PARSE_SUCCESS)
        result = code;
}

void XmlSensorReader::parseError(const XmlError &error)
{
    char text[ZE_TEXT_SIZE + 64];
    snprintf(text, sizeof(text), "XML parsing error: \"%s\" Code: %d Line: %d Col: %d",
             error.message.c_str(), error.code, error.line, error.column);
    ze_syntaxerror(SENSOR_FILE_PARSE_ERROR, text, sensor()->fileName, error.line, __FILE__,
                   __func__, __LINE__);
    fail(SENSOR_FILE_PARSE_ERROR);
}

bool XmlSensorReader::startElement(std::string_view name, XmlAttributes attributes)
{
    switch (elementOf(name)) {
    case Element::Sensor:
        return startSensorElement(*this, attributes);
    case Element::VersionRegWrite:
        addVersionWrite(*this, attributes, false);
        break;
    case Element::VersionRegWaitfor:
        addVersionWrite(*this, attributes, true);
        break;
    case Element::VersionRegRead:
        addVersionRead(*this, attributes);
        break;
    case Element::VersionRegResetif:
        setVersionResetIf(*this, attributes);
        break;
    case Element::ExtraMatch:
        setExtraMatch(*this, attributes);
        break;
    case Element::OrMatch:
        openNextGroup(*this);
        break;
    case Element::PartNumber:
        addNamedEntry(*this, attributes, PartNumbers);
        break;
    case Element::ProductVariant:
        addNamedEntry(*this, attributes, ProductVariants);
        break;
    case Element::VersionName:
        addNamedEntry(*this, attributes, VersionNames);
        break;
    case Element::MinorVersion:
        addNamedEntry(*this, attributes, MinorVersions);
        break;
    case Element::AddrSpaces:
        break;
    case Element::Space:
        addAddrSpace(*this, attributes);
        break;
    case Element::Registers:
        break;
    case Element::Reg:
        ++openRegs;
        return startRegister(*this, attributes);
    case Element::Bitfield:
        ++openBitfields;
        startBitfield(*this, attributes);
        break;
    case Element::Detail:
        ++openDetails;
        startDetail(*this);
        break;
    case Element::LongDesc:
        ++openLongDescs;
        noteText.clear();
        break;
    case Element::ConfNotes:
        ++openConfNotes;
        noteText.clear();
        break;
    case Element::Revision:
        ++openRevisions;
        revisionText.clear();
        break;
    case Element::FarSensor:
        return mergeFarSensor(*this, attributes);
    case Element::Unknown:
        syntaxError(UKNOWN_SECTION_ERROR, "unknown element <" + std::string(name) + ">");
        break;
    }
    return false;
}

void XmlSensorReader::endElement(std::string_view name)
{
    switch (elementOf(name)) {
    case Element::Sensor:
        endSensorElement(*this);
        break;
    case Element::AddrSpaces:
        endAddrSpaces(*this);
        break;
    case Element::Registers:
        trimRegisters(*this);
        break;
    case Element::Reg:
        closeCounter(openRegs);
        endRegister(*this);
        break;
    case Element::Bitfield:
        closeCounter(openBitfields);
        break;
    case Element::Detail:
        closeCounter(openDetails);
        break;
    case Element::LongDesc:
    case Element::ConfNotes: {
        const bool isLongDesc = elementOf(name) == Element::LongDesc;
        closeCounter(isLongDesc ? openLongDescs : openConfNotes);
        if (currentReg < 0)
            break;
        const ze_reg_t &reg = sensor()->regs[currentReg];
        std::string_view bitfield =
            openBitfields > 0 && currentBitfield >= 0 ? reg.bitfields[currentBitfield].name : "";
        (isLongDesc ? longDescs : confNotes).add(reg.name, bitfield, noteText);
        noteText.clear();
        break;
    }
    case Element::Revision:
        closeCounter(openRevisions);
        applyRevisionText(sensor(), revisionText);
        revisionText.clear();
        break;
    default:
        break;
    }
}

void XmlSensorReader::characterData(std::string_view piece)
{
    if (openDetails > 0)
        appendDetail(*this, piece);
    else if (openLongDescs > 0 || openConfNotes > 0)
        noteText.append(piece);
    else if (openRevisions > 0)
        revisionText.append(piece);
}

int XmlSensorReader::read(const char *path)
{
    XmlParser::Outcome outcome = parser_.parseFile(path);
    if (outcome == XmlParser::Outcome::CannotOpen)
        return ZE_ERRORLOGF(PARSE_FILE_ERROR, "unable to open file %s", path);
    if (outcome == XmlParser::Outcome::CannotCreate)
        return ZE_ERRORLOGF(PARSE_FILE_ERROR, "unable to create an XML parser for %s", path);
    trimRegisters(*this);
    ze_sensor_t *record = sensor();
    if (!longDescs.moveTo(record->longDescs, record->longDescCount) ||
        !confNotes.moveTo(record->confNotes, record->confNoteCount))
        fail(ZE_ERRORLOGF(CAMERA_ERROR, "out of memory storing the notes of %s", path));
    return result;
}

int readXmlSensorFile(ze_camera_t *camera, const char *path, ze_sensor_t *sensor)
{
    ze_Msglog(ZE_LOG_GENERAL, (std::string("parsing file ") + path).c_str(), __FILE__, __func__,
              __LINE__);
    int code;
    bool sensorSeen;
    {
        XmlSensorReader reader(camera, sensor);
        code = reader.read(path);
        sensorSeen = reader.sensorSeen;
    }
    registersChanged(camera);
    if (code != PARSE_SUCCESS)
        return ZE_ERRORLOGF(code, "reading sensor-data file %s failed", path);
    if (!sensorSeen)
        return ZE_ERRORLOGF(CHIP_DESC_ERROR, "%s has no sensor element", path);
    return finishSensorFile(camera, sensor);
}

} // namespace zentro
