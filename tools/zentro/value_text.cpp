// Conversions between raw register values and the text a user reads and types.
#include "value_text.h"

#include <bit>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cli_error.h"

namespace zcli {
namespace {

constexpr uint32_t kWideFloatMask = 0xFFFFu;     // wider masks hold IEEE singles
constexpr double kFloat16Largest = 65504.0;      // (1 + 1023/1024) x 2^15
constexpr double kFloat16Smallest = 1.0 / 65536; // 2^-16, no denormals
constexpr size_t kTextSize = 256;

bool isFloat(uint32_t type)
{
    return type == ZE_DATATYPE_FLOAT || type == ZE_DATATYPE_FLOAT16;
}

bool isWholeNumberType(uint32_t type)
{
    return type == ZE_DATATYPE_UNSIGNED || type == ZE_DATATYPE_SIGNED ||
           type == ZE_DATATYPE_SIGNMAG;
}

bool allOf(const std::string &text, size_t from, const char *characters)
{
    return from < text.size() && text.find_first_not_of(characters, from) == std::string::npos;
}

std::string numberText(double number)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", number);
    return text;
}

[[noreturn]] void refuse(const std::string &name, const std::string &text, const std::string &why)
{
    usageError("cannot set " + name + " to '" + text + "': " + why);
}

uint32_t parseHexDigits(const std::string &digits, const ValueFormat &format,
                        const std::string &name, const std::string &text)
{
    if (!allOf(digits, 0, "0123456789abcdefABCDEF"))
        refuse(name, text, "not a hexadecimal number");
    errno = 0;
    const unsigned long long raw = std::strtoull(digits.c_str(), nullptr, 16);
    if (errno == ERANGE || raw > format.mask)
        refuse(name, text, "wider than the value's " + hexText(format.mask, format.mask) + " bits");
    return static_cast<uint32_t>(raw);
}

double parseNumber(const ValueFormat &format, const std::string &text, const std::string &name)
{
    const size_t digitsFrom = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (isWholeNumberType(format.dataType)) {
        if (!allOf(text, digitsFrom, "0123456789"))
            refuse(name, text, "not a whole number (" + dataTypeName(format) + ")");
        if (format.dataType == ZE_DATATYPE_UNSIGNED && text[0] == '-')
            refuse(name, text, "the value is unsigned");
    } else if (!allOf(text, digitsFrom, "0123456789.eE+-")) {
        refuse(name, text, "not a number (" + dataTypeName(format) + ")");
    }
    char *end = nullptr;
    errno = 0;
    const double number = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(number))
        refuse(name, text, "not a number (" + dataTypeName(format) + ")");
    return number;
}

void checkTypeLimits(const ValueFormat &format, double number, const std::string &name,
                     const std::string &text)
{
    const int type = static_cast<int>(format.dataType);
    if (isFloat(format.dataType)) {
        const bool single = format.dataType == ZE_DATATYPE_FLOAT && format.mask > kWideFloatMask;
        const double largest = single ? FLT_MAX : kFloat16Largest;
        const double smallest = single ? FLT_MIN : kFloat16Smallest;
        const double magnitude = std::fabs(number);
        if (magnitude > largest || (magnitude != 0 && magnitude < smallest))
            refuse(name, text,
                   "out of range (" + dataTypeName(format) + " magnitudes from " +
                       numberText(smallest) + " to " + numberText(largest) + ")");
        return;
    }
    const double minimum = ze_DataTypeMinimum(type, format.mask);
    const double maximum = ze_DataTypeMaximum(type, format.mask);
    if (number < minimum || number > maximum)
        refuse(name, text,
               "out of range (" + dataTypeName(format) + ", " + numberText(minimum) + " to " +
                   numberText(maximum) + ")");
}

void checkDeclaredRange(const ValueFormat &format, uint32_t raw, const std::string &name,
                        const std::string &text)
{
    if (format.rangeMin == 0 && format.rangeMax == 0)
        return;
    const double number = valueNumber(format, raw);
    const double minimum = valueNumber(format, format.rangeMin);
    const double maximum = valueNumber(format, format.rangeMax);
    if (number < minimum || number > maximum)
        refuse(name, text,
               "outside the range " + valueText(format, format.rangeMin) + " to " +
                   valueText(format, format.rangeMax) + " the sensor-data file gives");
}

} // namespace

ValueFormat formatOf(const ze_reg_t &reg)
{
    return {reg.dataType, reg.mask ? reg.mask : 0xFFFFFFFFu, reg.rangeMin, reg.rangeMax};
}

ValueFormat formatOf(const ze_bitfield_t &bitfield)
{
    return {bitfield.dataType, fieldValue(bitfield.mask, bitfield.mask), bitfield.rangeMin,
            bitfield.rangeMax};
}

uint32_t fieldValue(uint32_t value, uint32_t mask)
{
    return mask == 0 ? 0 : (value & mask) >> std::countr_zero(mask);
}

std::string hexText(uint32_t raw, uint32_t mask)
{
    const int digits = mask > 0xFFFFu ? 8 : (mask > 0xFFu ? 4 : 2);
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, raw);
    return text;
}

std::string valueText(const ValueFormat &format, uint32_t raw)
{
    char text[kTextSize] = {};
    ze_Int2Str(static_cast<int>(format.dataType), raw, format.mask, text, sizeof text - 1);
    return text;
}

double valueNumber(const ValueFormat &format, uint32_t raw)
{
    return ze_Int2Double(static_cast<int>(format.dataType), raw, format.mask);
}

std::string dataTypeName(const ValueFormat &format)
{
    return ze_GetDataTypeString(format.dataType);
}

uint32_t parseValue(const ValueFormat &format, const std::string &text, const std::string &name)
{
    if (text.empty())
        refuse(name, text, "no value given");
    if (format.dataType > ZE_DATATYPE_FLOAT16)
        refuse(name, text, "its data type is unknown");
    uint32_t raw = 0;
    const bool prefixedHex =
        text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (prefixedHex) {
        raw = parseHexDigits(text.substr(2), format, name, text);
    } else if (format.dataType == ZE_DATATYPE_HEX) {
        raw = parseHexDigits(text, format, name, text);
    } else {
        const double number = parseNumber(format, text, name);
        checkTypeLimits(format, number, name, text);
        if (isWholeNumberType(format.dataType) && number != std::trunc(number))
            refuse(name, text, "not a whole number");
        // Fixed-point values are rounded to the type's step; the text printed after the
        // write shows the value that was stored.
        raw = ze_Double2Int(static_cast<int>(format.dataType), format.mask, number);
    }
    checkDeclaredRange(format, raw, name, text);
    return raw;
}

} // namespace zcli
