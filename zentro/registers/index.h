// Indexes over a sensor's register array that answer the linear "first match wins"
// lookups by name, by address and of bitfields by name without scanning the array.
#ifndef ZENTRO_REGISTERS_INDEX_H
#define ZENTRO_REGISTERS_INDEX_H

#include <cstdint>
#include <functional>
#include <optional>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

#include "zentro_sensor.h"

namespace zentro {

// Index of the first register whose name, or non-empty external name, equals @name
// (case-insensitively), found by scanning; -1 when there is none.
int32_t scanRegistersByName(const ze_reg_t *regs, int32_t count, const char *name);
// Index of the first bitfield of @reg whose name, or non-empty external name, equals
// @name (case-insensitively), found by scanning; -1 when there is none or @name is empty.
int32_t scanBitfieldsByName(const ze_reg_t &reg, const char *name);

// Built lazily from the register array it is asked about. It follows the array by its
// pointer and count: a new array is indexed from scratch, and registers appended to the
// same array (a reader that is still filling it) are added without a rebuild. The index
// keeps its own folded copy of the names, while applications may edit names, external
// names and addresses of the public records in place. So every answer is checked against
// the records: a hit must still carry the name or address asked for, and a miss (or a hit
// that no longer does) is answered by scanning the records. When the scan disagrees with
// the index, the index is dropped and built again on the next lookup. Whoever changes the
// records knowingly calls invalidate() (registersChanged does). The first and last
// registers are also compared with what was indexed on every lookup, and a bitfield index
// is only handed out below the register's live bitfield count. Hits touch the index's
// compact copy and one record instead of the whole array, whose records are large and cold
// in a big database.
//
// Lookups from several threads run in parallel; building takes the index exclusively.
// When memory for the index runs out, lookups fall back to scanning the array, so the
// answers never depend on whether the index could be built.
class RegisterIndex
{
public:
    // Index of the first register whose name, or non-empty external name, equals @name
    // (case-insensitively); -1 when there is none.
    int32_t findByName(const ze_reg_t *regs, int32_t count, const char *name);
    // The register named @regName (as findByName) and the index of its first bitfield
    // whose name, or non-empty external name, equals @name (case-insensitively); -1 for
    // what is not there (an empty @name finds no bitfield).
    std::pair<int32_t, int32_t> findBitfield(const ze_reg_t *regs, int32_t count,
                                             const char *regName, const char *name);
    // Index of the first register at address @addr, in array order, that @accept takes;
    // -1 when there is none. @accept runs outside the index's lock.
    int32_t findFirstByAddress(const ze_reg_t *regs, int32_t count, uint32_t addr,
                               const std::function<bool(const ze_reg_t &)> &accept);
    // Indexes of the registers at address @addr, in array order.
    std::vector<int32_t> findByAddress(const ze_reg_t *regs, int32_t count, uint32_t addr);
    // Forgets everything (the register array is about to change).
    void invalidate();

private:
    // A register remembered to notice an array whose contents were replaced.
    struct Landmark {
        int32_t index = -1;
        uint32_t addr = 0;
        std::string name;
    };
    // One slot of the open-addressing name table: the hash of a key, the register it
    // belongs to (index * 2, plus 1 for the external name; -1 is an empty slot) and where
    // its folded text starts in texts_.
    struct NameSlot {
        uint32_t hash = 0;
        int32_t key = -1;
        uint32_t textAt = 0;
    };
    // A bitfield name of one register: its hash, bitfield index * 2 (+1 for the external
    // name) and where its folded text starts in texts_.
    struct BitfieldKey {
        uint32_t hash;
        int32_t key;
        uint32_t textAt;
    };
    // A name folded to lower case with its hash; too long for any record when !fits.
    struct FoldedName {
        char text[ZE_TEXT_SIZE];
        size_t length = 0;
        uint32_t hash = 0;
        bool fits = false;
    };
    static FoldedName fold(const char *name);
    // Whether the record field @field holds @folded, compared as the index folds names.
    static bool holdsFolded(const char *field, const FoldedName &folded);

    void invalidateLocked();
    bool currentLocked(const ze_reg_t *regs, int32_t count) const;
    bool landmarksHoldLocked(const ze_reg_t *regs) const;
    // Makes the index describe @regs; false when memory ran out (scan instead).
    bool refreshLocked(const ze_reg_t *regs, int32_t count);
    void appendLocked(const ze_reg_t *regs, int32_t count);
    void resizeNameTableLocked(size_t keys);
    void insertNameLocked(const char *name, int32_t key);
    void indexBitfieldsLocked(const ze_reg_t &reg);
    void rememberLandmarksLocked(const ze_reg_t *regs, int32_t count);
    // The key (position * 2, plus 1 for an external name) of the first register or
    // bitfield of register @reg that answers to @name; -1 when none does.
    int32_t lookupNameLocked(const FoldedName &name) const;
    int32_t lookupBitfieldLocked(const ze_reg_t *regs, int32_t reg, const FoldedName &name) const;
    // Appends @folded to texts_ and returns where it starts.
    uint32_t storeTextLocked(const FoldedName &folded);
    // The range of byAddress_ holding @addr.
    std::pair<size_t, size_t> addressRangeLocked(uint32_t addr) const;
    bool addressesHoldLocked(const ze_reg_t *regs, std::pair<size_t, size_t> range) const;
    // The registers at @addr as the index (refreshed when needed) has them; nothing when it
    // cannot be built.
    std::optional<std::vector<int32_t>> indexedAtAddress(const ze_reg_t *regs, int32_t count,
                                                         uint32_t addr);

    // Runs @lookup on a current index, refreshing it first when needed; @scan instead
    // when the index cannot be built.
    template <class Lookup, class Scan>
    auto withCurrentIndex(const ze_reg_t *regs, int32_t count, Lookup lookup, Scan scan);
    // @scanned, the answer of the records themselves; the index is dropped (and built again
    // on the next lookup) when its own answer @indexed differs.
    template <class Answer>
    Answer confirmedByScan(Answer indexed, Answer scanned);

    mutable std::shared_mutex lock_;
    const ze_reg_t *regs_ = nullptr;
    int32_t count_ = -1;
    size_t nameKeys_ = 0;
    std::vector<NameSlot> names_;
    std::string texts_;                   // folded key texts, each closed by a NUL
    std::vector<uint32_t> bitfieldStart_; // per register into bitfieldKeys_, plus the end
    std::vector<BitfieldKey> bitfieldKeys_;
    std::vector<std::pair<uint32_t, int32_t>> byAddress_; // (address, index), sorted
    Landmark first_;
    Landmark last_;
};

} // namespace zentro

#endif // ZENTRO_REGISTERS_INDEX_H
