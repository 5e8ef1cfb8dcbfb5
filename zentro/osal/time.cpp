// Time of the OS layer: sleeping, the wall clock and the local time as text.
#include "zentro_osal.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace {

constexpr long kMillisecondsPerSecond = 1000;
constexpr long kNanosecondsPerMillisecond = 1000000;
// Enough for the ctime layout with any values of its fields.
constexpr size_t kTextRoom = 80;

const char *const kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char *const kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

extern "C" {

ZE_API void osal_sleep(uint32_t ms)
{
    struct timespec remaining = {static_cast<time_t>(ms / kMillisecondsPerSecond),
                                 static_cast<long>(ms % kMillisecondsPerSecond) *
                                     kNanosecondsPerMillisecond};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

ZE_API uint64_t osal_current_milliseconds(void)
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return uint64_t(now.tv_sec) * kMillisecondsPerSecond +
           uint64_t(now.tv_nsec / kNanosecondsPerMillisecond);
}

ZE_API void osal_localtime(char *out)
{
    if (!out)
        return;
    time_t now = time(nullptr);
    struct tm local;
    if (!localtime_r(&now, &local)) {
        out[0] = '\0';
        return;
    }
    // The ctime layout with fixed English names, independent of the locale. A year beyond
    // 9999 would make the text longer than the caller's room, so it is cut to fit.
    char text[kTextRoom];
    snprintf(text, sizeof(text), "%.3s %.3s%3d %.2d:%.2d:%.2d %d\n", kDayNames[local.tm_wday % 7],
             kMonthNames[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min,
             local.tm_sec, local.tm_year + 1900);
    osal_strcpy_s(out, OSAL_LOCALTIME_SIZE, text);
}

} // extern "C"
