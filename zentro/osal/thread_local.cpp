// Per-thread memory blocks in two process-wide slots, on POSIX thread-specific keys.
#include "zentro_osal.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "osal/locks.h"

namespace {

constexpr uint32_t kSlotCount = 2;

// The slots' keys, created once. A block still held when its thread ends is freed then
// by the key's destructor; free() stays valid even after this library is unloaded.
class Slots
{
public:
    Slots()
    {
        for (uint32_t slot = 0; slot < kSlotCount; ++slot)
            created_[slot] = pthread_key_create(&keys_[slot], free) == 0;
    }

    // Hands out the next unused slot, or OSAL_TLS_FAILED when none is left.
    uint32_t assign()
    {
        while (next_ < kSlotCount) {
            uint32_t slot = next_++;
            if (created_[slot])
                return slot;
        }
        return OSAL_TLS_FAILED;
    }

    bool valid(uint32_t slot) const { return slot < kSlotCount && created_[slot]; }
    void *get(uint32_t slot) const { return pthread_getspecific(keys_[slot]); }
    bool set(uint32_t slot, void *block) { return pthread_setspecific(keys_[slot], block) == 0; }

    osal_critical_section_t *assignmentLock() { return &assignmentLock_; }

private:
    pthread_key_t keys_[kSlotCount] = {};
    bool created_[kSlotCount] = {};
    uint32_t next_ = 0;
    osal_critical_section_t assignmentLock_ = PTHREAD_MUTEX_INITIALIZER;
};

Slots &slots()
{
    static Slots instance;
    return instance;
}

// The slot of *@index, assigning one on first use; other threads may be doing the same.
uint32_t slotOf(uint32_t *index)
{
    std::atomic_ref<uint32_t> shared(*index);
    uint32_t slot = shared.load(std::memory_order_acquire);
    if (slot != OSAL_TLS_UNASSIGNED)
        return slot;
    Slots &all = slots();
    zentro::CriticalSectionGuard guard(all.assignmentLock());
    slot = shared.load(std::memory_order_acquire);
    if (slot == OSAL_TLS_UNASSIGNED) {
        slot = all.assign();
        shared.store(slot, std::memory_order_release);
    }
    return slot;
}

// @count elements of @size bytes, each a copy of @element (zeros when NULL).
void *newBlock(uint32_t count, uint32_t size, const void *element)
{
    if (count == 0 || size == 0)
        return nullptr;
    auto *block = static_cast<unsigned char *>(calloc(count, size));
    if (block && element) {
        for (uint32_t i = 0; i < count; ++i)
            memcpy(block + size_t(i) * size, element, size);
    }
    return block;
}

} // namespace

extern "C" {

ZE_API void *osal_alloc_thread_local(uint32_t *index, uint32_t count, uint32_t size,
                                     const void *default_element)
{
    if (!index)
        return nullptr;
    uint32_t slot = slotOf(index);
    Slots &all = slots();
    if (!all.valid(slot))
        return nullptr;
    if (void *held = all.get(slot))
        return held;
    void *block = newBlock(count, size, default_element);
    if (block && !all.set(slot, block)) {
        free(block);
        return nullptr;
    }
    return block;
}

ZE_API void *osal_get_thread_local(uint32_t index)
{
    Slots &all = slots();
    return all.valid(index) ? all.get(index) : nullptr;
}

ZE_API void osal_free_thread_local(uint32_t index)
{
    Slots &all = slots();
    if (!all.valid(index))
        return;
    free(all.get(index));
    all.set(index, nullptr);
}

} // extern "C"
