// Indirect registers: an address register selects what a data register reads or writes.
#ifndef ZENTRO_REGISTERS_INDIRECT_H
#define ZENTRO_REGISTERS_INDIRECT_H

#include <cstdint>

#include "zentro_camera.h"

namespace zentro {

int readIndNolock(ze_camera_t *camera, uint32_t addr, uint32_t *value);
int writeIndNolock(ze_camera_t *camera, uint32_t addr, uint32_t value);

} // namespace zentro

#endif // ZENTRO_REGISTERS_INDIRECT_H
