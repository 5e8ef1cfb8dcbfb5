// Conversion between a register value and the data units of a multi-unit register.
#include "zentro_reg.h"

namespace {

constexpr uint32_t kValueBits = 32;

// Shifts that would move every bit out give 0 (a plain shift by 32 is undefined).
uint32_t shiftLeft(uint32_t value, uint32_t bits)
{
    return bits >= kValueBits ? 0 : value << bits;
}

uint32_t shiftRight(uint32_t value, uint32_t bits)
{
    return bits >= kValueBits ? 0 : value >> bits;
}

uint32_t unitMask(uint32_t unitBits)
{
    return unitBits >= kValueBits ? 0xFFFFFFFFu : (1u << unitBits) - 1;
}

} // namespace

extern "C" {

ZE_API uint32_t _packValueBySpan(const uint32_t *units, uint32_t unit_bits, uint32_t little_endian,
                                 uint32_t span)
{
    if (!units)
        return 0;
    if (span <= 1)
        return units[0];
    const uint32_t mask = unitMask(unit_bits);
    uint32_t value = 0;
    for (uint32_t i = 0; i < span; ++i) {
        if (little_endian)
            value |= shiftLeft(units[i] & mask, i * unit_bits);
        else
            value = shiftLeft(value, unit_bits) | (units[i] & mask);
    }
    return value;
}

ZE_API void _unpackValueBySpan(uint32_t *units, uint32_t value, uint32_t unit_bits,
                               uint32_t little_endian, uint32_t span)
{
    if (!units)
        return;
    if (span <= 1) {
        units[0] = value;
        return;
    }
    const uint32_t mask = unitMask(unit_bits);
    for (uint32_t i = 0; i < span; ++i) {
        // Little-endian puts the least significant unit first, big-endian the most.
        uint32_t position = little_endian ? i : span - 1 - i;
        units[i] = shiftRight(value, position * unit_bits) & mask;
    }
}

} // extern "C"
