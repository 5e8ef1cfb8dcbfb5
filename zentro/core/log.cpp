// The library's log: error and information lines to rotating files or an application callback.
#include "core/log.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "core/log_file.h"
#include "osal/locks.h"
#include "zentro_osal.h"

namespace {

// A file is left for the next one once it has grown past this many bytes.
constexpr int32_t kRotateAfterBytes = 3000000;
constexpr size_t kMaxFileNameLength = ZE_TEXT_SIZE - 1;
constexpr uint32_t kNeverLoggedLevel = 0;

struct FileCloser {
    void operator()(FILE *file) const { fclose(file); }
};
using LogStream = std::unique_ptr<FILE, FileCloser>;

// The one log of the process; absent until the application opens it.
struct LogRecord {
    LogStream file;
    int32_t bytesWritten = 0;
    int32_t fileNumber = 0;
    ze_log_callback_t callback = nullptr;
    uint32_t types = 0;
    std::string fileName;    // as given to ze_OpenErrorLog, at most 255 characters
    std::string currentName; // the file being written
    std::chrono::steady_clock::time_point openedAt;
};

LogRecord *gLog = nullptr;

// Log lines may come from several threads (the server calls the library from
// two); rotation closes the stream, so writers and rotation are serialised.
// Never destroyed: threads may still log while the process exits.
zentro::CriticalSection &logLock()
{
    static auto *lock = new zentro::CriticalSection("errorlog");
    return *lock;
}

void addWritten(LogRecord &log, int written)
{
    if (written > 0)
        log.bytesWritten += written;
}

void writeTimestamp(LogRecord &log)
{
    using namespace std::chrono;
    unsigned long elapsed = static_cast<unsigned long>(
        duration_cast<milliseconds>(steady_clock::now() - log.openedAt).count());
    addWritten(log, fprintf(log.file.get(), "%lu:%02lu:%02lu.%03lu ", elapsed / 3600000,
                            elapsed / 60000 % 60, elapsed / 1000 % 60, elapsed % 1000));
}

void openNextFile(LogRecord &log)
{
    zentro::LogFileName name = zentro::splitLogFileName(log.fileName);
    log.fileNumber = zentro::chooseLogFileNumber(name);
    log.currentName = name.withNumber(log.fileNumber);
    log.file.reset(osal_fopen(log.currentName.c_str(), "w"));
}

// Closes the current file and starts the next one. Without memory or without a
// writable file the log simply goes on without a file.
void openNewFile(LogRecord &log)
{
    log.file.reset();
    log.bytesWritten = 0;
    try {
        openNextFile(log);
    } catch (const std::bad_alloc &) {
        log.file.reset();
    }
    if (!log.file)
        return;
    log.openedAt = std::chrono::steady_clock::now();
    writeTimestamp(log);
    char now[OSAL_LOCALTIME_SIZE];
    osal_localtime(now);
    addWritten(log, fprintf(log.file.get(), "%s\n", now));
    fflush(log.file.get());
}

void rotateIfFull(LogRecord &log)
{
    if (log.bytesWritten > kRotateAfterBytes)
        openNewFile(log);
}

void closeLog()
{
    delete gLog;
    gLog = nullptr;
}

// Closes any open log and starts a new record; false when memory is short.
bool replaceLog(uint32_t types)
{
    closeLog();
    gLog = new (std::nothrow) LogRecord;
    if (gLog)
        gLog->types = types;
    return gLog != nullptr;
}

const char *textOrEmpty(const char *text)
{
    return text ? text : "";
}

// The last component of a source path, as lines name the file without its directories.
const char *lastComponent(const char *path)
{
    if (!path)
        return "";
    const char *component = path;
    for (const char *c = path; *c; ++c) {
        if (osal_dirdelim(*c))
            component = c + 1;
    }
    return component;
}

const char *levelWord(uint32_t level)
{
    switch (level) {
    case 1:
        return "SEVERE_ERROR";
    case 2:
        return "ERROR";
    default:
        return "LOG";
    }
}

const char *typeWord(uint32_t type)
{
    if (type & ZE_LOG_SHIP)
        return "SHIP";
    if (type & ZE_LOG_USB)
        return "USB";
    if (type & ZE_LOG_DEBUG)
        return "DEBUG";
    return "LOG";
}

bool isSuccessCode(int code)
{
    return code == CAMERA_SUCCESS || code == PARSE_SUCCESS || code == INI_SUCCESS;
}

void writeErrorLine(LogRecord &log, uint32_t level, int code, const char *message, const char *file,
                    const char *function, int line)
{
    rotateIfFull(log);
    if (!log.file)
        return;
    writeTimestamp(log);
    const char *codeMessage = ze_getErrorMessage(code);
    int written;
    if (!message || !*message)
        written = fprintf(log.file.get(), "%s: %s [%s:%s() line:%d]\n", levelWord(level),
                          codeMessage, lastComponent(file), textOrEmpty(function), line);
    else
        written = fprintf(log.file.get(), "%s: %s; %s [%s:%s() line:%d]\n", levelWord(level),
                          codeMessage, message, lastComponent(file), textOrEmpty(function), line);
    addWritten(log, written);
    fflush(log.file.get());
}

void writeMessageLine(LogRecord &log, uint32_t type, const char *message, const char *file,
                      const char *function, int line)
{
    int written;
    if (type == ZE_LOG_DEBUG && file && *file)
        written = fprintf(log.file.get(), "%s: %s [%s:%s() line:%d]\n", "DEBUG",
                          textOrEmpty(message), lastComponent(file), textOrEmpty(function), line);
    else
        written = fprintf(log.file.get(), "%s: %s\n", typeWord(type), textOrEmpty(message));
    addWritten(log, written);
    fflush(log.file.get());
}

} // namespace

namespace zentro {

namespace {

std::string formatMessage(const char *format, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    int length = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0)
        return {};
    std::string message(static_cast<size_t>(length), '\0');
    vsnprintf(message.data(), message.size() + 1, format, args);
    return message;
}

} // namespace

int errorlogf(int code, uint32_t level, const char *file, const char *function, int line,
              const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::string message;
    try {
        message = formatMessage(format, args);
    } catch (const std::bad_alloc &) {
        message.clear();
    }
    va_end(args);
    return ze_Errorlog(code, level, message.c_str(), file, function, line);
}

} // namespace zentro

extern "C" {

ZE_API int ze_OpenErrorLog(uint32_t types, const char *file_name)
{
    zentro::CriticalSectionGuard guard(logLock());
    if (!replaceLog(types))
        return CAMERA_SUCCESS;
    try {
        gLog->fileName = std::string(textOrEmpty(file_name)).substr(0, kMaxFileNameLength);
    } catch (const std::bad_alloc &) {
        gLog->fileName.clear();
    }
    if (types != 0)
        openNewFile(*gLog);
    return CAMERA_SUCCESS;
}

ZE_API int ze_OpenErrorLogCallback(uint32_t types, ze_log_callback_t callback)
{
    zentro::CriticalSectionGuard guard(logLock());
    if (replaceLog(types))
        gLog->callback = callback;
    return CAMERA_SUCCESS;
}

ZE_API void ze_CloseErrorLog(void)
{
    zentro::CriticalSectionGuard guard(logLock());
    closeLog();
}

ZE_API int ze_SetErrorLogLevel(uint32_t types)
{
    zentro::CriticalSectionGuard guard(logLock());
    if (!gLog)
        return CAMERA_ERROR;
    if (gLog->types == 0 && types != 0)
        openNewFile(*gLog);
    gLog->types = types;
    return CAMERA_SUCCESS;
}

ZE_API uint32_t ze_GetErrorLogLevel(void)
{
    zentro::CriticalSectionGuard guard(logLock());
    return gLog ? gLog->types : 0;
}

ZE_API int ze_GetErrorLogFileName(char *buffer)
{
    if (!buffer)
        return CAMERA_ERROR;
    buffer[0] = '\0';
    zentro::CriticalSectionGuard guard(logLock());
    if (!gLog || !gLog->file)
        return CAMERA_ERROR;
    osal_strcpy_s(buffer, ZE_TEXT_SIZE, gLog->currentName.c_str());
    return CAMERA_SUCCESS;
}

ZE_API uint32_t _currentLogTypes(void)
{
    zentro::CriticalSectionGuard guard(logLock());
    return gLog && gLog->file ? gLog->types : 0;
}

ZE_API uint32_t ze_isInfoLogEnabled(void)
{
    return _currentLogTypes() & ZE_LOG_INFO;
}

ZE_API int ze_isDebugLogEnabled(void)
{
    return (_currentLogTypes() & ZE_LOG_DEBUG) != 0;
}

ZE_API int ze_Errorlog(int code, uint32_t level, const char *message, const char *source_file,
                       const char *function, int line)
{
    ze_log_callback_t callback;
    {
        zentro::CriticalSectionGuard guard(logLock());
        if (!gLog || (!gLog->file && !gLog->callback))
            return code;
        if (isSuccessCode(code) || gLog->types == 0)
            return code;
        uint32_t effectiveLevel = level == ZE_LEVEL_FROM_TABLE ? ze_getErrorLevel(code) : level;
        if (effectiveLevel == kNeverLoggedLevel || (effectiveLevel & gLog->types) == 0)
            return code;
        callback = gLog->callback;
        if (!callback) {
            writeErrorLine(*gLog, effectiveLevel, code, message, source_file, function, line);
            return code;
        }
    }
    // Outside the lock, so that a callback may log or wait for a thread that does.
    callback(level, code, message, source_file, function, line);
    return code;
}

ZE_API void ze_Msglog(uint32_t type, const char *message, const char *source_file,
                      const char *function, int line)
{
    ze_log_callback_t callback;
    {
        zentro::CriticalSectionGuard guard(logLock());
        if (!gLog || !gLog->file || (gLog->types & ZE_LOG_INFO) == 0 || (type & gLog->types) == 0)
            return;
        rotateIfFull(*gLog);
        if (!gLog->file)
            return;
        writeTimestamp(*gLog);
        callback = gLog->callback;
        if (!callback) {
            writeMessageLine(*gLog, type, message, source_file, function, line);
            return;
        }
    }
    callback(type, 0, message, source_file, function, line);
}

} // extern "C"
