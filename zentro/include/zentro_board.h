/* Extra chips of a board, named by its board configuration, and the board's serial link. */
#ifndef ZENTRO_BOARD_H
#define ZENTRO_BOARD_H

#include "zentro_camera.h"
#include "zentro_export.h"

ZE_BEGIN_DECLS

/*
 * Reads the board configuration that belongs to @sensorPath (found beside the library, in
 * board_data folders, beside the program or the sensor-data files) and replaces the
 * camera's board chips with the chips it names, each checked on the bus for the base
 * address at which it answers. Returns the camera's chip array (NULL when there is none).
 */
ZE_API ze_chip_t *_parseBoardConfigFile(ze_camera_t *camera, const char *sensorPath);

/* Frees the camera's board chips and clears its chip array and count. */
ZE_API void _freeBoardData(ze_camera_t *camera);

/*
 * Detects the serializer and deserializer between the board and the sensor (handed to
 * plug-ins). No supported board has such a link: returns CAMERA_NOT_SUPPORTED (16) and
 * leaves the camera unchanged; CAMERA_ERROR (1) without a camera.
 */
ZE_API int _getSerdes(ze_camera_t *camera);

ZE_END_DECLS

#endif /* ZENTRO_BOARD_H */
