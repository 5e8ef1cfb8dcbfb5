// Internals of the chip-file and board-configuration readers.
#ifndef ZENTRO_SENSOR_DATA_CHIP_CHECK_H
#define ZENTRO_SENSOR_DATA_CHIP_CHECK_H

#include "zentro_camera.h"

namespace zentro {

// Frees what @chip owns and gives it the start values of a chip-file read.
void resetChip(ze_chip_t *chip);

// Looks on the bus for the base address at which @chip answers and makes it the chip's
// active base address. True when one answered.
bool checkChip(ze_camera_t *camera, ze_chip_t *chip);

} // namespace zentro

#endif // ZENTRO_SENSOR_DATA_CHIP_CHECK_H
