// Preset commands that change settings rather than registers: XMCLK, MODE, SENSOR_BASE,
// DATATYPE, the default sensor-data file (SDAT) and LOG.
#include <string>
#include <vector>

#include "core/config.h"
#include "presets/arguments.h"
#include "presets/commands.h"
#include "zentro.h"

namespace zentro::presets {

namespace {

constexpr uint32_t kLowestClockHz = 1000;
constexpr uint32_t kHighestClockHz = 250000000;
// Longest default sensor-data file name kept.
constexpr size_t kMaxSensorFileName = 511;

struct DataTypeRequest {
    std::string registerName;
    std::string bitfieldName; // empty for the whole register
    std::string typeName;
    size_t clausesFrom;
};

std::optional<DataTypeRequest> parseDataType(const std::vector<std::string> &tokens)
{
    if (tokens.size() < 2 || tokens[0].empty())
        return std::nullopt;
    if (tokens.size() >= 3 && !startsWithNoCase(tokens[2], "range"))
        return DataTypeRequest{tokens[0], tokens[1], tokens[2], 3};
    return DataTypeRequest{tokens[0], {}, tokens[1], 2};
}

// The limits of a RANGE=min:max clause as texts (empty without one).
std::pair<std::string, std::string> rangeTexts(const std::vector<Clause> &clauses)
{
    const std::optional<std::string> range = clauseValue(clauses, "RANGE");
    if (!range)
        return {};
    const size_t colon = range->find(':');
    if (colon == std::string::npos)
        return {std::string(trim(*range)), {}};
    return {std::string(trim(range->substr(0, colon))),
            std::string(trim(range->substr(colon + 1)))};
}

} // namespace

Flow xmclkCommand(SectionRun &run, std::string_view value)
{
    const std::optional<uint32_t> hertz = validNumber(trim(value));
    if (!hertz || (*hertz != 0 && (*hertz < kLowestClockHz || *hertz > kHighestClockHz))) {
        reportError(run, "XMCLK value out of range");
        return Flow::Continue;
    }
    ze_setMode(run.camera, ZE_OUTPUT_CLOCK_FREQ, *hertz);
    return Flow::Continue;
}

Flow modeCommand(SectionRun &run, std::string_view value)
{
    const std::optional<std::vector<std::string>> tokens = splitArguments(value);
    if (!tokens || tokens->size() < 2 || (*tokens)[0].empty()) {
        reportError(run, "Error parsing MODE command");
        return Flow::Continue;
    }
    uint32_t mode = 0;
    if (ze_FindMode((*tokens)[0].c_str(), &mode) != CAMERA_SUCCESS) {
        reportError(run, "Mode name does not exist in MODE command");
        return Flow::Continue;
    }
    const std::optional<uint32_t> setting = validNumber((*tokens)[1]);
    if (!setting || (*tokens)[1].empty()) {
        reportError(run, "Invalid value in MODE command");
        return Flow::Continue;
    }
    ze_setMode(run.camera, mode, *setting);
    return Flow::Continue;
}

Flow sensorBaseCommand(SectionRun &run, std::string_view value)
{
    const std::string_view text = trim(value);
    if (text.empty()) {
        reportError(run, "Error parsing SENSOR_BASE command");
        return Flow::Continue;
    }
    if (text == "*") {
        ze_DetectSensorBaseAddr(run.camera);
        return Flow::Continue;
    }
    const std::optional<uint32_t> address = validNumber(text);
    if (!address) {
        reportError(run, "Invalid value in SENSOR_BASE command");
        return Flow::Continue;
    }
    // Bus addresses are 8-bit write addresses: the read bit is never part of the base.
    ze_SetSensorBaseAddr(run.camera, *address & ~1u);
    return Flow::Continue;
}

Flow dataTypeCommand(SectionRun &run, std::string_view value)
{
    const std::optional<std::vector<std::string>> tokens = splitArguments(value);
    const std::optional<DataTypeRequest> request = tokens ? parseDataType(*tokens) : std::nullopt;
    if (!request) {
        reportError(run, "Error parsing DATATYPE command");
        return Flow::Continue;
    }
    const uint32_t type = ze_DataTypeFromString(request->typeName.c_str());
    if (type == ZE_DATATYPE_INVALID) {
        reportError(run, "Unknown data type keyword in DATATYPE command");
        return Flow::Continue;
    }
    if (!run.hasSensor())
        return Flow::Continue;
    ze_reg_t *reg = ze_FindRegister(run.camera, request->registerName.c_str());
    if (!reg) {
        reportError(run, "Unknown register name in DATATYPE command");
        return Flow::Continue;
    }
    ze_bitfield_t *field = nullptr;
    if (!request->bitfieldName.empty()) {
        field = ze_Bitfield(reg, request->bitfieldName.c_str());
        if (!field || field->mask == 0) {
            reportError(run, "Unknown register/bitfield name in DATATYPE command");
            return Flow::Continue;
        }
    }
    const uint32_t mask = field ? field->mask >> lowestBit(field->mask) : reg->mask;
    const auto [minText, maxText] = rangeTexts(parseClauses(*tokens, request->clausesFrom));
    const int code = static_cast<int>(type);
    const uint32_t minimum = ze_Str2Int(code, minText.c_str(), mask);
    const uint32_t maximum = ze_Str2Int(code, maxText.c_str(), mask);
    if (field) {
        field->dataType = type;
        field->rangeMin = minimum;
        field->rangeMax = maximum;
    } else {
        reg->dataType = type;
        reg->rangeMin = minimum;
        reg->rangeMax = maximum;
    }
    return Flow::Continue;
}

Flow sdatCommand(SectionRun &run, std::string_view value)
{
    std::string path(trim(value.substr(0, kMaxSensorFileName)));
    // A relative name is taken beside the preset, so that it does not depend on the working
    // directory of whichever program identifies a sensor first.
    const std::string directory = presetDirectory(run);
    if (!path.empty() && path.front() != '/' && !directory.empty())
        path = directory + "/" + path;
    setDefaultSensorFile(path);
    return Flow::Continue;
}

Flow logCommand(SectionRun &, std::string_view value)
{
    const std::string text(value);
    ze_Msglog(ZE_LOG_GENERAL, text.c_str(), __FILE__, __func__, __LINE__);
    return Flow::Continue;
}

} // namespace zentro::presets
