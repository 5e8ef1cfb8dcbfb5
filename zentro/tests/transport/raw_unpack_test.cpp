// Unpacking packed recordings into whole samples.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "transport/raw_unpack.h"

namespace {

std::vector<uint16_t> samples(const std::vector<uint8_t> &bytes)
{
    std::vector<uint16_t> out(bytes.size() / 2);
    memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

TEST(RawUnpack, TenBitSamplesFromFiveByteGroupsThenStatusBytes)
{
    // Samples 0x3FF, 0x001, 0x200, 0x155 packed little-endian, then two status bytes.
    const uint64_t group = 0x3FFull | (0x001ull << 10) | (0x200ull << 20) | (0x155ull << 30);
    std::vector<uint8_t> in;
    for (int i = 0; i < 5; ++i)
        in.push_back(uint8_t(group >> (8 * i)));
    in.push_back(0xAB);
    in.push_back(0xCD);
    std::vector<uint8_t> out(10, 0);
    const zentro::RawUnpackLayout layout{4, 1, 10, 2};
    EXPECT_EQ(zentro::unpackPacked(layout, in.data(), in.size(), out.data(), out.size()), 10u);
    const std::vector<uint16_t> expected = {0x3FF, 0x001, 0x200, 0x155};
    EXPECT_EQ(samples({out.begin(), out.begin() + 8}), expected);
    EXPECT_EQ(out[8], 0xAB);
    EXPECT_EQ(out[9], 0xCD);
}

TEST(RawUnpack, TwelveBitRowsStopAtTheEndOfEitherBuffer)
{
    const std::vector<uint8_t> in = {0x21, 0x43, 0x65, 0x21, 0x43, 0x65}; // two rows of 2
    std::vector<uint8_t> out(6, 0xEE); // room for one row and a half
    const zentro::RawUnpackLayout layout{2, 2, 12, 0};
    EXPECT_EQ(zentro::unpackPacked(layout, in.data(), in.size(), out.data(), out.size()), 4u);
    EXPECT_EQ(samples({out.begin(), out.begin() + 4}), (std::vector<uint16_t>{0x321, 0x654}));
    EXPECT_EQ(out[4], 0xEE);
}

TEST(RawUnpack, V210WordsGiveThreeSamplesEach)
{
    EXPECT_EQ(zentro::v210RowBytes(6), 128u);
    std::vector<uint8_t> in(128, 0);
    const uint32_t word = 1u | (2u << 10) | (3u << 20);
    memcpy(in.data(), &word, 4);
    memcpy(in.data() + 4, &word, 4);
    const zentro::RawUnpackLayout layout{2, 1, 10, 0}; // 2 x width rounded down to 4 samples
    std::vector<uint8_t> out(8, 0);
    EXPECT_EQ(zentro::unpackV210(layout, in.data(), in.size(), out.data(), out.size()), 8u);
    EXPECT_EQ(samples(out), (std::vector<uint16_t>{1, 2, 3, 1}));
}

} // namespace
