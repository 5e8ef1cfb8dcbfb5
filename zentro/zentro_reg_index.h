// Indexes over a sensor's register array that answer the linear "first match wins"
// lookups by name and by address in constant time.
#ifndef ZENTRO_REG_INDEX_H
#define ZENTRO_REG_INDEX_H

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "zentro_sensor.h"

namespace zentro {

// Built lazily from the register array it was last asked about; rebuilt whenever the
// array (pointer or count) changes or a hit no longer carries the name it was indexed by.
// Safe to use from several threads.
class RegisterIndex
{
public:
    // Index of the first register whose name, or non-empty external name, equals @name
    // (case-insensitively); -1 when there is none.
    int findByName(const ze_reg_t *regs, int32_t count, const char *name);
    // Indexes of the registers at address @addr, in array order.
    std::vector<int32_t> findByAddress(const ze_reg_t *regs, int32_t count, uint32_t addr);
    // Forgets everything (the register array is about to change).
    void invalidate();

private:
    void rebuildLocked(const ze_reg_t *regs, int32_t count);
    bool currentLocked(const ze_reg_t *regs, int32_t count) const;

    std::mutex lock_;
    const ze_reg_t *regs_ = nullptr;
    int32_t count_ = -1;
    std::unordered_map<std::string, int32_t> byName_;
    std::unordered_map<uint32_t, std::vector<int32_t>> byAddress_;
};

} // namespace zentro

#endif // ZENTRO_REG_INDEX_H
