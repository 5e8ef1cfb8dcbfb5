// The argument texts of preset commands: splitting, trimming, numbers and KEY=value clauses.
#include "presets/arguments.h"

#include <algorithm>
#include <cctype>

namespace zentro::presets {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

char lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool isHexPrefix(std::string_view token)
{
    return token.size() >= 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X');
}

int digitValue(char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

} // namespace

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

size_t findNoCase(std::string_view text, std::string_view needle)
{
    if (needle.size() > text.size())
        return std::string_view::npos;
    for (size_t i = 0; i + needle.size() <= text.size(); ++i) {
        if (equalsNoCase(text.substr(i, needle.size()), needle))
            return i;
    }
    return std::string_view::npos;
}

std::string upperCase(std::string_view text)
{
    std::string upper(text);
    for (char &c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

std::optional<std::vector<std::string>> splitArguments(std::string_view value)
{
    std::vector<std::string> tokens;
    for (;;) {
        const size_t comma = value.find(',');
        const std::string_view token = trim(value.substr(0, comma));
        if (token.size() > kMaxTokenLength)
            return std::nullopt;
        tokens.emplace_back(token);
        if (comma == std::string_view::npos)
            return tokens;
        value.remove_prefix(comma + 1);
    }
}

uint32_t toNumber(std::string_view token)
{
    int base = 10;
    bool negative = false;
    if (isHexPrefix(token)) {
        base = 16;
        token.remove_prefix(2);
    } else if (!token.empty() && token.front() == '-') {
        negative = true;
        token.remove_prefix(1);
    }
    uint32_t value = 0;
    for (char c : token) {
        const int digit = digitValue(c, base);
        if (digit < 0)
            break;
        value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
    }
    return negative ? 0u - value : value;
}

bool isValidNumber(std::string_view token)
{
    int base = 10;
    if (isHexPrefix(token)) {
        base = 16;
        token.remove_prefix(2);
    } else if (!token.empty() && token.front() == '-') {
        token.remove_prefix(1);
    }
    return std::all_of(token.begin(), token.end(),
                       [base](char c) { return digitValue(c, base) >= 0; });
}

std::optional<uint32_t> validNumber(std::string_view token)
{
    if (!isValidNumber(token))
        return std::nullopt;
    return toNumber(token);
}

std::vector<Clause> parseClauses(const std::vector<std::string> &tokens, size_t first)
{
    std::vector<Clause> clauses;
    for (size_t i = first; i < tokens.size(); ++i) {
        const std::string_view token = tokens[i];
        const size_t equals = token.find('=');
        if (equals == std::string_view::npos)
            continue;
        clauses.push_back({upperCase(trim(token.substr(0, equals))),
                           std::string(trim(token.substr(equals + 1)))});
    }
    return clauses;
}

std::optional<std::string> clauseValue(const std::vector<Clause> &clauses, std::string_view key)
{
    for (const Clause &clause : clauses) {
        if (clause.key == key)
            return clause.value;
    }
    return std::nullopt;
}

size_t positionalCount(const std::vector<std::string> &tokens)
{
    for (size_t i = 0; i < tokens.size(); ++i) {
        const std::string &token = tokens[i];
        size_t end = 0;
        while (end < token.size() &&
               (std::isalpha(static_cast<unsigned char>(token[end])) || token[end] == '_'))
            ++end;
        const std::string_view after = trim(std::string_view(token).substr(end));
        if (end > 0 && !after.empty() && after.front() == '=' &&
            (after.size() < 2 || after[1] != '='))
            return i;
    }
    return tokens.size();
}

uint32_t lowestBit(uint32_t mask)
{
    return mask == 0 ? 0 : static_cast<uint32_t>(__builtin_ctz(mask));
}

} // namespace zentro::presets
