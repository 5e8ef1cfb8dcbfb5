// Preset commands that wait: polls of a register, an MCU variable or a named field until a
// condition no longer holds, and plain delays.
#include <functional>
#include <string>
#include <vector>

#include "presets/arguments.h"
#include "presets/commands.h"
#include "presets/conditions.h"
#include "presets/register_values.h"
#include "zentro.h"

namespace zentro::presets {

namespace {

constexpr uint32_t kShortestDelayMs = 1;
constexpr uint32_t kLongestDelayMs = 10000;

struct PollTiming {
    uint32_t delayMs = 0;
    uint32_t timeout = 0; // number of sleeps
};

PollTiming timingOf(const std::vector<Clause> &clauses)
{
    PollTiming timing;
    if (const std::optional<std::string> delay = clauseValue(clauses, "DELAY"))
        timing.delayMs = toNumber(*delay);
    if (const std::optional<std::string> timeout = clauseValue(clauses, "TIMEOUT"))
        timing.timeout = toNumber(*timeout);
    return timing;
}

using Reader = std::function<std::optional<uint32_t>()>;

enum class PollResult { Finished, TimedOut, ReadFailed };

// Keeps reading while @condition holds (it is the keep-waiting condition), sleeping the delay
// between reads, at most @timing.timeout times. The first value is @first.
PollResult poll(const SectionRun &run, uint32_t first, const Condition &condition,
                PollTiming timing, const Reader &reread)
{
    const uint32_t timeout = std::min(timing.timeout, run.budget->limits.maxPolls);
    uint32_t value = first;
    uint32_t count = 0;
    while (condition.holds(value) && count < timeout) {
        ++count;
        boundedSleep(run, timing.delayMs);
        if (count < timeout) {
            const std::optional<uint32_t> next = reread();
            if (!next)
                return PollResult::ReadFailed;
            value = *next;
        }
    }
    if (count == timeout && timeout > 0 && condition.holds(value)) {
        const std::string line(run.line);
        ze_Errorlog(INI_POLLREG_TIMEOUT, ZE_LEVEL_FROM_TABLE, line.c_str(), __FILE__, __func__,
                    __LINE__);
        return PollResult::TimedOut;
    }
    return PollResult::Finished;
}

// Polls a register value under a mask: "fixed..., mask, condition [, clauses]".
struct MaskedPoll {
    RegisterAddress where;
    uint32_t mask;
    Condition condition;
    PollTiming timing;
};

Flow runMaskedPoll(SectionRun &run, const MaskedPoll &request, const char *failure)
{
    const Reader read = [&] { return readMasked(run.camera, request.where, request.mask); };
    const std::optional<uint32_t> first = read();
    if (!first ||
        poll(run, *first, request.condition, request.timing, read) == PollResult::ReadFailed)
        reportError(run, failure);
    return Flow::Continue;
}

} // namespace

Flow pollRegCommand(SectionRun &run, std::string_view value)
{
    const char *const parseError = "Error parsing POLLREG command";
    const std::optional<MaskedRegisterTest> test = parseMaskedRegisterTest(value);
    if (!test) {
        reportError(run, parseError);
        return Flow::Continue;
    }
    const MaskedPoll request{
        translateDirect(run.camera, {ZE_SPACE_REG, test->page.value_or(run.page), test->address}),
        test->mask, test->condition, timingOf(parseClauses(test->tokens, test->clausesAt))};
    return runMaskedPoll(run, request, parseError);
}

Flow pollVarCommand(SectionRun &run, std::string_view value)
{
    const std::optional<std::vector<std::string>> tokens = splitArguments(value);
    if (!tokens || tokens->size() < 4) {
        reportError(run, "Error parsing POLL_VAR command");
        return Flow::Continue;
    }
    const std::optional<uint32_t> driver = validNumber((*tokens)[0]);
    const std::optional<uint32_t> offset = validNumber((*tokens)[1]);
    const std::optional<uint32_t> mask = validNumber((*tokens)[2]);
    const std::optional<Condition> condition = parseCondition((*tokens)[3]);
    if (!driver || !offset || !mask || !condition) {
        reportError(run, "Error parsing POLL_VAR command");
        return Flow::Continue;
    }
    const MaskedPoll request{
        {ZE_SPACE_MCU, *driver, *offset}, *mask, *condition, timingOf(parseClauses(*tokens, 4))};
    return runMaskedPoll(run, request, "Error executing POLL_VAR command");
}

Flow pollFieldCommand(SectionRun &run, std::string_view value)
{
    std::string_view rest;
    const std::optional<NamedCondition> named = splitNamedCondition(value, rest);
    if (!named || named->registerName.empty()) {
        reportError(run, "Error parsing POLL_FIELD command");
        return Flow::Continue;
    }
    const std::optional<std::vector<std::string>> tokens = splitArguments(rest);
    const std::vector<Clause> clauses = tokens ? parseClauses(*tokens, 0) : std::vector<Clause>{};
    for (const char *key : {"DELAY", "TIMEOUT"}) {
        const std::optional<std::string> text = clauseValue(clauses, key);
        if (!tokens || (text && !isValidNumber(*text))) {
            reportError(run, "Error parsing POLL_FIELD, invalid value");
            return Flow::Continue;
        }
    }
    const std::optional<Condition> condition = parseCondition(named->conditionText);
    if (!condition) {
        reportError(run, "Error parsing POLL_FIELD condition value");
        return Flow::Continue;
    }
    const char *bitfield = named->bitfieldName.empty() ? nullptr : named->bitfieldName.c_str();
    const auto readField = [&](uint32_t &fieldValue) {
        CacheModeScope cache(run.camera, 0);
        return ze_ReadSensorRegStr(run.camera, named->registerName.c_str(), bitfield, &fieldValue);
    };
    uint32_t first = 0;
    if (readField(first) != CAMERA_SUCCESS) {
        reportError(run, "Error evaluating POLL_FIELD condition");
        return Flow::Continue;
    }
    // A failed re-read keeps waiting on the value it left (0), as the first read decided
    // that the field exists.
    const Reader reread = [&]() -> std::optional<uint32_t> {
        uint32_t next = 0;
        readField(next);
        return next;
    };
    poll(run, first, *condition, timingOf(clauses), reread);
    return Flow::Continue;
}

Flow delayCommand(SectionRun &run, std::string_view value)
{
    const int32_t requested = static_cast<int32_t>(toNumber(trim(value)));
    const uint32_t ms = requested <= 0
                            ? kShortestDelayMs
                            : std::min(static_cast<uint32_t>(requested), kLongestDelayMs);
    boundedSleep(run, ms);
    return Flow::Continue;
}

} // namespace zentro::presets
