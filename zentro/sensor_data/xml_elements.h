// Internals of the XML sensor-data reader shared by its element handlers.
#ifndef ZENTRO_SENSOR_DATA_XML_ELEMENTS_H
#define ZENTRO_SENSOR_DATA_XML_ELEMENTS_H

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sensor_data/text_reader.h"
#include "sensor_data/xml_parser.h"
#include "sensor_data/xml_reader.h"
#include "zentro_errors.h"

namespace zentro {

using XmlAttributes = std::span<const XmlAttribute>;

// Attribute values as the XML files write them.
namespace xmlvalue {
// The value without surrounding blanks.
std::string_view trimmed(std::string_view value);
// A number read as the %i conversion reads it (a leading C integer literal).
std::optional<uint32_t> number(std::string_view value);
// Numbers separated by blanks, as many as lead the text.
std::vector<uint32_t> numbers(std::string_view value);
// "A : B", or "A" alone with B = @secondDefault.
std::optional<std::pair<uint32_t, uint32_t>> numberPair(std::string_view value,
                                                        uint32_t secondDefault);
// "Y"/"1" yes, "N"/"0" no (first character, any case); nothing for other text.
std::optional<bool> yesNo(std::string_view value);
// True when the trimmed value begins with @letter (any case).
bool beginsWith(std::string_view value, char letter);
} // namespace xmlvalue

// State of one read of an XML sensor-data file.
class XmlSensorReader : public XmlEventHandler
{
public:
    XmlSensorReader(ze_camera_t *camera, ze_sensor_t *sensor);

    // Parses the file; returns the result code of the read (finishing steps not included).
    int read(const char *path);

    bool startElement(std::string_view name, XmlAttributes attributes) override;
    void endElement(std::string_view name) override;
    void characterData(std::string_view piece) override;
    void parseError(const XmlError &error) override;

    // Logs @text as a syntax error of the current line under @code; returns @code.
    int syntaxError(int code, std::string_view text, const char *source = __builtin_FILE(),
                    const char *function = __builtin_FUNCTION(), int line = __builtin_LINE());
    // A value of @attribute of @element that cannot be used: logged, the attribute ignored.
    void badValue(std::string_view element, const XmlAttribute &attribute);
    // Fails the read with @code (the first failure wins).
    void fail(int code);

    ze_camera_t *camera() { return text_.camera; }
    ze_sensor_t *sensor() { return text_.sensor; }
    // The text reader's state that both forms share: space index, register names,
    // capacities and what the early identity check has seen.
    SensorFileReader &shared() { return text_; }

    int result = PARSE_SUCCESS;
    bool sensorSeen = false;
    // The register and bitfield that nested elements refer to (-1: none).
    int32_t currentReg = -1;
    int32_t currentBitfield = -1;
    int32_t bitfieldCapacity = 0;
    // Open elements that collect text or change where nested elements go.
    int openRegs = 0;
    int openBitfields = 0;
    int openDetails = 0;
    int openLongDescs = 0;
    int openConfNotes = 0;
    int openRevisions = 0;
    // False after the fourth identification group: group elements are then ignored.
    bool groupOpen = true;
    std::string revisionText;
    std::string noteText;
    PendingNotes longDescs;
    PendingNotes confNotes;

private:
    SensorFileReader text_;
    XmlParser parser_;
};

// Element handlers. Those returning bool return true to stop the parse.
bool startSensorElement(XmlSensorReader &reader, XmlAttributes attributes);
void endSensorElement(XmlSensorReader &reader);

void addVersionWrite(XmlSensorReader &reader, XmlAttributes attributes, bool waitFor);
void addVersionRead(XmlSensorReader &reader, XmlAttributes attributes);
void setVersionResetIf(XmlSensorReader &reader, XmlAttributes attributes);
void setExtraMatch(XmlSensorReader &reader, XmlAttributes attributes);
void openNextGroup(XmlSensorReader &reader);
void addNamedEntry(XmlSensorReader &reader, XmlAttributes attributes, NamedListKind kind);
// Adds an untested part-number entry (the sensor element's part_number).
void addPartNumber(XmlSensorReader &reader, std::string_view name);

void addAddrSpace(XmlSensorReader &reader, XmlAttributes attributes);
void endAddrSpaces(XmlSensorReader &reader);
bool startRegister(XmlSensorReader &reader, XmlAttributes attributes);
void endRegister(XmlSensorReader &reader);
void trimRegisters(XmlSensorReader &reader);
void startBitfield(XmlSensorReader &reader, XmlAttributes attributes);
void startDetail(XmlSensorReader &reader);
void appendDetail(XmlSensorReader &reader, std::string_view piece);
// Resets the capacities after a far merge reallocated the arrays to their counts.
void afterFarMerge(XmlSensorReader &reader);

// Applies the revision text of a sensor-data file to @sensor.
void applyRevisionText(ze_sensor_t *sensor, std::string_view text);

} // namespace zentro

#endif // ZENTRO_SENSOR_DATA_XML_ELEMENTS_H
