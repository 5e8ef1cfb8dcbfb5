// Name, bitfield and address indexes over a register array.
#include "registers/index.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>

#include "zentro_osal.h"

namespace zentro {

namespace {

// The name table is kept at most this full, so that probe runs stay short.
constexpr size_t kMaxLoadPercent = 70;
constexpr size_t kMinNameSlots = 16;
constexpr int32_t kEmptySlot = -1;
// Room reserved per register name in the text store up front (bitfield names included).
constexpr size_t kTypicalNameBytes = 48;

unsigned char foldChar(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// Register names share long prefixes and suffixes, which leaves FNV's low bits
// clustered; this final mix spreads them before they pick a slot.
uint32_t mixed(uint32_t hash)
{
    hash ^= hash >> 16;
    hash *= 0x85EBCA6Bu;
    hash ^= hash >> 13;
    hash *= 0xC2B2AE35u;
    hash ^= hash >> 16;
    return hash;
}

constexpr uint32_t kFnvBasis = 2166136261u;
constexpr uint32_t kFnvPrime = 16777619u;

size_t slotCountFor(size_t keys)
{
    size_t slots = kMinNameSlots;
    while (slots * kMaxLoadPercent / 100 < keys)
        slots *= 2;
    return slots;
}

// Building reads a few fields spread over each large record and its bitfields; asking
// for them ahead lets those cache misses overlap instead of queueing one by one.
constexpr int32_t kPrefetchAhead = 4;
// Bitfields asked for ahead per record; the rest of a long list follows in sequence.
constexpr int32_t kPrefetchBitfields = 4;

void prefetchRecord(const ze_reg_t &reg)
{
    __builtin_prefetch(reg.name);
    __builtin_prefetch(&reg.addr);
    __builtin_prefetch(&reg.bitfieldCount);
    __builtin_prefetch(reg.externalName);
    for (int32_t b = 0; reg.bitfields && b < reg.bitfieldCount && b < kPrefetchBitfields; ++b) {
        __builtin_prefetch(reg.bitfields[b].name);
        __builtin_prefetch(reg.bitfields[b].externalName);
    }
}

bool byAddressThenIndex(const std::pair<uint32_t, int32_t> &a,
                        const std::pair<uint32_t, int32_t> &b)
{
    return a < b;
}

// Whether a record with @name and @externalName answers to @asked (case-insensitively).
bool answersTo(const char *name, const char *externalName, const char *asked)
{
    return osal_stricmp(name, asked) == 0 ||
           (externalName[0] && osal_stricmp(externalName, asked) == 0);
}

bool registerAnswersTo(const ze_reg_t &reg, const char *name)
{
    return answersTo(reg.name, reg.externalName, name);
}

bool bitfieldAnswersTo(const ze_reg_t &reg, int32_t bitfield, const char *name)
{
    return reg.bitfields && bitfield >= 0 && bitfield < reg.bitfieldCount &&
           answersTo(reg.bitfields[bitfield].name, reg.bitfields[bitfield].externalName, name);
}

// Index keys name a record's name (even) or its external name (odd).
int32_t positionOf(int32_t key)
{
    return key < 0 ? -1 : key / 2;
}

const char *keyedName(const char *name, const char *externalName, int32_t key)
{
    return key % 2 ? externalName : name;
}

} // namespace

int32_t scanRegistersByName(const ze_reg_t *regs, int32_t count, const char *name)
{
    for (int32_t i = 0; regs && name && i < count; ++i) {
        if (registerAnswersTo(regs[i], name))
            return i;
    }
    return -1;
}

int32_t scanBitfieldsByName(const ze_reg_t &reg, const char *name)
{
    // An empty name asks for no bitfield, even one whose name is missing.
    for (int32_t i = 0; name && *name && i < reg.bitfieldCount; ++i) {
        if (bitfieldAnswersTo(reg, i, name))
            return i;
    }
    return -1;
}

// FNV-1a over the ASCII-folded characters, so that names equal to osal_stricmp hash alike.
RegisterIndex::FoldedName RegisterIndex::fold(const char *name)
{
    FoldedName folded;
    uint32_t hash = kFnvBasis;
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(name); *c; ++c) {
        // Record names hold at most ZE_TEXT_SIZE - 1 characters: longer ones match none.
        if (folded.length == sizeof(folded.text) - 1)
            return folded;
        const unsigned char lower = foldChar(*c);
        folded.text[folded.length++] = static_cast<char>(lower);
        hash = (hash ^ lower) * kFnvPrime;
    }
    folded.text[folded.length] = '\0';
    folded.hash = mixed(hash);
    folded.fits = true;
    return folded;
}

template <class Lookup, class Scan>
auto RegisterIndex::withCurrentIndex(const ze_reg_t *regs, int32_t count, Lookup lookup, Scan scan)
{
    {
        std::shared_lock<std::shared_mutex> reading(lock_);
        if (currentLocked(regs, count))
            return lookup();
    }
    std::unique_lock<std::shared_mutex> writing(lock_);
    if (!refreshLocked(regs, count))
        return scan();
    return lookup();
}

bool RegisterIndex::landmarksHoldLocked(const ze_reg_t *regs) const
{
    for (const Landmark *mark : {&first_, &last_}) {
        if (mark->index >= 0 &&
            (regs[mark->index].addr != mark->addr || mark->name != regs[mark->index].name))
            return false;
    }
    return true;
}

bool RegisterIndex::currentLocked(const ze_reg_t *regs, int32_t count) const
{
    return regs_ == regs && count_ == count && landmarksHoldLocked(regs);
}

bool RegisterIndex::refreshLocked(const ze_reg_t *regs, int32_t count)
{
    if (currentLocked(regs, count))
        return true;
    try {
        // A reader still filling its array only appends: index just the newcomers.
        if (!(regs_ == regs && count_ >= 0 && count > count_ && landmarksHoldLocked(regs)))
            invalidateLocked();
        appendLocked(regs, count);
        return true;
    } catch (const std::bad_alloc &) {
        invalidateLocked();
        return false;
    }
}

void RegisterIndex::appendLocked(const ze_reg_t *regs, int32_t count)
{
    const int32_t from = std::max(count_, 0);
    // Unusable until complete, so that a failure half-way leaves nothing that looks current.
    regs_ = nullptr;
    size_t newKeys = 0;
    for (int32_t i = from; i < count; ++i)
        newKeys += regs[i].externalName[0] ? 2 : 1;
    resizeNameTableLocked(nameKeys_ + newKeys);
    byAddress_.reserve(static_cast<size_t>(count));
    bitfieldStart_.reserve(static_cast<size_t>(count) + 1);
    texts_.reserve(texts_.size() + newKeys * kTypicalNameBytes);
    if (bitfieldStart_.empty())
        bitfieldStart_.push_back(0);

    const size_t oldAddresses = byAddress_.size();
    // Inserting in array order, name before external name, keeps the first match.
    for (int32_t i = from; i < count; ++i) {
        if (i + kPrefetchAhead < count)
            prefetchRecord(regs[i + kPrefetchAhead]);
        insertNameLocked(regs[i].name, i * 2);
        if (regs[i].externalName[0])
            insertNameLocked(regs[i].externalName, i * 2 + 1);
        byAddress_.emplace_back(regs[i].addr, i);
        indexBitfieldsLocked(regs[i]);
    }
    auto middle = byAddress_.begin() + static_cast<std::ptrdiff_t>(oldAddresses);
    std::sort(middle, byAddress_.end(), byAddressThenIndex);
    std::inplace_merge(byAddress_.begin(), middle, byAddress_.end(), byAddressThenIndex);

    rememberLandmarksLocked(regs, count);
    regs_ = regs;
    count_ = count;
}

void RegisterIndex::resizeNameTableLocked(size_t keys)
{
    const size_t slots = slotCountFor(keys);
    if (slots <= names_.size())
        return;
    std::vector<NameSlot> old(slots);
    old.swap(names_);
    const size_t mask = names_.size() - 1;
    // The table holds each folded name once, so slot order carries no meaning to keep.
    for (const NameSlot &slot : old) {
        if (slot.key == kEmptySlot)
            continue;
        size_t at = slot.hash & mask;
        while (names_[at].key != kEmptySlot)
            at = (at + 1) & mask;
        names_[at] = slot;
    }
}

uint32_t RegisterIndex::storeTextLocked(const FoldedName &folded)
{
    const uint32_t at = static_cast<uint32_t>(texts_.size());
    texts_.append(folded.text, folded.length + 1);
    return at;
}

void RegisterIndex::insertNameLocked(const char *name, int32_t key)
{
    const FoldedName folded = fold(name);
    if (!folded.fits)
        return; // not terminated within its field: no lookup can match it
    const size_t mask = names_.size() - 1;
    size_t at = folded.hash & mask;
    for (; names_[at].key != kEmptySlot; at = (at + 1) & mask) {
        if (names_[at].hash == folded.hash &&
            strcmp(texts_.c_str() + names_[at].textAt, folded.text) == 0)
            return; // an earlier register already answers this name
    }
    names_[at] = {folded.hash, key, storeTextLocked(folded)};
    ++nameKeys_;
}

void RegisterIndex::indexBitfieldsLocked(const ze_reg_t &reg)
{
    auto add = [this](const char *name, int32_t key) {
        const FoldedName folded = fold(name);
        if (folded.fits && folded.length > 0)
            bitfieldKeys_.push_back({folded.hash, key, storeTextLocked(folded)});
    };
    for (int32_t b = 0; reg.bitfields && b < reg.bitfieldCount; ++b) {
        add(reg.bitfields[b].name, b * 2);
        if (reg.bitfields[b].externalName[0])
            add(reg.bitfields[b].externalName, b * 2 + 1);
    }
    bitfieldStart_.push_back(static_cast<uint32_t>(bitfieldKeys_.size()));
}

void RegisterIndex::rememberLandmarksLocked(const ze_reg_t *regs, int32_t count)
{
    if (count <= 0) {
        first_ = {};
        last_ = {};
        return;
    }
    first_ = {0, regs[0].addr, regs[0].name};
    last_ = {count - 1, regs[count - 1].addr, regs[count - 1].name};
}

int32_t RegisterIndex::lookupNameLocked(const FoldedName &name) const
{
    if (names_.empty() || !name.fits)
        return -1;
    const size_t mask = names_.size() - 1;
    for (size_t at = name.hash & mask; names_[at].key != kEmptySlot; at = (at + 1) & mask) {
        const NameSlot &slot = names_[at];
        if (slot.hash == name.hash &&
            memcmp(texts_.data() + slot.textAt, name.text, name.length + 1) == 0)
            return slot.key;
    }
    return -1;
}

int32_t RegisterIndex::lookupBitfieldLocked(const ze_reg_t *regs, int32_t reg,
                                            const FoldedName &name) const
{
    if (reg < 0 || reg >= count_ || !name.fits || name.length == 0)
        return -1;
    for (uint32_t at = bitfieldStart_[reg]; at < bitfieldStart_[reg + 1]; ++at) {
        const BitfieldKey &key = bitfieldKeys_[at];
        if (key.hash != name.hash || memcmp(texts_.data() + key.textAt, name.text, name.length + 1))
            continue;
        // Never hand out an index beyond the live array, whatever happened to it.
        const int32_t bitfield = key.key / 2;
        const ze_reg_t &record = regs[reg];
        return record.bitfields && bitfield < record.bitfieldCount ? key.key : -1;
    }
    return -1;
}

std::pair<size_t, size_t> RegisterIndex::addressRangeLocked(uint32_t addr) const
{
    auto begin = std::lower_bound(byAddress_.begin(), byAddress_.end(),
                                  std::pair<uint32_t, int32_t>(addr, INT32_MIN));
    auto end = begin;
    while (end != byAddress_.end() && end->first == addr)
        ++end;
    return {static_cast<size_t>(begin - byAddress_.begin()),
            static_cast<size_t>(end - byAddress_.begin())};
}

bool RegisterIndex::addressesHoldLocked(const ze_reg_t *regs, std::pair<size_t, size_t> range) const
{
    for (size_t at = range.first; at < range.second; ++at) {
        if (regs[byAddress_[at].second].addr != byAddress_[at].first)
            return false;
    }
    return true;
}

template <class Answer>
Answer RegisterIndex::confirmedByScan(Answer indexed, Answer scanned)
{
    // The records were edited in place since the index was built: build it again.
    if (scanned != indexed)
        invalidate();
    return scanned;
}

bool RegisterIndex::holdsFolded(const char *field, const FoldedName &folded)
{
    // The terminator is compared too; a folded name is shorter than any name field.
    for (size_t i = 0; i <= folded.length; ++i) {
        if (foldChar(static_cast<unsigned char>(field[i])) !=
            static_cast<unsigned char>(folded.text[i]))
            return false;
    }
    return true;
}

int32_t RegisterIndex::findByName(const ze_reg_t *regs, int32_t count, const char *name)
{
    if (!regs || count <= 0 || !name)
        return -1;
    const FoldedName folded = fold(name);
    const std::optional<int32_t> key = withCurrentIndex(
        regs, count, [&] { return std::optional(lookupNameLocked(folded)); },
        [] { return std::optional<int32_t>(); });
    if (!key)
        return scanRegistersByName(regs, count, name);
    const int32_t indexed = positionOf(*key);
    if (indexed >= 0 &&
        holdsFolded(keyedName(regs[indexed].name, regs[indexed].externalName, *key), folded))
        return indexed;
    // A miss or a stale hit: the records have the last word.
    return confirmedByScan(indexed, scanRegistersByName(regs, count, name));
}

std::pair<int32_t, int32_t> RegisterIndex::findBitfield(const ze_reg_t *regs, int32_t count,
                                                        const char *regName, const char *name)
{
    if (!regs || count <= 0 || !regName || !name)
        return {-1, -1};
    const FoldedName foldedReg = fold(regName);
    const FoldedName folded = fold(name);
    const std::optional<std::pair<int32_t, int32_t>> keys = withCurrentIndex(
        regs, count,
        [&] {
            const int32_t reg = lookupNameLocked(foldedReg);
            return std::optional(
                std::pair(reg, lookupBitfieldLocked(regs, positionOf(reg), folded)));
        },
        [] { return std::optional<std::pair<int32_t, int32_t>>(); });
    if (!keys) {
        const int32_t reg = scanRegistersByName(regs, count, regName);
        return {reg, reg < 0 ? -1 : scanBitfieldsByName(regs[reg], name)};
    }
    const auto [regKey, bitfieldKey] = *keys;
    const int32_t reg = positionOf(regKey);
    const int32_t bitfield = positionOf(bitfieldKey);
    if (reg >= 0 &&
        holdsFolded(keyedName(regs[reg].name, regs[reg].externalName, regKey), foldedReg)) {
        const ze_reg_t &record = regs[reg];
        if (bitfield >= 0 && bitfield < record.bitfieldCount && record.bitfields &&
            holdsFolded(keyedName(record.bitfields[bitfield].name,
                                  record.bitfields[bitfield].externalName, bitfieldKey),
                        folded))
            return {reg, bitfield};
        return {reg, confirmedByScan(bitfield, scanBitfieldsByName(record, name))};
    }
    const int32_t scanned = confirmedByScan(reg, scanRegistersByName(regs, count, regName));
    return {scanned, scanned < 0 ? -1 : scanBitfieldsByName(regs[scanned], name)};
}

int32_t RegisterIndex::findFirstByAddress(const ze_reg_t *regs, int32_t count, uint32_t addr,
                                          const std::function<bool(const ze_reg_t &)> &accept)
{
    // The candidates are copied out so that @accept may itself look things up.
    for (int32_t i : findByAddress(regs, count, addr)) {
        if (accept(regs[i]))
            return i;
    }
    // A register moved to @addr in place is not among the candidates: the records decide.
    for (int32_t i = 0; regs && i < count; ++i) {
        if (regs[i].addr == addr && accept(regs[i]))
            return confirmedByScan(-1, i);
    }
    return -1;
}

std::optional<std::vector<int32_t>> RegisterIndex::indexedAtAddress(const ze_reg_t *regs,
                                                                    int32_t count, uint32_t addr)
{
    auto collect = [&](std::pair<size_t, size_t> range) {
        std::vector<int32_t> found;
        for (size_t at = range.first; at < range.second; ++at)
            found.push_back(byAddress_[at].second);
        return found;
    };
    {
        std::shared_lock<std::shared_mutex> reading(lock_);
        if (currentLocked(regs, count)) {
            auto range = addressRangeLocked(addr);
            if (addressesHoldLocked(regs, range))
                return collect(range);
        }
    }
    std::unique_lock<std::shared_mutex> writing(lock_);
    if (!refreshLocked(regs, count))
        return std::nullopt;
    auto range = addressRangeLocked(addr);
    if (!addressesHoldLocked(regs, range)) {
        // An address changed in place since the index was built.
        invalidateLocked();
        if (!refreshLocked(regs, count))
            return std::nullopt;
        range = addressRangeLocked(addr);
    }
    return collect(range);
}

std::vector<int32_t> RegisterIndex::findByAddress(const ze_reg_t *regs, int32_t count,
                                                  uint32_t addr)
{
    if (!regs || count <= 0)
        return {};
    std::optional<std::vector<int32_t>> indexed = indexedAtAddress(regs, count, addr);
    if (indexed && !indexed->empty())
        return *indexed;
    // Nothing at @addr in the index: a register may have been moved there in place.
    std::vector<int32_t> scanned;
    for (int32_t i = 0; i < count; ++i) {
        if (regs[i].addr == addr)
            scanned.push_back(i);
    }
    return indexed ? confirmedByScan(*indexed, scanned) : scanned;
}

void RegisterIndex::invalidate()
{
    std::unique_lock<std::shared_mutex> writing(lock_);
    invalidateLocked();
}

void RegisterIndex::invalidateLocked()
{
    regs_ = nullptr;
    count_ = -1;
    nameKeys_ = 0;
    names_.clear();
    texts_.clear();
    bitfieldStart_.clear();
    bitfieldKeys_.clear();
    byAddress_.clear();
    first_ = {};
    last_ = {};
}

} // namespace zentro
