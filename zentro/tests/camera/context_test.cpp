// The common context: start values, finishing with the device name, shared values.
#include <cstring>

#include <gtest/gtest.h>

#include "camera/context.h"
#include "support/test_support.h"
#include "zentro.h"

namespace {

using zentro::storedMode;
using zentro::test::TestCamera;

int deviceNameWithSeparators(ze_camera_t *, char *name, uint32_t size)
{
    snprintf(name, size, "/dev/video0 cam.a\\b");
    return 0;
}

TEST(CameraContext, StartsWithTheLibraryDefaults)
{
    TestCamera camera;
    ASSERT_NE(camera->context, nullptr);
    EXPECT_EQ(storedMode(camera, ZE_BITS_PER_CLOCK), 8u);
    EXPECT_EQ(storedMode(camera, ZE_CLOCKS_PER_PIXEL), 1u);
    EXPECT_EQ(storedMode(camera, ZE_UNSWIZZLE_MODE), 3u);
    EXPECT_EQ(storedMode(camera, ZE_RX_TYPE), 0xFFFFFFFFu);
    EXPECT_EQ(storedMode(camera, ZE_RX_SYNC_CODE), 0xF555u);
    EXPECT_EQ(storedMode(camera, ZE_RX_BIT_DEPTH), 10u);
    EXPECT_EQ(storedMode(camera, ZE_NACK_RETRIES), 5u);
    EXPECT_EQ(storedMode(camera, ZE_ALLOW_FAR_ACCESS), 1u);
    EXPECT_EQ(storedMode(camera, ZE_DIRECT_VAR_ACCESS), 1u);
    EXPECT_EQ(camera->context->simultaneousGrab, 1u);
    const ze_thread_settings_t &settings = zentro::threadSettings(camera);
    EXPECT_EQ(settings.camera, camera.get());
    EXPECT_EQ(settings.regAddrSize, 8u);
    EXPECT_EQ(settings.regDataSize, 16u);
    EXPECT_EQ(settings.useRegCache, 0u);
    EXPECT_EQ(settings.sendCommandTimeout, 5u);
    EXPECT_EQ(settings.regDataLE, 0u);
}

TEST(CameraContext, ReinitialisingStartsOver)
{
    TestCamera camera;
    zentro::setStoredMode(camera, ZE_NACK_RETRIES, 0);
    camera->context->ident.baseAddrCount = 3;
    ASSERT_EQ(ze_InitCameraContext(camera), 0);
    EXPECT_EQ(storedMode(camera, ZE_NACK_RETRIES), 5u);
    EXPECT_EQ(camera->context->ident.baseAddrCount, 0);
    EXPECT_EQ(ze_InitCameraContext(nullptr), CAMERA_ERROR);
}

TEST(CameraContext, FinishingNamesLocksAfterTheDevice)
{
    TestCamera camera;
    camera->context->ops.getDeviceName = deviceNameWithSeparators;
    zentro::initGlobalContext(camera);
    EXPECT_STREQ(camera->context->regLockName, "mutex__dev_video0_cam_a_b");
    EXPECT_STREQ(camera->context->grabLockName, "mutexgrab__dev_video0_cam_a_b");
    EXPECT_STREQ(camera->context->sharedName, "context__dev_video0_cam_a_b");
    EXPECT_NE(camera->context->regLock, nullptr);
    EXPECT_NE(camera->context->grabLock, nullptr);
    ASSERT_NE(camera->context->shared, nullptr);
    EXPECT_EQ(camera->context->shared->initialised, 0xFFFFFFFFu);
    EXPECT_EQ(camera->context->shared->modes[ZE_XDMA_LOGICAL], 0xFFFFFFFFu);
}

TEST(CameraContext, WithoutDeviceNameTheCameraGetsItsOwnSharedBlock)
{
    TestCamera camera;
    zentro::initGlobalContext(camera);
    EXPECT_STREQ(camera->context->regLockName, "");
    ASSERT_NE(camera->context->shared, nullptr);
    EXPECT_EQ(camera->context->shared->modes[ZE_BITS_PER_CLOCK], 8u);
}

TEST(CameraContext, SharedModesLiveInTheSharedContextOnceItExists)
{
    TestCamera camera;
    zentro::initGlobalContext(camera);
    zentro::setStoredMode(camera, ZE_BITS_PER_CLOCK, 12);
    zentro::setStoredMode(camera, ZE_NACK_RETRIES, 2);
    EXPECT_EQ(camera->context->shared->modes[ZE_BITS_PER_CLOCK], 12u);
    EXPECT_EQ(camera->context->shared->modes[ZE_NACK_RETRIES], 0u);
    // Another user of the device changes a shared value; finishing again adopts it.
    camera->context->shared->modes[ZE_BITS_PER_CLOCK] = 10;
    EXPECT_EQ(storedMode(camera, ZE_BITS_PER_CLOCK), 10u);
    zentro::initGlobalContext(camera);
    EXPECT_EQ(camera->context->modes[ZE_BITS_PER_CLOCK], 10u);
    EXPECT_EQ(storedMode(camera, ZE_NACK_RETRIES), 2u);
}

TEST(CameraContext, ShipAddressListIsCopiedOut)
{
    TestCamera camera;
    camera->context->ident.baseAddrCount = 2;
    camera->context->ident.baseAddrs[0] = 0x20;
    camera->context->ident.baseAddrs[1] = 0x30;
    uint32_t addresses[15] = {};
    int32_t count = -1;
    ASSERT_EQ(ze_GetShipAddrList(camera, addresses, &count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(addresses[0], 0x20u);
    EXPECT_EQ(addresses[1], 0x30u);
    EXPECT_EQ(addresses[2], 0u);
    EXPECT_EQ(ze_GetShipAddrList(nullptr, addresses, &count), CAMERA_ERROR);
}

} // namespace
