// Register data types: their codes and names, and conversions between raw values, numbers and text.
#include "zentro_datatypes.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include "core/float16.h"

namespace {

constexpr int kMaxTextLength = 255;
constexpr uint32_t kTypeCount = ZE_DATATYPE_FLOAT16 + 1;
constexpr int kMaxFractionBits = 32;
// Code 68 holds an IEEE single only when the mask is wider than this.
constexpr uint32_t kWidestFloat16Mask = 0xFFFF;
constexpr uint32_t kFloat16Bits = 0xFFFF;

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kUint32Max = std::numeric_limits<uint32_t>::max();
// Halfway between the largest single and the next power of two: doubles from here on round to
// infinity as singles.
constexpr double kSingleOverflow = 0x1.ffffffp127;
constexpr float kSingleInfinity = std::numeric_limits<float>::infinity();

// ---- Data-type codes and names ----

enum class Kind {
    Unknown,
    Hex,
    Unsigned,
    UnsignedFixed,
    Signed,
    SignedFixed,
    SignMagnitude,
    Single,
    Float16,
};

struct DataType {
    Kind kind = Kind::Unknown;
    int fractionBits = 0;
};

constexpr bool inRange(int type, int first, int last)
{
    return type >= first && type <= last;
}

DataType classify(int type, uint32_t mask) noexcept
{
    if (type == ZE_DATATYPE_HEX)
        return {Kind::Hex};
    if (type == ZE_DATATYPE_UNSIGNED)
        return {Kind::Unsigned};
    if (inRange(type, ZE_DATATYPE_UFIXED1, ZE_DATATYPE_UFIXED32))
        return {Kind::UnsignedFixed, type - ZE_DATATYPE_UNSIGNED};
    if (type == ZE_DATATYPE_SIGNED)
        return {Kind::Signed};
    if (inRange(type, ZE_DATATYPE_FIXED1, ZE_DATATYPE_FIXED32))
        return {Kind::SignedFixed, type - ZE_DATATYPE_SIGNED};
    if (type == ZE_DATATYPE_SIGNMAG)
        return {Kind::SignMagnitude};
    if (type == ZE_DATATYPE_FLOAT)
        return {mask > kWidestFloat16Mask ? Kind::Single : Kind::Float16};
    if (type == ZE_DATATYPE_FLOAT16)
        return {Kind::Float16};
    return {};
}

constexpr std::string_view kUnsignedFixedPrefix = "ufixed";
constexpr std::string_view kSignedFixedPrefix = "fixed";
constexpr const char *kUnknownName = "unknown";
constexpr std::size_t kNameSize = 16;
using TypeName = std::array<char, kNameSize>;

constexpr TypeName makeName(std::string_view stem, int number = 0)
{
    TypeName name{};
    std::size_t length = stem.copy(name.data(), kNameSize - 1);
    if (number >= 10)
        name[length++] = static_cast<char>('0' + number / 10);
    if (number > 0)
        name[length] = static_cast<char>('0' + number % 10);
    return name;
}

constexpr std::array<TypeName, kTypeCount> makeTypeNames()
{
    std::array<TypeName, kTypeCount> names{};
    names[ZE_DATATYPE_HEX] = makeName("hex");
    names[ZE_DATATYPE_UNSIGNED] = makeName("unsigned");
    names[ZE_DATATYPE_SIGNED] = makeName("signed");
    names[ZE_DATATYPE_SIGNMAG] = makeName("signmag");
    names[ZE_DATATYPE_FLOAT] = makeName("float");
    names[ZE_DATATYPE_FLOAT16] = makeName("float16");
    for (int bits = 1; bits <= kMaxFractionBits; ++bits) {
        names[ZE_DATATYPE_UNSIGNED + bits] = makeName(kUnsignedFixedPrefix, bits);
        names[ZE_DATATYPE_SIGNED + bits] = makeName(kSignedFixedPrefix, bits);
    }
    return names;
}

constexpr std::array<TypeName, kTypeCount> kTypeNames = makeTypeNames();

// ---- Reading numbers from text ----

constexpr char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
}

bool equalsIgnoringCase(std::string_view text, std::string_view other)
{
    return text.size() == other.size() && startsWithIgnoringCase(text, other);
}

// The blanks the C library skips before a number, independent of the locale.
constexpr bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The value of a digit in bases up to 16; 16 for anything else.
constexpr int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (lowerAscii(c) >= 'a' && lowerAscii(c) <= 'f')
        return lowerAscii(c) - 'a' + 10;
    return 16;
}

// One above the largest 32-bit magnitude: larger magnitudes are held at this value.
constexpr uint64_t kSaturatedMagnitude = static_cast<uint64_t>(kUint32Max) + 1;

struct ParsedInteger {
    bool negative = false;
    uint64_t magnitude = 0;

    int64_t value() const
    {
        int64_t size = static_cast<int64_t>(magnitude);
        return negative ? -size : size;
    }
};

// Reads an integer as strtoul does (leading blanks, a sign, in base 16 an optional 0x, trailing
// text ignored, no digits read as 0) but saturates instead of overflowing.
ParsedInteger readInteger(const char *text, int base)
{
    ParsedInteger result;
    while (isBlank(*text))
        ++text;
    if (*text == '+' || *text == '-')
        result.negative = *text++ == '-';
    if (base == 16 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text += 2;
    for (int digit; (digit = digitValue(*text)) < base; ++text)
        result.magnitude = std::min<uint64_t>(result.magnitude * base + digit, kSaturatedMagnitude);
    return result;
}

// "%x": a minus sign negates modulo 2^32; magnitudes beyond 32 bits give 0xFFFFFFFF.
uint32_t readHex(const char *text)
{
    ParsedInteger parsed = readInteger(text, 16);
    if (parsed.magnitude > static_cast<uint64_t>(kUint32Max))
        return static_cast<uint32_t>(kUint32Max);
    uint32_t magnitude = static_cast<uint32_t>(parsed.magnitude);
    return parsed.negative ? 0u - magnitude : magnitude;
}

// "%d" into a register: negative numbers become two's complement, and both signed and unsigned
// 32-bit numbers fit. Numbers beyond that saturate at -2^31 and 2^32 - 1.
uint32_t readWrappedDecimal(const char *text)
{
    int64_t value = std::clamp(readInteger(text, 10).value(), kInt32Min, kUint32Max);
    return static_cast<uint32_t>(value);
}

bool hasHexMarker(const char *text)
{
    return std::strpbrk(text, "xX") != nullptr;
}

bool isEmpty(const char *text)
{
    return !text || *text == '\0';
}

// "fixed" and "ufixed" are followed by the number of fraction bits, 0 when none can be read.
uint32_t fixedTypeFromBits(const char *bitsText, int noFractionType)
{
    ParsedInteger bits = readInteger(bitsText, 10);
    if (bits.negative)
        return static_cast<uint32_t>(noFractionType);
    return static_cast<uint32_t>(noFractionType) +
           static_cast<uint32_t>(std::min<uint64_t>(bits.magnitude, kMaxFractionBits));
}

uint32_t typeFromName(const char *name)
{
    std::string_view text(name);
    for (uint32_t type = 0; type < kTypeCount; ++type) {
        if (equalsIgnoringCase(text, kTypeNames[type].data()))
            return type;
    }
    if (startsWithIgnoringCase(text, kUnsignedFixedPrefix))
        return fixedTypeFromBits(name + kUnsignedFixedPrefix.size(), ZE_DATATYPE_UNSIGNED);
    if (startsWithIgnoringCase(text, kSignedFixedPrefix))
        return fixedTypeFromBits(name + kSignedFixedPrefix.size(), ZE_DATATYPE_SIGNED);
    return ZE_DATATYPE_INVALID;
}

// ---- Raw values and numbers ----

// The mask gives the width of the value: its top bit is the sign, the bits below the magnitude.
constexpr uint32_t signBit(uint32_t mask)
{
    return mask - (mask >> 1);
}

constexpr uint32_t magnitudeBits(uint32_t mask)
{
    return mask >> 1;
}

// C++ has no conversion of NaN or of out-of-range doubles to integers: clamp them first.
int64_t saturate(double value, int64_t low, int64_t high) noexcept
{
    if (std::isnan(value))
        return 0;
    if (value <= static_cast<double>(low))
        return low;
    if (value >= static_cast<double>(high))
        return high;
    return static_cast<int64_t>(value);
}

uint32_t toUnsigned32(double value) noexcept
{
    return static_cast<uint32_t>(saturate(value, 0, kUint32Max));
}

uint32_t toSigned32(double value) noexcept
{
    return static_cast<uint32_t>(saturate(value, kInt32Min, kInt32Max));
}

double roundFixed(double number, int fractionBits) noexcept
{
    return std::floor(std::ldexp(number, fractionBits) + 0.5);
}

// Doubles beyond the single range have no conversion to float in C++: make them infinite.
float toSingle(double number) noexcept
{
    if (std::isnan(number))
        return std::numeric_limits<float>::quiet_NaN();
    if (std::fabs(number) >= kSingleOverflow)
        return number > 0 ? kSingleInfinity : -kSingleInfinity;
    return static_cast<float>(number);
}

// Zero of either sign is stored as all-zero bits.
uint32_t singleBits(float value) noexcept
{
    return value == 0.0f ? 0 : std::bit_cast<uint32_t>(value);
}

double twosComplement(uint32_t raw, uint32_t mask) noexcept
{
    return static_cast<double>(static_cast<int64_t>(raw & magnitudeBits(mask)) -
                               static_cast<int64_t>(raw & signBit(mask)));
}

double toNumber(DataType type, uint32_t raw, uint32_t mask) noexcept
{
    switch (type.kind) {
    case Kind::Unknown:
    case Kind::Hex:
    case Kind::Unsigned:
        return raw;
    case Kind::UnsignedFixed:
        return std::ldexp(static_cast<double>(raw), -type.fractionBits);
    case Kind::Signed:
    case Kind::SignedFixed:
        return std::ldexp(twosComplement(raw, mask), -type.fractionBits);
    case Kind::SignMagnitude: {
        double magnitude = raw & magnitudeBits(mask);
        return (raw & signBit(mask)) ? -magnitude : magnitude;
    }
    case Kind::Single:
        return std::bit_cast<float>(raw);
    case Kind::Float16:
        return zentro::decodeFloat16(static_cast<uint16_t>(raw & kFloat16Bits));
    }
    return 0.0;
}

// The raw value before masking.
uint32_t encode(DataType type, uint32_t mask, double number) noexcept
{
    switch (type.kind) {
    case Kind::Unknown:
        return 0;
    case Kind::Hex:
    case Kind::Unsigned:
        return toUnsigned32(std::trunc(number));
    case Kind::UnsignedFixed:
        return toUnsigned32(roundFixed(number, type.fractionBits));
    case Kind::Signed:
        return toSigned32(std::trunc(number));
    case Kind::SignedFixed:
        return toSigned32(roundFixed(number, type.fractionBits));
    case Kind::SignMagnitude: {
        uint32_t magnitude = toUnsigned32(std::trunc(std::fabs(number)));
        return number < 0 ? magnitude | signBit(mask) : magnitude;
    }
    case Kind::Single:
        return singleBits(toSingle(number));
    case Kind::Float16:
        return zentro::encodeFloat16(toSingle(number));
    }
    return 0;
}

uint32_t toRaw(DataType type, uint32_t mask, double number) noexcept
{
    return encode(type, mask, number) & mask;
}

uint32_t parseRaw(int type, const char *text, uint32_t mask) noexcept
{
    DataType dataType = classify(type, mask);
    if (dataType.kind == Kind::Hex || hasHexMarker(text))
        return readHex(text) & mask;
    switch (dataType.kind) {
    case Kind::Unknown:
    case Kind::Hex:
        return 0;
    case Kind::Unsigned:
    case Kind::Signed:
        return readWrappedDecimal(text) & mask;
    case Kind::SignMagnitude:
        return toRaw(dataType, mask, static_cast<double>(readInteger(text, 10).value()));
    case Kind::UnsignedFixed:
    case Kind::SignedFixed:
        return toRaw(dataType, mask, std::strtod(text, nullptr));
    case Kind::Single:
    case Kind::Float16:
        return toRaw(dataType, mask, std::strtof(text, nullptr));
    }
    return 0;
}

// Decimal text is quantised through the raw value, so the number is one the type can hold.
double parseNumber(int type, const char *text, uint32_t mask) noexcept
{
    DataType dataType = classify(type, mask);
    if (type != ZE_DATATYPE_HEX && !hasHexMarker(text))
        return toNumber(dataType, toRaw(dataType, mask, std::strtod(text, nullptr)), mask);
    return toNumber(dataType, readHex(text) & mask, mask);
}

// ---- Text of raw values ----

struct ValueText {
    char chars[kMaxTextLength + 1] = {};
    int length = 0;
};

[[gnu::format(printf, 2, 3)]] void print(ValueText &text, const char *format, ...) noexcept
{
    va_list arguments;
    va_start(arguments, format);
    int written = std::vsnprintf(text.chars, sizeof(text.chars), format, arguments);
    va_end(arguments);
    if (written < 0)
        text.chars[0] = '\0';
    text.length = std::clamp(written, 0, kMaxTextLength);
}

int hexDigits(uint32_t mask)
{
    if (mask <= 0xFF)
        return 2;
    return mask <= 0xFFFF ? 4 : 8;
}

struct FixedDecimals {
    int maxFractionBits;
    int decimals;
};
constexpr FixedDecimals kFixedDecimals[] = {{1, 1},  {2, 2},  {9, 3},  {13, 4}, {16, 5},
                                            {20, 6}, {23, 7}, {27, 8}, {32, 9}};

int fixedDecimals(int fractionBits)
{
    for (const FixedDecimals &entry : kFixedDecimals) {
        if (fractionBits <= entry.maxFractionBits)
            return entry.decimals;
    }
    return std::end(kFixedDecimals)[-1].decimals;
}

void printSingle(ValueText &text, float value)
{
    print(text, "%.7G", value);
    // Whole numbers get ".0" so that they still read as floats.
    if (std::isfinite(value) && !std::strpbrk(text.chars, ".E"))
        print(text, "%.7G.0", value);
}

ValueText formatValue(int type, uint32_t raw, uint32_t mask) noexcept
{
    DataType dataType = classify(type, mask);
    double number = toNumber(dataType, raw, mask);
    ValueText text;
    switch (dataType.kind) {
    case Kind::Unknown:
        break;
    case Kind::Hex:
        print(text, "0x%0*" PRIX32, hexDigits(mask), raw);
        break;
    case Kind::Unsigned:
        print(text, "%" PRIu32, raw);
        break;
    case Kind::UnsignedFixed:
    case Kind::SignedFixed:
        print(text, "%.*f", fixedDecimals(dataType.fractionBits), number);
        break;
    case Kind::Signed:
    case Kind::SignMagnitude:
        print(text, "%" PRId64, saturate(std::trunc(number), kInt32Min, kInt32Max));
        break;
    case Kind::Single:
        printSingle(text, std::bit_cast<float>(raw));
        break;
    case Kind::Float16:
        print(text, "%s", zentro::formatFloat16(number).data());
        break;
    }
    return text;
}

// Copies up to @length characters; the terminator only fits when the text is shorter.
int deliver(const ValueText &text, char *buffer, int length) noexcept
{
    if (buffer && length > 0)
        std::memcpy(buffer, text.chars,
                    static_cast<std::size_t>(std::min(length, text.length + 1)));
    return text.length + 1;
}

// ---- Ranges ----

double minimum(DataType type, uint32_t mask) noexcept
{
    auto half = static_cast<double>(static_cast<int32_t>(magnitudeBits(mask)));
    switch (type.kind) {
    case Kind::Signed:
    case Kind::SignedFixed:
        return std::ldexp(-1.0 - half, -type.fractionBits);
    case Kind::SignMagnitude:
        return -half;
    default:
        return 0.0;
    }
}

double maximum(DataType type, uint32_t mask) noexcept
{
    auto half = static_cast<double>(static_cast<int32_t>(magnitudeBits(mask)));
    switch (type.kind) {
    case Kind::Hex:
    case Kind::Unsigned:
    case Kind::UnsignedFixed:
        return std::ldexp(static_cast<double>(mask), -type.fractionBits);
    case Kind::Signed:
    case Kind::SignedFixed:
    case Kind::SignMagnitude:
        return std::ldexp(half, -type.fractionBits);
    default:
        return 0.0;
    }
}

// Floats have no fixed step, and unknown codes no step at all.
double step(DataType type) noexcept
{
    switch (type.kind) {
    case Kind::Unknown:
    case Kind::Single:
    case Kind::Float16:
        return 0.0;
    default:
        return std::ldexp(1.0, -type.fractionBits);
    }
}

} // namespace

extern "C" {

ZE_API const char *ze_GetDataTypeString(uint32_t type)
{
    return type < kTypeCount ? kTypeNames[type].data() : kUnknownName;
}

ZE_API uint32_t ze_DataTypeFromString(const char *name)
{
    return name ? typeFromName(name) : ZE_DATATYPE_INVALID;
}

ZE_API double ze_Int2Double(int type, uint32_t raw, uint32_t mask)
{
    return toNumber(classify(type, mask), raw, mask);
}

ZE_API uint32_t ze_Double2Int(int type, uint32_t mask, double number)
{
    return toRaw(classify(type, mask), mask, number);
}

ZE_API int ze_Int2Str(int type, uint32_t raw, uint32_t mask, char *buffer, int length)
{
    return deliver(formatValue(type, raw, mask), buffer, length);
}

ZE_API int ze_Double2Str(int type, uint32_t mask, char *buffer, int length, double number)
{
    return ze_Int2Str(type, ze_Double2Int(type, mask, number), mask, buffer, length);
}

ZE_API uint32_t ze_Str2Int(int type, const char *text, uint32_t mask)
{
    return isEmpty(text) ? 0 : parseRaw(type, text, mask);
}

ZE_API double ze_Str2Double(int type, const char *text, uint32_t mask)
{
    return isEmpty(text) ? 0.0 : parseNumber(type, text, mask);
}

ZE_API double ze_DataTypeMinimum(int type, uint32_t mask)
{
    return minimum(classify(type, mask), mask);
}

ZE_API double ze_DataTypeMaximum(int type, uint32_t mask)
{
    return maximum(classify(type, mask), mask);
}

ZE_API double ze_DataTypeStep(int type)
{
    return step(classify(type, 0));
}

} // extern "C"
