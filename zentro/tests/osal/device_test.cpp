// Tests of opening and closing devices.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "zentro_osal.h"

namespace {

TEST(Device, MissingDeviceIsReportedWithItsPathAndError)
{
    int handle = 5;
    testing::internal::CaptureStderr();
    EXPECT_EQ(_bOpenDriver(&handle, "eo_missing_99"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Cannot open '/dev/video_missing_99': 2, No such file or directory\n");
    EXPECT_EQ(handle, -1);
    handle = 5;
    EXPECT_EQ(_bOpenDriver(&handle, nullptr), 0);
    EXPECT_EQ(handle, -1);
}

TEST(Device, CloseHandleClosesADescriptorAndIgnoresMinusOne)
{
    int fd = open("/dev/null", O_RDONLY);
    ASSERT_GE(fd, 0);
    CloseHandle(fd);
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
    CloseHandle(-1);
}

} // namespace
