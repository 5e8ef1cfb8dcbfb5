// Conditions of preset commands ("!=0", ">=4") and the name-based operand forms
// ("REG, FIELD == 1", "REG>=4").
#include "presets/conditions.h"

#include <array>
#include <utility>

#include "presets/arguments.h"

namespace zentro::presets {

namespace {

struct OperatorText {
    std::string_view text;
    Comparison comparison;
};

// Two-character operators come first so that ">=" is not read as ">".
constexpr std::array<OperatorText, 6> kOperators = {{
    {">=", Comparison::GreaterOrEqual},
    {"<=", Comparison::LessOrEqual},
    {">", Comparison::Greater},
    {"<", Comparison::Less},
    {"==", Comparison::Equal},
    {"!=", Comparison::NotEqual},
}};

struct FoundOperator {
    size_t position;
    const OperatorText *op;
};

std::optional<FoundOperator> findOperator(std::string_view text)
{
    for (const OperatorText &op : kOperators) {
        const size_t position = text.find(op.text);
        if (position != std::string_view::npos)
            return FoundOperator{position, &op};
    }
    return std::nullopt;
}

// Register name, bitfield name and condition.
constexpr size_t kNamedConditionFields = 3;

} // namespace

bool Condition::holds(uint32_t value) const
{
    switch (comparison) {
    case Comparison::GreaterOrEqual:
        return value >= operand;
    case Comparison::LessOrEqual:
        return value <= operand;
    case Comparison::Greater:
        return value > operand;
    case Comparison::Less:
        return value < operand;
    case Comparison::Equal:
        return value == operand;
    case Comparison::NotEqual:
        return value != operand;
    }
    return false;
}

std::optional<Condition> parseCondition(std::string_view token)
{
    const std::optional<FoundOperator> found = findOperator(token);
    if (!found)
        return std::nullopt;
    const std::string_view number = trim(token.substr(found->position + found->op->text.size()));
    const std::optional<uint32_t> operand = validNumber(number);
    if (!operand)
        return std::nullopt;
    return Condition{found->op->comparison, *operand};
}

size_t operatorPosition(std::string_view text)
{
    const std::optional<FoundOperator> found = findOperator(text);
    return found ? found->position : std::string_view::npos;
}

std::optional<NamedCondition> splitNamedCondition(std::string_view value, std::string_view &rest)
{
    // The condition stands in one of the first three fields (register, bitfield, condition)
    // and before any quoted text, so operators in later clauses or messages are not taken.
    size_t limit = value.find('"');
    size_t commas = 0;
    for (size_t i = 0; i < value.size() && i < limit; ++i) {
        if (value[i] == ',' && ++commas == kNamedConditionFields) {
            limit = i;
            break;
        }
    }
    const size_t position = operatorPosition(value.substr(0, limit));
    if (position == std::string_view::npos)
        return std::nullopt;
    // The names stand before the operator; the condition runs to the next comma after it.
    const std::string_view names = value.substr(0, position);
    const size_t conditionEnd = value.find(',', position);
    const std::string_view condition =
        value.substr(position, conditionEnd == std::string_view::npos ? std::string_view::npos
                                                                      : conditionEnd - position);
    rest = conditionEnd == std::string_view::npos ? std::string_view()
                                                  : value.substr(conditionEnd + 1);

    NamedCondition parsed;
    const size_t comma = names.find(',');
    const std::string_view registerName = trim(names.substr(0, comma));
    const std::string_view bitfieldName =
        comma == std::string_view::npos ? std::string_view() : trim(names.substr(comma + 1));
    if (registerName.size() > kMaxTokenLength || bitfieldName.size() > kMaxTokenLength ||
        bitfieldName.find(',') != std::string_view::npos)
        return std::nullopt;
    parsed.registerName = registerName;
    parsed.bitfieldName = bitfieldName;
    parsed.conditionText = trim(condition);
    return parsed;
}

std::optional<MaskedRegisterTest> parseMaskedRegisterTest(std::string_view value)
{
    std::optional<std::vector<std::string>> tokens = splitArguments(value);
    const size_t positional = tokens ? positionalCount(*tokens) : 0;
    if (positional < 3)
        return std::nullopt;
    const bool hasPage = positional >= 4;
    const size_t first = hasPage ? 1 : 0;
    const std::optional<uint32_t> page = hasPage ? validNumber((*tokens)[0]) : std::nullopt;
    const std::optional<uint32_t> address = validNumber((*tokens)[first]);
    const std::optional<uint32_t> mask = validNumber((*tokens)[first + 1]);
    const std::optional<Condition> condition = parseCondition((*tokens)[first + 2]);
    if ((hasPage && !page) || !address || !mask || !condition)
        return std::nullopt;
    return MaskedRegisterTest{page, *address, *mask, *condition, std::move(*tokens), first + 3};
}

} // namespace zentro::presets
