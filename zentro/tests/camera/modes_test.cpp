// Tests of the mode table: where each mode lives, the special and transport-only modes, the
// setMode/getMode slots and the mode names.
#include <gtest/gtest.h>

#include <future>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "camera/context.h"
#include "registers/cache.h"
#include "support/test_support.h"
#include "zentro.h"

using zentro::test::LogCapture;
using zentro::test::TestCamera;

namespace {

constexpr uint32_t kUntouched = 0xDEADBEEF;
const char *const kUnrecognizedSet = "unrecognized mode in setMode()";
const char *const kUnrecognizedGet = "unrecognized mode in getMode()";

// Modes with storage, by where the table puts them.
const std::vector<uint32_t> kThreadModes = {1, 2, 3, 82, 89};
const std::vector<uint32_t> kCameraModes = {0, 4, 16, 21, 54, 65, 92, 103, 109, 114, 116};
const std::vector<uint32_t> kSharedModes = {5,  17, 33, 34, 35,  36,  37,  38,  39,  40,
                                            41, 42, 43, 49, 53,  55,  56,  61,  62,  67,
                                            70, 75, 83, 95, 105, 107, 108, 117, 118, 119};
const std::vector<uint32_t> kSharedOnlyModes = {22, 23, 24, 29};
// Modes only a transport implements: 16 from both, without a log line.
const std::vector<uint32_t> kSilentTransportModes = {
    20, 25, 30, 32, 44, 46, 47, 48, 50, 51, 52, 57, 63, 64,  66,  68,  69,  71,
    72, 73, 74, 76, 77, 84, 91, 93, 94, 96, 97, 98, 99, 100, 101, 102, 111, 113};
// The trigger group: the setter refuses through the logged path, the getter silently.
const std::vector<uint32_t> kTriggerModes = {58, 59, 60, 78, 79, 80, 81, 85, 86, 87, 88, 106};
// No behaviour at all: both log.
const std::vector<uint32_t> kUnknownModes = {8,  9,   10,  15,  26,   27,
                                             45, 112, 115, 120, 4096, 0xFFFFFFFF};

uint32_t getOrFail(ze_camera_t *camera, uint32_t mode)
{
    uint32_t value = kUntouched;
    EXPECT_EQ(_GetMode(camera, mode, &value), 0) << "mode " << mode;
    return value;
}

size_t countMessages(const LogCapture &log, const std::string &text)
{
    size_t n = 0;
    for (const std::string &message : log.messages())
        n += message == text;
    return n;
}

// A camera whose context is finished (locks and shared context), as an opened camera's.
class FinishedCamera : public TestCamera
{
public:
    FinishedCamera() { zentro::initGlobalContext(get()); }
};

} // namespace

TEST(ModeDefaults, FreshContextHoldsTheTabledDefaults)
{
    FinishedCamera camera;
    const struct {
        uint32_t mode;
        uint32_t value;
    } defaults[] = {
        {ZE_ERROR_CHECK_MODE, 1},
        {ZE_REG_ADDR_SIZE, 8},
        {ZE_REG_DATA_SIZE, 16},
        {ZE_REG_DATA_LE, 0},
        {ZE_USE_REG_CACHE, 0},
        {ZE_SENDCOMMAND_TIMEOUT, 5},
        {ZE_SW_UNSWIZZLE_MODE, 1},
        {ZE_UNSWIZZLE_MODE, 3},
        {ZE_ALLOW_FAR_ACCESS, 1},
        {ZE_PIXCLK_POLARITY, 1},
        {ZE_DIRECT_VAR_ACCESS, 1},
        {ZE_BITS_PER_CLOCK, 8},
        {ZE_CLOCKS_PER_PIXEL, 1},
        {ZE_RX_TYPE, 0xFFFFFFFF},
        {ZE_RX_LANES, 1},
        {ZE_RX_BIT_DEPTH, 10},
        {ZE_RX_MODE, 2},
        {ZE_RX_CLASS, 1},
        {ZE_RX_SYNC_CODE, 0xF555},
        {ZE_RX_EMBEDDED_DATA, 1},
        {ZE_NACK_RETRIES, 5},
        {ZE_RX_VIRTUAL_CHANNEL, 0},
        {ZE_XDMA_LOGICAL, 0xFFFFFFFF},
        {ZE_XDMA_ADV_BASE, 0xFFFFFFFF},
    };
    for (const auto &entry : defaults)
        EXPECT_EQ(getOrFail(camera, entry.mode), entry.value) << "mode " << entry.mode;
}

TEST(ModeStorage, EveryStoredModeKeepsItsOwnValue)
{
    FinishedCamera camera;
    std::vector<uint32_t> all;
    for (const auto *group : {&kThreadModes, &kCameraModes, &kSharedModes, &kSharedOnlyModes})
        all.insert(all.end(), group->begin(), group->end());
    // Set all first, then read all: a mode that shares storage with another shows up here.
    for (uint32_t mode : all) {
        const uint32_t value = mode == ZE_ALLOW_FAR_ACCESS ? 0 : 1000 + mode;
        ASSERT_EQ(_SetMode(camera, mode, value), 0) << "mode " << mode;
    }
    for (uint32_t mode : all) {
        const uint32_t expected = mode == ZE_ALLOW_FAR_ACCESS ? 0 : 1000 + mode;
        EXPECT_EQ(getOrFail(camera, mode), expected) << "mode " << mode;
    }
}

TEST(ModeStorage, SharedModesLiveInTheSharedContextAndCameraModesDoNot)
{
    FinishedCamera camera;
    ze_shared_context_t *shared = camera->context->shared;
    ASSERT_NE(shared, nullptr);
    for (uint32_t mode : kSharedModes) {
        ASSERT_EQ(_SetMode(camera, mode, 0x5000 + mode), 0);
        EXPECT_EQ(shared->modes[mode], 0x5000 + mode) << "mode " << mode;
        EXPECT_EQ(camera->context->modes[mode], 0x5000 + mode) << "mode " << mode;
        // Another opener of the device changes the shared value: the getter follows it.
        shared->modes[mode] = 0x6000 + mode;
        EXPECT_EQ(getOrFail(camera, mode), 0x6000 + mode) << "mode " << mode;
    }
    for (uint32_t mode : kCameraModes) {
        shared->modes[mode] = 0;
        ASSERT_EQ(_SetMode(camera, mode, 0x7000 + mode), 0);
        EXPECT_EQ(shared->modes[mode], 0u) << "mode " << mode;
    }
    for (uint32_t mode : kSharedOnlyModes) {
        ASSERT_EQ(_SetMode(camera, mode, 0x8000 + mode), 0);
        EXPECT_EQ(shared->modes[mode], 0x8000 + mode) << "mode " << mode;
    }
}

TEST(ModeStorage, SharedOnlyModesAndSpoofSizeFailWithoutASharedContext)
{
    TestCamera camera; // never finished: no shared context
    LogCapture log;
    for (uint32_t mode : {22u, 23u, 24u, 29u, uint32_t{ZE_SPOOF_SIZE}}) {
        uint32_t value = kUntouched;
        EXPECT_EQ(_SetMode(camera, mode, 7), 1) << "mode " << mode;
        EXPECT_EQ(_GetMode(camera, mode, &value), 1) << "mode " << mode;
        EXPECT_EQ(value, kUntouched);
    }
    EXPECT_TRUE(log.contains("needs the device's shared context"));
}

TEST(ModeStorage, ThreadModesWriteTheCallersRecordAndTheCamerasCopy)
{
    TestCamera camera;
    const struct {
        uint32_t mode;
        uint32_t ze_thread_settings_t::*field;
    } fields[] = {
        {ZE_REG_ADDR_SIZE, &ze_thread_settings_t::regAddrSize},
        {ZE_REG_DATA_SIZE, &ze_thread_settings_t::regDataSize},
        {ZE_USE_REG_CACHE, &ze_thread_settings_t::useRegCache},
        {ZE_SENDCOMMAND_TIMEOUT, &ze_thread_settings_t::sendCommandTimeout},
        {ZE_REG_DATA_LE, &ze_thread_settings_t::regDataLE},
    };
    for (const auto &entry : fields) {
        // Set in another thread: the camera's copy, which new tables start from, follows.
        std::thread([&] { ASSERT_EQ(_SetMode(camera, entry.mode, 32), 0); }).join();
        EXPECT_EQ(camera->context->cameraSettings.*entry.field, 32u) << "mode " << entry.mode;
        ASSERT_EQ(_SetMode(camera, entry.mode, 2), 0);
        EXPECT_EQ(zentro::threadSettings(camera).*entry.field, 2u) << "mode " << entry.mode;
        EXPECT_EQ(camera->context->cameraSettings.*entry.field, 2u) << "mode " << entry.mode;
        // The thread's own record answers, not the per-camera mode array.
        EXPECT_EQ(camera->context->modes[entry.mode], 0u) << "mode " << entry.mode;
    }
}

TEST(ModeStorage, EachThreadKeepsItsOwnRegisterWidthsForAnOpenCamera)
{
    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
    int count = 0;
    ASSERT_EQ(ze_OpenCameras2(cameras, &count, ZENTRO_SAMPLE_SENSOR_DIR "/zx0201.sdat",
                              ZE_TRANSPORT_NUL, ""),
              0);
    ASSERT_EQ(count, 1);
    ze_camera_t *camera = cameras[0];
    auto readAddrSize = [camera] {
        uint32_t value = 0;
        EXPECT_EQ(ze_getMode(camera, ZE_REG_ADDR_SIZE, &value), 0);
        return value;
    };

    std::promise<void> otherHasTable, mainHasSet;
    std::future<uint32_t> otherAfter = std::async(std::launch::async, [&] {
        const uint32_t before = readAddrSize(); // makes this thread's table
        otherHasTable.set_value();
        mainHasSet.get_future().wait();
        EXPECT_EQ(before, 8u);
        return readAddrSize();
    });
    otherHasTable.get_future().wait();
    ASSERT_EQ(ze_setMode(camera, ZE_REG_ADDR_SIZE, 16), 0);
    mainHasSet.set_value();
    EXPECT_EQ(readAddrSize(), 16u);
    EXPECT_EQ(otherAfter.get(), 8u);
    // A thread that starts later begins with the camera's value as last set.
    EXPECT_EQ(std::async(std::launch::async, readAddrSize).get(), 16u);
    ze_CloseCameras2(cameras, count);
}

TEST(ModeRefusals, TransportOnlyModesAnswer16WithoutALogLine)
{
    FinishedCamera camera;
    LogCapture log;
    for (uint32_t mode : kSilentTransportModes) {
        uint32_t value = kUntouched;
        EXPECT_EQ(_SetMode(camera, mode, 1), 16) << "mode " << mode;
        EXPECT_EQ(_GetMode(camera, mode, &value), 16) << "mode " << mode;
        EXPECT_EQ(value, kUntouched) << "mode " << mode;
    }
    EXPECT_TRUE(log.lines().empty());
}

TEST(ModeRefusals, TriggerModesLogOnlyWhenSet)
{
    FinishedCamera camera;
    LogCapture log;
    for (uint32_t mode : kTriggerModes) {
        uint32_t value = kUntouched;
        EXPECT_EQ(_GetMode(camera, mode, &value), 16) << "mode " << mode;
        EXPECT_EQ(value, kUntouched);
    }
    EXPECT_TRUE(log.lines().empty());
    for (uint32_t mode : kTriggerModes)
        EXPECT_EQ(_SetMode(camera, mode, 1), 16) << "mode " << mode;
    EXPECT_EQ(countMessages(log, kUnrecognizedSet), kTriggerModes.size());
    EXPECT_EQ(log.lines().size(), kTriggerModes.size());
    EXPECT_EQ(log.lines().front().code, 16);
}

TEST(ModeRefusals, UnknownModesLogUnder16InBothDirections)
{
    FinishedCamera camera;
    LogCapture log;
    for (uint32_t mode : kUnknownModes) {
        uint32_t value = kUntouched;
        EXPECT_EQ(_SetMode(camera, mode, 1), 16) << "mode " << mode;
        EXPECT_EQ(_GetMode(camera, mode, &value), 16) << "mode " << mode;
        EXPECT_EQ(value, kUntouched) << "mode " << mode;
    }
    EXPECT_EQ(countMessages(log, kUnrecognizedSet), kUnknownModes.size());
    EXPECT_EQ(countMessages(log, kUnrecognizedGet), kUnknownModes.size());
    for (const auto &line : log.lines())
        EXPECT_EQ(line.code, 16);
}

TEST(ModeRefusals, AbsentCameraContextOrValueGives1)
{
    uint32_t value = kUntouched;
    ze_camera_t bare{};
    EXPECT_EQ(_SetMode(nullptr, ZE_RX_TYPE, 1), 1);
    EXPECT_EQ(_GetMode(nullptr, ZE_RX_TYPE, &value), 1);
    EXPECT_EQ(ze_setMode(&bare, ZE_RX_TYPE, 1), 1);
    EXPECT_EQ(ze_getMode(&bare, ZE_RX_TYPE, &value), 1);
    TestCamera camera;
    EXPECT_EQ(_GetMode(camera, ZE_RX_TYPE, nullptr), 1);
    EXPECT_EQ(ze_getMode(camera, ZE_RX_TYPE, nullptr), 1);
    EXPECT_EQ(value, kUntouched);
    EXPECT_EQ(ze_IsKORT(nullptr), 0u);
}

TEST(SpecialModes, UnswizzleDefaultAndSwizzledFlag)
{
    FinishedCamera camera;
    LogCapture log;
    EXPECT_EQ(_SetMode(camera, ZE_SW_UNSWIZZLE_DEFAULT, 1), 16);
    EXPECT_EQ(countMessages(log, kUnrecognizedSet), 1u);
    EXPECT_EQ(getOrFail(camera, ZE_SW_UNSWIZZLE_DEFAULT), 0u);
    EXPECT_EQ(_SetMode(camera, ZE_DATA_IS_SWIZZLED, 1), 0);
    EXPECT_EQ(getOrFail(camera, ZE_DATA_IS_SWIZZLED), 0u);
}

TEST(SpecialModes, ErrorLogTypeReadsAndSetsTheLogsTypes)
{
    FinishedCamera camera;
    {
        LogCapture log; // enables severe, error and all information types
        EXPECT_EQ(getOrFail(camera, ZE_ERROR_LOG_TYPE), 0x3Fu);
        EXPECT_EQ(_SetMode(camera, ZE_ERROR_LOG_TYPE, ZE_LOG_SEVERE), 0);
        EXPECT_EQ(ze_GetErrorLogLevel(), ZE_LOG_SEVERE);
        EXPECT_EQ(_SetMode(camera, ZE_ERROR_LOG_TYPE, ZE_LOG_SEVERE), 0);
    }
    // No log open: asking for the types it already has (none) succeeds, others fail.
    EXPECT_EQ(_SetMode(camera, ZE_ERROR_LOG_TYPE, 0), 0);
    EXPECT_EQ(_SetMode(camera, ZE_ERROR_LOG_TYPE, ZE_LOG_ERROR), 1);
    EXPECT_EQ(getOrFail(camera, ZE_ERROR_LOG_TYPE), 0u);
}

TEST(SpecialModes, SpoofSizePacksWidthLowAndHeightHigh)
{
    FinishedCamera camera;
    ASSERT_EQ(_SetMode(camera, ZE_SPOOF_SIZE, (480u << 16) | 640u), 0);
    EXPECT_EQ(camera->context->shared->spoofWidth, 640u);
    EXPECT_EQ(camera->context->shared->spoofHeight, 480u);
    EXPECT_EQ(getOrFail(camera, ZE_SPOOF_SIZE), (480u << 16) | 640u);
}

TEST(SpecialModes, SpoofSupportedIsReadOnlyAndNotReadable)
{
    FinishedCamera camera;
    LogCapture log;
    EXPECT_EQ(_SetMode(camera, ZE_SPOOF_SUPPORTED, 1), 1);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].message, "ZE_SPOOF_SUPPORTED is read-only");
    EXPECT_EQ(log.lines()[0].code, 1);
    uint32_t value = kUntouched;
    EXPECT_EQ(_GetMode(camera, ZE_SPOOF_SUPPORTED, &value), 16);
    EXPECT_EQ(countMessages(log, kUnrecognizedGet), 1u);
    EXPECT_EQ(value, kUntouched);
}

TEST(SpecialModes, HardwareBufferingIsReadFromTheSharedContextOnly)
{
    FinishedCamera camera;
    LogCapture log;
    camera->context->shared->hwBuffering = 3;
    EXPECT_EQ(_SetMode(camera, ZE_HW_BUFFERING, 9), 16);
    EXPECT_EQ(getOrFail(camera, ZE_HW_BUFFERING), 3u);
    EXPECT_TRUE(log.lines().empty());
}

TEST(SpecialModes, FarAccessAddressesLeaveTheSwitchAlone)
{
    FinishedCamera camera;
    ASSERT_EQ(_SetMode(camera, ZE_ALLOW_FAR_ACCESS, 0), 0);
    for (uint32_t address : {2u, 0x90u, 255u}) {
        EXPECT_EQ(_SetMode(camera, ZE_ALLOW_FAR_ACCESS, address), 0);
        EXPECT_EQ(getOrFail(camera, ZE_ALLOW_FAR_ACCESS), 0u) << address;
    }
    ASSERT_EQ(_SetMode(camera, ZE_ALLOW_FAR_ACCESS, 1), 0);
    EXPECT_EQ(getOrFail(camera, ZE_ALLOW_FAR_ACCESS), 1u);
    ASSERT_EQ(_SetMode(camera, ZE_ALLOW_FAR_ACCESS, 256), 0);
    EXPECT_EQ(getOrFail(camera, ZE_ALLOW_FAR_ACCESS), 256u);
}

TEST(SpecialModes, SimultaneousGrabIsServedButNotSettable)
{
    FinishedCamera camera;
    EXPECT_EQ(_SetMode(camera, ZE_SIMUL_REG_FRAMEGRAB, 0), 16);
    uint32_t value = 0;
    EXPECT_EQ(ze_getMode(camera, ZE_SIMUL_REG_FRAMEGRAB, &value), 0);
    EXPECT_EQ(value, 1u);
}

TEST(SpecialModes, ReservingABusAddressMarksItAbsent)
{
    FinishedCamera camera;
    const uint32_t *map = camera->context->ident.absentMap;
    ASSERT_EQ(_SetMode(camera, ZE_RESERVE_SHIP_ADDR, 0x6C), 0); // 7-bit 0x36: word 1, bit 22
    EXPECT_EQ(map[0], 0u);
    EXPECT_EQ(map[1], 1u << 22);
    ASSERT_EQ(_SetMode(camera, ZE_RESERVE_SHIP_ADDR, 0xFF), 0); // 7-bit 0x7F: word 3, bit 31
    EXPECT_EQ(map[3], 1u << 31);
    // Larger values are not bus addresses and change nothing.
    EXPECT_EQ(_SetMode(camera, ZE_RESERVE_SHIP_ADDR, 0x100), 0);
    EXPECT_EQ(map[0], 0u);
    EXPECT_EQ(map[2], 0u);
    EXPECT_EQ(getOrFail(camera, ZE_RESERVE_SHIP_ADDR), 0u);
}

TEST(SpecialModes, MessageProcessorAddressesReadAsZero)
{
    FinishedCamera camera;
    EXPECT_EQ(_SetMode(camera, ZE_ACMP0_SHIP_ADDR, 0x20), 0);
    EXPECT_EQ(_SetMode(camera, ZE_ACMP2_SHIP_ADDR, 0x22), 0);
    EXPECT_EQ(getOrFail(camera, ZE_ACMP0_SHIP_ADDR), 0u);
    EXPECT_EQ(getOrFail(camera, ZE_ACMP2_SHIP_ADDR), 0u);
}

TEST(SpecialModes, FamilyFlagsAreThePerCameraModes)
{
    FinishedCamera camera;
    EXPECT_EQ(ze_IsKORT(camera), 0u);
    ASSERT_EQ(_SetMode(camera, ZE_KORT, 1), 0);
    ASSERT_EQ(_SetMode(camera, ZE_TALVE, 2), 0);
    ASSERT_EQ(_SetMode(camera, ZE_OBU, 3), 0);
    EXPECT_EQ(ze_IsKORT(camera), 1u);
    EXPECT_EQ(ze_IsTALVE(camera), 2u);
    EXPECT_EQ(ze_IsOBU(camera), 3u);
}

// A camera with a sensor whose register cache holds valid values.
class CachedCamera : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(ze_ParseSensorFile(camera, ZENTRO_SAMPLE_SENSOR_DIR "/zx0201.sdat", nullptr),
                  PARSE_SUCCESS);
        for (int32_t i = 0; i < camera->sensor->regCount && !reg; ++i) {
            if (!camera->sensor->regs[i].isVolatile)
                reg = &camera->sensor->regs[i];
        }
        ASSERT_NE(reg, nullptr);
        refill();
    }

    void refill()
    {
        zentro::loadCacheDefaults(camera);
        ASSERT_TRUE(cached());
    }

    bool cached()
    {
        uint32_t value = 0;
        return ze_GetRegCacheValueReg(camera, reg, &value) == 0;
    }

    // Sets @mode through @set and tells whether the cache was invalidated.
    template <typename Set>
    bool invalidates(Set set, uint32_t mode, uint32_t value)
    {
        refill();
        set(camera.get(), mode, value);
        return !cached();
    }

    TestCamera camera;
    const ze_reg_t *reg = nullptr;
};

TEST_F(CachedCamera, LibrarySetterInvalidatesOnPowerUpAndOnLeavingReset)
{
    EXPECT_TRUE(invalidates(_SetMode, ZE_SENSOR_POWER, 1));
    EXPECT_FALSE(invalidates(_SetMode, ZE_SENSOR_POWER, 0));
    EXPECT_TRUE(invalidates(_SetMode, ZE_SENSOR_RESET, 0));
    EXPECT_FALSE(invalidates(_SetMode, ZE_SENSOR_RESET, 1));
    EXPECT_TRUE(invalidates(_SetMode, ZE_SENSOR_SHUTDOWN, 0));
    EXPECT_FALSE(invalidates(_SetMode, ZE_SENSOR_SHUTDOWN, 1));
    // Without a slot ze_setMode is the library's setter.
    EXPECT_TRUE(invalidates(ze_setMode, ZE_SENSOR_POWER, 1));
    EXPECT_EQ(_SetMode(camera, ZE_SENSOR_POWER, 1), 0);
    uint32_t value = kUntouched;
    EXPECT_EQ(_GetMode(camera, ZE_SENSOR_POWER, &value), 16);
    EXPECT_EQ(_GetMode(camera, ZE_SENSOR_RESET, &value), 16);
    EXPECT_EQ(value, kUntouched);
}

// A transport's setMode/getMode slots that record their calls.
struct SlotLog {
    static inline std::vector<std::pair<uint32_t, uint32_t>> calls;
    static inline int result = 0;
    static int setMode(ze_camera_t *, uint32_t mode, uint32_t value)
    {
        calls.emplace_back(mode, value);
        return result;
    }
    static int getMode(ze_camera_t *, uint32_t mode, uint32_t *value)
    {
        *value = 0x1000 + mode;
        return result;
    }
};

TEST_F(CachedCamera, TransportSlotInvalidatesOnPowerDownAndOnEnteringReset)
{
    camera->setMode = SlotLog::setMode;
    SlotLog::calls.clear();
    SlotLog::result = 0;
    EXPECT_TRUE(invalidates(ze_setMode, ZE_SENSOR_POWER, 0));
    EXPECT_FALSE(invalidates(ze_setMode, ZE_SENSOR_POWER, 1));
    EXPECT_TRUE(invalidates(ze_setMode, ZE_SENSOR_RESET, 1));
    EXPECT_FALSE(invalidates(ze_setMode, ZE_SENSOR_RESET, 0));
    EXPECT_FALSE(invalidates(ze_setMode, ZE_SENSOR_SHUTDOWN, 0));
    // A failing slot invalidates nothing and its code comes back unchanged.
    SlotLog::result = 12;
    EXPECT_FALSE(invalidates(ze_setMode, ZE_SENSOR_POWER, 0));
    EXPECT_EQ(ze_setMode(camera, ZE_RX_TYPE, 4), 12);
    ASSERT_EQ(SlotLog::calls.size(), 7u);
    EXPECT_EQ(SlotLog::calls.back(), std::make_pair(uint32_t{ZE_RX_TYPE}, 4u));
    // The slot replaces the library's setter: the stored value stays.
    EXPECT_EQ(getOrFail(camera, ZE_RX_TYPE), 0xFFFFFFFFu);
}

TEST(ModeSlots, GetModeSlotAnswersWithItsOwnResult)
{
    TestCamera camera;
    camera->getMode = SlotLog::getMode;
    SlotLog::result = 16;
    uint32_t value = 0;
    EXPECT_EQ(ze_getMode(camera, ZE_RX_LANES, &value), 16);
    EXPECT_EQ(value, 0x1000u + ZE_RX_LANES);
    SlotLog::result = 0;
}

TEST(ModeNames, LookupIgnoresCaseAndTheZePrefix)
{
    uint32_t mode = kUntouched;
    EXPECT_EQ(ze_FindMode("ZE_REG_ADDR_SIZE", &mode), 0);
    EXPECT_EQ(mode, 1u);
    EXPECT_EQ(ze_FindMode("reg_data_size", &mode), 0);
    EXPECT_EQ(mode, 2u);
    EXPECT_EQ(ze_FindMode("Ze_Rx_Deskew", &mode), 0);
    EXPECT_EQ(mode, 119u);
    EXPECT_EQ(ze_FindMode("trigger", &mode), 0);
    EXPECT_EQ(mode, 60u);
    mode = kUntouched;
    for (const char *wrong : {"", "ZE_", "REG_ADDR", "ZE_REG_ADDR_SIZE ", "ZE_ZE_KORT", "E_KORT"})
        EXPECT_EQ(ze_FindMode(wrong, &mode), 1) << wrong;
    EXPECT_EQ(ze_FindMode(nullptr, &mode), 1);
    EXPECT_EQ(ze_FindMode("ZE_KORT", nullptr), 1);
    EXPECT_EQ(mode, kUntouched);
}

TEST(ModeNames, EveryNamedModeFindsItselfAndUnnamedOnesHaveNoName)
{
    const std::set<uint32_t> unnamed = {8, 9, 10, 26, 27, 45, 93, 108, 111, 112, 115};
    for (uint32_t mode = 0; mode < ZE_MODE_LIMIT + 5; ++mode) {
        const char *name = ze_GetModeName(mode);
        if (unnamed.count(mode) || mode >= ZE_MODE_LIMIT) {
            EXPECT_EQ(name, nullptr) << "mode " << mode;
            continue;
        }
        ASSERT_NE(name, nullptr) << "mode " << mode;
        EXPECT_EQ(std::string(name).rfind("ZE_", 0), 0u) << name;
        uint32_t found = kUntouched;
        EXPECT_EQ(ze_FindMode(name, &found), 0) << name;
        EXPECT_EQ(found, mode) << name;
        EXPECT_EQ(ze_FindMode(name + 3, &found), 0) << name;
        EXPECT_EQ(found, mode) << name;
    }
    EXPECT_STREQ(ze_GetModeName(ZE_SIMUL_REG_FRAMEGRAB), "ZE_SIMUL_REG_FRAMEGRAB");
}
