// Selection of the sensor's address space (register page) before a sensor-register transfer.
#ifndef ZENTRO_REGISTERS_SPACE_SWITCH_H
#define ZENTRO_REGISTERS_SPACE_SWITCH_H

#include <cstdint>

#include "zentro_camera.h"

namespace zentro {

// Selects space @id on the sensor for the following reads (@forWrite false) or writes,
// unless the cached selection says it is selected already. Nothing without a select
// register. Returns the select write's result (0 when none was needed).
int switchAddrSpace(ze_camera_t *camera, uint32_t id, bool forWrite);

} // namespace zentro

#endif // ZENTRO_REGISTERS_SPACE_SWITCH_H
