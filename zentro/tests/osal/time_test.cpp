// Tests of sleeping, the wall clock and the local time text.
#include <signal.h>
#include <sys/time.h>

#include <chrono>
#include <ctime>

#include <gtest/gtest.h>

#include "zentro_osal.h"

namespace {

using namespace std::chrono;

void ignoreSignal(int) {}

TEST(Time, SleepResumesAfterSignalsUntilTheWholeTimeHasPassed)
{
    constexpr uint32_t kSleepMs = 150;
    constexpr long kSignalIntervalUs = 5000;
    struct sigaction action = {};
    action.sa_handler = ignoreSignal; // without SA_RESTART: every signal interrupts the sleep
    struct sigaction previous;
    ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
    itimerval every = {{0, kSignalIntervalUs}, {0, kSignalIntervalUs}};
    setitimer(ITIMER_REAL, &every, nullptr);
    auto start = steady_clock::now();
    osal_sleep(kSleepMs);
    auto slept = duration_cast<milliseconds>(steady_clock::now() - start).count();
    itimerval off = {};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &previous, nullptr);
    EXPECT_GE(slept, kSleepMs);
}

TEST(Time, CurrentMillisecondsFollowTheWallClock)
{
    auto wallClock = [] {
        return uint64_t(
            duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
    };
    uint64_t before = wallClock();
    uint64_t now = osal_current_milliseconds();
    EXPECT_GE(now, before);
    EXPECT_LE(now, wallClock());
}

TEST(Time, LocalTimeIsTheCtimeTextAndStaysInItsSize)
{
    char text[OSAL_LOCALTIME_SIZE + 1];
    text[OSAL_LOCALTIME_SIZE] = '\x7f';
    time_t before;
    do {
        before = time(nullptr);
        osal_localtime(text);
    } while (time(nullptr) != before);
    char expected[OSAL_LOCALTIME_SIZE];
    EXPECT_STREQ(text, ctime_r(&before, expected));
    EXPECT_EQ(text[OSAL_LOCALTIME_SIZE], '\x7f');
}

} // namespace
