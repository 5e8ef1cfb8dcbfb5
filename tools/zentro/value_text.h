// Register values as numbers and text, by the data type of their register or bitfield.
#pragma once

#include <cstdint>
#include <string>

#include <zentro.h>

namespace zcli {

// How to read the raw bits of a register or bitfield value (a bitfield shifted to bit 0).
struct ValueFormat {
    uint32_t dataType = ZE_DATATYPE_UNSIGNED;
    uint32_t mask = 0xFFFFFFFFu; // the value's width
    uint32_t rangeMin = 0;       // raw limits; both 0 for none
    uint32_t rangeMax = 0;
};

ValueFormat formatOf(const ze_reg_t &reg);
ValueFormat formatOf(const ze_bitfield_t &bitfield);

// The bits of @mask in @value, shifted down to bit 0.
uint32_t fieldValue(uint32_t value, uint32_t mask);
// "0x%0*X" with as many digits as the mask needs.
std::string hexText(uint32_t raw, uint32_t mask);
// The library's text of @raw by the data type ("12.500", "-3", "0x0C54").
std::string valueText(const ValueFormat &format, uint32_t raw);
// The number @raw stands for.
double valueNumber(const ValueFormat &format, uint32_t raw);
// The data type's name ("unsigned", "ufixed8", ...).
std::string dataTypeName(const ValueFormat &format);

// Reads @text as a value of @format: "0x..." hexadecimal for every type; otherwise as the data
// type says (hexadecimal digits for hex, whole numbers for unsigned, signed and sign-magnitude,
// real numbers for fixed point and floats). Throws a usage error naming @name for text that is
// not such a number or a value the type, the width or the register's range cannot hold.
uint32_t parseValue(const ValueFormat &format, const std::string &text, const std::string &name);

} // namespace zcli
