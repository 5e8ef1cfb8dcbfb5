// The register cache: one entry per sensor register, built, looked up, stored and invalidated.
#include "registers/cache.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "camera/context.h"
#include "core/log.h"
#include "registers/access.h"
#include "registers/lookup.h"
#include "zentro_osal.h"
#include "zentro_reg.h"

namespace {

constexpr char kCacheLogSource[] = "zentro_cache";
constexpr char kCacheNamePrefix[] = "regcache_";
// Characters of the block name after its prefix.
constexpr size_t kCacheNameTail = 247;
// Sub-array spaces an array imager's space mask can name.
constexpr uint32_t kSubArrayBits = 16;
// The space id of an array imager that addresses every sub-array at once.
constexpr uint32_t kAllSubArrays = 0xFFFF;

using RegisterCache = ze_common_context::RegisterCache;

RegisterCache *cacheOf(const ze_camera_t *camera)
{
    if (!camera || !camera->context)
        return nullptr;
    return &camera->context->regCache;
}

// The entry at @index, or nullptr when the cache has none there.
ze_reg_cache_entry *entryAt(const ze_camera_t *camera, int32_t index)
{
    RegisterCache *cache = cacheOf(camera);
    if (!cache || !cache->entries || index < 0 || index >= cache->count)
        return nullptr;
    return &cache->entries[index];
}

bool usesCacheOnly(ze_camera_t *camera)
{
    return zentro::threadSettings(camera).useRegCache == 2;
}

bool isHit(ze_camera_t *camera, const ze_reg_cache_entry &entry)
{
    return (entry.flags & (zentro::kCacheStale | zentro::kCacheVolatile)) == 0 ||
           usesCacheOnly(camera);
}

// Blanks, separators and dots would make the block name a path.
std::string sanitisedNamePart(std::string text)
{
    for (char &c : text) {
        if (c == ' ' || c == '\\' || c == '.' || c == '/')
            c = '_';
    }
    return text;
}

std::string baseName(const char *path)
{
    const char *base = path;
    for (const char *c = path; *c; ++c) {
        if (*c == '/' || *c == '\\')
            base = c + 1;
    }
    return base;
}

void releaseEntries(RegisterCache &cache)
{
    if (cache.handle)
        osal_free_global(cache.handle, cache.entries);
    else
        free(cache.entries);
    cache.entries = nullptr;
    cache.handle = nullptr;
    cache.count = 0;
}

void allocateEntries(ze_camera_t *camera, RegisterCache &cache, int32_t count)
{
    const size_t size = sizeof(ze_reg_cache_entry) * static_cast<size_t>(count);
    const std::string name = zentro::registerCacheName(camera);
    void *handle = nullptr;
    void *block = name.empty() ? nullptr : osal_alloc_global(name.c_str(), size, &handle);
    if (!block) {
        handle = nullptr;
        block = calloc(static_cast<size_t>(count), sizeof(ze_reg_cache_entry));
    }
    if (!block) {
        ZE_ERRORLOGF(CAMERA_ERROR, "Couldn't allocate the register cache of %d registers", count);
        return;
    }
    cache.entries = static_cast<ze_reg_cache_entry *>(block);
    cache.handle = handle;
    cache.count = count;
}

void markAllStale(RegisterCache &cache)
{
    for (int32_t i = 0; cache.entries && i < cache.count; ++i)
        cache.entries[i].flags |= zentro::kCacheStale;
}

void markVolatileRegisters(ze_camera_t *camera, RegisterCache &cache)
{
    const ze_sensor_t *sensor = camera->sensor;
    for (int32_t i = 0; cache.entries && i < cache.count && i < sensor->regCount; ++i) {
        if (sensor->regs[i].isVolatile)
            cache.entries[i].flags |= zentro::kCacheVolatile;
    }
}

// Stores into each sub-array space of an array imager's space mask.
void broadcastToSubArrays(ze_camera_t *camera, const ze_reg_t &reg, int32_t index, uint32_t value)
{
    const uint32_t mask = reg.addrSpaceId;
    for (uint32_t bit = 0; bit < kSubArrayBits; ++bit) {
        const uint32_t id = 1u << bit;
        if ((mask & id) == 0)
            continue;
        int32_t target = zentro::findSensorRegisterAt(camera, reg.addr, [id](const ze_reg_t &r) {
            return r.addrSpace && r.addrSpace->type == ZE_SPACE_REG &&
                   static_cast<uint32_t>(r.addrSpace->id) == id;
        });
        zentro::setCacheValueIndex(camera, target, value);
    }
    if (mask == kAllSubArrays)
        zentro::setCacheValueIndex(camera, index, value);
}

// Index of the register ze_FindRegisterAddr finds, or -1.
int32_t indexAtAddress(ze_camera_t *camera, uint32_t spaceType, uint32_t spaceValue, uint32_t addr)
{
    if (!cacheOf(camera) || !camera->sensor)
        return -1;
    return zentro::cacheIndexOf(camera, ze_FindRegisterAddr(camera, addr, spaceValue, spaceType));
}

// The select register at @selectAddr, looked up in the space of the table's first entry.
int32_t selectRegisterIndex(ze_camera_t *camera, uint32_t selectAddr)
{
    const ze_addr_space_list_t *table = camera->sensor->addrSpaces;
    const bool hasFirstSpace = table->count > 0 && table->spaces;
    const uint32_t type = hasFirstSpace ? table->spaces[0].type : ZE_SPACE_REG;
    const uint32_t id = hasFirstSpace ? static_cast<uint32_t>(table->spaces[0].id) : 0;
    return indexAtAddress(camera, type, id, selectAddr);
}

// The select address the sensor's table names through @field, 0 when there is none.
uint32_t selectAddress(const ze_camera_t *camera, uint32_t ze_addr_space_list_t::*field)
{
    if (!camera || !camera->context || !camera->sensor || !camera->sensor->addrSpaces)
        return 0;
    return camera->sensor->addrSpaces->*field;
}

uint32_t cachedSelect(ze_camera_t *camera, uint32_t ze_addr_space_list_t::*field)
{
    const uint32_t addr = selectAddress(camera, field);
    if (addr == 0)
        return 0;
    uint32_t value = 0;
    if (zentro::getCacheValueIndex(camera, selectRegisterIndex(camera, addr), &value) !=
        zentro::kCacheHit)
        return zentro::kNoCachedSelect;
    return value;
}

void setCachedSelect(ze_camera_t *camera, uint32_t ze_addr_space_list_t::*field, uint32_t value)
{
    const uint32_t addr = selectAddress(camera, field);
    if (addr != 0)
        zentro::setCacheValueIndex(camera, selectRegisterIndex(camera, addr), value);
}

// Sets @flag on the entry of the register named @name; CAMERA_ERROR (silently) without one.
int flagRegisterByName(ze_camera_t *camera, const char *name, uint32_t flag)
{
    if (!cacheOf(camera) || !camera->sensor || !name)
        return CAMERA_ERROR;
    zentro::RegisterLockGuard lock(camera);
    ze_reg_cache_entry *entry = entryAt(camera, zentro::findSensorRegisterIndex(camera, name));
    if (!entry)
        return CAMERA_ERROR;
    entry->flags |= flag;
    return CAMERA_SUCCESS;
}

} // namespace

namespace zentro {

std::string registerCacheName(ze_camera_t *camera)
{
    if (!camera || !camera->context || !camera->sensor)
        return {};
    char device[ZE_TEXT_SIZE] = {};
    if (camera->context->ops.getDeviceName)
        camera->context->ops.getDeviceName(camera, device, sizeof(device));
    device[sizeof(device) - 1] = '\0';
    if (!device[0])
        return {};
    std::string tail =
        sanitisedNamePart(device) + "_" + sanitisedNamePart(baseName(camera->sensor->fileName));
    return kCacheNamePrefix + tail.substr(0, kCacheNameTail);
}

void buildRegisterCache(ze_camera_t *camera)
{
    RegisterCache *cache = cacheOf(camera);
    if (!cache)
        return;
    RegisterLockGuard lock(camera);
    cache->followsSensor = true;
    releaseEntries(*cache);
    if (!camera->sensor || camera->sensor->regCount <= 0 || !camera->sensor->regs)
        return;
    allocateEntries(camera, *cache, camera->sensor->regCount);
    ze_InvalidateRegCache(camera);
    markVolatileRegisters(camera, *cache);
}

void freeRegisterCache(ze_camera_t *camera)
{
    RegisterCache *cache = cacheOf(camera);
    if (!cache)
        return;
    RegisterLockGuard lock(camera);
    releaseEntries(*cache);
}

void rebuildRegisterCache(ze_camera_t *camera)
{
    RegisterCache *cache = cacheOf(camera);
    if (cache && cache->followsSensor)
        buildRegisterCache(camera);
}

void loadCacheDefaults(ze_camera_t *camera)
{
    RegisterCache *cache = cacheOf(camera);
    if (!cache || !camera->sensor)
        return;
    RegisterLockGuard lock(camera);
    if (!cache->entries || cache->count != camera->sensor->regCount)
        buildRegisterCache(camera);
    for (int32_t i = 0; i < cache->count; ++i)
        setCacheValueReg(camera, &camera->sensor->regs[i], camera->sensor->regs[i].defaultValue);
}

int32_t cacheIndexOf(const ze_camera_t *camera, const ze_reg_t *reg)
{
    const RegisterCache *cache = cacheOf(camera);
    if (!cache || !cache->entries || !reg || !camera->sensor || !camera->sensor->regs)
        return -1;
    // Compared as integers: a temporary register lies outside the array.
    const auto first = reinterpret_cast<uintptr_t>(camera->sensor->regs);
    const auto address = reinterpret_cast<uintptr_t>(reg);
    if (address < first)
        return -1;
    const uintptr_t offset = address - first;
    if (offset % sizeof(ze_reg_t) != 0)
        return -1;
    const uintptr_t index = offset / sizeof(ze_reg_t);
    if (index >= static_cast<uintptr_t>(cache->count) ||
        index >= static_cast<uintptr_t>(camera->sensor->regCount))
        return -1;
    return static_cast<int32_t>(index);
}

int getCacheValueIndex(ze_camera_t *camera, int32_t index, uint32_t *value)
{
    const ze_reg_cache_entry *entry = entryAt(camera, index);
    if (!entry || !isHit(camera, *entry))
        return kCacheMiss;
    if (value)
        *value = entry->value;
    return kCacheHit;
}

int getCacheValueReg(ze_camera_t *camera, const ze_reg_t *reg, uint32_t *value)
{
    return getCacheValueIndex(camera, cacheIndexOf(camera, reg), value);
}

bool storedCacheValue(ze_camera_t *camera, int32_t index, uint32_t *value)
{
    const ze_reg_cache_entry *entry = entryAt(camera, index);
    if (!entry)
        return false;
    if (value)
        *value = entry->value;
    return true;
}

int getCacheValueAddr(ze_camera_t *camera, uint32_t spaceType, uint32_t spaceValue, uint32_t addr,
                      uint32_t *value)
{
    return getCacheValueIndex(camera, indexAtAddress(camera, spaceType, spaceValue, addr), value);
}

void setCacheValueIndex(ze_camera_t *camera, int32_t index, uint32_t value)
{
    ze_reg_cache_entry *entry = entryAt(camera, index);
    if (!entry)
        return;
    entry->value = value;
    entry->flags &= ~kCacheStale;
}

void setCacheValueAddr(ze_camera_t *camera, uint32_t spaceType, uint32_t spaceValue, uint32_t addr,
                       uint32_t value)
{
    setCacheValueIndex(camera, indexAtAddress(camera, spaceType, spaceValue, addr), value);
}

void setCacheValueReg(ze_camera_t *camera, const ze_reg_t *reg, uint32_t value)
{
    const int32_t index = cacheIndexOf(camera, reg);
    if (index < 0)
        return;
    if (reg->addrSpaceId != 0 && isArrayImager(camera->sensor))
        broadcastToSubArrays(camera, *reg, index, value);
    else
        setCacheValueIndex(camera, index, value);
}

void invalidateCacheRange(ze_camera_t *camera, uint32_t spaceType, uint32_t spaceId, uint32_t from,
                          uint32_t to)
{
    RegisterCache *cache = cacheOf(camera);
    if (!cache || !cache->entries || !camera->sensor)
        return;
    const ze_sensor_t *sensor = camera->sensor;
    const bool spaceMatters = sensor->addrSpaces != nullptr;
    for (int32_t i = 0; i < cache->count && i < sensor->regCount; ++i) {
        const ze_reg_t &reg = sensor->regs[i];
        if (reg.addr < from || reg.addr >= to)
            continue;
        if (spaceMatters && (!reg.addrSpace || spaceTypeOf(&reg) != spaceType ||
                             static_cast<uint32_t>(reg.addrSpace->id) != spaceId))
            continue;
        cache->entries[i].flags |= kCacheStale;
    }
}

uint32_t cachedReadSelect(ze_camera_t *camera)
{
    return cachedSelect(camera, &ze_addr_space_list_t::readSelectAddr);
}

uint32_t cachedWriteSelect(ze_camera_t *camera)
{
    return cachedSelect(camera, &ze_addr_space_list_t::writeSelectAddr);
}

void setCachedReadSelect(ze_camera_t *camera, uint32_t value)
{
    setCachedSelect(camera, &ze_addr_space_list_t::readSelectAddr, value);
}

void setCachedWriteSelect(ze_camera_t *camera, uint32_t value)
{
    setCachedSelect(camera, &ze_addr_space_list_t::writeSelectAddr, value);
}

} // namespace zentro

extern "C" {

ZE_API int ze_InvalidateRegCache(ze_camera_t *camera)
{
    RegisterCache *cache = cacheOf(camera);
    if (!cache)
        return CAMERA_ERROR;
    zentro::RegisterLockGuard lock(camera);
    camera->context->directAccess.invalidate();
    markAllStale(*cache);
    ze_Msglog(ZE_LOG_GENERAL, "Invalidate sensor register cache", kCacheLogSource, __func__,
              __LINE__);
    // The MCU addressing registers were forgotten with everything else; what they hold
    // decides how RAM aliases resolve, so they are learnt again at once.
    if (cache->entries)
        zentro::refreshDirectAccessState(camera);
    return CAMERA_SUCCESS;
}

ZE_API int ze_GetRegCacheValueReg(ze_camera_t *camera, const ze_reg_t *reg, uint32_t *value)
{
    if (!cacheOf(camera))
        return zentro::kCacheMiss;
    zentro::RegisterLockGuard lock(camera);
    return zentro::getCacheValueReg(camera, reg, value);
}

ZE_API int ze_InvalidateRegCacheReg(ze_camera_t *camera, const ze_reg_t *reg)
{
    if (!cacheOf(camera))
        return CAMERA_ERROR;
    zentro::RegisterLockGuard lock(camera);
    ze_reg_cache_entry *entry = entryAt(camera, zentro::cacheIndexOf(camera, reg));
    if (!entry)
        return CAMERA_ERROR;
    entry->flags |= zentro::kCacheStale;
    return CAMERA_SUCCESS;
}

ZE_API int ze_InvalidateRegCacheRegName(ze_camera_t *camera, const char *name)
{
    return flagRegisterByName(camera, name, zentro::kCacheStale);
}

ZE_API int ze_SetVolatileRegStr(ze_camera_t *camera, const char *name)
{
    return flagRegisterByName(camera, name, zentro::kCacheVolatile);
}

} // extern "C"
