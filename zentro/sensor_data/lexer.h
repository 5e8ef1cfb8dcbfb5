// Lexical rules shared by sensor-data, chip and board-configuration files: physical lines,
// comments, section headers, KEY = VALUE lines, numbers, quoted texts, value lists and the
// brace forms of register and bitfield lines.
#ifndef ZENTRO_SENSOR_DATA_LEXER_H
#define ZENTRO_SENSOR_DATA_LEXER_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zentro_sensor.h"

namespace zentro {

// Longest physical line each part of a file is read with; a longer line is split.
inline constexpr size_t kDescriptorLineLimit = 250; // CHIP_DESCRIPTOR, OPTIONAL, ADDR_SPACE
inline constexpr size_t kSubdeviceLineLimit = 512;  // SUBDEVICES
inline constexpr size_t kRegisterLineLimit = 1024;  // REGISTERS and chip files

// Hands out the physical lines of a text held in memory, one at a time.
class LineReader
{
public:
    // Where the reader stands; restore() returns to it (a pre-scan reads ahead and back).
    struct Position {
        size_t offset = 0;
        int lineNumber = 0;
        bool midLine = false;
    };

    explicit LineReader(std::string_view text) : text_(text) {}

    // Sets @line to the next line without its line end ("\n", "\r\n" or "\r"), at most
    // @limit characters of it: the rest of a longer line comes as the next line, under the
    // same line number. False at the end of the text.
    bool next(size_t limit, std::string_view &line);
    // Number (from 1) of the physical line the last line handed out belongs to; 0 before
    // the first. Comment and blank lines count like any other.
    int lineNumber() const { return position_.lineNumber; }
    Position position() const { return position_; }
    void restore(const Position &position) { position_ = position; }

private:
    std::string_view text_;
    Position position_;
};

// @text without leading and trailing blanks (spaces, tabs, line ends, form feeds).
std::string_view trimBlanks(std::string_view text);
// The first blank-separated word of @text (leading blanks skipped); empty when none.
std::string_view firstWord(std::string_view text);
// True when @text has no blank between its first and last non-blank character.
bool isSingleWord(std::string_view text);
// Case-insensitive (ASCII) comparisons.
bool equalsNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view text, std::string_view prefix);
// @text in lower case (ASCII), for case-insensitive index keys.
std::string lowerCase(std::string_view text);

// True for a blank line and for a comment line: ";" or "//" as its first non-blank text.
bool isSkippedLine(std::string_view line);

// The name of a section header "[NAME]" (blanks around the line and the name ignored);
// nothing when @line is not a section header.
std::optional<std::string_view> sectionHeader(std::string_view line);
// True when @line begins "[END]" (case-insensitive, leading blanks ignored).
bool isSectionEnd(std::string_view line);

// A line of the form KEY = VALUE, both trimmed.
struct KeyValue {
    std::string_view key;   // never empty
    std::string_view value; // empty when nothing follows the "="
};
// Splits @line at its first "=". Nothing when there is no "=" or no key before it.
std::optional<KeyValue> splitKeyValue(std::string_view line);

// A number read from the front of a text, and how many characters it took.
struct NumberPrefix {
    uint32_t value;
    size_t length;
};
// Reads a C integer literal from the front of @text, as the %i conversion does: leading
// blanks, an optional sign, then "0x"/"0X" and hexadecimal digits, or "0" and octal digits,
// or decimal digits. A negative number wraps to its two's complement. Nothing when no
// digit follows or the magnitude does not fit in 32 bits.
std::optional<NumberPrefix> parseIntegerPrefix(std::string_view text);
// A whole (trimmed) text that is one C integer literal; nothing for anything else.
std::optional<uint32_t> parseInteger(std::string_view text);
// A whole (trimmed) text of hexadecimal digits, with or without "0x".
std::optional<uint32_t> parseHex(std::string_view text);

// The text between the first double quote of @text and the next one (the rest of @text
// when the closing quote is missing). @after (when given) receives the offset just past the
// closing quote. Nothing when @text holds no double quote.
std::optional<std::string_view> quotedText(std::string_view text, size_t *after = nullptr);
// @text as it is kept in a field of @fieldSize bytes (terminator included): a longer text is
// cut to fieldSize - 1 characters of which the last three become "...".
std::string fitText(std::string_view text, size_t fieldSize);
// Copies fitText(@text, @size) into @field, terminated.
void copyFittedText(char *field, size_t size, std::string_view text);
template <size_t N>
void copyFittedText(char (&field)[N], std::string_view text)
{
    copyFittedText(field, N, text);
}

// The two quoted texts that end register and bitfield lines ("DISPLAY" "DETAIL"); either is
// empty when missing. @rest is what follows the last closing quote used.
struct QuotedPair {
    std::string_view first;
    std::string_view second;
    std::string_view rest;
};
QuotedPair twoQuotedTexts(std::string_view text);

// Reads a value list "(1 2 3)" (numbers separated by blanks) from the front of @text
// (leading blanks skipped). @after (when given) receives the offset past the ")". Nothing
// when @text does not begin with "(", a number is malformed or the ")" is missing.
std::optional<std::vector<uint32_t>> parseValueList(std::string_view text, size_t *after = nullptr);
// A whole (trimmed) text that is either one number or one value list.
std::optional<std::vector<uint32_t>> parseValueOrList(std::string_view text);

// The comma-separated fields of a brace form "{A, B, C, TAIL}". The first @leadingCount
// fields are split at commas and trimmed; whatever follows the last of them up to the last
// "}" of the text is the tail (it may hold commas and quoted texts).
struct BraceFields {
    std::vector<std::string_view> fields; // at most leadingCount, each trimmed
    std::string_view tail;                // trimmed; meaningful only when hasTail
    bool hasTail = false;                 // true when a comma followed the last leading field
};
// Nothing when @text (after leading blanks) does not begin with "{" or has no "}".
std::optional<BraceFields> splitBraceFields(std::string_view text, size_t leadingCount);

// Register and bitfield access word: words beginning "RO" are read-only, "WO" write-only,
// anything else read-write (case-insensitive).
ze_access_t parseAccessWord(std::string_view word);

} // namespace zentro

#endif // ZENTRO_SENSOR_DATA_LEXER_H
