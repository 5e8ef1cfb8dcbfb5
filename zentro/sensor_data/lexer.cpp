// Lexical rules shared by sensor-data, chip and board-configuration files.
#include "sensor_data/lexer.h"

#include <algorithm>

namespace zentro {

namespace {

constexpr std::string_view kEllipsis = "...";
constexpr uint64_t kMaxMagnitude = 0xFFFFFFFFu;

// Blanks: space, tab, line ends, form feed and vertical tab. Every line passes through
// here several times, so this stays a plain comparison.
bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Offset of the first non-blank character of @text at or after @from, or its size.
size_t skipBlanks(std::string_view text, size_t from = 0)
{
    while (from < text.size() && isBlank(text[from]))
        ++from;
    return from;
}

char lowerChar(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lowerChar(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Reads digits of @base from the front of @text; nothing when there is none or the value
// grows past 32 bits.
std::optional<NumberPrefix> readDigits(std::string_view text, unsigned base)
{
    uint64_t value = 0;
    size_t length = 0;
    while (length < text.size()) {
        int digit = digitValue(text[length]);
        if (digit < 0 || static_cast<unsigned>(digit) >= base)
            break;
        value = value * base + static_cast<unsigned>(digit);
        if (value > kMaxMagnitude)
            return std::nullopt;
        ++length;
    }
    if (length == 0)
        return std::nullopt;
    return NumberPrefix{static_cast<uint32_t>(value), length};
}

bool hasHexPrefix(std::string_view text)
{
    return text.size() >= 2 && text[0] == '0' && lowerChar(text[1]) == 'x';
}

// The unsigned part of a C integer literal: hexadecimal, octal or decimal.
std::optional<NumberPrefix> readUnsignedLiteral(std::string_view text)
{
    constexpr unsigned kHex = 16, kOctal = 8, kDecimal = 10;
    if (hasHexPrefix(text)) {
        auto digits = readDigits(text.substr(2), kHex);
        if (digits)
            return NumberPrefix{digits->value, digits->length + 2};
        // "0x" without hexadecimal digits reads as the number 0, as %i does.
        return NumberPrefix{0, 1};
    }
    if (!text.empty() && text[0] == '0')
        return readDigits(text, kOctal);
    return readDigits(text, kDecimal);
}

} // namespace

bool LineReader::next(size_t limit, std::string_view &line)
{
    size_t offset = position_.offset;
    if (offset >= text_.size() || limit == 0)
        return false;
    if (!position_.midLine)
        ++position_.lineNumber;
    size_t end = offset;
    size_t stop = std::min(text_.size(), offset + limit);
    while (end < stop && text_[end] != '\n' && text_[end] != '\r')
        ++end;
    line = text_.substr(offset, end - offset);
    if (end < text_.size() && (text_[end] == '\n' || text_[end] == '\r')) {
        size_t after = end + 1;
        if (text_[end] == '\r' && after < text_.size() && text_[after] == '\n')
            ++after;
        position_.offset = after;
        position_.midLine = false;
    } else {
        // Cut at the limit (or the end of the text): the rest is read as the next line.
        position_.offset = end;
        position_.midLine = end < text_.size();
    }
    return true;
}

std::string_view trimBlanks(std::string_view text)
{
    size_t first = skipBlanks(text);
    size_t end = text.size();
    while (end > first && isBlank(text[end - 1]))
        --end;
    return text.substr(first, end - first);
}

std::string_view firstWord(std::string_view text)
{
    size_t first = skipBlanks(text);
    size_t end = first;
    while (end < text.size() && !isBlank(text[end]))
        ++end;
    return text.substr(first, end - first);
}

bool isSingleWord(std::string_view text)
{
    std::string_view trimmed = trimBlanks(text);
    return !trimmed.empty() && std::none_of(trimmed.begin(), trimmed.end(), isBlank);
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerChar(a[i]) != lowerChar(b[i]))
            return false;
    }
    return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string lowerCase(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), lowerChar);
    return lower;
}

bool isSkippedLine(std::string_view line)
{
    std::string_view trimmed = trimBlanks(line);
    return trimmed.empty() || trimmed[0] == ';' || trimmed.substr(0, 2) == "//";
}

std::optional<std::string_view> sectionHeader(std::string_view line)
{
    std::string_view trimmed = trimBlanks(line);
    if (trimmed.size() < 2 || trimmed.front() != '[' || trimmed.back() != ']')
        return std::nullopt;
    return trimBlanks(trimmed.substr(1, trimmed.size() - 2));
}

bool isSectionEnd(std::string_view line)
{
    return startsWithNoCase(trimBlanks(line), "[END]");
}

std::optional<KeyValue> splitKeyValue(std::string_view line)
{
    size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    KeyValue pair{trimBlanks(line.substr(0, equals)), trimBlanks(line.substr(equals + 1))};
    if (pair.key.empty())
        return std::nullopt;
    return pair;
}

std::optional<NumberPrefix> parseIntegerPrefix(std::string_view text)
{
    size_t start = skipBlanks(text);
    if (start == text.size())
        return std::nullopt;
    bool negative = false;
    size_t signLength = 0;
    if (text[start] == '+' || text[start] == '-') {
        negative = text[start] == '-';
        signLength = 1;
    }
    auto literal = readUnsignedLiteral(text.substr(start + signLength));
    if (!literal)
        return std::nullopt;
    uint32_t value = negative ? 0u - literal->value : literal->value;
    return NumberPrefix{value, start + signLength + literal->length};
}

std::optional<uint32_t> parseInteger(std::string_view text)
{
    std::string_view trimmed = trimBlanks(text);
    auto number = parseIntegerPrefix(trimmed);
    if (!number || number->length != trimmed.size())
        return std::nullopt;
    return number->value;
}

std::optional<uint32_t> parseHex(std::string_view text)
{
    constexpr unsigned kHex = 16;
    std::string_view digits = trimBlanks(text);
    if (hasHexPrefix(digits))
        digits.remove_prefix(2);
    auto number = readDigits(digits, kHex);
    if (!number || number->length != digits.size())
        return std::nullopt;
    return number->value;
}

std::optional<std::string_view> quotedText(std::string_view text, size_t *after)
{
    size_t open = text.find('"');
    if (open == std::string_view::npos)
        return std::nullopt;
    size_t close = text.find('"', open + 1);
    if (close == std::string_view::npos) {
        if (after)
            *after = text.size();
        return text.substr(open + 1);
    }
    if (after)
        *after = close + 1;
    return text.substr(open + 1, close - open - 1);
}

std::string fitText(std::string_view text, size_t fieldSize)
{
    if (fieldSize == 0)
        return {};
    size_t room = fieldSize - 1;
    if (text.size() <= room)
        return std::string(text);
    if (room < kEllipsis.size())
        return std::string(kEllipsis.substr(0, room));
    std::string cut(text.substr(0, room - kEllipsis.size()));
    cut += kEllipsis;
    return cut;
}

void copyFittedText(char *field, size_t size, std::string_view text)
{
    if (!field || size == 0)
        return;
    // A NUL inside the text ends it, as it would in any C field.
    text = text.substr(0, text.find('\0'));
    const size_t room = size - 1;
    size_t kept = text.size();
    size_t ellipsis = 0;
    if (kept > room) {
        ellipsis = std::min(room, kEllipsis.size());
        kept = room - ellipsis;
    }
    std::copy_n(text.data(), kept, field);
    std::copy_n(kEllipsis.data(), ellipsis, field + kept);
    field[kept + ellipsis] = '\0';
}

QuotedPair twoQuotedTexts(std::string_view text)
{
    QuotedPair pair;
    size_t after = 0;
    auto first = quotedText(text, &after);
    if (!first) {
        pair.rest = text;
        return pair;
    }
    pair.first = *first;
    std::string_view remaining = text.substr(after);
    size_t secondAfter = 0;
    auto second = quotedText(remaining, &secondAfter);
    if (!second) {
        pair.rest = remaining;
        return pair;
    }
    pair.second = *second;
    pair.rest = remaining.substr(secondAfter);
    return pair;
}

std::optional<std::vector<uint32_t>> parseValueList(std::string_view text, size_t *after)
{
    size_t open = skipBlanks(text);
    if (open == text.size() || text[open] != '(')
        return std::nullopt;
    size_t close = text.find(')', open + 1);
    if (close == std::string_view::npos)
        return std::nullopt;
    std::vector<uint32_t> values;
    std::string_view inside = text.substr(open + 1, close - open - 1);
    while (!trimBlanks(inside).empty()) {
        auto number = parseIntegerPrefix(inside);
        if (!number)
            return std::nullopt;
        inside.remove_prefix(number->length);
        // Numbers are separated by blanks: "1 2", never "12" read as two.
        if (!inside.empty() && !isBlank(inside.front()))
            return std::nullopt;
        values.push_back(number->value);
    }
    if (after)
        *after = close + 1;
    return values;
}

std::optional<std::vector<uint32_t>> parseValueOrList(std::string_view text)
{
    std::string_view trimmed = trimBlanks(text);
    if (!trimmed.empty() && trimmed.front() == '(') {
        size_t after = 0;
        auto values = parseValueList(trimmed, &after);
        if (!values || after != trimmed.size())
            return std::nullopt;
        return values;
    }
    auto value = parseInteger(trimmed);
    if (!value)
        return std::nullopt;
    return std::vector<uint32_t>{*value};
}

std::optional<BraceFields> splitBraceFields(std::string_view text, size_t leadingCount)
{
    size_t open = skipBlanks(text);
    if (open == text.size() || text[open] != '{')
        return std::nullopt;
    size_t close = text.rfind('}');
    if (close == std::string_view::npos || close < open)
        return std::nullopt;
    std::string_view inside = text.substr(open + 1, close - open - 1);
    BraceFields result;
    while (result.fields.size() < leadingCount) {
        size_t comma = inside.find(',');
        if (comma == std::string_view::npos) {
            if (!trimBlanks(inside).empty() || !result.fields.empty())
                result.fields.push_back(trimBlanks(inside));
            return result;
        }
        result.fields.push_back(trimBlanks(inside.substr(0, comma)));
        inside.remove_prefix(comma + 1);
    }
    result.hasTail = true;
    result.tail = trimBlanks(inside);
    return result;
}

ze_access_t parseAccessWord(std::string_view word)
{
    std::string_view trimmed = trimBlanks(word);
    if (startsWithNoCase(trimmed, "RO"))
        return ZE_ACCESS_RO;
    if (startsWithNoCase(trimmed, "WO"))
        return ZE_ACCESS_WO;
    return ZE_ACCESS_RW;
}

} // namespace zentro
