// "NAME[.BITFIELD]" resolved against the sensor's register database.
#pragma once

#include <string>

#include <zentro.h>

#include "value_text.h"

namespace zcli {

struct RegisterTarget {
    ze_reg_t *reg = nullptr;
    ze_bitfield_t *bitfield = nullptr; // null for the whole register

    std::string name() const; // "REG" or "REG.FIELD"
    const char *bitfieldName() const { return bitfield ? bitfield->name : nullptr; }
    ValueFormat format() const { return bitfield ? formatOf(*bitfield) : formatOf(*reg); }
    ze_access_t access() const { return bitfield ? bitfield->access : reg->access; }
};

// Finds @name: a whole register name first (far registers carry dots, "FAR1.CHIP_ID"), else
// the register before the last dot and the bitfield after it. Throws a usage error naming what
// is unknown.
RegisterTarget findRegisterTarget(ze_camera_t *camera, const std::string &name);

const char *accessText(ze_access_t access);

} // namespace zcli
