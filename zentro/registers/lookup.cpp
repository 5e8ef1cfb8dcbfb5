// Lookup of registers, bitfields and board chips by name.
#include "registers/lookup.h"

#include <cctype>
#include <cstdlib>
#include <memory>
#include <new>

#include "camera/context.h"
#include "registers/index.h"
#include "zentro_osal.h"
#include "zentro_reg.h"

namespace {

constexpr uint32_t kArrayImagerTypes[] = {105, 118};

bool isBlank(char c)
{
    return isspace(static_cast<unsigned char>(c)) != 0;
}

bool hasText(const char *text)
{
    return text && *text;
}

// The camera's index (none when memory ran out: lookups then scan).
zentro::RegisterIndex *registerIndexOf(ze_camera_t *camera)
{
    return camera->context ? camera->context->registerIndex.get() : nullptr;
}

const ze_chip_t *chipAt(const ze_camera_t *camera, int32_t chip)
{
    if (chip < 0 || chip >= camera->boardChipCount || !camera->boardChips)
        return nullptr;
    return &camera->boardChips[chip];
}

// Chip registers answer to their names only, then to their address written as a number.
ze_reg_t *findChipRegister(const ze_chip_t &chip, const char *name)
{
    if (!chip.regs)
        return nullptr;
    for (int32_t i = 0; i < chip.regCount; ++i) {
        if (osal_stricmp(chip.regs[i].name, name) == 0)
            return &chip.regs[i];
    }
    std::optional<uint32_t> addr = zentro::leadingNumber(name);
    if (!addr)
        return nullptr;
    for (int32_t i = 0; i < chip.regCount; ++i) {
        if (chip.regs[i].addr == *addr)
            return &chip.regs[i];
    }
    return nullptr;
}

// The register @name of @chip (ZE_CHIP_SENSOR for the sensor), or nullptr. Silent.
ze_reg_t *findRegisterIn(ze_camera_t *camera, int32_t chip, const char *name)
{
    if (chip == ZE_CHIP_SENSOR)
        return zentro::findSensorRegister(camera, name);
    const ze_chip_t *found = chipAt(camera, chip);
    return found ? findChipRegister(*found, name) : nullptr;
}

void logMissingRegister(const char *function, const char *regName)
{
    ZE_REG_LOGF(function, "Can't find register %s", regName);
}

// The message of a bitfield that was not found; an empty bitfield name asks for nothing
// but the register, so the register is what is reported missing.
void logMissingBitfield(const char *function, const char *regName, const char *bitfieldName)
{
    if (*bitfieldName)
        ZE_REG_LOGF(function, "Can't find bitfield %s::%s", regName, bitfieldName);
    else
        logMissingRegister(function, regName);
}

// The first bitfield of @reg whose mask is the number @name, when @name is a whole number.
ze_bitfield_t *bitfieldWithMaskNamed(ze_reg_t *reg, const char *name)
{
    std::optional<uint32_t> mask = zentro::wholeNumber(name);
    for (int32_t i = 0; mask && reg->bitfields && i < reg->bitfieldCount; ++i) {
        if (reg->bitfields[i].mask == *mask)
            return &reg->bitfields[i];
    }
    return nullptr;
}

// A register and the bitfield found in it; either may be missing.
struct BitfieldHit {
    ze_reg_t *reg = nullptr;
    ze_bitfield_t *bitfield = nullptr;
};

// Sensor registers and their bitfields are found through the index, in one step.
BitfieldHit findSensorBitfield(ze_camera_t *camera, const char *regName, const char *name)
{
    if (!camera || !hasText(regName) || !camera->sensor || !camera->sensor->regs)
        return {};
    ze_sensor_t &sensor = *camera->sensor;
    std::pair<int32_t, int32_t> found{-1, -1};
    const char *bitfieldName = hasText(name) ? name : "";
    if (zentro::RegisterIndex *index = registerIndexOf(camera)) {
        found = index->findBitfield(sensor.regs, sensor.regCount, regName, bitfieldName);
    } else {
        found.first = zentro::scanRegistersByName(sensor.regs, sensor.regCount, regName);
        if (found.first >= 0)
            found.second = zentro::scanBitfieldsByName(sensor.regs[found.first], bitfieldName);
    }
    if (found.first < 0)
        return {};
    BitfieldHit hit{&sensor.regs[found.first], nullptr};
    if (found.second >= 0)
        hit.bitfield = &hit.reg->bitfields[found.second];
    else if (hasText(name))
        hit.bitfield = bitfieldWithMaskNamed(hit.reg, name);
    return hit;
}

BitfieldHit findBitfieldIn(ze_camera_t *camera, int32_t chip, const char *regName, const char *name)
{
    if (chip == ZE_CHIP_SENSOR)
        return findSensorBitfield(camera, regName, name);
    ze_reg_t *reg = findRegisterIn(camera, chip, regName);
    return {reg, zentro::findBitfieldOf(reg, name)};
}

ze_bitfield_t *loggedBitfield(const char *function, ze_bitfield_t *bitfield, const char *regName,
                              const char *name)
{
    if (!bitfield && name)
        logMissingBitfield(function, regName, name);
    return bitfield;
}

// The mask of a bitfield found in @reg; failing that, a whole number names the bits
// themselves and works as an unnamed bitfield.
uint32_t loggedMask(const char *function, const BitfieldHit &hit, const char *regName,
                    const char *name)
{
    if (!name)
        return 0;
    if (hit.bitfield)
        return hit.bitfield->mask;
    if (std::optional<uint32_t> mask = hit.reg ? zentro::wholeNumber(name) : std::nullopt)
        return *mask;
    logMissingBitfield(function, regName, name);
    return 0;
}

} // namespace

namespace zentro {

bool isArrayImager(const ze_sensor_t *sensor)
{
    if (!sensor)
        return false;
    for (uint32_t type : kArrayImagerTypes) {
        if (sensor->sensorType == type)
            return true;
    }
    return false;
}

std::optional<uint32_t> leadingNumber(const char *text, const char **rest)
{
    if (!text)
        return std::nullopt;
    char *end = nullptr;
    long long value = strtoll(text, &end, 0);
    if (end == text)
        return std::nullopt;
    if (rest)
        *rest = end;
    // Like %i into an int, a value wider than 32 bits keeps its low bits.
    return static_cast<uint32_t>(value);
}

std::optional<uint32_t> wholeNumber(const char *text)
{
    const char *rest = nullptr;
    std::optional<uint32_t> value = leadingNumber(text, &rest);
    for (; value && *rest; ++rest) {
        if (!isBlank(*rest))
            return std::nullopt;
    }
    return value;
}

int32_t findSensorRegisterIndex(ze_camera_t *camera, const char *name)
{
    if (!camera || !hasText(name) || !camera->sensor || !camera->sensor->regs)
        return -1;
    const ze_sensor_t &sensor = *camera->sensor;
    if (RegisterIndex *index = registerIndexOf(camera))
        return index->findByName(sensor.regs, sensor.regCount, name);
    return scanRegistersByName(sensor.regs, sensor.regCount, name);
}

int32_t findSensorRegisterAt(ze_camera_t *camera, uint32_t addr,
                             const std::function<bool(const ze_reg_t &)> &accept)
{
    if (!camera || !camera->sensor || !camera->sensor->regs)
        return -1;
    const ze_sensor_t &sensor = *camera->sensor;
    if (RegisterIndex *index = registerIndexOf(camera))
        return index->findFirstByAddress(sensor.regs, sensor.regCount, addr, accept);
    for (int32_t i = 0; i < sensor.regCount; ++i) {
        if (sensor.regs[i].addr == addr && accept(sensor.regs[i]))
            return i;
    }
    return -1;
}

ze_reg_t *findSensorRegister(ze_camera_t *camera, const char *name)
{
    int32_t index = findSensorRegisterIndex(camera, name);
    return index < 0 ? nullptr : &camera->sensor->regs[index];
}

ze_bitfield_t *findBitfieldOf(ze_reg_t *reg, const char *name)
{
    if (!reg || !hasText(name))
        return nullptr;
    const int32_t bitfield = scanBitfieldsByName(*reg, name);
    return bitfield >= 0 ? &reg->bitfields[bitfield] : bitfieldWithMaskNamed(reg, name);
}

} // namespace zentro

extern "C" {

ZE_API ze_reg_t *ze_FindRegister(ze_camera_t *camera, const char *name)
{
    if (!camera || !hasText(name))
        return nullptr;
    ze_reg_t *reg = zentro::findSensorRegister(camera, name);
    if (!reg)
        logMissingRegister(__func__, name);
    return reg;
}

ZE_API int ze_ExistsRegister(ze_camera_t *camera, const char *name)
{
    return zentro::findSensorRegister(camera, name) != nullptr;
}

ZE_API ze_reg_t *ze_FindRegister2(ze_camera_t *camera, int32_t chip, const char *name)
{
    if (!camera || !hasText(name))
        return nullptr;
    ze_reg_t *reg = findRegisterIn(camera, chip, name);
    if (!reg)
        logMissingRegister(__func__, name);
    return reg;
}

ZE_API int ze_ExistsRegister2(ze_camera_t *camera, int32_t chip, const char *name)
{
    if (!camera || !hasText(name))
        return 0;
    return findRegisterIn(camera, chip, name) != nullptr;
}

ZE_API ze_bitfield_t *ze_FindBitfield(ze_camera_t *camera, const char *reg_name,
                                      const char *bitfield_name)
{
    if (!camera || !hasText(reg_name))
        return nullptr;
    BitfieldHit hit = findSensorBitfield(camera, reg_name, bitfield_name);
    return loggedBitfield(__func__, hit.bitfield, reg_name, bitfield_name);
}

ZE_API int ze_ExistsBitfield(ze_camera_t *camera, const char *reg_name, const char *bitfield_name)
{
    return ze_ExistsBitfield2(camera, ZE_CHIP_SENSOR, reg_name, bitfield_name);
}

ZE_API ze_bitfield_t *ze_FindBitfield2(ze_camera_t *camera, int32_t chip, const char *reg_name,
                                       const char *bitfield_name)
{
    if (!camera || !hasText(reg_name))
        return nullptr;
    BitfieldHit hit = findBitfieldIn(camera, chip, reg_name, bitfield_name);
    return loggedBitfield(__func__, hit.bitfield, reg_name, bitfield_name);
}

ZE_API int ze_ExistsBitfield2(ze_camera_t *camera, int32_t chip, const char *reg_name,
                              const char *bitfield_name)
{
    if (!camera || !hasText(reg_name))
        return 0;
    return findBitfieldIn(camera, chip, reg_name, bitfield_name).bitfield != nullptr;
}

ZE_API ze_bitfield_t *ze_Bitfield(ze_reg_t *reg, const char *bitfield_name)
{
    if (!reg)
        return nullptr;
    return loggedBitfield(__func__, zentro::findBitfieldOf(reg, bitfield_name), reg->name,
                          bitfield_name);
}

ZE_API uint32_t ze_BitfieldMask(ze_reg_t *reg, const char *bitfield_name)
{
    if (!reg)
        return 0;
    BitfieldHit hit{reg, zentro::findBitfieldOf(reg, bitfield_name)};
    return loggedMask(__func__, hit, reg->name, bitfield_name);
}

ZE_API uint32_t ze_FindBitfieldMask(ze_camera_t *camera, const char *reg_name,
                                    const char *bitfield_name)
{
    if (!camera || !hasText(reg_name))
        return 0;
    BitfieldHit hit = findSensorBitfield(camera, reg_name, bitfield_name);
    return loggedMask(__func__, hit, reg_name, bitfield_name);
}

ZE_API int32_t ze_FindChip(ze_camera_t *camera, const char *name)
{
    if (!camera)
        return ZE_CHIP_NONE;
    if (!hasText(name))
        return ZE_CHIP_SENSOR;
    const ze_sensor_t *sensor = camera->sensor;
    if (sensor &&
        (osal_stricmp(sensor->name, name) == 0 || osal_stricmp(sensor->partNumber, name) == 0))
        return ZE_CHIP_SENSOR;
    for (int32_t chip = 0; camera->boardChips && chip < camera->boardChipCount; ++chip) {
        if (osal_stricmp(camera->boardChips[chip].name, name) == 0)
            return chip;
    }
    return ZE_CHIP_NONE;
}

} // extern "C"
