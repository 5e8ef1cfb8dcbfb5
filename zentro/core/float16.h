// The library's own 16-bit float: encoding, decoding and the text it is shown as.
#ifndef ZENTRO_CORE_FLOAT16_H
#define ZENTRO_CORE_FLOAT16_H

#include <array>
#include <cstddef>
#include <cstdint>

namespace zentro {

// Word layout: bit 15 the sign, bits 14..5 the fraction f of a mantissa 1.f, bits 4..0 the
// exponent with bias 16. There are no denormals, infinities or NaNs; the all-zero word is 0.0.

// The word for @value. The fraction is rounded half up by magnitude. Magnitudes too large for
// the format give 0x7FFF (0xFFFF when negative), too small 0 (0x8000 when negative); infinities
// count as too large, and a NaN, which the format cannot hold, gives 0.
uint16_t encodeFloat16(float value) noexcept;

// The value of @word.
double decodeFloat16(uint16_t word) noexcept;

// Room for the text of every value a word decodes to ("-65504.0", "-1.5259E-5").
constexpr std::size_t kFloat16TextSize = 32;
using Float16Text = std::array<char, kFloat16TextSize>;

// The text of @value as 16-bit floats are shown: fewer decimals as the magnitude grows, and
// magnitudes of 0.01 and below as "%.4E" without the exponent's leading zeros ("5.0000E-3").
Float16Text formatFloat16(double value) noexcept;

} // namespace zentro

#endif // ZENTRO_CORE_FLOAT16_H
