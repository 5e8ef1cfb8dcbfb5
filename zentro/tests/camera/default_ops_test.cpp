// Default transport operations, the frame-size update, context items, the grab lock and wrappers.
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "camera/camera_test_support.h"
#include "camera/context.h"
#include "camera/default_ops.h"

namespace {

using zentro::test::TestCamera;

// A fake device: registers by address, the calls it saw.
struct FakeDevice {
    std::vector<uint32_t> readAddrs;
    std::vector<std::pair<uint32_t, uint32_t>> writes;
    uint32_t failAt = 0xFFFFFFFF;
};
FakeDevice gDevice;

int fakeReadRegisters(ze_camera_t *, uint32_t, uint32_t start, uint32_t count, uint32_t *values)
{
    for (uint32_t i = 0; i < count; ++i) {
        gDevice.readAddrs.push_back(start + i);
        values[i] = 0x100 + start + i;
    }
    return CAMERA_SUCCESS;
}

int fakeReadRegister(ze_camera_t *, uint32_t, uint32_t addr, uint32_t *value)
{
    gDevice.readAddrs.push_back(addr);
    if (addr == gDevice.failAt)
        return I2C_NACK_ERROR;
    *value = 0x200 + addr;
    return CAMERA_SUCCESS;
}

int fakeWriteRegister(ze_camera_t *, uint32_t, uint32_t addr, uint32_t value)
{
    gDevice.writes.emplace_back(addr, value);
    return CAMERA_SUCCESS;
}

class DefaultOps : public testing::Test
{
protected:
    void SetUp() override
    {
        gDevice = {};
        ASSERT_EQ(ze_AllocSensor(camera_), CAMERA_SUCCESS);
        sensor()->shipBaseAddr = 0x20;
        sensor()->regAddrSize = 16;
        sensor()->regDataSize = 16;
        sensor()->imageWidth = 640;
        sensor()->imageHeight = 480;
        sensor()->imageType = 2;
        sensor()->imageCount = 1;
    }
    ze_sensor_t *sensor() { return camera_->sensor; }
    ze_transport_ops &ops() { return camera_->context->ops; }

    TestCamera camera_;
};

TEST_F(DefaultOps, MultipleReadsOnlyStillServeSingleAndSensorReads)
{
    ops().readRegisters = fakeReadRegisters;
    ops().readRegister = _def_ReadRegister;
    uint32_t value = 0;
    ASSERT_EQ(_def_ReadRegister(camera_, 0x30, 0x12, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0x112u);
    uint32_t values[2] = {};
    ASSERT_EQ(_def_ReadSensorRegisters(camera_, 0, 0x40, 2, values), CAMERA_SUCCESS);
    EXPECT_EQ(values[0], 0x140u);
    EXPECT_EQ(values[1], 0x141u);
    // The sensor's widths became the calling thread's transfer widths.
    EXPECT_EQ(zentro::threadSettings(camera_).regAddrSize, 16u);
    EXPECT_EQ(zentro::threadSettings(camera_).regDataSize, 16u);
}

TEST_F(DefaultOps, WithoutAnyReadMultipleReadsAnswerZeros)
{
    ops().readRegister = _def_ReadRegister;
    ops().readRegisters = _def_ReadRegisters;
    uint32_t values[3] = {7, 7, 7};
    EXPECT_EQ(_def_ReadRegisters(camera_, 0x20, 0, 3, values), CAMERA_SUCCESS);
    EXPECT_EQ(values[0] | values[1] | values[2], 0u);
    uint32_t value = 7;
    EXPECT_EQ(_def_ReadRegister(camera_, 0x20, 0, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(_def_ReadRegisters(camera_, 0x20, 0, 0, nullptr), CAMERA_SUCCESS);
}

TEST_F(DefaultOps, MultipleReadsStepByTheSensorsAddressIncrementAndStopAtAFailure)
{
    ops().readRegister = fakeReadRegister;
    uint32_t values[3] = {};
    ASSERT_EQ(_def_ReadRegisters(camera_, 0x20, 0x10, 3, values), CAMERA_SUCCESS);
    EXPECT_EQ(gDevice.readAddrs, (std::vector<uint32_t>{0x10, 0x12, 0x14}));
    EXPECT_EQ(values[2], 0x214u);
    // Another bus address steps by one.
    gDevice = {};
    ASSERT_EQ(_def_ReadRegisters(camera_, 0x30, 0x10, 2, values), CAMERA_SUCCESS);
    EXPECT_EQ(gDevice.readAddrs, (std::vector<uint32_t>{0x10, 0x11}));
    gDevice = {};
    gDevice.failAt = 0x11;
    EXPECT_EQ(_def_ReadRegisters(camera_, 0x30, 0x10, 3, values), I2C_NACK_ERROR);
    EXPECT_EQ(gDevice.readAddrs.size(), 2u);
}

TEST_F(DefaultOps, MultipleWritesGoOneByOneOrNowhere)
{
    uint32_t values[2] = {5, 6};
    ops().writeRegister = _def_WriteRegister;
    EXPECT_EQ(_def_WriteRegisters(camera_, 0x20, 0x10, 2, values), CAMERA_SUCCESS);
    EXPECT_TRUE(gDevice.writes.empty());
    ops().writeRegister = fakeWriteRegister;
    EXPECT_EQ(_def_WriteRegisters(camera_, 0x20, 0x10, 2, values), CAMERA_SUCCESS);
    EXPECT_EQ(gDevice.writes, (std::vector<std::pair<uint32_t, uint32_t>>{{0x10, 5}, {0x12, 6}}));
}

TEST_F(DefaultOps, SensorWritesSelectTheAddressSpaceFirst)
{
    auto *spaces = static_cast<ze_addr_space_list_t *>(calloc(1, sizeof(ze_addr_space_list_t)));
    // A table with a read-select register selects spaces for writes too.
    spaces->readSelectAddr = 0x3FFE;
    spaces->writeSelectAddr = 0x3FFE;
    sensor()->addrSpaces = spaces;
    ops().writeRegister = fakeWriteRegister;
    ops().writeRegisters = _def_WriteRegisters;
    uint32_t value = 0x55;
    ASSERT_EQ(_def_WriteSensorRegisters(camera_, 3, 0x10, 1, &value), CAMERA_SUCCESS);
    EXPECT_EQ(gDevice.writes,
              (std::vector<std::pair<uint32_t, uint32_t>>{{0x3FFE, 3}, {0x10, 0x55}}));
}

TEST_F(DefaultOps, GrabDefaultFailsAndSensorOperationsNeedASensor)
{
    EXPECT_EQ(_def_GrabFrame(camera_, nullptr, 0), GRAB_FRAME_ERROR);
    ze_DestructSensor(sensor());
    free(sensor());
    camera_->sensor = nullptr;
    uint32_t value = 0;
    EXPECT_EQ(_def_ReadSensorRegisters(camera_, 0, 0, 1, &value), SENSOR_NOT_INITIALIZED);
    EXPECT_EQ(_UpdateFrameSize(camera_, 1, 1, 8, 1), CAMERA_ERROR);
}

TEST_F(DefaultOps, DefaultFrameSizeUpdateAppliesThePlanarRule)
{
    sensor()->imageType = 19;
    ASSERT_EQ(_def_UpdateFrameSize(camera_, 640, 480, 8, 2), CAMERA_SUCCESS);
    EXPECT_EQ(sensor()->imageBytes, 460800u);
    EXPECT_EQ(sensor()->pixelBytes, 2u);
    EXPECT_EQ(sensor()->imageType, 19u);
}

TEST_F(DefaultOps, FrameSizeUpdateKeepsValuesGivenAsZero)
{
    ASSERT_EQ(_UpdateFrameSize(camera_, 0, 240, 12, 0), CAMERA_SUCCESS);
    uint32_t bits = 0, clocks = 0;
    _GetContext(camera_, ZE_CONTEXT_BITS_PER_CLOCK, &bits);
    _GetContext(camera_, ZE_CONTEXT_CLOCKS_PER_PIXEL, &clocks);
    EXPECT_EQ(bits, 12u);
    EXPECT_EQ(clocks, 1u);
    EXPECT_EQ(sensor()->imageWidth, 640u);
    EXPECT_EQ(sensor()->imageHeight, 240u);
    EXPECT_EQ(sensor()->bitsPerPixel, 12u);
    EXPECT_EQ(sensor()->imageBytes, 640u * 240u * 2u);
    // The Bayer type follows the depth only through the image-type update.
    EXPECT_EQ(sensor()->imageType, 2u);
    ASSERT_EQ(_def_UpdateFrameSize(camera_, 0, 0, 0, 0), CAMERA_SUCCESS);
    EXPECT_EQ(sensor()->imageType, 12u);
}

TEST_F(DefaultOps, OversizedFramesAreRefusedWithoutChangingTheRecord)
{
    zentro::test::LogCapture log;
    EXPECT_EQ(_UpdateFrameSize(camera_, 100000, 100000, 16, 2), CAMERA_ERROR);
    EXPECT_EQ(sensor()->imageWidth, 640u);
    EXPECT_TRUE(log.contains("too large"));
}

TEST_F(DefaultOps, ContextItemsReachModesAndTexts)
{
    const uint32_t polarity = 0;
    ASSERT_EQ(_SetContext(camera_, ZE_CONTEXT_PIXCLK_POLARITY, &polarity), CAMERA_SUCCESS);
    uint32_t value = 9;
    ASSERT_EQ(ze_getMode(camera_, ZE_PIXCLK_POLARITY, &value), CAMERA_SUCCESS);
    EXPECT_EQ(value, 0u);

    const std::string longText(300, 'x');
    ASSERT_EQ(_SetContext(camera_, ZE_CONTEXT_DRIVER_INFO, longText.c_str()), CAMERA_SUCCESS);
    EXPECT_EQ(std::string(ze_GetDriverInfoString(camera_)), std::string(255, 'x'));
    ASSERT_EQ(_SetContext(camera_, ZE_CONTEXT_SERDES_PART_NUMBER, "MAX9296"), CAMERA_SUCCESS);
    char text[ZE_TEXT_SIZE] = {};
    ASSERT_EQ(_GetContext(camera_, ZE_CONTEXT_SERDES_PART_NUMBER, text), CAMERA_SUCCESS);
    EXPECT_STREQ(text, "MAX9296");
}

TEST_F(DefaultOps, DeviceContextBelongsToPluginCamerasOnly)
{
    int device = 0;
    void *stored = nullptr;
    EXPECT_EQ(_SetContext(camera_, ZE_CONTEXT_DEVICE_CONTEXT, &device), CAMERA_ERROR);
    EXPECT_EQ(_GetContext(camera_, ZE_CONTEXT_DEVICE_CONTEXT, &stored), CAMERA_ERROR);
    camera_->transportType = ZE_TRANSPORT_DLL;
    ASSERT_EQ(_SetContext(camera_, ZE_CONTEXT_DEVICE_CONTEXT, &device), CAMERA_SUCCESS);
    ASSERT_EQ(_GetContext(camera_, ZE_CONTEXT_DEVICE_CONTEXT, &stored), CAMERA_SUCCESS);
    EXPECT_EQ(stored, &device);
}

TEST_F(DefaultOps, ReservedAndUnknownItems)
{
    uint32_t words[3] = {7, 7, 7};
    EXPECT_EQ(_GetContext(nullptr, ZE_CONTEXT_RESERVED, words), CAMERA_SUCCESS);
    EXPECT_EQ(words[0], 0u);
    EXPECT_EQ(words[1], 0u);
    EXPECT_EQ(words[2], 7u);
    EXPECT_EQ(_SetContext(camera_, ZE_CONTEXT_RESERVED, words), CAMERA_ERROR);
    EXPECT_EQ(_GetContext(camera_, 8, words), CAMERA_ERROR);
    EXPECT_EQ(_SetContext(camera_, 0, words), CAMERA_ERROR);
    EXPECT_EQ(_GetContext(nullptr, ZE_CONTEXT_BITS_PER_CLOCK, words), CAMERA_ERROR);
    EXPECT_EQ(_SetContext(camera_, ZE_CONTEXT_BITS_PER_CLOCK, nullptr), CAMERA_ERROR);
}

// Whether another thread could take @lock right now.
bool heldElsewhere(zentro::CriticalSection &lock)
{
    bool held = false;
    std::thread probe([&] {
        held = pthread_mutex_trylock(lock.native()) != 0;
        if (!held)
            pthread_mutex_unlock(lock.native());
    });
    probe.join();
    return held;
}

bool gGrabLockHeld = false;
bool gRegLockHeld = false;

int probingGrab(ze_camera_t *camera, uint8_t *, uint32_t)
{
    gGrabLockHeld = heldElsewhere(*camera->context->grabLock);
    gRegLockHeld = heldElsewhere(*camera->context->regLock);
    return CAMERA_SUCCESS;
}

TEST_F(DefaultOps, GrabHoldsTheGrabLockOrTheRegisterLock)
{
    zentro::initGlobalContext(camera_);
    camera_->grabFrame = zentro::genericGrabFrame;
    EXPECT_EQ(ze_grabFrame(camera_, nullptr, 0), CAMERA_NOT_SUPPORTED);
    ops().grabFrame = probingGrab;
    ASSERT_EQ(ze_grabFrame(camera_, nullptr, 0), CAMERA_SUCCESS);
    EXPECT_TRUE(gGrabLockHeld);
    EXPECT_FALSE(gRegLockHeld);
    camera_->context->simultaneousGrab = 0;
    ASSERT_EQ(ze_grabFrame(camera_, nullptr, 0), CAMERA_SUCCESS);
    EXPECT_FALSE(gGrabLockHeld);
    EXPECT_TRUE(gRegLockHeld);
}

int frameDataWithoutImageBytes(ze_camera_t *, ze_frame_info_t *frame)
{
    *frame = {};
    frame->bytesReturned = 4096;
    return CAMERA_SUCCESS;
}

int sendCommandEcho(ze_camera_t *, uint32_t a, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                    uint32_t)
{
    return int(a);
}

int failingSystemRead(ze_camera_t *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t count,
                      uint32_t *values)
{
    for (uint32_t i = 0; i < count; ++i)
        values[i] = 0xAB;
    return I2C_NACK_ERROR;
}

TEST_F(DefaultOps, WrappersForwardAndApplyTheirExtraRules)
{
    EXPECT_EQ(ze_startTransport(nullptr), CAMERA_ERROR);
    EXPECT_EQ(ze_startTransport(camera_), CAMERA_NOT_SUPPORTED);
    ze_frame_info_t frame{};
    EXPECT_EQ(ze_getFrameData(camera_, &frame), CAMERA_NOT_SUPPORTED);
    camera_->getFrameData = frameDataWithoutImageBytes;
    ASSERT_EQ(ze_getFrameData(camera_, &frame), CAMERA_SUCCESS);
    EXPECT_EQ(frame.imageBytesReturned, 4096u);

    ops().sendCommand = sendCommandEcho;
    EXPECT_EQ(ze_sendCommand(camera_, 0, 0, 0, 0, 0, 0, 0), CAMERA_SUCCESS);
    EXPECT_EQ(ze_sendCommand(camera_, 12, 0, 0, 0, 0, 0, 0), 12);

    uint32_t values[2] = {1, 1};
    EXPECT_EQ(ze_readSystemRegisters(camera_, 0, 0, 0x10, 0, 2, values), CAMERA_NOT_SUPPORTED);
    ops().readSystemRegisters = failingSystemRead;
    EXPECT_EQ(ze_readSystemRegisters(camera_, 0, 0, 0x10, 0, 2, values), I2C_NACK_ERROR);
    EXPECT_EQ(values[0] | values[1], 0u);
}

} // namespace
