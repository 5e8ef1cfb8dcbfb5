// Tests of the register cache: build, hits, invalidation, volatile registers, broadcast, selects.
#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "camera/context.h"
#include "registers/cache.h"
#include "registers/reg_test_database.h"
#include "support/test_support.h"
#include "zentro.h"

namespace zentro::test {
namespace {

constexpr uint32_t kArrayImagerType = 105;

ze_reg_t *reg(ze_camera_t *camera, int index)
{
    return &camera->sensor->regs[index];
}

void setCacheMode(ze_camera_t *camera, uint32_t mode)
{
    threadSettings(camera).useRegCache = mode;
}

// Three plain registers; the second is volatile.
void installPlainSensor(ze_camera_t *camera)
{
    installSensor(camera, {{"CHIP_VERSION", 0x3000}, {"FRAME_COUNT", 0x3002}, {"GAIN", 0x3004}});
    camera->sensor->regs[1].isVolatile = 1;
}

bool isStale(ze_camera_t *camera, int index)
{
    return (camera->context->regCache.entries[index].flags & kCacheStale) != 0;
}

TEST(RegisterCache, BuildGivesOneStaleEntryPerRegisterAndFlagsVolatileOnes)
{
    TestCamera camera;
    installPlainSensor(camera);
    buildRegisterCache(camera);
    const auto &cache = camera->context->regCache;
    ASSERT_EQ(cache.count, 3);
    ASSERT_NE(cache.entries, nullptr);
    EXPECT_EQ(cache.entries[0].flags, kCacheStale);
    EXPECT_EQ(cache.entries[1].flags, kCacheStale | kCacheVolatile);
    EXPECT_EQ(cache.entries[2].flags, kCacheStale);
    uint32_t value = 7;
    EXPECT_EQ(ze_GetRegCacheValueReg(camera, reg(camera, 0), &value), 1);
    EXPECT_EQ(value, 7u);
}

TEST(RegisterCache, StoredValueIsAHitUntilInvalidated)
{
    TestCamera camera;
    installPlainSensor(camera);
    buildRegisterCache(camera);
    setCacheValueReg(camera, reg(camera, 2), 0x1234);
    uint32_t value = 0;
    ASSERT_EQ(ze_GetRegCacheValueReg(camera, reg(camera, 2), &value), 0);
    EXPECT_EQ(value, 0x1234u);

    EXPECT_EQ(ze_InvalidateRegCacheReg(camera, reg(camera, 2)), CAMERA_SUCCESS);
    EXPECT_EQ(ze_GetRegCacheValueReg(camera, reg(camera, 2), &value), 1);
    setCacheValueIndex(camera, 2, 0x55);
    EXPECT_EQ(ze_GetRegCacheValueReg(camera, reg(camera, 2), &value), 0);
    EXPECT_EQ(value, 0x55u);
}

TEST(RegisterCache, VolatileEntryIsServedOnlyInCacheOnlyMode)
{
    TestCamera camera;
    installPlainSensor(camera);
    buildRegisterCache(camera);
    setCacheValueReg(camera, reg(camera, 1), 99);
    EXPECT_EQ(camera->context->regCache.entries[1].flags, kCacheVolatile); // volatile stays

    uint32_t value = 0;
    setCacheMode(camera, 1);
    EXPECT_EQ(ze_GetRegCacheValueReg(camera, reg(camera, 1), &value), 1);
    setCacheMode(camera, 2);
    EXPECT_EQ(ze_GetRegCacheValueReg(camera, reg(camera, 1), &value), 0);
    EXPECT_EQ(value, 99u);
    // Mode 2 trusts stale entries too.
    EXPECT_EQ(ze_GetRegCacheValueReg(camera, reg(camera, 0), &value), 0);
}

TEST(RegisterCache, RegisterOutsideTheDatabaseIsNeverAHit)
{
    TestCamera camera;
    installPlainSensor(camera);
    buildRegisterCache(camera);
    setCacheMode(camera, 2);
    ze_reg_t temporary = *reg(camera, 0);
    uint32_t value = 3;
    EXPECT_EQ(ze_GetRegCacheValueReg(camera, &temporary, &value), 1);
    EXPECT_EQ(ze_GetRegCacheValueReg(camera, nullptr, &value), 1);
    EXPECT_EQ(ze_GetRegCacheValueReg(nullptr, reg(camera, 0), &value), 1);
    EXPECT_EQ(ze_InvalidateRegCacheReg(camera, &temporary), CAMERA_ERROR);
    EXPECT_EQ(value, 3u);
}

TEST(RegisterCache, SensorWithoutRegistersHasNoCache)
{
    TestCamera camera;
    installSensor(camera, {});
    buildRegisterCache(camera);
    EXPECT_EQ(camera->context->regCache.entries, nullptr);
    EXPECT_EQ(camera->context->regCache.count, 0);
    setCacheMode(camera, 2);
    uint32_t value = 0;
    setCacheValueAddr(camera, ZE_SPACE_REG, 0, 0x3000, 5);
    EXPECT_EQ(getCacheValueAddr(camera, ZE_SPACE_REG, 0, 0x3000, &value), kCacheMiss);
    EXPECT_EQ(getCacheValueIndex(camera, 0, &value), kCacheMiss);
    EXPECT_EQ(cachedReadSelect(camera), 0u);
    loadCacheDefaults(camera);
    EXPECT_EQ(camera->context->regCache.entries, nullptr);
}

TEST(RegisterCache, InvalidateAllMarksEveryEntryStaleAndLogsOnce)
{
    TestCamera camera;
    installPlainSensor(camera);
    buildRegisterCache(camera);
    for (int i = 0; i < 3; ++i)
        setCacheValueIndex(camera, i, 1);
    FileLog log;
    EXPECT_EQ(ze_InvalidateRegCache(camera), CAMERA_SUCCESS);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(isStale(camera, i)) << i;
    EXPECT_EQ(camera->context->regCache.entries[1].flags, kCacheStale | kCacheVolatile);
    const std::string body = log.body();
    const std::string expected = " LOG: Invalidate sensor register cache\n";
    ASSERT_GT(body.size(), expected.size());
    EXPECT_EQ(body.substr(body.size() - expected.size()), expected) << body;
    EXPECT_EQ(std::count(body.begin(), body.end(), '\n'), 1) << body;
    EXPECT_EQ(ze_InvalidateRegCache(nullptr), CAMERA_ERROR);
}

TEST(RegisterCache, InvalidateByNameTouchesOnlyThatRegisterAndUnknownNamesNothing)
{
    TestCamera camera;
    installPlainSensor(camera);
    buildRegisterCache(camera);
    for (int i = 0; i < 3; ++i)
        setCacheValueIndex(camera, i, 10 + i);
    FileLog log;
    EXPECT_EQ(ze_InvalidateRegCacheRegName(camera, "NO_SUCH_REGISTER"), CAMERA_ERROR);
    EXPECT_EQ(ze_InvalidateRegCacheRegName(camera, nullptr), CAMERA_ERROR);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(isStale(camera, i)) << i;
    EXPECT_EQ(log.body(), "");

    EXPECT_EQ(ze_InvalidateRegCacheRegName(camera, "gain"), CAMERA_SUCCESS);
    EXPECT_TRUE(isStale(camera, 2));
    EXPECT_FALSE(isStale(camera, 0));
    EXPECT_EQ(camera->context->regCache.entries[2].value, 12u); // the value is kept
}

TEST(RegisterCache, SetVolatileByNameNeedsTheRegisterAndTheCache)
{
    TestCamera camera;
    installPlainSensor(camera);
    EXPECT_EQ(ze_SetVolatileRegStr(camera, "GAIN"), CAMERA_ERROR); // no cache yet
    buildRegisterCache(camera);
    setCacheValueIndex(camera, 2, 4);
    FileLog log;
    EXPECT_EQ(ze_SetVolatileRegStr(camera, "MISSING"), CAMERA_ERROR);
    EXPECT_EQ(ze_SetVolatileRegStr(camera, "GAIN"), CAMERA_SUCCESS);
    EXPECT_EQ(log.body(), "");
    EXPECT_EQ(camera->context->regCache.entries[2].flags, kCacheVolatile);
    uint32_t value = 0;
    setCacheMode(camera, 1);
    EXPECT_EQ(ze_GetRegCacheValueReg(camera, reg(camera, 2), &value), 1);
}

TEST(RegisterCache, AddressLookupFollowsTheSpaceRulesOfTheDatabase)
{
    TestCamera camera;
    installSensor(
        camera,
        {{"SELECT", 0x10, {}, "", 0}, {"A_IN_1", 0x20, {}, "", 0}, {"A_IN_2", 0x20, {}, "", 1}},
        {{"page1", ZE_SPACE_REG, 1}, {"page2", ZE_SPACE_REG, 2}}, 0, 0x10);
    buildRegisterCache(camera);
    setCacheValueAddr(camera, ZE_SPACE_REG, 2, 0x20, 0xBEEF);
    uint32_t value = 0;
    EXPECT_EQ(getCacheValueAddr(camera, ZE_SPACE_REG, 1, 0x20, &value), kCacheMiss);
    ASSERT_EQ(getCacheValueAddr(camera, ZE_SPACE_REG, 2, 0x20, &value), kCacheHit);
    EXPECT_EQ(value, 0xBEEFu);
    EXPECT_EQ(camera->context->regCache.entries[2].value, 0xBEEFu);
    EXPECT_EQ(getCacheValueAddr(camera, ZE_SPACE_REG, 2, 0x22, &value), kCacheMiss);
}

// Sub-arrays 1, 2 and 4, the pair 1+2 and "all" (0xFFFF), each with a register at 0x100.
void installArrayImager(ze_camera_t *camera)
{
    installSensor(camera,
                  {{"R_1", 0x100, {}, "", 0},
                   {"R_2", 0x100, {}, "", 1},
                   {"R_4", 0x100, {}, "", 2},
                   {"R_3", 0x100, {}, "", 3},
                   {"R_ALL", 0x100, {}, "", 4},
                   {"OTHER_1", 0x102, {}, "", 0}},
                  {{"a1", ZE_SPACE_REG, 1},
                   {"a2", ZE_SPACE_REG, 2},
                   {"a4", ZE_SPACE_REG, 4},
                   {"a12", ZE_SPACE_REG, 3},
                   {"all", ZE_SPACE_REG, 0xFFFF}},
                  kArrayImagerType, 0x3026);
}

TEST(RegisterCache, ArrayImagerWriteToAMaskedSpaceUpdatesEachSubArray)
{
    TestCamera camera;
    installArrayImager(camera);
    buildRegisterCache(camera);
    setCacheValueReg(camera, reg(camera, 3), 0xA5); // space id 0x0003
    EXPECT_FALSE(isStale(camera, 0));
    EXPECT_FALSE(isStale(camera, 1));
    EXPECT_EQ(camera->context->regCache.entries[0].value, 0xA5u);
    EXPECT_EQ(camera->context->regCache.entries[1].value, 0xA5u);
    EXPECT_TRUE(isStale(camera, 2)); // sub-array 4 is not in the mask
    EXPECT_TRUE(isStale(camera, 3)); // the mask space itself is no sub-array
    EXPECT_TRUE(isStale(camera, 5)); // another address

    setCacheValueReg(camera, reg(camera, 4), 0x77); // 0xFFFF: every sub-array and itself
    for (int i = 0; i <= 4; ++i) {
        if (i == 3)
            continue;
        EXPECT_EQ(camera->context->regCache.entries[i].value, 0x77u) << i;
        EXPECT_FALSE(isStale(camera, i)) << i;
    }
}

TEST(RegisterCache, BroadcastIsOnlyForArrayImagers)
{
    TestCamera camera;
    installArrayImager(camera);
    camera->sensor->sensorType = 0;
    buildRegisterCache(camera);
    setCacheValueReg(camera, reg(camera, 3), 0xA5);
    EXPECT_FALSE(isStale(camera, 3));
    EXPECT_TRUE(isStale(camera, 0));
    EXPECT_TRUE(isStale(camera, 1));
}

TEST(RegisterCache, DefaultsLoadInRecordOrderSoLaterBroadcastsWin)
{
    TestCamera camera;
    installArrayImager(camera);
    for (int i = 0; i < 6; ++i)
        camera->sensor->regs[i].defaultValue = 0x10 + i;
    loadCacheDefaults(camera); // builds the cache as well
    const ze_reg_cache_entry *entries = camera->context->regCache.entries;
    ASSERT_NE(entries, nullptr);
    // R_ALL (index 4, default 0x14) comes last among the 0x100 registers.
    EXPECT_EQ(entries[0].value, 0x14u);
    EXPECT_EQ(entries[1].value, 0x14u);
    EXPECT_EQ(entries[2].value, 0x14u);
    EXPECT_EQ(entries[4].value, 0x14u);
    EXPECT_EQ(entries[5].value, 0x15u);
    EXPECT_TRUE(isStale(camera, 3));
}

TEST(RegisterCache, RangeInvalidationMatchesSpaceTypeIdAndHalfOpenRange)
{
    TestCamera camera;
    installSensor(
        camera,
        {{"M0", 0x10, {}, "", 0},
         {"M1", 0x11, {}, "", 0},
         {"M2", 0x12, {}, "", 0},
         {"OTHER_ID", 0x10, {}, "", 1},
         {"OTHER_TYPE", 0x10, {}, "", 2},
         {"NO_SPACE", 0x10}},
        {{"mcu1", ZE_SPACE_MCU, 1}, {"mcu2", ZE_SPACE_MCU, 2}, {"sfr1", ZE_SPACE_SFR, 1}});
    buildRegisterCache(camera);
    for (int i = 0; i < 6; ++i)
        setCacheValueIndex(camera, i, 1);
    invalidateCacheRange(camera, ZE_SPACE_MCU, 1, 0x10, 0x12);
    const bool expected[] = {true, true, false, false, false, false};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(isStale(camera, i), expected[i]) << i;
}

TEST(RegisterCache, RangeInvalidationWithoutSpaceTableUsesAddressesOnly)
{
    TestCamera camera;
    installSensor(camera, {{"A", 0x08}, {"B", 0x10}, {"C", 0x18}, {"D", 0x20}});
    buildRegisterCache(camera);
    for (int i = 0; i < 4; ++i)
        setCacheValueIndex(camera, i, 1);
    invalidateCacheRange(camera, ZE_SPACE_MCU, 7, 0x10, 0x20);
    const bool expected[] = {false, true, true, false};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(isStale(camera, i), expected[i]) << i;
}

TEST(RegisterCache, CachedSelectValuesLiveInTheSelectRegisters)
{
    TestCamera camera;
    installSensor(camera, {{"READ_SELECT", 0x10, {}, "", 0}, {"WRITE_SELECT", 0x12, {}, "", 0}},
                  {{"page0", ZE_SPACE_REG, 0}, {"page1", ZE_SPACE_REG, 1}}, 0, 0x10);
    camera->sensor->addrSpaces->writeSelectAddr = 0x12;
    buildRegisterCache(camera);
    EXPECT_EQ(cachedReadSelect(camera), kNoCachedSelect);
    EXPECT_EQ(cachedWriteSelect(camera), kNoCachedSelect);
    setCachedReadSelect(camera, 1);
    EXPECT_EQ(cachedReadSelect(camera), 1u);
    EXPECT_EQ(cachedWriteSelect(camera), kNoCachedSelect);
    EXPECT_EQ(camera->context->regCache.entries[0].value, 1u);
    setCachedWriteSelect(camera, 0);
    EXPECT_EQ(cachedWriteSelect(camera), 0u);
    ze_InvalidateRegCache(camera);
    EXPECT_EQ(cachedReadSelect(camera), kNoCachedSelect);
}

TEST(RegisterCache, CachedSelectIsZeroWithoutTableOrSelectAddress)
{
    TestCamera camera;
    installPlainSensor(camera);
    buildRegisterCache(camera);
    EXPECT_EQ(cachedReadSelect(camera), 0u);
    setCachedReadSelect(camera, 5); // nowhere to keep it
    EXPECT_EQ(cachedReadSelect(camera), 0u);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(isStale(camera, i)) << i;
}

TEST(RegisterCache, FollowsTheRegisterArrayOnceBuilt)
{
    TestCamera camera;
    installPlainSensor(camera);
    EXPECT_EQ(camera->context->regCache.entries, nullptr); // nobody asked for one
    buildRegisterCache(camera);
    installSensor(camera, {{"ONLY", 0x0}});
    ASSERT_NE(camera->context->regCache.entries, nullptr);
    EXPECT_EQ(camera->context->regCache.count, 1);
    EXPECT_TRUE(isStale(camera, 0));
    freeRegisterCache(camera);
    EXPECT_EQ(camera->context->regCache.entries, nullptr);
    EXPECT_EQ(camera->context->regCache.count, 0);
}

int deviceName(ze_camera_t *, char *name, uint32_t size)
{
    snprintf(name, size, "%s", "video dev.0/a");
    return 0;
}

TEST(RegisterCache, NamedBlockCombinesDeviceAndSensorFileNames)
{
    TestCamera camera;
    installPlainSensor(camera);
    copyText(camera->sensor->fileName, "/data/sub dir\\my sensor.v2.sdat");
    EXPECT_EQ(registerCacheName(camera), ""); // the transport names no device
    buildRegisterCache(camera);
    EXPECT_EQ(camera->context->regCache.handle, nullptr);

    camera->context->ops.getDeviceName = deviceName;
    EXPECT_EQ(registerCacheName(camera), "regcache_video_dev_0_a_my_sensor_v2_sdat");
    buildRegisterCache(camera);
    EXPECT_NE(camera->context->regCache.handle, nullptr);
    EXPECT_EQ(camera->context->regCache.count, 3);

    std::string longName(300, 'x');
    copyText(camera->sensor->fileName, longName.c_str());
    const std::string name = registerCacheName(camera);
    EXPECT_EQ(name.size(), strlen("regcache_") + 247);
    EXPECT_EQ(name.compare(0, 23, "regcache_video_dev_0_a_"), 0);
}

} // namespace
} // namespace zentro::test
