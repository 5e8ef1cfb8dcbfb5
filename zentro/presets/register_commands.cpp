// Register writes of presets by address (REG, REG_BURST, BITFIELD, VAR, SFR, MEM, IND, FAR)
// and by name (FIELD_WR).
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "presets/arguments.h"
#include "presets/commands.h"
#include "presets/register_values.h"
#include "zentro.h"

namespace zentro::presets {

namespace {

constexpr uint32_t kWholeValue = 0xFFFFFFFFu;
// The MCU addressing style whose SFRs live in page 2.
constexpr uint32_t kSfrPage2Style = 54;
constexpr uint32_t kSfrPage2 = 2;

struct CommandMessages {
    const char *parse;
    const char *invalid;
};

// The numbers of a command's arguments: @fixed leading ones, an optional mask, the value.
struct MaskedArguments {
    std::vector<uint32_t> leading;
    uint32_t mask;
    uint32_t value;
};

// Reads "leading..., [mask,] value": with one argument more than the minimum the one before
// the value is the mask. Reports the command's messages; nothing after a failure.
std::optional<MaskedArguments> parseMasked(const SectionRun &run, std::string_view value,
                                           size_t fixed, const CommandMessages &messages)
{
    const std::optional<std::vector<std::string>> tokens = splitArguments(value);
    const size_t minimum = fixed + 1;
    if (!tokens || tokens->size() < minimum) {
        reportError(run, messages.parse);
        return std::nullopt;
    }
    const bool hasMask = tokens->size() > minimum;
    const size_t used = hasMask ? minimum + 1 : minimum;
    std::vector<uint32_t> numbers;
    for (size_t i = 0; i < used; ++i) {
        const std::optional<uint32_t> number = validNumber((*tokens)[i]);
        if (!number) {
            reportError(run, messages.invalid);
            return std::nullopt;
        }
        numbers.push_back(*number);
    }
    MaskedArguments arguments;
    arguments.value = numbers.back();
    arguments.mask = hasMask ? numbers[fixed] : kWholeValue;
    arguments.leading.assign(numbers.begin(), numbers.begin() + static_cast<long>(fixed));
    return arguments;
}

// "[page,] address, rest..." of REG and BITFIELD: the page is there when all @withPage
// arguments are. Translated; a direct register's page becomes the section's current page.
struct PagedArguments {
    RegisterAddress where;
    std::vector<uint32_t> rest;
};

std::optional<PagedArguments> parsePaged(SectionRun &run, std::string_view value, size_t restCount,
                                         const CommandMessages &messages)
{
    const std::optional<std::vector<std::string>> tokens = splitArguments(value);
    const size_t withoutPage = 1 + restCount;
    if (!tokens || tokens->size() < withoutPage) {
        reportError(run, messages.parse);
        return std::nullopt;
    }
    const bool hasPage = tokens->size() > withoutPage;
    std::vector<uint32_t> numbers;
    for (size_t i = 0; i < withoutPage + (hasPage ? 1 : 0); ++i) {
        const std::optional<uint32_t> number = validNumber((*tokens)[i]);
        if (!number) {
            reportError(run, messages.invalid);
            return std::nullopt;
        }
        numbers.push_back(*number);
    }
    const size_t addressIndex = hasPage ? 1 : 0;
    const uint32_t page = hasPage ? numbers[0] : run.page;
    PagedArguments arguments{
        translateDirect(run.camera, {ZE_SPACE_REG, page, numbers[addressIndex]}),
        {numbers.begin() + static_cast<long>(addressIndex) + 1, numbers.end()}};
    if (arguments.where.space == ZE_SPACE_REG)
        run.page = arguments.where.page;
    return arguments;
}

Flow writeVariable(SectionRun &run, std::string_view value, uint32_t bytes)
{
    const std::optional<MaskedArguments> arguments =
        parseMasked(run, value, 2, {"Error parsing VAR command", "Invalid value in VAR command"});
    if (!arguments)
        return Flow::Continue;
    const RegisterAddress where{ZE_SPACE_MCU, arguments->leading[0], arguments->leading[1]};
    writeMasked(run.camera, where, bytes ? bytes : databaseBytes(run.camera, where),
                arguments->mask, arguments->value);
    return Flow::Continue;
}

Flow writeSfr(SectionRun &run, std::string_view value, uint32_t bytes)
{
    const std::optional<MaskedArguments> arguments =
        parseMasked(run, value, 1, {"Error parsing SFR command", "Invalid value in SFR command"});
    if (!arguments)
        return Flow::Continue;
    const uint32_t page = ze_McuAddrStyle(run.camera) == kSfrPage2Style ? kSfrPage2 : 0;
    const RegisterAddress where{ZE_SPACE_SFR, page, arguments->leading[0]};
    writeMasked(run.camera, where, bytes ? bytes : databaseBytes(run.camera, where),
                arguments->mask, arguments->value);
    return Flow::Continue;
}

Flow writeMemory(SectionRun &run, std::string_view value, uint32_t bytes)
{
    const std::optional<MaskedArguments> arguments =
        parseMasked(run, value, 2, {"Error parsing MEM command", "Invalid value in MEM command"});
    if (!arguments)
        return Flow::Continue;
    const RegisterAddress where{ZE_SPACE_SFR, arguments->leading[0], arguments->leading[1]};
    writeMasked(run.camera, where, bytes ? bytes : databaseBytes(run.camera, where),
                arguments->mask, arguments->value);
    return Flow::Continue;
}

Flow writeFar(SectionRun &run, std::string_view value, uint32_t space)
{
    const std::optional<MaskedArguments> arguments = parseMasked(
        run, value, 2, {"Error parsing FAR_REG command", "Invalid value in FAR_REG command"});
    if (arguments)
        writeMasked(run.camera, {space, arguments->leading[0], arguments->leading[1]}, 0,
                    arguments->mask, arguments->value);
    return Flow::Continue;
}

// A plain decimal number with an optional sign and fraction ("-1.25"), the form typed values
// are written in.
bool isDecimalText(std::string_view text)
{
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    const size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    const auto digits = [](std::string_view part) {
        return std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    return !whole.empty() && digits(whole) && digits(fraction);
}

// A FIELD_WR value: a number, or for registers of a typed value (fixed point, signed,
// float) a decimal number in that type ("1.5").
std::optional<uint32_t> fieldValue(std::string_view text, uint32_t dataType, uint32_t mask)
{
    if (const std::optional<uint32_t> number = validNumber(text))
        return number;
    if (dataType == ZE_DATATYPE_HEX || dataType == ZE_DATATYPE_UNSIGNED || !isDecimalText(text))
        return std::nullopt;
    const std::string owned(text);
    return ze_Str2Int(static_cast<int>(dataType), owned.c_str(), mask);
}

} // namespace

Flow regCommand(SectionRun &run, std::string_view value)
{
    const std::optional<PagedArguments> arguments =
        parsePaged(run, value, 1, {"Error parsing REG command", "Invalid value in REG Command"});
    if (arguments)
        writeMasked(run.camera, arguments->where, 0, kWholeValue, arguments->rest[0]);
    return Flow::Continue;
}

Flow bitfieldCommand(SectionRun &run, std::string_view value)
{
    const std::optional<PagedArguments> arguments = parsePaged(
        run, value, 2, {"Error parsing BITFIELD command", "Invalid value in BITFIELD command"});
    if (arguments)
        writeMasked(run.camera, arguments->where, 0, arguments->rest[0], arguments->rest[1]);
    return Flow::Continue;
}

Flow regBurstCommand(SectionRun &run, std::string_view value)
{
    const std::optional<std::vector<std::string>> tokens = splitArguments(value);
    std::vector<uint32_t> numbers;
    if (tokens) {
        for (const std::string &token : *tokens) {
            const std::optional<uint32_t> number = validNumber(token);
            if (!number)
                break;
            numbers.push_back(*number);
        }
    }
    const bool pageGiven = hasSelectRegister(run.camera);
    const size_t minimum = pageGiven ? 3 : 2;
    if (numbers.size() < minimum) {
        reportError(run, "Error parsing REG_BURST command");
        return Flow::Continue;
    }
    size_t next = 0;
    if (pageGiven)
        run.page = numbers[next++];
    const uint32_t address = numbers[next++];
    if (run.hasSensor())
        ze_writeSensorRegisters(run.camera, run.page, address,
                                static_cast<uint32_t>(numbers.size() - next),
                                numbers.data() + next);
    return Flow::Continue;
}

Flow varCommand(SectionRun &run, std::string_view value)
{
    return writeVariable(run, value, 0);
}

Flow var8Command(SectionRun &run, std::string_view value)
{
    return writeVariable(run, value, 1);
}

Flow var32Command(SectionRun &run, std::string_view value)
{
    return writeVariable(run, value, 4);
}

Flow sfrCommand(SectionRun &run, std::string_view value)
{
    return writeSfr(run, value, 0);
}

Flow sfr8Command(SectionRun &run, std::string_view value)
{
    return writeSfr(run, value, 1);
}

Flow memCommand(SectionRun &run, std::string_view value)
{
    return writeMemory(run, value, 0);
}

Flow mem8Command(SectionRun &run, std::string_view value)
{
    return writeMemory(run, value, 1);
}

Flow mem32Command(SectionRun &run, std::string_view value)
{
    return writeMemory(run, value, 4);
}

Flow indCommand(SectionRun &run, std::string_view value)
{
    const std::optional<MaskedArguments> arguments =
        parseMasked(run, value, 1, {"Error parsing IND command", "Invalid value in IND command"});
    if (arguments)
        writeMasked(run.camera, {ZE_SPACE_IND, 0, arguments->leading[0]}, 0, arguments->mask,
                    arguments->value);
    return Flow::Continue;
}

Flow far1Command(SectionRun &run, std::string_view value)
{
    return writeFar(run, value, ZE_SPACE_FAR1);
}

Flow far2Command(SectionRun &run, std::string_view value)
{
    return writeFar(run, value, ZE_SPACE_FAR2);
}

Flow fieldWrCommand(SectionRun &run, std::string_view value)
{
    const std::optional<std::vector<std::string>> tokens = splitArguments(value);
    if (!tokens || tokens->size() < 2 || (*tokens)[0].empty()) {
        reportError(run, "Error parsing FIELD_WR command");
        return Flow::Continue;
    }
    if (!run.hasSensor())
        return Flow::Continue;
    ze_reg_t *reg = ze_FindRegister(run.camera, (*tokens)[0].c_str());
    if (!reg) {
        reportError(run, "Register does not exist in FIELDWR command");
        return Flow::Continue;
    }
    if (tokens->size() == 2) {
        const std::optional<uint32_t> number = fieldValue((*tokens)[1], reg->dataType, reg->mask);
        if (!number)
            reportError(run, "Invalid value in FIELD_WR command");
        else
            ze_WriteSensorReg(run.camera, reg, *number);
        return Flow::Continue;
    }
    const ze_bitfield_t *field = ze_Bitfield(reg, (*tokens)[1].c_str());
    const uint32_t mask = field ? field->mask : 0;
    if (mask == 0) {
        reportError(run, "Bitfield does not exist in FIELD_WR command");
        return Flow::Continue;
    }
    const std::optional<uint32_t> number =
        fieldValue((*tokens)[2], field->dataType, mask >> lowestBit(mask));
    if (!number) {
        reportError(run, "Invalid value in FIELD_WR command");
        return Flow::Continue;
    }
    uint32_t old = 0;
    {
        CacheModeScope cache(run.camera, 0);
        if (ze_ReadSensorReg(run.camera, reg, &old) != CAMERA_SUCCESS)
            old = 0;
    }
    ze_WriteSensorReg(run.camera, reg, (old & ~mask) | (*number << lowestBit(mask)));
    return Flow::Continue;
}

} // namespace zentro::presets
