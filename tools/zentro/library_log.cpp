// The library's log, kept in memory and turned into the client's error messages.
#include "library_log.h"

#include <cstdint>
#include <mutex>

#include <zentro.h>

namespace zcli {
namespace {

// Lines kept at most, so a runaway loop in the library cannot exhaust memory.
constexpr size_t kMaxLines = 64;

std::mutex logLock;
std::vector<std::string> logLines;

// Called by the library from C: must not throw.
void keepLine(uint32_t, int, const char *message, const char *, const char *, int) noexcept
{
    try {
        const std::lock_guard<std::mutex> hold(logLock);
        if (message && *message && logLines.size() < kMaxLines)
            logLines.emplace_back(message);
    } catch (...) {
        // Losing a diagnostic line is better than ending the program inside the library.
    }
}

} // namespace

void captureLibraryLog()
{
    ze_OpenErrorLogCallback(ZE_LOG_SEVERE | ZE_LOG_ERROR, keepLine);
}

std::vector<std::string> takeLibraryLog()
{
    const std::lock_guard<std::mutex> hold(logLock);
    std::vector<std::string> lines;
    lines.swap(logLines);
    return lines;
}

std::string describeFailure(const std::string &what, int code)
{
    std::string text = what + ": " + ze_getErrorMessage(code);
    for (const std::string &line : takeLibraryLog())
        if (text.find(line) == std::string::npos)
            text += "\n  " + line;
    return text;
}

} // namespace zcli
