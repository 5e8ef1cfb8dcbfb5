// The frame path's block helpers: every byte copied, tails included, nothing written past the
// destination.
#include "block_helpers.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

constexpr uint8_t kGuard = 0xA5;
constexpr size_t kGuardBytes = 32;

// A destination of @size bytes followed by a guard region, to see writes past the end.
class GuardedBuffer
{
public:
    explicit GuardedBuffer(size_t size) : size_(size), bytes_(size + kGuardBytes, kGuard) {}
    uint8_t *data() { return bytes_.data(); }
    uint8_t operator[](size_t i) const { return bytes_[i]; }
    bool guardIntact() const
    {
        for (size_t i = size_; i < bytes_.size(); ++i)
            if (bytes_[i] != kGuard)
                return false;
        return true;
    }

private:
    size_t size_;
    std::vector<uint8_t> bytes_;
};

std::vector<uint8_t> counting(size_t size, uint8_t first = 1)
{
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

TEST(BlockHelpers, CopyTakesEveryByteIncludingTheTail)
{
    for (size_t n = 0; n <= 64; ++n) {
        const auto source = counting(n);
        GuardedBuffer destination(n);
        MemCopy_neon(destination.data(), source.data(), n);
        for (size_t i = 0; i < n; ++i)
            ASSERT_EQ(destination[i], source[i]) << "n " << n << " byte " << i;
        EXPECT_TRUE(destination.guardIntact()) << "n " << n;
    }
}

TEST(BlockHelpers, AppendPutsTheSecondSourceRightAfterTheFirst)
{
    const auto first = counting(21, 1), second = counting(7, 100);
    const uint8_t *sources[2] = {first.data(), second.data()};
    const size_t sizes[2] = {first.size(), second.size()};
    GuardedBuffer destination(28);
    MemAppend_neon(sources, destination.data(), sizes);
    for (size_t i = 0; i < 21; ++i)
        EXPECT_EQ(destination[i], first[i]);
    for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(destination[21 + i], second[i]);
    EXPECT_TRUE(destination.guardIntact());
}

TEST(BlockHelpers, ShiftMovesEverySampleDownAndCopiesAnOddLastByte)
{
    for (unsigned shift : {2u, 4u, 6u}) {
        for (size_t n = 1; n <= 48; ++n) {
            std::vector<uint8_t> source(n);
            for (size_t i = 0; i < n; ++i)
                source[i] = static_cast<uint8_t>(0xF1 + 37 * i);
            GuardedBuffer destination(n);
            BitShift_neon(destination.data(), source.data(), n, shift);
            for (size_t s = 0; s + 1 < n; s += 2) {
                const unsigned sample = source[s] | source[s + 1] << 8;
                const unsigned shifted = destination[s] | destination[s + 1] << 8;
                ASSERT_EQ(shifted, sample >> shift) << "shift " << shift << " n " << n;
            }
            if (n % 2 == 1) {
                EXPECT_EQ(destination[n - 1], source[n - 1]) << "n " << n;
            }
            EXPECT_TRUE(destination.guardIntact()) << "shift " << shift << " n " << n;
        }
    }
}

TEST(BlockHelpers, ShiftsOtherThanTwoFourOrSixCopyUnchanged)
{
    const auto source = counting(37, 0xC0);
    for (unsigned shift : {0u, 1u, 3u, 8u, 16u}) {
        GuardedBuffer destination(source.size());
        BitShift_neon(destination.data(), source.data(), source.size(), shift);
        for (size_t i = 0; i < source.size(); ++i)
            ASSERT_EQ(destination[i], source[i]) << "shift " << shift;
        EXPECT_TRUE(destination.guardIntact());
    }
}

TEST(BlockHelpers, CropDropsRowPaddingAndWritesNothingPastTheRows)
{
    // 2000-byte rows in 2048-byte strides, as a 1000-pixel 16-bit frame, and odd sizes.
    const struct {
        size_t pitch, rows, rowBytes;
    } cases[] = {{2048, 6, 2000}, {64, 7, 50}, {33, 3, 33}, {16, 4, 1}};
    for (const auto &c : cases) {
        const auto source = counting(c.pitch * c.rows);
        GuardedBuffer destination(c.rows * c.rowBytes);
        CropImages_neon(destination.data(), source.data(), c.pitch, c.rows, c.rowBytes);
        for (size_t row = 0; row < c.rows; ++row)
            for (size_t i = 0; i < c.rowBytes; ++i)
                ASSERT_EQ(destination[row * c.rowBytes + i], source[row * c.pitch + i])
                    << "pitch " << c.pitch << " row " << row << " byte " << i;
        EXPECT_TRUE(destination.guardIntact()) << "pitch " << c.pitch;
    }
}

} // namespace
