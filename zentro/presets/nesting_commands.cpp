// Preset commands that run other sections: LOAD, the conditional loads IF_REG, IF_FIELD and
// IF_SERIAL, LOAD_PROM with its else-branch, and ERROR_IF, which ends a section.
#include <string>
#include <vector>

#include "presets/arguments.h"
#include "presets/commands.h"
#include "presets/conditions.h"
#include "presets/register_values.h"
#include "presets/serial_access.h"
#include "zentro.h"

namespace zentro::presets {

namespace {

// Runs the LOAD section when @holds, else the ELSELOAD section when one is named.
void branch(const SectionRun &run, bool holds, const std::vector<Clause> &clauses)
{
    if (holds) {
        loadNested(run, {}, clauseValue(clauses, "LOAD").value_or(std::string()));
        return;
    }
    const std::optional<std::string> otherwise = clauseValue(clauses, "ELSELOAD");
    if (otherwise)
        loadNested(run, {}, *otherwise);
}

std::vector<Clause> clausesOf(std::string_view rest)
{
    const std::optional<std::vector<std::string>> tokens = splitArguments(rest);
    return tokens ? parseClauses(*tokens, 0) : std::vector<Clause>{};
}

// Reads a register (or one of its bitfields) by name from the device.
int readNamed(ze_camera_t *camera, const NamedCondition &named, uint32_t &value)
{
    if (!camera || !camera->sensor)
        return CAMERA_ERROR;
    CacheModeScope cache(camera, 0);
    const char *bitfield = named.bitfieldName.empty() ? nullptr : named.bitfieldName.c_str();
    return ze_ReadSensorRegStr(camera, named.registerName.c_str(), bitfield, &value);
}

// The message of ERROR_IF: the text between the first and the last double quote.
std::string quotedText(std::string_view text)
{
    const size_t first = text.find('"');
    const size_t last = text.rfind('"');
    if (first == std::string_view::npos || last == first)
        return {};
    return std::string(text.substr(first + 1, last - first - 1));
}

using PromLoader = int (*)(ze_camera_t *camera, uint32_t address, const char *name);

int loadScratchpad(ze_camera_t *camera, uint32_t address, const char *name)
{
    return ze_LoadPromScratchpad(camera, address, name, 0);
}

PromLoader promLoaderFor(std::string_view type)
{
    if (equalsNoCase(type, "PGA"))
        return ze_LoadPromLensCalibration;
    if (equalsNoCase(type, "CCM"))
        return ze_LoadPromColorCorrection;
    if (equalsNoCase(type, "SCRATCHPAD"))
        return loadScratchpad;
    return nullptr;
}

std::string textAfterEquals(std::string_view token)
{
    const size_t equals = token.find('=');
    return equals == std::string_view::npos ? std::string()
                                            : std::string(trim(token.substr(equals + 1)));
}

} // namespace

Flow loadCommand(SectionRun &run, std::string_view value)
{
    const std::optional<std::vector<std::string>> tokens = splitArguments(value);
    if (!tokens || tokens->empty()) {
        reportError(run, "Error parsing LOAD command");
        return Flow::Continue;
    }
    if (tokens->size() == 1)
        loadNested(run, {}, (*tokens)[0]);
    else
        loadNested(run, (*tokens)[0], (*tokens)[1]);
    return Flow::Continue;
}

Flow loadPromCommand(SectionRun &run, std::string_view value)
{
    const std::optional<std::vector<std::string>> tokens = splitArguments(value);
    if (!tokens || tokens->size() < 2) {
        reportError(run, "Error parsing LOAD_PROM command");
        return Flow::Continue;
    }
    const std::optional<uint32_t> address = validNumber((*tokens)[0]);
    if (!address || (*tokens)[0].empty()) {
        reportError(run, "Invalid value in LOAD_PROM Command");
        return Flow::Continue;
    }
    const PromLoader loader = promLoaderFor((*tokens)[1]);
    if (!loader) {
        reportError(run, "Unknown load type (second parameter) in LOAD_PROM Command");
        return Flow::Continue;
    }
    std::string name;
    std::string otherwise;
    if (tokens->size() > 2) {
        const std::string &third = (*tokens)[2];
        if (startsWithNoCase(third, "ELSELOAD") && third.find('=') != std::string::npos) {
            otherwise = textAfterEquals(third);
        } else {
            name = third;
            if (tokens->size() > 3)
                otherwise = textAfterEquals((*tokens)[3]);
        }
    }
    const int result = loader(run.camera, *address, name.empty() ? nullptr : name.c_str());
    if (result != INI_SUCCESS && !otherwise.empty())
        loadNested(run, {}, otherwise);
    return Flow::Continue;
}

Flow ifRegCommand(SectionRun &run, std::string_view value)
{
    const char *const parseError = "Error parsing IFREG command";
    const std::optional<MaskedRegisterTest> test = parseMaskedRegisterTest(value);
    if (!test) {
        reportError(run, parseError);
        return Flow::Continue;
    }
    const RegisterAddress where =
        translateDirect(run.camera, {ZE_SPACE_REG, test->page.value_or(run.page), test->address});
    const std::optional<uint32_t> current = readMasked(run.camera, where, test->mask);
    if (!current) {
        reportError(run, parseError);
        return Flow::Continue;
    }
    branch(run, test->condition.holds(*current), parseClauses(test->tokens, test->clausesAt));
    return Flow::Continue;
}

Flow ifFieldCommand(SectionRun &run, std::string_view value)
{
    const char *const failure = "Error parsing IF_FIELD command";
    std::string_view rest;
    const std::optional<NamedCondition> named = splitNamedCondition(value, rest);
    const std::optional<Condition> condition =
        named ? parseCondition(named->conditionText) : std::nullopt;
    uint32_t current = 0;
    if (!named || named->registerName.empty() || !condition ||
        readNamed(run.camera, *named, current) != CAMERA_SUCCESS) {
        reportError(run, failure);
        return Flow::Continue;
    }
    branch(run, condition->holds(current), clausesOf(rest));
    return Flow::Continue;
}

Flow ifSerialCommand(SectionRun &run, std::string_view value)
{
    const char *const parseError = "Error parsing IF_SERIAL command";
    const std::optional<std::vector<std::string>> tokens = splitArguments(value);
    if (!tokens || tokens->size() < 4) {
        reportError(run, parseError);
        return Flow::Continue;
    }
    size_t next = 3;
    SerialSizes sizes;
    if ((*tokens)[next].find(':') != std::string::npos) {
        const std::optional<SerialSizes> given = parseSerialSizes((*tokens)[next]);
        if (!given) {
            reportError(run, parseError);
            return Flow::Continue;
        }
        sizes = *given;
        ++next;
    }
    const std::optional<uint32_t> busAddr = validNumber((*tokens)[0]);
    const std::optional<uint32_t> regAddr = validNumber((*tokens)[1]);
    const std::optional<uint32_t> mask = validNumber((*tokens)[2]);
    const std::optional<Condition> condition =
        next < tokens->size() ? parseCondition((*tokens)[next]) : std::nullopt;
    if (!busAddr || !regAddr || !mask || !condition) {
        reportError(run, parseError);
        return Flow::Continue;
    }
    useSerialSizes(run.camera, sizes);
    uint32_t raw = 0;
    bool holds;
    if (ze_readRegister(run.camera, *busAddr, *regAddr, &raw) == CAMERA_SUCCESS) {
        holds = condition->holds(*mask == 0 ? 0 : (raw & *mask) >> lowestBit(*mask));
    } else {
        reportError(run, "Couldn't read the register for IF_SERIAL command");
        // An absent device differs from every value: only "!=" holds.
        holds = condition->comparison == Comparison::NotEqual;
    }
    branch(run, holds, parseClauses(*tokens, next + 1));
    return Flow::Continue;
}

Flow errorIfCommand(SectionRun &run, std::string_view value)
{
    std::string_view rest;
    const std::optional<NamedCondition> named = splitNamedCondition(value, rest);
    if (!named || named->registerName.empty()) {
        reportError(run, "Error parsing ERROR_IF command");
        return Flow::Continue;
    }
    const std::optional<Condition> condition = parseCondition(named->conditionText);
    if (!condition) {
        reportError(run, "Error parsing condition in ERROR_IF command");
        return Flow::Continue;
    }
    uint32_t current = 0;
    if (readNamed(run.camera, *named, current) != CAMERA_SUCCESS) {
        reportError(run, "Error reading register in ERROR_IF command");
        return Flow::Continue;
    }
    if (!condition->holds(current))
        return Flow::Continue;
    reportError(run, quotedText(rest).c_str());
    return Flow::EndSection;
}

} // namespace zentro::presets
