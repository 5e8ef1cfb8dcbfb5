// The long-description file (".ldat"): long descriptions and confidential notes of the
// registers and bitfields of a loaded sensor.
#include <cstdio>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/log.h"
#include "sensor_data/xml_elements.h"
#include "zentro_sensor_data.h"

namespace zentro {

namespace {

constexpr std::string_view kLongDescExtension = ".ldat";

class LongDescReader : public XmlEventHandler
{
public:
    LongDescReader(ze_sensor_t *sensor, const char *path)
        : sensor_(sensor), path_(path), parser_(*this)
    {
    }

    int read();

    bool startElement(std::string_view name, XmlAttributes attributes) override;
    void endElement(std::string_view name) override;
    void characterData(std::string_view piece) override;
    void parseError(const XmlError &error) override;

private:
    bool isThisSensor(XmlAttributes attributes) const;
    void selectRegister(XmlAttributes attributes);
    void selectBitfield(XmlAttributes attributes);
    void closeNote(PendingNotes &notes);

    ze_sensor_t *sensor_;
    const char *path_;
    XmlParser parser_;
    int result_ = PARSE_SUCCESS;
    bool sensorMatched_ = false;
    // Lower-case register names to their index, built on the first reg element.
    std::unordered_map<std::string, int32_t> registerIndex_;
    int32_t reg_ = -1;
    int32_t bitfield_ = -1;
    int openBitfields_ = 0;
    int openNotes_ = 0;
    std::string text_;
    PendingNotes longDescs_;
    PendingNotes confNotes_;
};

std::string_view attributeValue(XmlAttributes attributes, std::string_view name)
{
    for (const XmlAttribute &attribute : attributes) {
        if (equalsNoCase(attribute.name, name))
            return xmlvalue::trimmed(attribute.value);
    }
    return {};
}

// A description file that names another sensor (or version) is not for this one.
bool LongDescReader::isThisSensor(XmlAttributes attributes) const
{
    std::string name(attributeValue(attributes, "name"));
    auto version = xmlvalue::number(attributeValue(attributes, "version"));
    if (name.empty() || !version || *version != sensor_->sensorVersion)
        return false;
    const uint32_t type = ze_SensorTypeCode(name.c_str());
    // Names outside the table of known sensors all share code 0: compare them directly.
    return type == sensor_->sensorType && (type != 0 || equalsNoCase(name, sensor_->name));
}

void LongDescReader::selectRegister(XmlAttributes attributes)
{
    if (registerIndex_.empty()) {
        registerIndex_.reserve(static_cast<size_t>(sensor_->regCount));
        for (int32_t i = 0; i < sensor_->regCount; ++i)
            registerIndex_.emplace(lowerCase(sensor_->regs[i].name), i);
    }
    auto found = registerIndex_.find(lowerCase(attributeValue(attributes, "name")));
    reg_ = found == registerIndex_.end() ? -1 : found->second;
    bitfield_ = -1;
}

void LongDescReader::selectBitfield(XmlAttributes attributes)
{
    bitfield_ = -1;
    if (reg_ < 0)
        return;
    const ze_reg_t &reg = sensor_->regs[reg_];
    std::string_view name = attributeValue(attributes, "name");
    for (int32_t i = 0; i < reg.bitfieldCount; ++i) {
        if (equalsNoCase(reg.bitfields[i].name, name)) {
            bitfield_ = i;
            return;
        }
    }
}

bool LongDescReader::startElement(std::string_view name, XmlAttributes attributes)
{
    if (equalsNoCase(name, "sensor")) {
        sensorMatched_ = isThisSensor(attributes);
        // Another sensor's file: stop reading, quietly.
        return !sensorMatched_;
    }
    if (equalsNoCase(name, "reg")) {
        selectRegister(attributes);
    } else if (equalsNoCase(name, "bitfield")) {
        ++openBitfields_;
        selectBitfield(attributes);
    } else if (equalsNoCase(name, "long_desc") || equalsNoCase(name, "conf_notes")) {
        ++openNotes_;
        text_.clear();
    }
    return false;
}

void LongDescReader::closeNote(PendingNotes &notes)
{
    if (openNotes_ > 0)
        --openNotes_;
    // Notes need the sensor element first, and a register (and bitfield) of the sensor.
    const bool insideBitfield = openBitfields_ > 0;
    if (sensorMatched_ && reg_ >= 0 && (!insideBitfield || bitfield_ >= 0)) {
        const ze_reg_t &reg = sensor_->regs[reg_];
        notes.add(reg.name, insideBitfield ? reg.bitfields[bitfield_].name : "", text_);
    }
    text_.clear();
}

void LongDescReader::endElement(std::string_view name)
{
    if (equalsNoCase(name, "long_desc")) {
        closeNote(longDescs_);
    } else if (equalsNoCase(name, "conf_notes")) {
        closeNote(confNotes_);
    } else if (equalsNoCase(name, "bitfield")) {
        if (openBitfields_ > 0)
            --openBitfields_;
        bitfield_ = -1;
    } else if (equalsNoCase(name, "reg")) {
        reg_ = -1;
    }
}

void LongDescReader::characterData(std::string_view piece)
{
    if (openNotes_ > 0)
        text_.append(piece);
}

void LongDescReader::parseError(const XmlError &error)
{
    char text[ZE_TEXT_SIZE + 64];
    snprintf(text, sizeof(text), "XML parsing error: \"%s\" Code: %d Line: %d Col: %d",
             error.message.c_str(), error.code, error.line, error.column);
    ze_syntaxerror(SENSOR_FILE_PARSE_ERROR, text, path_, error.line, __FILE__, __func__, __LINE__);
    result_ = SENSOR_FILE_PARSE_ERROR;
}

int LongDescReader::read()
{
    switch (parser_.parseFile(path_)) {
    case XmlParser::Outcome::CannotOpen:
        return ZE_ERRORLOGF(PARSE_FILE_ERROR, "unable to open file %s", path_);
    case XmlParser::Outcome::CannotCreate:
        return ZE_ERRORLOGF(PARSE_FILE_ERROR, "unable to create an XML parser for %s", path_);
    default:
        break;
    }
    // A broken file adds nothing: half its notes would look complete.
    if (result_ != PARSE_SUCCESS)
        return result_;
    if (!longDescs_.moveTo(sensor_->longDescs, sensor_->longDescCount) ||
        !confNotes_.moveTo(sensor_->confNotes, sensor_->confNoteCount))
        return ZE_ERRORLOGF(CAMERA_ERROR, "out of memory storing the notes of %s", path_);
    return PARSE_SUCCESS;
}

} // namespace

std::string longDescPathOf(const ze_sensor_t *sensor)
{
    std::string path(sensor->fileName);
    const size_t dot = path.find_last_of('.');
    const size_t separator = path.find_last_of("/\\");
    if (dot != std::string::npos && (separator == std::string::npos || dot > separator))
        path.erase(dot);
    return path + std::string(kLongDescExtension);
}

int readLongDescFile(ze_camera_t *camera, const char *path)
{
    ze_Msglog(ZE_LOG_GENERAL, (std::string("parsing file ") + path).c_str(), __FILE__, __func__,
              __LINE__);
    return LongDescReader(camera->sensor, path).read();
}

} // namespace zentro

extern "C" {

ZE_API int ze_ParseLongDescFile(ze_camera_t *camera, const char *path)
{
    if (!camera)
        return CAMERA_ERROR;
    if (!camera->sensor)
        return ZE_ERRORLOG(SENSOR_NOT_INITIALIZED, "no sensor record to add long descriptions to");
    try {
        const std::string derived = path ? std::string() : zentro::longDescPathOf(camera->sensor);
        return zentro::readLongDescFile(camera, path ? path : derived.c_str());
    } catch (const std::bad_alloc &) {
        return ZE_ERRORLOG(CAMERA_ERROR, "out of memory reading a long-description file");
    }
}

} // extern "C"
