/* Long descriptions and confidential notes of registers and bitfields. */
#ifndef ZENTRO_LONG_DESC_H
#define ZENTRO_LONG_DESC_H

#include "zentro_camera.h"
#include "zentro_export.h"

ZE_BEGIN_DECLS

/*
 * Copies the long description of register @reg_name (or of its bitfield @bitfield_name;
 * NULL or "" asks for the register's own text) into @buffer of @size bytes, cut to
 * size - 1 characters and always terminated. Names compare case-insensitively. The first
 * call for a sensor without descriptions reads its long-description file (the sensor file
 * name with the extension ".ldat"); a missing or empty file is not read again. Returns 0
 * when a text was found, 1 otherwise: NULL @buffer or @size of 1 or less (the buffer is
 * then not touched), no camera, sensor record or register name, or no such text (the buffer
 * is then empty).
 */
ZE_API int ze_GetLongDescription(ze_camera_t *camera, const char *reg_name,
                                 const char *bitfield_name, char *buffer, int size);

/* The same over the confidential notes, which come from the same file. */
ZE_API int ze_GetConfidentialNotes(ze_camera_t *camera, const char *reg_name,
                                   const char *bitfield_name, char *buffer, int size);

ZE_END_DECLS

#endif /* ZENTRO_LONG_DESC_H */
