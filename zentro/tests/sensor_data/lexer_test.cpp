// Tests of the lexical rules shared by sensor-data, chip and board-configuration files.
#include "sensor_data/lexer.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zentro {
namespace {

struct ReadLine {
    std::string text;
    int number;
};

std::vector<ReadLine> allLines(std::string_view text, size_t limit)
{
    LineReader reader(text);
    std::vector<ReadLine> lines;
    std::string_view line;
    while (reader.next(limit, line))
        lines.push_back({std::string(line), reader.lineNumber()});
    return lines;
}

TEST(LineReader, LinesLoseTheirEndsWhateverTheConvention)
{
    auto lines = allLines("a\nb\r\nc\rd", 100);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, "a");
    EXPECT_EQ(lines[1].text, "b");
    EXPECT_EQ(lines[2].text, "c");
    EXPECT_EQ(lines[3].text, "d");
    EXPECT_EQ(lines[3].number, 4);
}

TEST(LineReader, LongLineIsSplitAndItsRestKeepsTheLineNumber)
{
    auto lines = allLines("abcdefgh\nxy\n", 3);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, "abc");
    EXPECT_EQ(lines[1].text, "def");
    EXPECT_EQ(lines[2].text, "gh");
    EXPECT_EQ(lines[2].number, 1);
    EXPECT_EQ(lines[3].text, "xy");
    EXPECT_EQ(lines[3].number, 2);
}

TEST(LineReader, LineOfExactlyTheLimitIsNotFollowedByAnEmptyRest)
{
    auto lines = allLines("abc\nd", 3);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].text, "d");
    EXPECT_EQ(lines[1].number, 2);
}

TEST(LineReader, BlankLinesCountAndRestoreReturnsToAPosition)
{
    LineReader reader("one\n\n; note\nfour\n");
    std::string_view line;
    ASSERT_TRUE(reader.next(100, line));
    LineReader::Position mark = reader.position();
    while (reader.next(100, line)) {
    }
    EXPECT_EQ(line, "four");
    EXPECT_EQ(reader.lineNumber(), 4);
    reader.restore(mark);
    ASSERT_TRUE(reader.next(100, line));
    EXPECT_EQ(line, "");
    EXPECT_EQ(reader.lineNumber(), 2);
}

TEST(Lexer, CommentsAndBlankLinesAreSkipped)
{
    EXPECT_TRUE(isSkippedLine(""));
    EXPECT_TRUE(isSkippedLine(" \t"));
    EXPECT_TRUE(isSkippedLine("  ; comment"));
    EXPECT_TRUE(isSkippedLine("\t// comment"));
    EXPECT_FALSE(isSkippedLine("/ not a comment"));
    EXPECT_FALSE(isSkippedLine("KEY = 1 ; trailing"));
}

TEST(Lexer, SectionHeadersAndEndsIgnoreCaseAndBlanks)
{
    EXPECT_EQ(sectionHeader("  [ REGISTERS ] "), "REGISTERS");
    EXPECT_EQ(sectionHeader("[optional]"), "optional");
    EXPECT_FALSE(sectionHeader("[REGISTERS"));
    EXPECT_FALSE(sectionHeader("X = [A]"));
    EXPECT_TRUE(isSectionEnd("[END]"));
    EXPECT_TRUE(isSectionEnd("  [end] of registers"));
    EXPECT_FALSE(isSectionEnd("[ENDING"));
}

TEST(Lexer, KeyValueSplitsAtTheFirstEquals)
{
    auto pair = splitKeyValue("  WIDTH =  1920  ");
    ASSERT_TRUE(pair);
    EXPECT_EQ(pair->key, "WIDTH");
    EXPECT_EQ(pair->value, "1920");
    pair = splitKeyValue("NAME=\"a = b\"");
    ASSERT_TRUE(pair);
    EXPECT_EQ(pair->value, "\"a = b\"");
    pair = splitKeyValue("OR_MATCH =");
    ASSERT_TRUE(pair);
    EXPECT_EQ(pair->value, "");
    EXPECT_FALSE(splitKeyValue("OR_MATCH"));
    EXPECT_FALSE(splitKeyValue(" = 5"));
}

TEST(Lexer, NumbersAreCIntegerLiterals)
{
    EXPECT_EQ(parseInteger("42"), 42u);
    EXPECT_EQ(parseInteger(" 0x1F "), 0x1Fu);
    EXPECT_EQ(parseInteger("0X1f"), 0x1Fu);
    EXPECT_EQ(parseInteger("017"), 15u);
    EXPECT_EQ(parseInteger("0"), 0u);
    EXPECT_EQ(parseInteger("+7"), 7u);
    EXPECT_EQ(parseInteger("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(parseInteger("0xFFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_FALSE(parseInteger("0x100000000"));
    EXPECT_FALSE(parseInteger("08"));
    EXPECT_FALSE(parseInteger("12abc"));
    EXPECT_FALSE(parseInteger(""));
    EXPECT_FALSE(parseInteger("-"));
    EXPECT_FALSE(parseInteger("RO"));
}

TEST(Lexer, HexadecimalVariantTakesDigitsWithOrWithoutPrefix)
{
    EXPECT_EQ(parseHex("10"), 0x10u);
    EXPECT_EQ(parseHex("0x10"), 0x10u);
    EXPECT_EQ(parseHex("ff00"), 0xFF00u);
    EXPECT_FALSE(parseHex("0x"));
    EXPECT_FALSE(parseHex("12g"));
}

TEST(Lexer, QuotedTextRunsToTheNextQuote)
{
    size_t after = 0;
    EXPECT_EQ(quotedText("x = \"Chip, version\" rest", &after), "Chip, version");
    EXPECT_EQ(after, 19u);
    EXPECT_EQ(quotedText("\"unclosed"), "unclosed");
    EXPECT_FALSE(quotedText("no quotes"));
    QuotedPair pair = twoQuotedTexts("\"Display\" \"Detail\" ,2");
    EXPECT_EQ(pair.first, "Display");
    EXPECT_EQ(pair.second, "Detail");
    EXPECT_EQ(pair.rest, " ,2");
    pair = twoQuotedTexts("\"Only\"");
    EXPECT_EQ(pair.first, "Only");
    EXPECT_EQ(pair.second, "");
}

TEST(Lexer, TextTooLongForItsFieldEndsInEllipsis)
{
    EXPECT_EQ(fitText("abcdef", 7), "abcdef");
    EXPECT_EQ(fitText("abcdefg", 7), "abc...");
    EXPECT_EQ(fitText("abcdefg", 3), "..");
    char field[8];
    copyFittedText(field, std::string(300, 'x'));
    EXPECT_STREQ(field, "xxxx...");
    copyFittedText(field, std::string_view("ab\0cd", 5));
    EXPECT_STREQ(field, "ab");
}

TEST(Lexer, ValueListsHoldBlankSeparatedNumbers)
{
    size_t after = 0;
    auto values = parseValueList(" (0x20 0x30\t 7) tail", &after);
    ASSERT_TRUE(values);
    EXPECT_EQ(*values, (std::vector<uint32_t>{0x20, 0x30, 7}));
    EXPECT_EQ(after, 15u);
    values = parseValueList("()");
    ASSERT_TRUE(values);
    EXPECT_TRUE(values->empty());
    EXPECT_FALSE(parseValueList("(1,2)"));
    EXPECT_FALSE(parseValueList("(1 2"));
    EXPECT_FALSE(parseValueList("1 2)"));
    EXPECT_EQ(parseValueOrList("5"), (std::vector<uint32_t>{5}));
    EXPECT_EQ(parseValueOrList(" (1 2) "), (std::vector<uint32_t>{1, 2}));
    EXPECT_FALSE(parseValueOrList("(1 2) 3"));
}

TEST(Lexer, BraceFormSplitsLeadingFieldsAndKeepsTheTailWhole)
{
    auto braces = splitBraceFields(" {0x3000, CORE , 1, 0xFFFF, RO, 0x0C54, \"a, b\" \"c}\"} x", 6);
    ASSERT_TRUE(braces);
    EXPECT_EQ(braces->fields,
              (std::vector<std::string_view>{"0x3000", "CORE", "1", "0xFFFF", "RO", "0x0C54"}));
    EXPECT_TRUE(braces->hasTail);
    EXPECT_EQ(braces->tail, "\"a, b\" \"c}\"");

    braces = splitBraceFields("{A, 1, RW}", 3);
    ASSERT_TRUE(braces);
    EXPECT_EQ(braces->fields.size(), 3u);
    EXPECT_FALSE(braces->hasTail);

    braces = splitBraceFields("{A, 1}", 3);
    ASSERT_TRUE(braces);
    EXPECT_EQ(braces->fields.size(), 2u);

    EXPECT_FALSE(splitBraceFields("A, 1}", 3));
    EXPECT_FALSE(splitBraceFields("{A, 1", 3));
}

} // namespace
} // namespace zentro
