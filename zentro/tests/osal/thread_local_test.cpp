// Tests of the per-thread blocks: slot assignment, block contents, threads and their end.
#include <malloc.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "zentro_osal.h"

namespace {

using zentro::test::runInChild;

constexpr int kThreads = 8;
constexpr uint32_t kBigBlock = 1024 * 1024;

size_t heapInUse()
{
    struct mallinfo2 heap = mallinfo2();
    return heap.uordblks + heap.hblkhd;
}

// Whether about @amount bytes allocated since @before are still held. The sanitizer's
// allocator does not show in the heap figures, so there its leak check decides.
bool stillHeld(size_t before, size_t amount)
{
#if defined(__SANITIZE_ADDRESS__)
    (void)before;
    (void)amount;
    return __lsan_do_recoverable_leak_check() != 0;
#else
    return heapInUse() >= before + amount;
#endif
}

// Slots are handed out once per process, so every test that assigns one runs in a child.
TEST(ThreadLocal, ConcurrentFirstCallsShareOneSlotAndAThirdIndexFails)
{
    std::string text = runInChild([] {
        uint32_t index = OSAL_TLS_UNASSIGNED;
        std::atomic<int> started{0};
        std::vector<uint32_t> seen(kThreads);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                for (++started; started < kThreads;)
                    ;
                osal_alloc_thread_local(&index, 1, 4, nullptr);
                seen[t] = index;
            });
        }
        for (auto &thread : threads)
            thread.join();
        uint32_t second = OSAL_TLS_UNASSIGNED, third = OSAL_TLS_UNASSIGNED;
        bool secondBlock = osal_alloc_thread_local(&second, 1, 4, nullptr) != nullptr;
        bool thirdBlock = osal_alloc_thread_local(&third, 1, 4, nullptr) != nullptr;
        bool shared = std::count(seen.begin(), seen.end(), index) == kThreads;
        return std::to_string(shared) + std::to_string(index < 2 && second < 2 && index != second) +
               std::to_string(secondBlock) + std::to_string(third == OSAL_TLS_FAILED) +
               std::to_string(thirdBlock);
    });
    EXPECT_EQ(text, "11110");
}

TEST(ThreadLocal, EachThreadKeepsItsOwnCopiesOfTheDefaultUntilFreed)
{
    std::string text = runInChild([] {
        uint32_t index = OSAL_TLS_UNASSIGNED;
        const int initial[2] = {42, 43};
        auto *block = static_cast<int *>(osal_alloc_thread_local(&index, 3, 8, initial));
        std::string result = std::to_string(block[2 * 2]) + "," + std::to_string(block[2 * 2 + 1]);
        block[0] = 7;
        result += osal_alloc_thread_local(&index, 1, 1, nullptr) == block ? " kept" : " new";
        int *other = nullptr;
        std::thread([&] {
            other = static_cast<int *>(osal_alloc_thread_local(&index, 1, 8, nullptr));
            result += other != block && other[0] == 0 ? " own" : " shared";
            osal_free_thread_local(index);
        }).join();
        osal_free_thread_local(index);
        result += osal_get_thread_local(index) ? " held" : " freed";
        return result;
    });
    EXPECT_EQ(text, "42,43 kept own freed");
}

TEST(ThreadLocal, BlockOfAnEndedThreadIsFreed)
{
    std::string text = runInChild([] {
        uint32_t index = OSAL_TLS_UNASSIGNED;
        size_t before = heapInUse();
        for (int t = 0; t < kThreads; ++t)
            std::thread([&] { osal_alloc_thread_local(&index, kBigBlock, 1, nullptr); }).join();
        return stillHeld(before, kBigBlock) ? "leaked" : "freed";
    });
    EXPECT_EQ(text, "freed");
}

TEST(ThreadLocal, UnassignedIndexHasNoBlockAndEmptyBlocksAreRefused)
{
    EXPECT_EQ(osal_get_thread_local(OSAL_TLS_UNASSIGNED), nullptr);
    osal_free_thread_local(OSAL_TLS_FAILED);
    EXPECT_EQ(osal_alloc_thread_local(nullptr, 1, 1, nullptr), nullptr);
    std::string text = runInChild([] {
        uint32_t index = OSAL_TLS_UNASSIGNED;
        return osal_alloc_thread_local(&index, 0, 4, nullptr) ? "block" : "none";
    });
    EXPECT_EQ(text, "none");
}

} // namespace
