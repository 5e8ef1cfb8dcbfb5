/* INI presets: running a section of a preset file against a camera, the default preset file of
 * a sensor, the application's command hook, and the calibration records of a head board's
 * PROM. */
#ifndef ZENTRO_PRESETS_H
#define ZENTRO_PRESETS_H

#include <stdint.h>

#include "zentro_camera.h"
#include "zentro_export.h"

ZE_BEGIN_DECLS

/* Section run when ze_LoadINIPreset is given no section name. */
#define ZE_DEFAULT_PRESET_SECTION "Tavo Initialization"
/* Deepest nesting level a section may run at (the top-level section is level 0). */
#define ZE_PRESET_MAX_DEPTH 15
/* A command handler's result that means "this line is handled": the interpreter goes on with
 * the next line. Any other result hands the line on. */
#define ZE_INI_HANDLED 260u
#define ZE_INI_HANDLED_ALT 261u

/*
 * An application's preset command handler: receives every line of a running section before
 * the interpreter (@key without white space, @value trimmed). Returns ZE_INI_HANDLED (or
 * ZE_INI_HANDLED_ALT) when it consumed the line, anything else (INI_KEY_NOT_SUPPORTED, say)
 * to let the interpreter run it.
 */
typedef uint32_t (*ze_ini_command_handler_t)(ze_camera_t *camera, const char *key,
                                             const char *value);

/*
 * Runs section @section (NULL or "" for "Tavo Initialization") of the preset file @file on
 * @camera. With @file NULL or "" the sensor's default preset file (ze_DefaultIniFile) is run.
 * @camera may be NULL for presets that only name the default sensor-data file (SDAT). The
 * calling thread's ZE_REG_DATA_LE mode is restored on return; other modes the preset sets stay
 * set. Returns INI_SUCCESS (256) when the section ran (command errors are logged and do not
 * stop it), INI_LOAD_ERROR (258) when the file or section does not exist or a name is too long,
 * or ze_DefaultIniFile's failure.
 */
ZE_API uint32_t ze_LoadINIPreset(ze_camera_t *camera, const char *file, const char *section);

/*
 * Writes the name of the default preset file of @camera's sensor (derived from its sensor-data
 * file, part numbers and version name) into @buffer of @length bytes. Returns 0; 1 when
 * @buffer is NULL, @length is 0, the camera has no sensor, or the name does not fit.
 */
ZE_API int ze_DefaultIniFile(ze_camera_t *camera, char *buffer, uint32_t length);

/* Installs @handler (NULL removes it) for @camera's presets. Returns 0, or 1 without a camera
 * context. */
ZE_API int ze_SetIniCommandHandler(ze_camera_t *camera, ze_ini_command_handler_t handler);

/*
 * Runs one section at nesting level @depth. Returns INI_SUCCESS (also when an ERROR_IF ended
 * the section), INI_LOAD_ERROR when the section is not found or @depth exceeds
 * ZE_PRESET_MAX_DEPTH, and 0 for "Python:" sections, which belong to a scripting front end.
 */
ZE_API uint32_t _LoadSection(ze_camera_t *camera, const char *file, const char *section,
                             uint32_t depth);

/* Logs INI_LOAD_ERROR with "@message: @line" (cut to 255 characters); returns INI_LOAD_ERROR. */
ZE_API int ze_ini_error(const char *message, const char *line);

/*
 * Identification texts of the PROM at 8-bit bus address @address: the payload of the first
 * record of that kind, NUL-terminated and cut to fit @text, which must hold ZE_TEXT_SIZE
 * characters. Return 0, or 1 (with @text empty) when the PROM has no such record, no valid
 * header, or cannot be read.
 */
ZE_API int ze_getPromHeadboardId(ze_camera_t *camera, uint32_t address, char *text);
ZE_API int ze_getPromSensorId(ze_camera_t *camera, uint32_t address, char *text);
ZE_API int ze_getPromLensType(ze_camera_t *camera, uint32_t address, char *text);
ZE_API int ze_getPromTimeStamp(ze_camera_t *camera, uint32_t address, char *text);

/*
 * Applies the lens-shading (or colour-correction) calibration record named @name (the first
 * one when @name is NULL) of the PROM at @address to the sensor. Returns INI_SUCCESS, or
 * INI_LOAD_ERROR when the record is missing or unreadable.
 */
ZE_API int ze_LoadPromLensCalibration(ze_camera_t *camera, uint32_t address, const char *name);
ZE_API int ze_LoadPromColorCorrection(ze_camera_t *camera, uint32_t address, const char *name);

/*
 * Copies the scratch-pad image named @name (the first when NULL) of the PROM at @address into
 * the sensor processor's memory with its DMA engine. Returns INI_SUCCESS, INI_LOAD_ERROR (no
 * such record, or its destination offset is not @base), CAMERA_TIMEOUT when a DMA transfer
 * does not finish, or a register access's failure.
 */
ZE_API int ze_LoadPromScratchpad(ze_camera_t *camera, uint32_t address, const char *name,
                                 uint32_t base);

ZE_END_DECLS

#endif /* ZENTRO_PRESETS_H */
