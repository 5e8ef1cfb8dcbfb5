// Encoding, decoding and text of the library's 16-bit float.
#include "core/float16.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace zentro {

namespace {

constexpr uint16_t kSignBit = 0x8000;
constexpr int kFractionBits = 10;
constexpr int kExponentBits = 5;
constexpr uint32_t kFractionMask = (1u << kFractionBits) - 1;
constexpr uint32_t kExponentMask = (1u << kExponentBits) - 1;
constexpr int kExponentBias = 16;
constexpr int kMaxExponent = static_cast<int>(kExponentMask) - kExponentBias;
constexpr int kMinExponent = -kExponentBias;
constexpr uint16_t kLargestMagnitude = 0x7FFF;

constexpr int kSingleFractionBits = 23;
constexpr uint32_t kSingleFractionMask = (1u << kSingleFractionBits) - 1;
constexpr uint32_t kSingleExponentMask = 0xFF;
constexpr int kSingleExponentBias = 127;
constexpr int kDroppedBits = kSingleFractionBits - kFractionBits;
constexpr uint32_t kRoundingBit = 1u << (kDroppedBits - 1);

// The magnitude part of the word for a non-zero, non-NaN single given by its bits. Infinities
// carry the largest single exponent, so they clamp like any magnitude too large for the word.
uint16_t encodeMagnitude(uint32_t singleBits)
{
    uint32_t singleFraction = singleBits & kSingleFractionMask;
    int exponent = static_cast<int>((singleBits >> kSingleFractionBits) & kSingleExponentMask) -
                   kSingleExponentBias;
    uint32_t fraction = singleFraction >> kDroppedBits;
    if (singleFraction & kRoundingBit)
        ++fraction;
    if (fraction > kFractionMask) {
        fraction = 0;
        ++exponent;
    }
    if (exponent > kMaxExponent)
        return kLargestMagnitude;
    if (exponent < kMinExponent)
        return 0;
    return static_cast<uint16_t>((fraction << kExponentBits) |
                                 static_cast<uint32_t>(exponent + kExponentBias));
}

// Decimals shown for magnitudes above each bound; smaller magnitudes use the exponent form.
struct DecimalsAbove {
    double bound;
    int decimals;
};
constexpr DecimalsAbove kDecimalsAbove[] = {{1023.0, 1}, {100.0, 2}, {10.0, 3},
                                            {1.0, 4},    {0.1, 5},   {0.01, 6}};
constexpr int kExponentFormDecimals = 4;
constexpr char kZeroText[] = "0.0000";

// printf pads the exponent to two digits; the shown text keeps only the significant ones.
void dropExponentZeros(char *text)
{
    char *digits = std::strchr(text, 'E');
    if (!digits)
        return;
    ++digits;
    if (*digits == '+' || *digits == '-')
        ++digits;
    char *significant = digits;
    while (significant[0] == '0' && significant[1] != '\0')
        ++significant;
    std::memmove(digits, significant, std::strlen(significant) + 1);
}

} // namespace

uint16_t encodeFloat16(float value) noexcept
{
    if (value == 0.0f || std::isnan(value))
        return 0;
    uint16_t magnitude = encodeMagnitude(std::bit_cast<uint32_t>(value));
    return std::signbit(value) ? static_cast<uint16_t>(magnitude | kSignBit) : magnitude;
}

double decodeFloat16(uint16_t word) noexcept
{
    if (word == 0)
        return 0.0;
    double fraction = static_cast<double>((word >> kExponentBits) & kFractionMask);
    double mantissa = 1.0 + fraction / (kFractionMask + 1);
    int exponent = static_cast<int>(word & kExponentMask) - kExponentBias;
    double magnitude = std::ldexp(mantissa, exponent);
    return (word & kSignBit) ? -magnitude : magnitude;
}

Float16Text formatFloat16(double value) noexcept
{
    Float16Text text{};
    if (value == 0.0) {
        std::snprintf(text.data(), text.size(), "%s", kZeroText);
        return text;
    }
    double magnitude = std::fabs(value);
    for (const DecimalsAbove &range : kDecimalsAbove) {
        if (magnitude > range.bound) {
            std::snprintf(text.data(), text.size(), "%.*f", range.decimals, value);
            return text;
        }
    }
    std::snprintf(text.data(), text.size(), "%.*E", kExponentFormDecimals, value);
    dropExponentZeros(text.data());
    return text;
}

} // namespace zentro
