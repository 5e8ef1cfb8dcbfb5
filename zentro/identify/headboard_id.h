// The head board's identifier, read from the board PROM by whoever knows the PROM's format.
#ifndef ZENTRO_IDENTIFY_HEADBOARD_ID_H
#define ZENTRO_IDENTIFY_HEADBOARD_ID_H

#include <cstdint>

#include "zentro_camera.h"

namespace zentro {

// Reads the head-board identifier record of the PROM at 8-bit bus address @address into
// @text (room for @size bytes, terminated). Returns 0, or non-zero (with @text empty)
// when there is no such record.
using HeadboardIdReader = int (*)(ze_camera_t *camera, uint32_t address, char *text, uint32_t size);
// Installs the reader (nullptr removes it); identification asks it for the identifier of
// a sensor whose file gave none.
void setHeadboardIdReader(HeadboardIdReader reader);
HeadboardIdReader headboardIdReader();

} // namespace zentro

#endif // ZENTRO_IDENTIFY_HEADBOARD_ID_H
