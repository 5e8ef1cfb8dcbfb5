// Register-name patterns and enumeration of the registers that match one.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "registers/reg_test_database.h"
#include "registers/wildcard.h"
#include "support/test_support.h"

using zentro::registerPatternMatch;
using zentro::test::installSensor;
using zentro::test::SourcedLogCapture;
using zentro::test::TestCamera;

namespace {

struct PatternCase {
    const char *pattern;
    const char *name;
    bool matches;
};

void PrintTo(const PatternCase &c, std::ostream *out)
{
    *out << "\"" << c.pattern << "\" on \"" << c.name << "\"";
}

class RegisterPattern : public ::testing::TestWithParam<PatternCase>
{
};

TEST_P(RegisterPattern, MatchesAsDescribed)
{
    const PatternCase &c = GetParam();
    EXPECT_EQ(registerPatternMatch(c.pattern, c.name), c.matches)
        << "pattern \"" << c.pattern << "\" name \"" << c.name << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegisterPattern,
    ::testing::Values(
        // "?" is exactly one character, letters compare without case.
        PatternCase{"AE_*_GAIN?", "ae_red_gain1", true},
        PatternCase{"AE_*_GAIN?", "AE_RED_GAIN", false}, PatternCase{"A?C", "abc", true},
        PatternCase{"A?C", "ac", false}, PatternCase{"?", "", false},
        PatternCase{"??", "abc", false}, PatternCase{"abc", "ABC", true},
        PatternCase{"abc", "ab", false}, PatternCase{"ab", "abc", false},
        // Empty patterns and names.
        PatternCase{"", "", true}, PatternCase{"", "A", false}, PatternCase{"*", "", false},
        // Stars: any run, also none; a trailing one takes the rest.
        PatternCase{"*", "ANY_NAME", true}, PatternCase{"GAIN*", "GAIN", true},
        PatternCase{"GAIN*", "GAIN_RED", true}, PatternCase{"*_RED", "GAIN_RED", true},
        PatternCase{"a**b", "aXYb", true}, PatternCase{"*b*", "abc", true},
        PatternCase{"*?", "x", true}, PatternCase{"x*y*z", "xAyBz", true},
        // A segment sits at its leftmost fit; nothing is tried again behind it.
        PatternCase{"*AB", "xABAB", false}, PatternCase{"*AB", "xAB", true},
        PatternCase{"*ab*cd", "abXcdYcd", false}, PatternCase{"*ab*cd", "abXcd", true},
        PatternCase{"*A?", "AxAy", false}, PatternCase{"*A?*", "AxAy", true}));

class WildcardEnumeration : public ::testing::Test
{
protected:
    void SetUp() override
    {
        installSensor(camera, {
                                  {"AE_RED_GAIN1", 1},
                                  {"AE_CTRL", 2},
                                  {"ae_blue_gain2", 3},
                                  {"AE_GREEN_GAIN", 4},
                                  {"OTHER", 5, {}, "AE_X_GAIN3"},
                                  {"AE__GAIN4", 6},
                              });
    }

    std::vector<uint32_t> enumerate(const char *pattern)
    {
        std::vector<uint32_t> found;
        int32_t position = 0;
        while (ze_reg_t *reg = ze_FindRegisterWildcard(camera, pattern, &position)) {
            found.push_back(reg->addr);
            EXPECT_EQ(&camera->sensor->regs[position - 1], reg) << "position behind the match";
            if (found.size() > 10)
                break;
        }
        return found;
    }

    TestCamera camera;
};

TEST_F(WildcardEnumeration, VisitsEveryMatchOnceInArrayOrder)
{
    EXPECT_EQ(enumerate("AE_*_GAIN?"), (std::vector<uint32_t>{1, 3, 6}));
    EXPECT_EQ(enumerate("*"), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(enumerate("NOTHING*"), std::vector<uint32_t>{});
}

TEST_F(WildcardEnumeration, WithoutAPositionTheFirstMatchIsReturned)
{
    ze_reg_t *reg = ze_FindRegisterWildcard(camera, "*GAIN?", nullptr);
    ASSERT_NE(reg, nullptr);
    EXPECT_EQ(reg->addr, 1u);
}

TEST_F(WildcardEnumeration, PositionIsKeptWhenNothingMoreMatches)
{
    int32_t position = 4;
    EXPECT_EQ(ze_FindRegisterWildcard(camera, "AE_CTRL", &position), nullptr);
    EXPECT_EQ(position, 4);
    position = 100;
    EXPECT_EQ(ze_FindRegisterWildcard(camera, "*", &position), nullptr);
    EXPECT_EQ(position, 100);
    position = -3;
    EXPECT_EQ(ze_FindRegisterWildcard(camera, "AE_CTRL", &position)->addr, 2u);
    EXPECT_EQ(position, 2);
}

TEST_F(WildcardEnumeration, EmptyPatternAndAbsentArgumentsFindNothingSilently)
{
    SourcedLogCapture log;
    EXPECT_EQ(ze_FindRegisterWildcard(camera, "", nullptr), nullptr);
    EXPECT_EQ(ze_FindRegisterWildcard(camera, nullptr, nullptr), nullptr);
    EXPECT_EQ(ze_FindRegisterWildcard(nullptr, "*", nullptr), nullptr);
    EXPECT_EQ(ze_FindRegisterWildcard(camera, "NO_MATCH", nullptr), nullptr);
    EXPECT_TRUE(log.lines().empty());
}

} // namespace
