// Internal logging shorthands: log a failure or message with the caller's source position.
#ifndef ZENTRO_CORE_LOG_H
#define ZENTRO_CORE_LOG_H

#include "zentro_errors.h"

// Logs @code at its table level with @message and returns @code.
#define ZE_ERRORLOG(code, message)                                                                 \
    ze_Errorlog((code), ZE_LEVEL_FROM_TABLE, (message), __FILE__, __func__, __LINE__)

// Logs @code at its table level with a printf-formatted message and returns @code.
#define ZE_ERRORLOGF(code, ...)                                                                    \
    zentro::errorlogf((code), ZE_LEVEL_FROM_TABLE, __FILE__, __func__, __LINE__, __VA_ARGS__)

// Logs an information message of type bit @type.
#define ZE_MSGLOG(type, message) ze_Msglog((type), (message), __FILE__, __func__, __LINE__)

namespace zentro {

// ze_Errorlog with a printf-formatted message of any length.
int errorlogf(int code, uint32_t level, const char *file, const char *function, int line,
              const char *format, ...) __attribute__((format(printf, 6, 7)));

} // namespace zentro

#endif // ZENTRO_CORE_LOG_H
