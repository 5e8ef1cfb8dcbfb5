// The argument texts of preset commands: splitting, trimming, numbers and KEY=value clauses.
#ifndef ZENTRO_PRESETS_ARGUMENTS_H
#define ZENTRO_PRESETS_ARGUMENTS_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentro::presets {

// Longest argument (token, register name, section name) a command accepts.
inline constexpr size_t kMaxTokenLength = 255;

std::string_view trim(std::string_view text);
bool equalsNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view text, std::string_view prefix);
// Position of @needle in @text compared case-insensitively, or npos.
size_t findNoCase(std::string_view text, std::string_view needle);
std::string upperCase(std::string_view text);

// The value split at every "," with each token trimmed. Empty when a token is longer than
// kMaxTokenLength: such a line is refused rather than cut into a different name or number.
std::optional<std::vector<std::string>> splitArguments(std::string_view value);

// A number as presets write it: "0x" hexadecimal, else decimal with an optional "-"; the
// conversion stops at the first character that does not belong ("12ab" is 12). Empty is 0.
uint32_t toNumber(std::string_view token);
// True for an empty token and for a token made only of the digits of its base.
bool isValidNumber(std::string_view token);
// The number, or nothing when the token is not valid.
std::optional<uint32_t> validNumber(std::string_view token);

// The KEY=value pairs of a clause list ("DELAY=10, TIMEOUT=100"): keys trimmed and
// upper-cased, values trimmed. Pairs without "=" are skipped.
struct Clause {
    std::string key;
    std::string value;
};
std::vector<Clause> parseClauses(const std::vector<std::string> &tokens, size_t first);
// The value of @key among @clauses, or nothing.
std::optional<std::string> clauseValue(const std::vector<Clause> &clauses, std::string_view key);

// How many of @tokens come before the first KEY=value clause ("LOAD=Init", "DELAY=10"); a
// condition such as "==1" or ">=4" is not a clause.
size_t positionalCount(const std::vector<std::string> &tokens);

// The lowest set bit's position of a non-zero mask (0 for 0).
uint32_t lowestBit(uint32_t mask);

} // namespace zentro::presets

#endif // ZENTRO_PRESETS_ARGUMENTS_H
