// Tests of image types: names, type tests, sensor classification, pixel sizes and the
// image-type update.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <string>

#include "camera/pixel_sizes.h"
#include "support/test_support.h"
#include "zentro.h"

using zentro::test::TestCamera;

namespace {

// A camera with a zeroed sensor record whose frame modes the test sets.
class SensorCamera : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(ze_AllocSensor(camera), 0); }

    ze_sensor_t &sensor() { return *camera->sensor; }

    void setClocks(uint32_t bitsPerClock, uint32_t clocksPerPixel)
    {
        ASSERT_EQ(_SetMode(camera, ZE_BITS_PER_CLOCK, bitsPerClock), 0);
        ASSERT_EQ(_SetMode(camera, ZE_CLOCKS_PER_PIXEL, clocksPerPixel), 0);
    }

    TestCamera camera;
};

std::set<uint32_t> matching(int (*test)(uint32_t))
{
    std::set<uint32_t> found;
    for (uint32_t type = 0; type < 256; ++type) {
        if (test(type))
            found.insert(type);
    }
    return found;
}

} // namespace

TEST(ImageTypeNames, EveryCodeHasItsText)
{
    const char *const expected[] = {
        "Bayer 8",     "Bayer 10",     "Bayer8 Zoom",   "Bayer10 Zoom",  "YCbCr",     "565RGB",
        "555RGB",      "444XRGB",      "X444RGB",       "RGB24",         "RGB32",     "Bayer 12",
        "Bayer 12",    "RGB48",        "JPEG",          "Bayer Stereo",  "PNG",       "Prog. Bayer",
        "YUV 4:2:0",   "Bayer 14",     "Bayer 12 HiDy", "Bayer 14 HiDy", "Bayer 20",  "332RGB",
        "M420",        "Bayer10 iHDR", "JPEG SpdTags",  "Bayer 16",      "YCbCr 10",  "Bayer 6",
        "JPEG Rotate", "Y400",         "555LRGB",       "555MRGB",       "Bayer S24", "H.264",
        "Bayer 18",    "Bayer 24",     "Bayer 28",      "YUV 4:2:0-P",
    };
    for (uint32_t type = 1; type <= 40; ++type) {
        // The buffer is exactly as large as documented; the bytes after it must stay.
        std::array<char, ZE_IMAGE_TYPE_STR_SIZE + 4> buffer;
        buffer.fill('#');
        EXPECT_EQ(ze_GetImageTypeStr(type, buffer.data()), 0) << type;
        EXPECT_STREQ(buffer.data(), expected[type - 1]) << type;
        EXPECT_EQ(std::string(buffer.data() + ZE_IMAGE_TYPE_STR_SIZE, 4), "####") << type;
    }
}

TEST(ImageTypeNames, UnknownCodesSayUnknownAndFail)
{
    char buffer[ZE_IMAGE_TYPE_STR_SIZE];
    for (uint32_t type : {0u, 41u, 255u, 0xFFFFFFFFu}) {
        strcpy(buffer, "x");
        EXPECT_EQ(ze_GetImageTypeStr(type, buffer), 1) << type;
        EXPECT_STREQ(buffer, "Unknown") << type;
    }
    EXPECT_EQ(ze_GetImageTypeStr(2, nullptr), 1);
}

TEST(ImageTypeTests, EachTestAcceptsExactlyItsTypes)
{
    EXPECT_EQ(matching(ze_IsBayerImageType),
              (std::set<uint32_t>{1, 2, 12, 13, 16, 20, 23, 26, 28, 30, 38, 39}));
    EXPECT_EQ(matching(ze_IsYcbcrImageType), (std::set<uint32_t>{5, 29}));
    EXPECT_EQ(matching(ze_IsJpegImageType), (std::set<uint32_t>{15, 27, 31}));
    auto compressed = [](uint32_t type) { return zentro::isCompressedImageType(type) ? 1 : 0; };
    auto planar = [](uint32_t type) { return zentro::isPlanar420ImageType(type) ? 1 : 0; };
    EXPECT_EQ(matching(compressed), (std::set<uint32_t>{15, 17, 27, 36}));
    EXPECT_EQ(matching(planar), (std::set<uint32_t>{19, 25, 40}));
}

TEST_F(SensorCamera, IsBayerTestsTheSensorsImageType)
{
    sensor().imageType = ZE_IMAGE_BAYER12;
    EXPECT_EQ(ze_IsBayer(camera), 1);
    sensor().imageType = ZE_IMAGE_YCBCR;
    EXPECT_EQ(ze_IsBayer(camera), 0);
    TestCamera withoutSensor;
    EXPECT_EQ(ze_IsBayer(withoutSensor), 0);
    EXPECT_EQ(ze_IsBayer(nullptr), 0);
}

TEST_F(SensorCamera, ClassificationFollowsTheSensorTypeCode)
{
    const struct {
        int (*test)(ze_camera_t *);
        std::set<uint32_t> codes;
    } classes[] = {
        {ze_IsISP, {44, 71, 95, 99, 103, 111, 120, 127, 128, 129, 159, 176}},
        {ze_IsArrayImager, {105, 118}},
        {ze_IsItofISP, {195}},
        {ze_IsRadar, {170, 182, 188}},
        {ze_IsLidar, {171, 180}},
        {ze_IsItof, {193, 198, 199}},
    };
    for (const auto &cls : classes) {
        std::set<uint32_t> found;
        for (uint32_t code = 0; code < 400; ++code) {
            sensor().sensorType = code;
            if (cls.test(camera))
                found.insert(code);
        }
        EXPECT_EQ(found, cls.codes);
        EXPECT_EQ(cls.test(nullptr), 0);
    }
}

TEST_F(SensorCamera, RadarLidarAndItofAreJudgedByTheFirstFarSensor)
{
    ze_sensor_t far{};
    sensor().sensorType = 71; // an ISP in front of the part
    sensor().farSensor1 = &far;
    far.sensorType = 182;
    EXPECT_EQ(ze_IsRadar(camera), 1);
    EXPECT_EQ(ze_IsISP(camera), 1);
    far.sensorType = 180;
    EXPECT_EQ(ze_IsLidar(camera), 1);
    EXPECT_EQ(ze_IsRadar(camera), 0);
    far.sensorType = 198;
    EXPECT_EQ(ze_IsItof(camera), 1);
    // With a far sensor the main sensor's own code no longer counts.
    sensor().sensorType = 170;
    far.sensorType = 44;
    EXPECT_EQ(ze_IsRadar(camera), 0);
    sensor().farSensor1 = nullptr;
    EXPECT_EQ(ze_IsRadar(camera), 1);
}

TEST(PixelSizes, BytesPerClockAndPixelSizes)
{
    for (uint32_t bits = 0; bits <= 40; ++bits) {
        const uint32_t expected = bits == 0 ? 0 : bits <= 8 ? 1 : bits <= 16 ? 2 : 4;
        EXPECT_EQ(zentro::bytesPerClock(bits), expected) << bits;
    }
    EXPECT_EQ(zentro::pixelByteCount(10, 1), 2u);
    EXPECT_EQ(zentro::pixelBitCount(nullptr, 10, 1), 10u);
    EXPECT_EQ(zentro::pixelByteCount(20, 1), 4u);
    EXPECT_EQ(zentro::pixelBitCount(nullptr, 20, 1), 20u);
    EXPECT_EQ(zentro::pixelByteCount(8, 2), 2u);
    EXPECT_EQ(zentro::pixelByteCount(12, 3), 6u);
    EXPECT_EQ(zentro::pixelBitCount(nullptr, 12, 2), 24u);
}

TEST_F(SensorCamera, StereoPairSensorsHaveEightBitPixelsInSixteenBitClocks)
{
    for (uint32_t type : {28u, 53u}) {
        sensor().sensorType = type;
        EXPECT_EQ(zentro::pixelBitCount(&sensor(), 16, 1), 8u) << type;
        EXPECT_EQ(zentro::pixelBitCount(&sensor(), 16, 2), 32u) << type;
        EXPECT_EQ(zentro::pixelBitCount(&sensor(), 8, 1), 8u) << type;
        EXPECT_EQ(zentro::pixelBitCount(&sensor(), 12, 1), 12u) << type;
    }
    sensor().sensorType = 29;
    EXPECT_EQ(zentro::pixelBitCount(&sensor(), 16, 1), 16u);
    setClocks(16, 1);
    sensor().sensorType = 53;
    EXPECT_EQ(zentro::cameraPixelBits(camera), 8u);
    EXPECT_EQ(zentro::cameraPixelBytes(camera), 2u);
}

struct ImageTypeCase {
    uint32_t type;
    uint32_t imageCount;
    uint32_t bitsPerPixel;
    uint32_t bitsPerClock;
    uint32_t clocksPerPixel;
    uint32_t expected;
};

TEST_F(SensorCamera, ImageTypeUpdateFollowsTheBitsPerPixel)
{
    const ImageTypeCase cases[] = {
        {2, 1, 6, 6, 1, 30},
        {2, 1, 8, 8, 1, 1},
        {2, 1, 8, 16, 1, 16},
        {1, 1, 8, 8, 1, 1},
        {1, 1, 10, 10, 1, 2},
        {26, 1, 10, 10, 1, 26},
        {12, 1, 10, 10, 1, 2},
        {2, 1, 12, 12, 1, 12},
        {2, 1, 14, 14, 1, 20},
        {2, 1, 16, 16, 1, 28},
        {2, 1, 16, 8, 2, 2},
        {20, 1, 16, 8, 2, 20},
        {2, 1, 20, 20, 1, 23},
        {2, 1, 24, 12, 2, 38},
        {2, 1, 28, 14, 2, 39},
        {12, 1, 18, 18, 1, 12},
        {2, 1, 0, 0, 1, 2},
        // Multi-image frames: 8 bits stay 8-bit Bayer, everything else becomes Bayer 10.
        {12, 2, 8, 8, 1, 1},
        {12, 2, 12, 12, 1, 2},
        {28, 0, 16, 16, 1, 2},
        // Types that are not Bayer are left alone.
        {5, 1, 12, 12, 1, 5},
        {19, 1, 8, 8, 1, 19},
        {15, 2, 8, 8, 1, 15},
    };
    for (const ImageTypeCase &c : cases) {
        sensor().imageType = c.type;
        sensor().imageCount = c.imageCount;
        sensor().bitsPerPixel = c.bitsPerPixel;
        setClocks(c.bitsPerClock, c.clocksPerPixel);
        EXPECT_EQ(_updateImageType(camera), 0);
        EXPECT_EQ(sensor().imageType, c.expected)
            << "type " << c.type << " count " << c.imageCount << " bpp " << c.bitsPerPixel << " B "
            << c.bitsPerClock << " C " << c.clocksPerPixel;
    }
}

TEST_F(SensorCamera, TwentyBitClocksMakeABayer20Sensor)
{
    setClocks(20, 1);
    sensor().imageType = ZE_IMAGE_BAYER10;
    sensor().imageCount = 1;
    EXPECT_EQ(zentro::cameraPixelBytes(camera), 4u);
    sensor().bitsPerPixel = zentro::cameraPixelBits(camera);
    EXPECT_EQ(sensor().bitsPerPixel, 20u);
    ASSERT_EQ(_updateImageType(camera), 0);
    EXPECT_EQ(sensor().imageType, uint32_t{ZE_IMAGE_BAYER20});
}

TEST(ImageTypeUpdate, NeedsACameraWithASensor)
{
    TestCamera camera;
    EXPECT_EQ(_updateImageType(camera), 1);
    EXPECT_EQ(_updateImageType(nullptr), 1);
}
