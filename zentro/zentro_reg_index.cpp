// Name and address indexes over a register array.
#include "zentro_reg_index.h"

#include <cctype>

#include "zentro_osal.h"

namespace zentro {

namespace {

std::string foldCase(const char *name)
{
    std::string key(name);
    for (char &c : key)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return key;
}

bool carriesName(const ze_reg_t &reg, const char *name)
{
    return osal_stricmp(reg.name, name) == 0 ||
           (reg.externalName[0] && osal_stricmp(reg.externalName, name) == 0);
}

} // namespace

bool RegisterIndex::currentLocked(const ze_reg_t *regs, int32_t count) const
{
    return regs_ == regs && count_ == count;
}

void RegisterIndex::rebuildLocked(const ze_reg_t *regs, int32_t count)
{
    byName_.clear();
    byAddress_.clear();
    byName_.reserve(static_cast<size_t>(count) * 2);
    byAddress_.reserve(static_cast<size_t>(count));
    // emplace keeps the first entry of a key, which is the array's first match.
    for (int32_t i = 0; i < count; ++i) {
        byName_.emplace(foldCase(regs[i].name), i);
        if (regs[i].externalName[0])
            byName_.emplace(foldCase(regs[i].externalName), i);
        byAddress_[regs[i].addr].push_back(i);
    }
    regs_ = regs;
    count_ = count;
}

int RegisterIndex::findByName(const ze_reg_t *regs, int32_t count, const char *name)
{
    if (!regs || count <= 0 || !name)
        return -1;
    std::lock_guard<std::mutex> guard(lock_);
    if (!currentLocked(regs, count))
        rebuildLocked(regs, count);
    const std::string key = foldCase(name);
    auto found = byName_.find(key);
    if (found == byName_.end())
        return -1;
    if (carriesName(regs[found->second], name))
        return found->second;
    // Names edited in place since the index was built: rebuild once and look again.
    rebuildLocked(regs, count);
    found = byName_.find(key);
    return found == byName_.end() ? -1 : found->second;
}

std::vector<int32_t> RegisterIndex::findByAddress(const ze_reg_t *regs, int32_t count,
                                                  uint32_t addr)
{
    if (!regs || count <= 0)
        return {};
    std::lock_guard<std::mutex> guard(lock_);
    if (!currentLocked(regs, count))
        rebuildLocked(regs, count);
    auto found = byAddress_.find(addr);
    if (found == byAddress_.end())
        return {};
    for (int32_t i : found->second) {
        if (regs[i].addr != addr) {
            rebuildLocked(regs, count);
            found = byAddress_.find(addr);
            return found == byAddress_.end() ? std::vector<int32_t>{} : found->second;
        }
    }
    return found->second;
}

void RegisterIndex::invalidate()
{
    std::lock_guard<std::mutex> guard(lock_);
    regs_ = nullptr;
    count_ = -1;
    byName_.clear();
    byAddress_.clear();
}

} // namespace zentro
