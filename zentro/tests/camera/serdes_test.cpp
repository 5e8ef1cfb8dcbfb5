// Serializer/deserializer detection on boards without a serial link.
#include <cstring>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "zentro.h"

namespace {

TEST(Serdes, ReportsNotSupportedWithoutTouchingTheCamera)
{
    zentro::test::TestCamera camera;
    camera->transportType = ZE_TRANSPORT_DLL;
    const ze_camera_t before = *camera.get();
    EXPECT_EQ(_getSerdes(camera), CAMERA_NOT_SUPPORTED);
    EXPECT_EQ(memcmp(&before, camera.get(), sizeof(before)), 0);
    EXPECT_STREQ(ze_GetSerdesPartNumber(camera), "");
    EXPECT_EQ(_getSerdes(nullptr), CAMERA_ERROR);
}

} // namespace
