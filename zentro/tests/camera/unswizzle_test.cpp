// Tests of the raw-frame routines against reference values computed here independently:
// unswizzling, the deep-Bayer merge and the 8-bit LSB-aligned repack.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "camera/context.h"
#include "support/test_support.h"
#include "zentro.h"

using zentro::test::TestCamera;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes randomBytes(size_t size, uint32_t seed)
{
    std::mt19937 generator(seed);
    Bytes bytes(size);
    for (uint8_t &b : bytes)
        b = static_cast<uint8_t>(generator());
    return bytes;
}

// Reference of the swizzled byte pairs: a sample of 8 + 2n bits arrives as its top eight
// bits in the first byte and its low 2n bits in the second, in n two-bit groups whose order
// is reversed. Built group by group, unlike the routine's per-depth formulas.
uint32_t swizzledSample(uint8_t first, uint8_t second, uint32_t sampleBits)
{
    const uint32_t groups = (sampleBits - 8) / 2;
    uint32_t low = 0;
    for (uint32_t g = 0; g < groups; ++g) {
        const uint32_t group = (second >> (2 * g)) % 4;
        low += group << (2 * (groups - 1 - g));
    }
    return first * (1u << (2 * groups)) + low;
}

uint32_t word16(const Bytes &b, size_t at)
{
    return b[at] + 256u * b[at + 1];
}

void putWord16(Bytes &b, size_t at, uint32_t value)
{
    b[at] = value % 256;
    b[at + 1] = (value / 256) % 256;
}

void putWord32(Bytes &b, size_t at, uint32_t value)
{
    putWord16(b, at, value % 65536);
    putWord16(b, at + 2, value / 65536);
}

enum class Arrival { Swizzled, MsbAligned };

// The expected buffer of an unswizzle: each whole 16-bit word becomes its sample; with
// @joinPairs each whole four-byte pixel then holds its first sample's 10 bits below its
// second's.
Bytes expectedUnswizzle(const Bytes &in, uint32_t sampleBits, Arrival arrival, bool joinPairs)
{
    Bytes out = in;
    for (size_t at = 0; at + 2 <= in.size(); at += 2) {
        const uint32_t sample = arrival == Arrival::MsbAligned
                                    ? word16(in, at) / (1u << (16 - sampleBits))
                                    : swizzledSample(in[at], in[at + 1], sampleBits);
        putWord16(out, at, sample % 65536);
    }
    if (joinPairs) {
        for (size_t at = 0; at + 4 <= in.size(); at += 4)
            putWord32(out, at, word16(out, at) % 1024 + (word16(out, at + 2) % 1024) * 1024);
    }
    return out;
}

// The expected buffer of a deep-Bayer merge: each whole 32-bit word is rebuilt from its
// lower and upper halves by @merge.
template <typename Merge>
Bytes expectedMerge(const Bytes &in, Merge merge)
{
    Bytes out = in;
    for (size_t at = 0; at + 4 <= in.size(); at += 4)
        putWord32(out, at, merge(word16(in, at), word16(in, at + 2)));
    return out;
}

class RawFrame : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(ze_AllocSensor(camera), 0);
        camera->sensor->imageType = ZE_IMAGE_BAYER10;
    }

    void setMode(uint32_t mode, uint32_t value) { ASSERT_EQ(_SetMode(camera, mode, value), 0); }

    void setClocks(uint32_t bitsPerClock, uint32_t clocksPerPixel)
    {
        setMode(ZE_BITS_PER_CLOCK, bitsPerClock);
        setMode(ZE_CLOCKS_PER_PIXEL, clocksPerPixel);
    }

    Bytes unswizzled(const Bytes &in)
    {
        Bytes out = in;
        EXPECT_EQ(_unSwizzleBuffer2(camera, out.data(), static_cast<uint32_t>(out.size())), 0);
        return out;
    }

    Bytes merged(const Bytes &in)
    {
        Bytes out = in;
        EXPECT_EQ(_mergeDeepBayer2(camera, out.data(), static_cast<uint32_t>(out.size())), 0);
        return out;
    }

    TestCamera camera;
    // 61 bytes: whole words, whole pixels and a trailing odd byte.
    const Bytes input = randomBytes(61, 2024);
};

} // namespace

TEST_F(RawFrame, SwizzledPairsOfEachDepth)
{
    for (uint32_t unswizzleMode : {1u, 3u, 7u}) { // any non-zero mode but 2 means byte pairs
        setMode(ZE_SW_UNSWIZZLE_MODE, unswizzleMode);
        for (uint32_t bits : {10u, 12u, 14u, 16u}) {
            setClocks(bits, 1);
            EXPECT_EQ(unswizzled(input), expectedUnswizzle(input, bits, Arrival::Swizzled, false))
                << "B " << bits << " mode " << unswizzleMode;
        }
    }
}

TEST_F(RawFrame, MsbAlignedWordsOfEachDepth)
{
    setMode(ZE_SW_UNSWIZZLE_MODE, 2);
    for (uint32_t bits : {10u, 12u, 14u}) {
        setClocks(bits, 1);
        EXPECT_EQ(unswizzled(input), expectedUnswizzle(input, bits, Arrival::MsbAligned, false))
            << "B " << bits;
    }
    setClocks(16, 1);
    EXPECT_EQ(unswizzled(input), input);
}

TEST_F(RawFrame, HandWorkedSwizzledPairs)
{
    // 10 bits: sample 0x2B6 arrives as 0xAD (its top 8 bits) and 0x02 (its low 2 bits).
    setClocks(10, 1);
    EXPECT_EQ(unswizzled({0xAD, 0x02}), (Bytes{0xB6, 0x02}));
    // 12 bits: 0xABC arrives as 0xAB and the groups 11 (0xC >> 2) and 00 reversed: 0x03.
    setClocks(12, 1);
    EXPECT_EQ(unswizzled({0xAB, 0x03}), (Bytes{0xBC, 0x0A}));
    // 14 bits: 0x2D39 is 0xB4 and low 6 bits 111001 sent as groups 01 10 11: 0x1B.
    setClocks(14, 1);
    EXPECT_EQ(unswizzled({0xB4, 0x1B}), (Bytes{0x39, 0x2D}));
    // 16 bits: 0x12E4 is 0x12 and 0xE4 (groups 11 10 01 00) sent reversed: 0x1B.
    setClocks(16, 1);
    EXPECT_EQ(unswizzled({0x12, 0x1B}), (Bytes{0xE4, 0x12}));
    // MSB-aligned 12 bits: 0xABC0 becomes 0x0ABC.
    setMode(ZE_SW_UNSWIZZLE_MODE, 2);
    setClocks(12, 1);
    EXPECT_EQ(unswizzled({0xC0, 0xAB}), (Bytes{0xBC, 0x0A}));
}

TEST_F(RawFrame, TenBitsAtTwoClocksJoinTheHalvesOfEachPixel)
{
    setClocks(10, 2);
    EXPECT_EQ(unswizzled(input), expectedUnswizzle(input, 10, Arrival::Swizzled, true));
    setMode(ZE_SW_UNSWIZZLE_MODE, 2);
    EXPECT_EQ(unswizzled(input), expectedUnswizzle(input, 10, Arrival::MsbAligned, true));
    // Hand-worked: samples 0x3FF and 0x001 (MSB-aligned) make the pixel 0x007FF.
    EXPECT_EQ(unswizzled({0xC0, 0xFF, 0x40, 0x00}), (Bytes{0xFF, 0x07, 0x00, 0x00}));
}

TEST_F(RawFrame, EightBitClocksUnswizzleOnlyTwoClockTenAndTwelveBitTypes)
{
    const struct {
        uint32_t type;
        uint32_t sampleBits; // 0: left alone
    } cases[] = {{ZE_IMAGE_BAYER12, 12}, {ZE_IMAGE_BAYER10, 10}, {ZE_IMAGE_BAYER10_IHDR, 10},
                 {ZE_IMAGE_BAYER8, 0},   {ZE_IMAGE_YCBCR, 0},    {ZE_IMAGE_BAYER12_ALT, 0}};
    for (uint32_t unswizzleMode : {1u, 2u}) {
        setMode(ZE_SW_UNSWIZZLE_MODE, unswizzleMode);
        const Arrival arrival = unswizzleMode == 2 ? Arrival::MsbAligned : Arrival::Swizzled;
        for (const auto &c : cases) {
            camera->sensor->imageType = c.type;
            setClocks(8, 2);
            const Bytes expected =
                c.sampleBits ? expectedUnswizzle(input, c.sampleBits, arrival, false) : input;
            EXPECT_EQ(unswizzled(input), expected)
                << "type " << c.type << " mode " << unswizzleMode;
            setClocks(8, 1);
            EXPECT_EQ(unswizzled(input), input) << "type " << c.type;
        }
    }
}

TEST_F(RawFrame, OtherDepthsAreLeftAlone)
{
    for (uint32_t bits : {6u, 8u, 11u, 18u, 20u, 24u}) {
        setClocks(bits, 1);
        EXPECT_EQ(unswizzled(input), input) << "B " << bits;
    }
}

TEST_F(RawFrame, UnswizzleModeZeroIsTheDeepBayerMerge)
{
    setMode(ZE_SW_UNSWIZZLE_MODE, 0);
    setClocks(12, 2);
    EXPECT_EQ(unswizzled(input), merged(input));
    EXPECT_NE(unswizzled(input), input);
}

TEST_F(RawFrame, MergeOfEachDepth)
{
    setClocks(10, 2);
    EXPECT_EQ(merged(input), expectedMerge(input, [](uint32_t lo, uint32_t hi) {
                  return lo % 1024 + (hi % 1024) * 1024;
              }));
    setMode(ZE_RX_TYPE, 3);
    EXPECT_EQ(merged(input), expectedMerge(input, [](uint32_t lo, uint32_t hi) {
                  return hi % 1024 + (lo % 1024) * 1024;
              }));
    setClocks(12, 2);
    EXPECT_EQ(merged(input), expectedMerge(input, [](uint32_t lo, uint32_t hi) {
                  return (lo % 4096) * 4096 + hi % 4096;
              }));
    setClocks(14, 2);
    EXPECT_EQ(merged(input), expectedMerge(input, [](uint32_t lo, uint32_t hi) {
                  return (lo % 16384) * 16384 + hi % 16384;
              }));
    setClocks(16, 2);
    EXPECT_EQ(merged(input), expectedMerge(input, [](uint32_t lo, uint32_t hi) {
                  return lo * 16 + hi / 4096; // the top nibble of an MSB-aligned half
              }));
    setMode(ZE_LSB_ALIGNED, 1);
    EXPECT_EQ(merged(input), expectedMerge(input, [](uint32_t lo, uint32_t hi) {
                  return lo * 16 + hi % 16; // the bottom nibble of an LSB-aligned half
              }));
}

TEST_F(RawFrame, HandWorkedMerges)
{
    setClocks(12, 2);
    // Halves 0x0ABC (low) and 0x0123 (high) become 0xABC123.
    EXPECT_EQ(merged({0xBC, 0x0A, 0x23, 0x01}), (Bytes{0x23, 0xC1, 0xAB, 0x00}));
    setClocks(16, 2);
    // Halves 0xBEEF and 0xD000 (MSB-aligned nibble D) become 0xBEEFD.
    EXPECT_EQ(merged({0xEF, 0xBE, 0x00, 0xD0}), (Bytes{0xFD, 0xEE, 0x0B, 0x00}));
}

TEST_F(RawFrame, MergeLeavesOtherFramesAlone)
{
    setClocks(12, 1); // one clock per pixel: nothing to merge
    EXPECT_EQ(merged(input), input);
    setClocks(8, 2);
    EXPECT_EQ(merged(input), input);
    setClocks(10, 2); // ten bits only for Bayer sensors
    camera->sensor->imageType = ZE_IMAGE_YCBCR;
    EXPECT_EQ(merged(input), input);
    setClocks(12, 2); // a file-playback camera's frames are already merged
    camera->sensor->sensorType = 36;
    EXPECT_EQ(merged(input), input);
}

TEST_F(RawFrame, WholeFrameRoutinesStopAtTheImageBytes)
{
    ze_sensor_t &sensor = *camera->sensor;
    sensor.imageWidth = 4;
    sensor.imageHeight = 2;
    sensor.pixelBytes = 2;
    sensor.imageBytes = 16;
    setClocks(12, 1);
    Bytes frame = input;
    ASSERT_EQ(_unSwizzleBuffer1(camera, frame.data()), 0);
    Bytes expected =
        expectedUnswizzle(Bytes(input.begin(), input.begin() + 16), 12, Arrival::Swizzled, false);
    expected.insert(expected.end(), input.begin() + 16, input.end());
    EXPECT_EQ(frame, expected);

    // Image bytes smaller than width x height x pixel bytes bound the work.
    sensor.imageBytes = 12;
    setClocks(14, 2);
    frame = input;
    ASSERT_EQ(_mergeDeepBayer1(camera, frame.data()), 0);
    expected =
        expectedMerge(Bytes(input.begin(), input.begin() + 12),
                      [](uint32_t lo, uint32_t hi) { return (lo % 16384) * 16384 + hi % 16384; });
    expected.insert(expected.end(), input.begin() + 12, input.end());
    EXPECT_EQ(frame, expected);
}

TEST_F(RawFrame, LsbAlignedEightBitSamplesAreCompacted)
{
    ze_sensor_t &sensor = *camera->sensor;
    sensor.imageWidth = 5;
    sensor.imageHeight = 2;
    sensor.imageBytes = 40;
    setClocks(8, 2); // 20 samples, 40 bytes
    setMode(ZE_LSB_ALIGNED, 1);
    setMode(ZE_RX_TYPE, 1);
    Bytes frame = input;
    ASSERT_EQ(_repackLsbAligned8(camera, frame.data()), 0);
    Bytes expected = input;
    for (size_t i = 0; i < 20; ++i)
        expected[i] = input[2 * i];
    EXPECT_EQ(frame, expected);

    // Fewer image bytes than two per sample: only half the image bytes are samples.
    for (uint32_t imageBytes : {30u, 13u}) {
        sensor.imageBytes = imageBytes;
        frame = input;
        ASSERT_EQ(_repackLsbAligned8(camera, frame.data()), 0);
        expected = input;
        for (size_t i = 0; i < imageBytes / 2; ++i)
            expected[i] = input[2 * i];
        EXPECT_EQ(frame, expected) << imageBytes;
    }
}

TEST_F(RawFrame, JpegFramesRepackTheSpoofedSize)
{
    zentro::initGlobalContext(camera); // the spoof size lives in the shared context
    ze_sensor_t &sensor = *camera->sensor;
    sensor.imageType = ZE_IMAGE_JPEG;
    sensor.imageWidth = 100;
    sensor.imageHeight = 100;
    sensor.imageBytes = 60;
    setClocks(8, 1);
    setMode(ZE_LSB_ALIGNED, 1);
    setMode(ZE_RX_TYPE, 1);
    setMode(ZE_SPOOF_SIZE, (3u << 16) | 4u); // 12 samples
    Bytes frame = input;
    ASSERT_EQ(_repackLsbAligned8(camera, frame.data()), 0);
    Bytes expected = input;
    for (size_t i = 0; i < 12; ++i)
        expected[i] = input[2 * i];
    EXPECT_EQ(frame, expected);
}

TEST_F(RawFrame, RepackNeedsLsbAlignmentNarrowClocksAndReceiverType1)
{
    ze_sensor_t &sensor = *camera->sensor;
    sensor.imageWidth = 4;
    sensor.imageHeight = 4;
    sensor.imageBytes = 32;
    const struct {
        uint32_t lsbAligned, bits, rxType;
    } refused[] = {{0, 8, 1}, {1, 10, 1}, {1, 8, 2}, {1, 8, 0xFFFFFFFF}};
    for (const auto &c : refused) {
        setMode(ZE_LSB_ALIGNED, c.lsbAligned);
        setClocks(c.bits, 1);
        setMode(ZE_RX_TYPE, c.rxType);
        Bytes frame = input;
        ASSERT_EQ(_repackLsbAligned8(camera, frame.data()), 0);
        EXPECT_EQ(frame, input) << c.lsbAligned << " " << c.bits << " " << c.rxType;
    }
}

TEST_F(RawFrame, SixBitBayerIsUsedAsItArrives)
{
    Bytes frame = input;
    EXPECT_EQ(_unpackBayer6(camera, frame.data()), 0);
    EXPECT_EQ(frame, input);
}

TEST_F(RawFrame, AbsentCameraSensorOrBufferGives1)
{
    uint8_t byte = 0;
    EXPECT_EQ(_unSwizzleBuffer2(nullptr, &byte, 1), 1);
    EXPECT_EQ(_unSwizzleBuffer2(camera, nullptr, 1), 1);
    EXPECT_EQ(_mergeDeepBayer2(nullptr, &byte, 1), 1);
    EXPECT_EQ(_repackLsbAligned8(camera, nullptr), 1);
    TestCamera withoutSensor;
    EXPECT_EQ(_unSwizzleBuffer1(withoutSensor, &byte), 1);
    EXPECT_EQ(_mergeDeepBayer1(withoutSensor, &byte), 1);
    EXPECT_EQ(_repackLsbAligned8(withoutSensor, &byte), 1);
}
