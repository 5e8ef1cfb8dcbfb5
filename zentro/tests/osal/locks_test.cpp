// Tests of the recursive locks and their RAII owners.
#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "osal/locks.h"

namespace {

using zentro::CriticalSection;
using zentro::CriticalSectionGuard;

// Whether another thread could take @lock right now.
bool freeForOtherThreads(CriticalSection &lock)
{
    bool taken = false;
    std::thread([&] {
        taken = pthread_mutex_trylock(lock.native()) == 0;
        if (taken)
            pthread_mutex_unlock(lock.native());
    }).join();
    return taken;
}

TEST(Locks, OwnerMayEnterAgainAndOthersWaitUntilItLeavesAsOften)
{
    CriticalSection lock("recursive");
    lock.lock();
    {
        CriticalSectionGuard guard(lock);
        EXPECT_FALSE(freeForOtherThreads(lock));
    }
    EXPECT_FALSE(freeForOtherThreads(lock));
    lock.unlock();
    EXPECT_TRUE(freeForOtherThreads(lock));
}

TEST(Locks, ThreadsUpdatingUnderTheLockLoseNoUpdate)
{
    constexpr int kThreads = 4;
    constexpr int kIncrements = 20000;
    CriticalSection lock;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kIncrements; ++i) {
                CriticalSectionGuard guard(lock);
                // A separate read and write: unprotected, concurrent updates get lost.
                long seen = counter;
                std::atomic_signal_fence(std::memory_order_seq_cst);
                counter = seen + 1;
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(counter, long(kThreads) * kIncrements);
}

} // namespace
