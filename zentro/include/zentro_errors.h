/* Result codes, the error table and the library's log (rotating files or a callback). */
#ifndef ZENTRO_ERRORS_H
#define ZENTRO_ERRORS_H

#include <stdint.h>

#include "zentro_export.h"

ZE_BEGIN_DECLS

/* Result codes returned by every library function. 0 is success; there is no code 2. */
enum ze_result {
    CAMERA_SUCCESS = 0,
    CAMERA_ERROR = 1,
    GRAB_FRAME_ERROR = 3,
    NOT_ENOUGH_DATA_ERROR = 4,
    EOF_MARKER_ERROR = 5,
    BUFFER_SIZE_ERROR = 6,
    SENSOR_FILE_PARSE_ERROR = 7,
    SENSOR_DOES_NOT_MATCH = 8,
    SENSOR_NOT_INITIALIZED = 9,
    SENSOR_NOT_SUPPORTED = 10,
    I2C_BIT_ERROR = 11,
    I2C_NACK_ERROR = 12,
    I2C_TIMEOUT = 13,
    CAMERA_TIMEOUT = 14,
    TOO_MUCH_DATA_ERROR = 15,
    CAMERA_NOT_SUPPORTED = 16,
    CRC_ERROR = 17,
    I2C_DEVICE_OFF = 18,
    PARSE_SUCCESS = 32,
    DUPLICATE_DESC_ERROR = 33,
    PARSE_FILE_ERROR = 34,
    PARSE_REG_ERROR = 35,
    UKNOWN_SECTION_ERROR = 36,
    CHIP_DESC_ERROR = 37,
    PARSE_ADDR_SPACE_ERROR = 38,
    INI_SUCCESS = 256,
    INI_KEY_NOT_SUPPORTED = 257,
    INI_LOAD_ERROR = 258,
    INI_POLLREG_TIMEOUT = 259,
    UNKNOWN_ERROR = -1
};

/* One row of the error table. */
typedef struct ze_error_entry {
    int32_t code;
    uint32_t level; /* 0 success, 1 severe error, 2 error, 3 log */
    const char *message;
    const char *symbol;
} ze_error_entry_t;

/* Log type bits; the enabled set of the log is a combination of them. */
#define ZE_LOG_SEVERE 0x1u
#define ZE_LOG_ERROR 0x2u
#define ZE_LOG_GENERAL 0x4u
#define ZE_LOG_SHIP 0x8u
#define ZE_LOG_USB 0x10u
#define ZE_LOG_DEBUG 0x20u
#define ZE_LOG_INFO 0x3Cu

/* Passed as level to ze_Errorlog: take the level of the code from the error table. */
#define ZE_LEVEL_FROM_TABLE 0xFFFFFFFFu

/*
 * Receives every log line instead of a file. For failures: (level as passed to
 * ze_Errorlog, code, message, source file, function, line); for information
 * messages: (type bit, 0, message, source file, function, line).
 */
typedef void (*ze_log_callback_t)(uint32_t level, int code, const char *message,
                                  const char *source_file, const char *function, int line);

/*
 * Opens the log with the enabled type bits @types, closing any open log first.
 * @file_name names the log files (at most 255 characters are kept); NULL or ""
 * selects $HOME/error_N.txt. Files rotate over the numbers 0 to 4 at about
 * 3,000,000 bytes each. With @types non-zero the first file is opened at once.
 * Returns 0; a file that cannot be opened only leaves the log without a file.
 */
ZE_API int ze_OpenErrorLog(uint32_t types, const char *file_name);

/* Opens a log that hands every error line to @callback instead of a file. Returns 0. */
ZE_API int ze_OpenErrorLogCallback(uint32_t types, ze_log_callback_t callback);

/* Closes the log file and forgets the log. */
ZE_API void ze_CloseErrorLog(void);

/*
 * Sets the enabled type bits. Returns 1 when no log is open, else 0. Enabling a
 * log whose set was empty opens a new file first.
 */
ZE_API int ze_SetErrorLogLevel(uint32_t types);

/* The enabled type bits; 0 without an open log. */
ZE_API uint32_t ze_GetErrorLogLevel(void);

/*
 * Copies the current log file name into @buffer, which must hold ZE_TEXT_SIZE
 * characters. Returns 0, or 1 (with @buffer emptied) without a log or an open file.
 */
ZE_API int ze_GetErrorLogFileName(char *buffer);

/* The enabled information bits (ZE_LOG_INFO) while a log file is open, else 0. */
ZE_API uint32_t ze_isInfoLogEnabled(void);

/* Non-zero when debug messages are enabled and a log file is open. */
ZE_API int ze_isDebugLogEnabled(void);

/* The enabled type bits while a log file is open, else 0 (handed to plug-ins). */
ZE_API uint32_t _currentLogTypes(void);

/* The error-table row of @code; unknown and negative codes give the UNKNOWN_ERROR row. */
ZE_API const ze_error_entry_t *ze_getErrorMsg(int code);

/* The message text of @code ("Unknown Error" for codes not in the table). */
ZE_API const char *ze_getErrorMessage(int code);

/* The symbol of @code, as spelled in this header ("UNKNOWN_ERROR" when not in the table). */
ZE_API const char *ze_getErrorSymbol(int code);

/* The level of @code in the error table. */
ZE_API uint32_t ze_getErrorLevel(int code);

/*
 * Logs a failure with the source position that detected it and returns @code,
 * so that a caller can log and return in one step. @level ZE_LEVEL_FROM_TABLE
 * takes the code's level from the table; @message may be NULL or empty. Codes
 * 0, 32 and 256 are never logged.
 */
ZE_API int ze_Errorlog(int code, uint32_t level, const char *message, const char *source_file,
                       const char *function, int line);

/* Logs an information message of type bit @type (ZE_LOG_GENERAL ... ZE_LOG_DEBUG). */
ZE_API void ze_Msglog(uint32_t type, const char *message, const char *source_file,
                      const char *function, int line);

ZE_END_DECLS

#endif /* ZENTRO_ERRORS_H */
