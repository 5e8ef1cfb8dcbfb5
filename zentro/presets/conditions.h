// Conditions of preset commands ("!=0", ">=4") and the name-based operand forms
// ("REG, FIELD == 1", "REG>=4").
#ifndef ZENTRO_PRESETS_CONDITIONS_H
#define ZENTRO_PRESETS_CONDITIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentro::presets {

enum class Comparison { GreaterOrEqual, LessOrEqual, Greater, Less, Equal, NotEqual };

struct Condition {
    Comparison comparison;
    uint32_t operand;

    // Unsigned comparison of @value with the operand.
    bool holds(uint32_t value) const;
};

// The operator found first in the order ">=", "<=", ">", "<", "==", "!=" and the trimmed
// number after it; nothing when the token holds no operator or the number is not valid.
std::optional<Condition> parseCondition(std::string_view token);

// Where the operator of @text begins (searched in the same order), or npos.
size_t operatorPosition(std::string_view text);

// "[page,] address, mask, condition" and the KEY=value clauses behind them, as IF_REG and
// POLL_REG take them. The page is there when four or more arguments come before the first
// clause.
struct MaskedRegisterTest {
    std::optional<uint32_t> page; // nothing: the section's current page
    uint32_t address;
    uint32_t mask;
    Condition condition;
    std::vector<std::string> tokens; // every argument; the clauses from clausesAt on
    size_t clausesAt;
};
// Nothing when an argument is missing or not valid.
std::optional<MaskedRegisterTest> parseMaskedRegisterTest(std::string_view value);

// "REG [, FIELD] condition" with the separating commas optional before the operator.
struct NamedCondition {
    std::string registerName;
    std::string bitfieldName; // empty for the whole register
    std::string conditionText;
};

// Splits the leading "register [, bitfield] condition" part off the comma-separated
// @value; @rest receives the text after the condition's token (without its comma). Nothing
// when there is no operator or a name is longer than the token limit.
std::optional<NamedCondition> splitNamedCondition(std::string_view value, std::string_view &rest);

} // namespace zentro::presets

#endif // ZENTRO_PRESETS_CONDITIONS_H
