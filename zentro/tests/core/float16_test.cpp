// Tests of the library's 16-bit float: its encoding, decoding and text.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "core/float16.h"

namespace {

using zentro::decodeFloat16;
using zentro::encodeFloat16;

constexpr float kInfinity = std::numeric_limits<float>::infinity();

TEST(Float16, EncodesRoundingHalfUpAndClamping)
{
    const struct {
        float value;
        uint16_t word;
    } cases[] = {{1.0f, 0x0010},
                 {-2.0f, 0x8011},
                 {1.5f, 0x4010},
                 {0.0f, 0x0000},
                 {-0.0f, 0x0000},
                 {1.0f + std::ldexp(1.0f, -11), 0x0030}, // half of the last fraction bit rounds up
                 {1.0f + std::ldexp(1.0f, -12), 0x0010},
                 {2.0f - std::ldexp(1.0f, -23), 0x0011}, // the rounding carries into the exponent
                 {65504.0f, 0x7FFF},
                 {65520.0f, 0x7FFF},
                 {-1e30f, 0xFFFF},
                 {kInfinity, 0x7FFF},
                 {-kInfinity, 0xFFFF},
                 {std::ldexp(1.0f, -16), 0x0000},
                 {std::ldexp(1.0f, -17), 0x0000},
                 {-std::ldexp(1.0f, -17), 0x8000},
                 {std::numeric_limits<float>::quiet_NaN(), 0x0000}};
    for (const auto &c : cases)
        EXPECT_EQ(encodeFloat16(c.value), c.word) << c.value;
}

TEST(Float16, DecodesSignFractionAndExponent)
{
    EXPECT_EQ(decodeFloat16(0x0010), 1.0);
    EXPECT_EQ(decodeFloat16(0x8011), -2.0);
    EXPECT_EQ(decodeFloat16(0x0000), 0.0);
    EXPECT_EQ(decodeFloat16(0x7FFF), 65504.0);
    EXPECT_EQ(decodeFloat16(0x8000), -std::ldexp(1.0, -16));
    EXPECT_EQ(decodeFloat16(0x0001), std::ldexp(1.0, -15));
}

TEST(Float16, EveryWordSurvivesDecodingAndEncoding)
{
    for (uint32_t word = 0; word <= 0xFFFF; ++word) {
        auto value = static_cast<float>(decodeFloat16(static_cast<uint16_t>(word)));
        ASSERT_EQ(encodeFloat16(value), word) << std::hex << word;
    }
}

TEST(Float16Text, DecimalsShrinkAsTheMagnitudeGrows)
{
    const struct {
        double value;
        const char *text;
    } cases[] = {{0.0, "0.0000"},     {65504.0, "65504.0"}, {1023.5, "1023.5"},
                 {1023.0, "1023.00"}, {100.0, "100.000"},   {10.0, "10.0000"},
                 {-2.0, "-2.0000"},   {1.0, "1.00000"},     {0.1, "0.100000"},
                 {0.01, "1.0000E-2"}, {0.005, "5.0000E-3"}, {-std::ldexp(1.0, -16), "-1.5259E-5"}};
    for (const auto &c : cases)
        EXPECT_EQ(std::string(zentro::formatFloat16(c.value).data()), c.text) << c.value;
}

} // namespace
