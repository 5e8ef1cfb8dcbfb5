// Opening, listing and closing cameras through the transport table.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "camera/camera_test_support.h"
#include "camera/context.h"
#include "camera/transport_table.h"

namespace {

using zentro::test::LogCapture;
using zentro::test::NullCameras;
using zentro::test::TempDir;
using zentro::test::writeSmallSensor;

int openCount(uint32_t mask = 0xFFFFFFFFu)
{
    int count = -1;
    ze_GetCameras(nullptr, &count, mask, "");
    return count;
}

TEST(OpenCameras, NullTransportOpensExactlyOneCameraOnASensorFile)
{
    TempDir dir;
    NullCameras cameras(writeSmallSensor(dir));
    ASSERT_EQ(cameras.result, CAMERA_SUCCESS);
    ASSERT_EQ(cameras.cameras.size(), 1u);
    ze_camera_t *camera = cameras[0];
    EXPECT_STREQ(camera->productName, "NUL Camera");
    EXPECT_STREQ(camera->transportName, "NUL");
    EXPECT_EQ(camera->transportType, ZE_TRANSPORT_NUL);
    EXPECT_EQ(camera->productID, 0u);
    EXPECT_STREQ(ze_GetDriverInfoString(camera), "Null device, no driver");
    EXPECT_STREQ(ze_GetSerdesPartNumber(camera), "");
    ASSERT_NE(camera->sensor, nullptr);
    EXPECT_EQ(camera->sensor->imageWidth, 64u);
    EXPECT_EQ(openCount(ZE_TRANSPORT_NUL), 1);
}

TEST(OpenCameras, SensorFileNameBecomesTheFullPathAfterDoubledSeparatorsCollapse)
{
    TempDir dir;
    writeSmallSensor(dir);
    const std::string doubled = dir.path() + "//small.sdat";
    NullCameras cameras(doubled);
    ASSERT_EQ(cameras.cameras.size(), 1u);
    char expected[ZE_TEXT_SIZE];
    ASSERT_EQ(osal_fullpath(dir.file("small.sdat").c_str(), expected, sizeof(expected)), 1);
    EXPECT_STREQ(cameras[0]->sensor->fileName, expected);
}

TEST(OpenCameras, MaskWithoutTransportsOpensNothing)
{
    TempDir dir;
    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
    int count = -1;
    EXPECT_EQ(ze_OpenCameras2(cameras, &count, writeSmallSensor(dir).c_str(), 0, ""), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(cameras[0], nullptr);
}

TEST(OpenCameras, OpenCamerasNeverTriesTheNullTransport)
{
    TempDir dir;
    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
    int count = -1;
    EXPECT_EQ(ze_OpenCameras(cameras, &count, writeSmallSensor(dir).c_str()), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(openCount(), 0);
}

TEST(OpenCameras, AbsentArrayOrCountIsRefused)
{
    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
    int count = 0;
    EXPECT_EQ(ze_OpenCameras2(nullptr, &count, nullptr, ZE_TRANSPORT_NUL, ""), CAMERA_ERROR);
    EXPECT_EQ(ze_OpenCameras2(cameras, nullptr, nullptr, ZE_TRANSPORT_NUL, ""), CAMERA_ERROR);
}

struct BadPath {
    const char *name;
    bool create;        // as a file
    bool asDirectory;   // as a directory
    const char *logged; // expected log text, nullptr for none
};

class NullOpenRefuses : public testing::TestWithParam<BadPath>
{
};

TEST_P(NullOpenRefuses, ReturnsOneAndKeepsNothingOpen)
{
    TempDir dir;
    const BadPath &bad = GetParam();
    const std::string path = dir.file(bad.name);
    if (bad.create)
        zentro::test::writeFile(path, "[CHIP_DESCRIPTOR]\n[END]\n");
    if (bad.asDirectory) {
        ASSERT_EQ(osal_create_directory(path.c_str()), 0);
    }
    LogCapture log;
    NullCameras cameras(path);
    EXPECT_EQ(cameras.result, CAMERA_ERROR);
    EXPECT_TRUE(cameras.cameras.empty());
    EXPECT_EQ(openCount(), 0);
    if (bad.logged) {
        EXPECT_TRUE(log.contains(bad.logged)) << testing::PrintToString(log.messages());
    } else {
        EXPECT_TRUE(log.lines().empty()) << testing::PrintToString(log.messages());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, NullOpenRefuses,
    testing::Values(BadPath{"missing.sdat", false, false, "File does not exist, `"},
                    BadPath{"folder.sdat", false, true, nullptr},
                    BadPath{"notes.txt", true, false, "Not a sensor-data file"},
                    BadPath{"broken.sdat", true, false, "Couldn't read sensor-data file"}));

TEST(OpenCameras, MissingFileLogsItsPathUnderCode8)
{
    TempDir dir;
    const std::string path = dir.file("missing.sdat");
    LogCapture log;
    NullCameras cameras(path);
    ASSERT_FALSE(log.lines().empty());
    EXPECT_EQ(log.lines()[0].code, SENSOR_DOES_NOT_MATCH);
    EXPECT_EQ(log.lines()[0].message, "File does not exist, `" + path + "`");
}

TEST(OpenCameras, EmptyPathOpensNothingWithoutFailing)
{
    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
    int count = -1;
    EXPECT_EQ(ze_OpenCameras2(cameras, &count, "", ZE_TRANSPORT_NUL, ""), CAMERA_SUCCESS);
    EXPECT_EQ(count, 0);
}

TEST(GetCameras, ListsOpenCamerasInOpeningOrderAndAcceptsAbsentOutputs)
{
    TempDir dir;
    EXPECT_EQ(ze_GetCameras(nullptr, nullptr, ZE_TRANSPORT_NUL, ""), CAMERA_ERROR);
    NullCameras cameras(writeSmallSensor(dir), 3);
    ASSERT_EQ(cameras.cameras.size(), 3u);
    ze_camera_t *listed[ZE_MAX_CAMERAS] = {};
    int count = 0;
    EXPECT_EQ(ze_GetCameras(listed, &count, ZE_TRANSPORT_NUL, "csi"), CAMERA_SUCCESS);
    ASSERT_EQ(count, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(listed[i], cameras[size_t(i)]);
    EXPECT_EQ(ze_GetCameras(nullptr, nullptr, ZE_TRANSPORT_NUL, ""), CAMERA_SUCCESS);
    EXPECT_EQ(ze_GetCameras(listed, &count, ZE_TRANSPORT_DLL, ""), CAMERA_ERROR);
    EXPECT_EQ(count, 0);
}

TEST(CloseCameras, ACameraThatIsNotOpenChangesNothing)
{
    TempDir dir;
    NullCameras cameras(writeSmallSensor(dir));
    ze_camera_t stranger{};
    ze_camera_t *list[] = {&stranger, nullptr};
    EXPECT_EQ(ze_CloseCameras2(list, 2), CAMERA_SUCCESS);
    EXPECT_EQ(openCount(), 1);
    EXPECT_TRUE(zentro::hasThreadTable());
}

TEST(CloseCameras, OneAtATimeFreesTheThreadTableAfterTheLast)
{
    TempDir dir;
    NullCameras cameras(writeSmallSensor(dir), 3);
    ASSERT_EQ(openCount(), 3);
    ASSERT_TRUE(zentro::hasThreadTable());
    cameras.close(1);
    EXPECT_EQ(openCount(), 2);
    EXPECT_TRUE(zentro::hasThreadTable());
    cameras.close(0);
    EXPECT_TRUE(zentro::hasThreadTable());
    cameras.close(0);
    EXPECT_EQ(openCount(), 0);
    EXPECT_FALSE(zentro::hasThreadTable());
    // With nothing open the table stays gone, and an empty close changes nothing.
    EXPECT_EQ(ze_CloseCameras2(nullptr, 0), CAMERA_SUCCESS);
    EXPECT_FALSE(zentro::hasThreadTable());
}

TEST(CloseCameras, CloseAllClosesEveryTransportsCameras)
{
    TempDir dir;
    const std::string path = writeSmallSensor(dir);
    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
    int count = 0;
    ASSERT_EQ(ze_OpenCameras2(cameras, &count, path.c_str(), ZE_TRANSPORT_NUL, ""), 0);
    ASSERT_EQ(ze_OpenCameras2(cameras + 1, &count, path.c_str(), ZE_TRANSPORT_NUL, ""), 0);
    EXPECT_EQ(openCount(), 2);
    EXPECT_EQ(ze_CloseCameras(), CAMERA_SUCCESS);
    EXPECT_EQ(openCount(), 0);
    EXPECT_FALSE(zentro::hasThreadTable());
}

TEST(CancelProbe, SetsTheFlagThatTheNextOpenClears)
{
    uint32_t *flag = ze_CancelProbe();
    ASSERT_NE(flag, nullptr);
    EXPECT_NE(*flag, 0u);
    EXPECT_TRUE(zentro::probeCancelled());
    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
    int count = 0;
    ze_OpenCameras2(cameras, &count, "", 0, "");
    EXPECT_EQ(*flag, 0u);
    EXPECT_FALSE(zentro::probeCancelled());
}

// Run under the AddressSanitizer build, which reports any leak at exit.
TEST(OpenCameras, TenThousandOpensAndClosesLeaveNothingOpen)
{
    TempDir dir;
    const std::string path = writeSmallSensor(dir);
    for (int i = 0; i < 10000; ++i) {
        ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
        int count = 0;
        ASSERT_EQ(ze_OpenCameras2(cameras, &count, path.c_str(), ZE_TRANSPORT_NUL, ""), 0);
        ASSERT_EQ(count, 1);
        ASSERT_EQ(ze_CloseCameras2(cameras, count), CAMERA_SUCCESS);
    }
    EXPECT_EQ(openCount(), 0);
    EXPECT_FALSE(zentro::hasThreadTable());
}

// Run under the ThreadSanitizer build, which reports any race.
TEST(OpenCameras, TwoThreadsOpenAndCloseConcurrently)
{
    TempDir dir;
    const std::string path = writeSmallSensor(dir);
    std::atomic<int> failures{0};
    auto openAndClose = [&] {
        for (int i = 0; i < 300; ++i) {
            ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
            int count = 0;
            if (ze_OpenCameras2(cameras, &count, path.c_str(), ZE_TRANSPORT_NUL, "") != 0 ||
                count != 1)
                ++failures;
            uint32_t addrSize = 0;
            if (count == 1 &&
                (ze_getMode(cameras[0], ZE_REG_ADDR_SIZE, &addrSize) != 0 || addrSize != 8))
                ++failures;
            ze_CloseCameras2(cameras, count);
        }
        ze_ExitThread();
    };
    std::thread first(openAndClose);
    std::thread second(openAndClose);
    first.join();
    second.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(openCount(), 0);
}

} // namespace
