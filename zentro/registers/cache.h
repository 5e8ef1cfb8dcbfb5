// Internal operations of the register cache, used by register access and the transports.
#ifndef ZENTRO_REGISTERS_CACHE_H
#define ZENTRO_REGISTERS_CACHE_H

#include <cstdint>
#include <string>

// The public cache functions.
#include "camera/context.h"
#include "zentro_cache.h"
#include "zentro_camera.h"
#include "zentro_sensor.h"

// One cache entry, at the index of its register in the sensor's register array. Two
// 32-bit words, so that a block in named memory has the same layout in every process.
struct ze_reg_cache_entry {
    uint32_t value;
    uint32_t flags;
};

namespace zentro {

// Holds @camera's register lock for the lifetime of the object; a camera whose context
// has no lock yet (one a transport has not finished) is used without one.
class RegisterLockGuard
{
public:
    explicit RegisterLockGuard(ze_camera_t *camera)
        : lock_(camera && camera->context ? camera->context->regLock.get() : nullptr)
    {
        if (lock_)
            lock_->lock();
    }
    ~RegisterLockGuard()
    {
        if (lock_)
            lock_->unlock();
    }
    RegisterLockGuard(const RegisterLockGuard &) = delete;
    RegisterLockGuard &operator=(const RegisterLockGuard &) = delete;

private:
    CriticalSection *lock_;
};

// Entry flags; all other bits stay 0.
inline constexpr uint32_t kCacheVolatile = 0x1u;
inline constexpr uint32_t kCacheStale = 0x80000000u;
// A select value that no cached entry answers.
inline constexpr uint32_t kNoCachedSelect = 0xFFFFFFFFu;
// Results of the hit tests.
inline constexpr int kCacheHit = 0;
inline constexpr int kCacheMiss = 1;

// Name of @camera's cache block in named memory: "regcache_<device>_<sensor file base
// name>" with blanks, "\\", "." and "/" of both parts made "_", at most 247 characters
// after the prefix; empty when the transport names no device (ordinary memory then).
std::string registerCacheName(ze_camera_t *camera);

// (Re)creates @camera's cache for its current sensor: all entries stale, volatile
// registers flagged. A sensor without registers gets no cache. From then on the cache
// follows every change of the register array (registersChanged).
void buildRegisterCache(ze_camera_t *camera);
// Releases @camera's entries: no cache until the register array changes again (a camera
// that had a cache gets one for the next sensor it loads).
void freeRegisterCache(ze_camera_t *camera);
// Rebuilds the cache when @camera has one (called whenever the register array changes).
void rebuildRegisterCache(ze_camera_t *camera);
// Stores every register's default value, register by register in array order (the
// start of a camera without hardware). Builds the cache first when there is none.
void loadCacheDefaults(ze_camera_t *camera);

// Index of @reg's entry, or -1 when @reg is not in the database or there is no cache.
int32_t cacheIndexOf(const ze_camera_t *camera, const ze_reg_t *reg);

// Hit tests: kCacheHit with *@value set, else kCacheMiss (value untouched).
int getCacheValueIndex(ze_camera_t *camera, int32_t index, uint32_t *value);
int getCacheValueReg(ze_camera_t *camera, const ze_reg_t *reg, uint32_t *value);
// The value stored at @index whatever its flags (a camera without hardware has no other
// source): true with *@value set, false when there is no such entry.
bool storedCacheValue(ze_camera_t *camera, int32_t index, uint32_t *value);
// For the register that ze_FindRegisterAddr finds for (@spaceType, @spaceValue, @addr).
int getCacheValueAddr(ze_camera_t *camera, uint32_t spaceType, uint32_t spaceValue, uint32_t addr,
                      uint32_t *value);

// Store a value and clear the stale flag (the volatile flag stays).
void setCacheValueIndex(ze_camera_t *camera, int32_t index, uint32_t value);
void setCacheValueAddr(ze_camera_t *camera, uint32_t spaceType, uint32_t spaceValue, uint32_t addr,
                       uint32_t value);
// For an array imager a register in a masked space stores into each sub-array space of
// the mask instead.
void setCacheValueReg(ze_camera_t *camera, const ze_reg_t *reg, uint32_t value);

// Marks stale every register with @from <= address < @to in a space of @spaceType with
// id @spaceId; without an address-space table every register in the range.
void invalidateCacheRange(ze_camera_t *camera, uint32_t spaceType, uint32_t spaceId, uint32_t from,
                          uint32_t to);

// The currently selected read and write address spaces as cached: 0 when the sensor
// has no address-space table or no select register, kNoCachedSelect when the select
// register's entry is not a hit.
uint32_t cachedReadSelect(ze_camera_t *camera);
uint32_t cachedWriteSelect(ze_camera_t *camera);
void setCachedReadSelect(ze_camera_t *camera, uint32_t value);
void setCachedWriteSelect(ze_camera_t *camera, uint32_t value);

} // namespace zentro

#endif // ZENTRO_REGISTERS_CACHE_H
