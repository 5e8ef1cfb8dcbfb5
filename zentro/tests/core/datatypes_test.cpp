// Tests of the data-type names and of the conversions between raw values, numbers and text.
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "zentro_datatypes.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr uint32_t kMask32 = 0xFFFFFFFF;

TEST(DataTypeNames, EachCodeHasItsOwnName)
{
    const std::pair<uint32_t, const char *> cases[] = {
        {0, "hex"},     {1, "unsigned"}, {11, "ufixed10"}, {33, "ufixed32"}, {34, "signed"},
        {35, "fixed1"}, {67, "signmag"}, {68, "float"},    {69, "float16"},  {70, "unknown"}};
    for (const auto &[type, name] : cases)
        EXPECT_STREQ(ze_GetDataTypeString(type), name) << type;
    for (uint32_t type = 0; type <= ZE_DATATYPE_FLOAT16; ++type)
        EXPECT_EQ(ze_DataTypeFromString(ze_GetDataTypeString(type)), type);
}

TEST(DataTypeNames, FixedPointWidthsAreClampedAndOtherNamesInvalid)
{
    const std::pair<const char *, uint32_t> cases[] = {{"ufixed40", 33},
                                                       {"fixed8", 42},
                                                       {"FIXED08", 42},
                                                       {"Float16", 69},
                                                       {"fixed", 34},
                                                       {"fixed-3", 34},
                                                       {"ufixed-1", 1},
                                                       {"fixed99999999999999999999", 66},
                                                       {"", ZE_DATATYPE_INVALID},
                                                       {"float32", ZE_DATATYPE_INVALID},
                                                       {"hex ", ZE_DATATYPE_INVALID}};
    for (const auto &[name, type] : cases)
        EXPECT_EQ(ze_DataTypeFromString(name), type) << name;
    EXPECT_EQ(ze_DataTypeFromString(nullptr), ZE_DATATYPE_INVALID);
}

struct Conversion {
    int type;
    uint32_t raw;
    uint32_t mask;
    double number;
};

TEST(Int2Double, ReadsTheRawBitsByType)
{
    const Conversion cases[] = {{35, 0x8000, 0xFFFF, -16384.0},
                                {67, 0x8005, 0xFFFF, -5.0},
                                {34, 0x80000000, kMask32, -2147483648.0},
                                {66, 0x80000000, kMask32, -0.5},
                                {2, 0x1FF, 0xFF, 255.5},
                                {-1, 7, 0xFF, 7.0},
                                {70, 9, 0xFF, 9.0},
                                {68, 0x3F800000, kMask32, 1.0},
                                {68, 0x0010, 0xFFFF, 1.0},
                                {69, 0x10000, kMask32, 0.0}};
    for (const auto &c : cases)
        EXPECT_EQ(ze_Int2Double(c.type, c.raw, c.mask), c.number) << c.type << " " << c.raw;
}

TEST(Double2Int, RoundsTruncatesSaturatesAndMasks)
{
    const Conversion cases[] = {{1, 0x2C, 0xFF, 300.7},
                                {34, 0xFF, 0xFF, -1.9},
                                {35, 0xFFFF, 0xFFFF, -0.75},
                                {2, 3, 0xFF, 1.25},
                                {67, 0x8005, 0xFFFF, -5.9},
                                {68, 0, kMask32, -0.0},
                                {68, 0x7F800000, kMask32, 1e300},
                                {69, 0x8011, kMask32, -2.0},
                                {70, 0, kMask32, 5.0},
                                {-1, 0, kMask32, 5.0},
                                {1, kMask32, kMask32, kInfinity},
                                {1, 0, kMask32, -1.0},
                                {34, 0x7FFFFFFF, kMask32, 1e300},
                                {34, 0x80000000, kMask32, -1e300},
                                {33, kMask32, kMask32, 1e10},
                                {66, 0, kMask32, kNaN}};
    for (const auto &c : cases)
        EXPECT_EQ(ze_Double2Int(c.type, c.mask, c.number), c.raw) << c.type << " " << c.number;
}

TEST(Int2Str, FormatFollowsTypeAndMask)
{
    const struct {
        int type;
        uint32_t raw;
        uint32_t mask;
        const char *text;
    } cases[] = {{0, 0x1F, 0xFFF, "0x001F"},
                 {0, 0x1F, 0xFF, "0x1F"},
                 {0, 0x1F, 0x1FFFF, "0x0000001F"},
                 {1, kMask32, kMask32, "4294967295"},
                 {2, 3, 0xFF, "1.5"},
                 {11, 1, 0xFFFF, "0.0010"},
                 {61, 0x08000000, kMask32, "1.00000000"},
                 {62, 0x10000000, kMask32, "1.000000000"},
                 {34, 0xFF, 0xFF, "-1"},
                 {67, 0x8005, 0xFFFF, "-5"},
                 {68, 0x3F800000, kMask32, "1.0"},
                 {68, 0x4B189680, kMask32, "1E+07"},
                 {68, 0xFF800000, kMask32, "-INF"},
                 {69, 0, 0xFFFF, "0.0000"},
                 {68, 0x0009, 0xFFFF, "7.8125E-3"},
                 {70, 5, 0xFF, ""},
                 {-1, 5, 0xFF, ""}};
    for (const auto &c : cases) {
        char buffer[256];
        int needed = ze_Int2Str(c.type, c.raw, c.mask, buffer, sizeof(buffer));
        EXPECT_STREQ(buffer, c.text) << c.type << " " << c.raw;
        EXPECT_EQ(needed, static_cast<int>(std::strlen(c.text)) + 1);
    }
}

TEST(Int2Str, CopiesAtMostLengthCharactersAndAlwaysReturnsTheSize)
{
    char buffer[8];
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(ze_Int2Str(0, 0x1F, 0xFFFF, buffer, 3), 7);
    EXPECT_EQ(std::string(buffer, 4), "0x0#");
    EXPECT_EQ(ze_Int2Str(0, 0x1F, 0xFFFF, buffer, 6), 7);
    EXPECT_EQ(std::string(buffer, 7), "0x001F#");
    EXPECT_EQ(ze_Int2Str(0, 0x1F, 0xFFFF, nullptr, 7), 7);
    EXPECT_EQ(ze_Int2Str(0, 0x1F, 0xFFFF, buffer, -1), 7);
    EXPECT_EQ(ze_Double2Str(36, 0xFFFF, buffer, sizeof(buffer), 1.3), 5);
    EXPECT_STREQ(buffer, "1.25");
}

TEST(Str2Int, ReadsTextByTypeAndMasks)
{
    const struct {
        int type;
        const char *text;
        uint32_t mask;
        uint32_t raw;
    } cases[] = {{36, "1.5", 0xFFFF, 6},
                 {1, "0x10", 0xFF, 16},
                 {34, "-1", 0xFF, 0xFF},
                 {0, " -10", 0xFF, 0xF0},
                 {34, "abcX", kMask32, 0xABC},
                 {70, "0x12", 0xFF, 0x12},
                 {1, "4294967295", kMask32, kMask32},
                 {1, "99999999999", kMask32, kMask32},
                 {34, "-99999999999", kMask32, 0x80000000},
                 {0, "FFFFFFFFF", kMask32, kMask32},
                 {67, "-5", 0xFFFF, 0x8005},
                 {1, " +12abc", 0xFF, 12},
                 {68, "1.0", kMask32, 0x3F800000},
                 {68, "-2.0", 0xFFFF, 0x8011},
                 {69, "inf", 0xFFFF, 0x7FFF},
                 {36, "1e400", 0xFFFF, 0xFFFF},
                 {35, "-1e400", kMask32, 0x80000000},
                 {36, "nan", 0xFFFF, 0},
                 {70, "12", 0xFF, 0},
                 {-1, "12", 0xFF, 0},
                 {1, "", 0xFF, 0},
                 {1, "12", 0, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(ze_Str2Int(c.type, c.text, c.mask), c.raw) << c.type << " " << c.text;
    EXPECT_EQ(ze_Str2Int(1, nullptr, kMask32), 0u);
}

TEST(Str2Double, QuantisesDecimalTextToTheType)
{
    const struct {
        int type;
        const char *text;
        uint32_t mask;
        double number;
    } cases[] = {{36, "1.3", 0xFFFF, 1.25},    {34, "-1.7", 0xFF, -1.0},
                 {67, "0x8005", 0xFFFF, -5.0}, {0, "10", 0xFF, 16.0},
                 {1, "0x1FF", 0xFF, 255.0},    {1, "1e400", 0xFFFF, 65535.0},
                 {70, "5", 0xFF, 0.0},         {69, "0.005", 0xFFFF, 0.005001068115234375}};
    for (const auto &c : cases)
        EXPECT_EQ(ze_Str2Double(c.type, c.text, c.mask), c.number) << c.type << " " << c.text;
    EXPECT_EQ(ze_Str2Double(1, nullptr, kMask32), 0.0);
    EXPECT_EQ(ze_Str2Double(1, "", kMask32), 0.0);
}

TEST(DataTypeRange, FollowsTheWidthOfTheMask)
{
    const struct {
        int type;
        uint32_t mask;
        double minimum, maximum, step;
    } cases[] = {
        {34, 0xFF, -128.0, 127.0, 1.0},       {35, 0xFFFF, -16384.0, 16383.5, 0.5},
        {67, 0xFFFF, -32767.0, 32767.0, 1.0}, {0, 0xFF, 0.0, 255.0, 1.0},
        {2, 0xFF, 0.0, 127.5, 0.5},           {34, kMask32, -2147483648.0, 2147483647.0, 1.0},
        {68, kMask32, 0.0, 0.0, 0.0},         {-1, 0xFF, 0.0, 0.0, 0.0}};
    for (const auto &c : cases) {
        EXPECT_EQ(ze_DataTypeMinimum(c.type, c.mask), c.minimum) << c.type;
        EXPECT_EQ(ze_DataTypeMaximum(c.type, c.mask), c.maximum) << c.type;
        EXPECT_EQ(ze_DataTypeStep(c.type), c.step) << c.type;
    }
}

} // namespace
