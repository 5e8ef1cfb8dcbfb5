// Tests of the generic register operations against a fake transport that records each call.
#include <gtest/gtest.h>

#include <pthread.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "camera/context.h"
#include "camera/generic_ops.h"
#include "registers/cache.h"
#include "registers/reg_test_database.h"
#include "support/test_support.h"
#include "zentro.h"

namespace zentro::test {
namespace {

constexpr uint32_t kSensorBus = 0x20;
constexpr uint32_t kOtherBus = 0x50;

// A device behind the transport-level slots: a register file per (space, address) and a
// list of the calls that reached it.
struct FakeDevice {
    struct Call {
        std::string op;
        uint32_t where; // bus address, or address space of sensor transfers
        uint32_t start;
        uint32_t count;
    };
    std::vector<Call> calls;
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> registers;
    int result = CAMERA_SUCCESS;
    bool lockHeld = false;
    ze_camera_t *camera = nullptr;

    static FakeDevice *&current()
    {
        static FakeDevice *device = nullptr;
        return device;
    }
    // Whether the register lock is held by this thread: another thread cannot take it.
    bool registerLockHeld() const;

    int read(const char *op, uint32_t where, uint32_t space, uint32_t start, uint32_t count,
             uint32_t *values)
    {
        calls.push_back({op, where, start, count});
        lockHeld = registerLockHeld();
        for (uint32_t i = 0; i < count; ++i)
            values[i] = result == CAMERA_SUCCESS ? registers[{space, start + i}] : 0xDEAD;
        return result;
    }
    int write(const char *op, uint32_t where, uint32_t space, uint32_t start, uint32_t count,
              const uint32_t *values)
    {
        calls.push_back({op, where, start, count});
        if (result == CAMERA_SUCCESS) {
            for (uint32_t i = 0; i < count; ++i)
                registers[{space, start + i}] = values[i];
        }
        return result;
    }
};

bool FakeDevice::registerLockHeld() const
{
    CriticalSection *lock = camera->context->regLock.get();
    if (!lock)
        return false;
    bool taken = false;
    std::thread other([&] {
        taken = pthread_mutex_trylock(lock->native()) == 0;
        if (taken)
            pthread_mutex_unlock(lock->native());
    });
    other.join();
    return !taken;
}

int readSensor(ze_camera_t *, uint32_t space, uint32_t start, uint32_t count, uint32_t *values)
{
    return FakeDevice::current()->read("readSensorRegisters", space, space, start, count, values);
}
int writeSensor(ze_camera_t *, uint32_t space, uint32_t start, uint32_t count, uint32_t *values)
{
    return FakeDevice::current()->write("writeSensorRegisters", space, space, start, count, values);
}
int readOne(ze_camera_t *, uint32_t bus, uint32_t addr, uint32_t *value)
{
    return FakeDevice::current()->read("readRegister", bus, 0, addr, 1, value);
}
int writeOne(ze_camera_t *, uint32_t bus, uint32_t addr, uint32_t value)
{
    return FakeDevice::current()->write("writeRegister", bus, 0, addr, 1, &value);
}
int readMany(ze_camera_t *, uint32_t bus, uint32_t start, uint32_t count, uint32_t *values)
{
    return FakeDevice::current()->read("readRegisters", bus, 0, start, count, values);
}
int writeMany(ze_camera_t *, uint32_t bus, uint32_t start, uint32_t count, uint32_t *values)
{
    return FakeDevice::current()->write("writeRegisters", bus, 0, start, count, values);
}

// A camera wired to a fresh fake device, with an 8-bit-address, 16-bit-data sensor.
class GenericOps : public ::testing::Test
{
protected:
    void SetUp() override
    {
        device.camera = camera;
        FakeDevice::current() = &device;
        ze_transport_ops &ops = camera->context->ops;
        ops.readSensorRegisters = readSensor;
        ops.writeSensorRegisters = writeSensor;
        ops.readRegister = readOne;
        ops.writeRegister = writeOne;
        ops.readRegisters = readMany;
        ops.writeRegisters = writeMany;
        installSensor(camera, {{"GAIN", 0x10}, {"EXPOSURE", 0x11}, {"STATUS", 0x12}});
        camera->sensor->shipBaseAddr = kSensorBus;
        camera->sensor->regs[2].isVolatile = 1;
        buildRegisterCache(camera);
    }
    void TearDown() override { FakeDevice::current() = nullptr; }

    void setCacheMode(uint32_t mode) { threadSettings(camera).useRegCache = mode; }
    uint32_t readSensorValue(uint32_t addr, int *result = nullptr)
    {
        uint32_t value = 0xFFFF;
        const int rc = genericReadSensorRegisters(camera, 0, addr, 1, &value);
        if (result)
            *result = rc;
        return value;
    }
    size_t transfers() const { return device.calls.size(); }

    TestCamera camera;
    FakeDevice device;
};

TEST_F(GenericOps, WithoutCacheEveryReadReachesTheTransportAndIsCached)
{
    device.registers[{0, 0x10}] = 0x42;
    EXPECT_EQ(readSensorValue(0x10), 0x42u);
    EXPECT_EQ(readSensorValue(0x10), 0x42u);
    ASSERT_EQ(transfers(), 2u);
    EXPECT_EQ(device.calls[0].op, "readSensorRegisters");
    EXPECT_EQ(device.calls[0].start, 0x10u);
    EXPECT_EQ(device.calls[0].count, 1u);
    uint32_t cached = 0;
    ASSERT_EQ(ze_GetRegCacheValueReg(camera, &camera->sensor->regs[0], &cached), 0);
    EXPECT_EQ(cached, 0x42u);
}

TEST_F(GenericOps, AfterInvalidateAReadGoesToTheHardwareOnceThenComesFromTheCache)
{
    setCacheMode(1);
    device.registers[{0, 0x11}] = 7;
    EXPECT_EQ(readSensorValue(0x11), 7u);
    EXPECT_EQ(readSensorValue(0x11), 7u);
    EXPECT_EQ(transfers(), 1u);

    ze_InvalidateRegCache(camera);
    device.registers[{0, 0x11}] = 8;
    EXPECT_EQ(readSensorValue(0x11), 8u);
    EXPECT_EQ(transfers(), 2u);
    EXPECT_EQ(readSensorValue(0x11), 8u);
    EXPECT_EQ(transfers(), 2u);
}

TEST_F(GenericOps, VolatileRegisterIsReadFromHardwareInModeOneButCacheInModeTwo)
{
    device.registers[{0, 0x12}] = 1;
    setCacheMode(1);
    EXPECT_EQ(readSensorValue(0x12), 1u);
    device.registers[{0, 0x12}] = 2;
    EXPECT_EQ(readSensorValue(0x12), 2u);
    EXPECT_EQ(transfers(), 2u);

    setCacheMode(2);
    device.registers[{0, 0x12}] = 3;
    EXPECT_EQ(readSensorValue(0x12), 2u);
    EXPECT_EQ(transfers(), 2u);
}

TEST_F(GenericOps, CacheOnlyModeFailsForUnitsOutsideTheDatabaseWithoutTraffic)
{
    setCacheMode(2);
    int result = 0;
    EXPECT_EQ(readSensorValue(0x40, &result), 0u);
    EXPECT_EQ(result, CAMERA_ERROR);
    // A run that is only partly covered by registers misses as well.
    uint32_t values[2] = {9, 9};
    EXPECT_EQ(genericReadSensorRegisters(camera, 0, 0x12, 2, values), CAMERA_ERROR);
    EXPECT_EQ(values[0], 0u);
    EXPECT_EQ(values[1], 0u);
    EXPECT_EQ(transfers(), 0u);
}

TEST_F(GenericOps, WritesAlwaysReachTheTransportAndAreCached)
{
    setCacheMode(2);
    uint32_t values[2] = {0x11, 0x22};
    ASSERT_EQ(genericWriteSensorRegisters(camera, 0, 0x10, 2, values), CAMERA_SUCCESS);
    ASSERT_EQ(transfers(), 1u);
    EXPECT_EQ(device.calls[0].op, "writeSensorRegisters");
    EXPECT_EQ(device.calls[0].count, 2u);
    setCacheMode(1);
    EXPECT_EQ(readSensorValue(0x10), 0x11u);
    EXPECT_EQ(readSensorValue(0x11), 0x22u);
    EXPECT_EQ(transfers(), 1u);
}

TEST_F(GenericOps, FailedTransferClearsValuesAndLeavesTheCacheAlone)
{
    device.result = I2C_NACK_ERROR;
    uint32_t values[2] = {5, 5};
    EXPECT_EQ(genericReadSensorRegisters(camera, 0, 0x10, 2, values), I2C_NACK_ERROR);
    EXPECT_EQ(values[0], 0u);
    EXPECT_EQ(values[1], 0u);
    EXPECT_EQ(genericWriteRegister(camera, kSensorBus, 0x10, 3), I2C_NACK_ERROR);
    uint32_t cached = 0;
    EXPECT_EQ(ze_GetRegCacheValueReg(camera, &camera->sensor->regs[0], &cached), 1);
}

TEST_F(GenericOps, MissingTransportOperationIsNotSupported)
{
    camera->context->ops = {};
    uint32_t value = 4;
    EXPECT_EQ(genericReadSensorRegisters(camera, 0, 0x10, 1, &value), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(genericWriteSensorRegisters(camera, 0, 0x10, 1, &value), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(genericReadRegister(camera, kOtherBus, 0, &value), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(genericWriteRegister(camera, kOtherBus, 0, 1), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(genericReadRegisters(camera, kOtherBus, 0, 1, &value), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(genericWriteRegisters(camera, kOtherBus, 0, 1, &value), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(genericReadRegister(nullptr, kOtherBus, 0, &value), CAMERA_ERROR);
    EXPECT_EQ(genericReadRegisters(camera, kOtherBus, 0, 1, nullptr), CAMERA_ERROR);
}

TEST_F(GenericOps, RawAccessUsesTheCacheOnlyAtTheSensorsBusAddress)
{
    setCacheMode(1);
    device.registers[{0, 0x10}] = 0x99;
    uint32_t value = 0;
    ASSERT_EQ(genericReadRegister(camera, kSensorBus, 0x10, &value), CAMERA_SUCCESS);
    ASSERT_EQ(genericReadRegister(camera, kSensorBus, 0x10, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x99u);
    EXPECT_EQ(transfers(), 1u);

    ASSERT_EQ(genericReadRegister(camera, kOtherBus, 0x10, &value), CAMERA_SUCCESS);
    ASSERT_EQ(genericReadRegister(camera, kOtherBus, 0x10, &value), CAMERA_SUCCESS);
    EXPECT_EQ(transfers(), 3u);
    EXPECT_EQ(device.calls[2].where, kOtherBus);

    // Another data width does not map onto the sensor's registers.
    threadSettings(camera).regDataSize = 8;
    ASSERT_EQ(genericReadRegister(camera, kSensorBus, 0x10, &value), CAMERA_SUCCESS);
    EXPECT_EQ(transfers(), 4u);
}

TEST_F(GenericOps, RawMultiRegisterWriteCachesEachRegister)
{
    uint32_t values[3] = {1, 2, 3};
    ASSERT_EQ(genericWriteRegisters(camera, kSensorBus, 0x10, 3, values), CAMERA_SUCCESS);
    EXPECT_EQ(device.calls.at(0).op, "writeRegisters");
    setCacheMode(1);
    uint32_t read[2] = {};
    ASSERT_EQ(genericReadRegisters(camera, kSensorBus, 0x10, 2, read), CAMERA_SUCCESS);
    EXPECT_EQ(read[0], 1u);
    EXPECT_EQ(read[1], 2u);
    EXPECT_EQ(transfers(), 1u);
}

TEST_F(GenericOps, TransferRunsUnderTheRegisterLock)
{
    initGlobalContext(camera);
    ASSERT_NE(camera->context->regLock, nullptr);
    readSensorValue(0x10);
    EXPECT_TRUE(device.lockHeld);
}

TEST_F(GenericOps, NullCameraReadsDefaultsAndLastWrittenValuesWithoutTransfers)
{
    camera->transportType = ZE_TRANSPORT_NUL;
    camera->sensor->regs[0].defaultValue = 0x1111;
    camera->sensor->regs[2].defaultValue = 0x3333;
    loadCacheDefaults(camera);
    EXPECT_EQ(readSensorValue(0x10), 0x1111u);
    EXPECT_EQ(readSensorValue(0x12), 0x3333u); // volatile, still the cache
    EXPECT_EQ(readSensorValue(0x30), 0u);      // no register there
    EXPECT_EQ(transfers(), 0u);

    ASSERT_EQ(genericWriteRegister(camera, kSensorBus, 0x10, 0x2222), CAMERA_SUCCESS);
    uint32_t value = 0;
    ASSERT_EQ(genericReadRegister(camera, kSensorBus, 0x10, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x2222u);
    EXPECT_EQ(readSensorValue(0x10), 0x2222u);
    EXPECT_EQ(transfers(), 1u); // only the write
}

// A span-2 register of 16-bit units at 0x20 (step 2: 16-bit addresses and data).
class SpanRegister : public GenericOps
{
protected:
    void SetUp() override
    {
        GenericOps::SetUp();
        installSensor(camera, {{"WIDE", 0x20}, {"AFTER", 0x24}});
        camera->sensor->shipBaseAddr = kSensorBus;
        camera->sensor->regAddrSize = 16;
        camera->sensor->regs[0].span = 2;
        buildRegisterCache(camera);
        device.registers[{0, 0x20}] = 0xAAAA;
        device.registers[{0, 0x21}] = 0xBBBB;
    }
    uint32_t cachedWide()
    {
        uint32_t value = 0;
        EXPECT_EQ(ze_GetRegCacheValueReg(camera, &camera->sensor->regs[0], &value), 0);
        return value;
    }
};

TEST_F(SpanRegister, ReadPacksTheUnitsBigEndian)
{
    uint32_t values[2] = {};
    ASSERT_EQ(genericReadSensorRegisters(camera, 0, 0x20, 2, values), CAMERA_SUCCESS);
    EXPECT_EQ(cachedWide(), 0xAAAABBBBu);
}

TEST_F(SpanRegister, ReadPacksTheUnitsLittleEndian)
{
    camera->sensor->regDataLE = 1;
    uint32_t values[2] = {};
    ASSERT_EQ(genericReadSensorRegisters(camera, 0, 0x20, 2, values), CAMERA_SUCCESS);
    EXPECT_EQ(cachedWide(), 0xBBBBAAAAu);
}

TEST_F(SpanRegister, CachedValueIsUnpackedIntoUnits)
{
    setCacheValueIndex(camera, 0, 0x12345678);
    setCacheMode(1);
    uint32_t values[2] = {};
    ASSERT_EQ(genericReadSensorRegisters(camera, 0, 0x20, 2, values), CAMERA_SUCCESS);
    EXPECT_EQ(values[0], 0x1234u);
    EXPECT_EQ(values[1], 0x5678u);
    EXPECT_EQ(transfers(), 0u);
    // Half of the register is no register: that read goes to the device.
    ASSERT_EQ(genericReadSensorRegisters(camera, 0, 0x20, 1, values), CAMERA_SUCCESS);
    EXPECT_EQ(transfers(), 1u);
}

TEST_F(GenericOps, SensorTransferInASpaceBecomesTheCachedSelection)
{
    installSensor(camera, {{"SELECT", 0x00, {}, "", 0}, {"IN_1", 0x10, {}, "", 1}},
                  {{"page0", ZE_SPACE_REG, 0}, {"page1", ZE_SPACE_REG, 1}}, 0, 0x00);
    camera->sensor->addrSpaces->readSelectAddr = 0x00; // select register at address 0
    camera->sensor->addrSpaces->writeSelectAddr = 0x00;
    buildRegisterCache(camera);
    EXPECT_EQ(cachedReadSelect(camera), 0u); // a select address of 0 means no select register

    installSensor(camera, {{"SELECT", 0x02, {}, "", 0}, {"IN_1", 0x10, {}, "", 1}},
                  {{"page0", ZE_SPACE_REG, 0}, {"page1", ZE_SPACE_REG, 1}}, 0, 0x02);
    camera->sensor->addrSpaces->writeSelectAddr = 0x02;
    buildRegisterCache(camera);
    EXPECT_EQ(cachedReadSelect(camera), kNoCachedSelect);
    uint32_t value = 0;
    ASSERT_EQ(genericReadSensorRegisters(camera, 1, 0x10, 1, &value), CAMERA_SUCCESS);
    EXPECT_EQ(cachedReadSelect(camera), 1u);
    ASSERT_EQ(genericWriteSensorRegisters(camera, 1, 0x10, 1, &value), CAMERA_SUCCESS);
    EXPECT_EQ(cachedWriteSelect(camera), 1u);

    // Served from the cache, nothing was selected on the device.
    setCacheMode(1);
    ze_InvalidateRegCache(camera);
    setCachedReadSelect(camera, 0);
    setCacheValueIndex(camera, 1, 5);
    ASSERT_EQ(genericReadSensorRegisters(camera, 1, 0x10, 1, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(cachedReadSelect(camera), 0u);
}

} // namespace
} // namespace zentro::test
