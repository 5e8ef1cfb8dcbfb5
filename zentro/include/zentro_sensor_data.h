/* Reading sensor-data files, far sub-device files and chip files into the register database. */
#ifndef ZENTRO_SENSOR_DATA_H
#define ZENTRO_SENSOR_DATA_H

#include <stdint.h>

#include "zentro_camera.h"
#include "zentro_export.h"
#include "zentro_sensor.h"

ZE_BEGIN_DECLS

/*
 * Reads the sensor-data file @path (".sdat", or ".xsdat"; a file that begins "<?xml" goes to
 * the XML reader whatever its extension) into @sensor, which is reset first; NULL selects
 * the camera's own record, allocated when the camera has none. The camera's identification
 * data and base-address list are refilled from the file. Returns PARSE_SUCCESS (32), or:
 * CAMERA_ERROR (1) without a log line for an absent camera or path or another extension,
 * and with one for a camera without context; PARSE_FILE_ERROR (34) for a file that cannot
 * be opened; CHIP_DESC_ERROR (37), PARSE_ADDR_SPACE_ERROR (38), PARSE_REG_ERROR (35) or
 * DUPLICATE_DESC_ERROR (33) for a section with errors (each bad line is logged with its file
 * and line number); SENSOR_DOES_NOT_MATCH (8) for an early reject. A failed read leaves the
 * record partly filled; it stays owned by its owner.
 */
ZE_API int ze_ParseSensorFile(ze_camera_t *camera, const char *path, ze_sensor_t *sensor);

/*
 * Merges the far sub-device file @path into @sensor (NULL: the camera's record) as the far
 * sensor of @type (4 FAR1, 7 FAR2) at serial-bus address @base: its address spaces and
 * registers are appended under the names "@name.<space>" and "@name.<register>", and a copy
 * of its record (without registers and spaces) becomes far sensor 1 or 2. A relative @path
 * is found from the directory of the main sensor's file. @name NULL selects "FAR2" for type
 * 7 and "FAR1" (or "SENSOR" on a file-playback camera) for type 4. Takes the camera's
 * register lock, then its grab lock. Returns PARSE_SUCCESS; PARSE_FILE_ERROR for another
 * type; CAMERA_ERROR for an absent camera or path; SENSOR_NOT_INITIALIZED when there is no
 * record to merge into; or the code of the failed read of @path.
 */
ZE_API int ze_ParseFarSensorFile(ze_camera_t *camera, const char *name, uint32_t type,
                                 uint32_t base, const char *path, ze_sensor_t *sensor);

/*
 * Re-reads the sensor-data file @path (relative to the directory of the current sensor
 * file) into the camera's existing sensor record, keeping the record and its far sensors:
 * registers and address spaces are replaced, the far files are merged again. Returns
 * PARSE_SUCCESS, CAMERA_ERROR when the camera has no sensor record or @path is absent, or
 * the code of the failed read (the record is then unchanged).
 */
ZE_API int ze_RefreshSensorFile(ze_camera_t *camera, const char *path);

/*
 * Reads the chip file @path into @chip (name, base addresses, serial sizes, registers).
 * Returns PARSE_SUCCESS, PARSE_FILE_ERROR when it cannot be opened, or CHIP_DESC_ERROR,
 * PARSE_REG_ERROR or DUPLICATE_DESC_ERROR after a file with errors.
 */
ZE_API int ze_ParseChipFile(ze_camera_t *camera, const char *path, ze_chip_t *chip);

/*
 * Reads the long-description file @path (XML, ".ldat") into the camera's sensor record: its
 * long descriptions and confidential notes are appended to the record's lists. NULL @path
 * selects the sensor's file name with its extension replaced by ".ldat". A file whose sensor
 * element names another sensor or version adds nothing. Returns PARSE_SUCCESS; CAMERA_ERROR
 * without a camera; SENSOR_NOT_INITIALIZED without a sensor record; PARSE_FILE_ERROR when
 * the file cannot be opened; SENSOR_FILE_PARSE_ERROR when it is not well-formed XML (the
 * parser's message, line and column are logged, and nothing is added).
 */
ZE_API int ze_ParseLongDescFile(ze_camera_t *camera, const char *path);

/*
 * Logs the syntax error "<line> in <file>:<lineNo>" under @code with the source position
 * @source, @function, @sourceLine, and returns @code.
 */
ZE_API int ze_syntaxerror(int code, const char *line, const char *file, int lineNo,
                          const char *source, const char *function, int sourceLine);

/* Non-zero when the camera's sensor is a system-on-chip sensor (one with its own
 * processor), decided by its sensor type code; 0 without a sensor record. */
ZE_API int ze_IsSOC(ze_camera_t *camera);

ZE_END_DECLS

#endif /* ZENTRO_SENSOR_DATA_H */
