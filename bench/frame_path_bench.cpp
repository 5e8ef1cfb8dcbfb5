// Figures for the board plug-in's frame path: a 1920 x 1200 frame of 16-bit samples in padded
// driver rows is cropped, shifted to 12 bits and copied out, as a grab delivers it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "block_helpers.h"

namespace {

using zentro::bench::Figure;
using zentro::bench::timed;

constexpr size_t kWidth = 1920, kHeight = 1200, kSampleBytes = 2;
constexpr size_t kRowBytes = kWidth * kSampleBytes;
constexpr size_t kPitch = 4096; // the driver's padded rows
constexpr size_t kFrameBytes = kRowBytes * kHeight;
constexpr unsigned kShift = 4; // 12-bit samples
constexpr double kTargetGBps = 2.0;

double gigabytesPerSecond(double ms)
{
    return ms > 0 ? static_cast<double>(kFrameBytes) / (ms * 1e6) : 0;
}

void print(const char *what, const Figure &figure, double target = 0)
{
    std::printf("%-34s median %6.3f ms  %6.2f GB/s (best %6.2f GB/s)", what, figure.medianWallMs(),
                gigabytesPerSecond(figure.medianWallMs()), gigabytesPerSecond(figure.bestWallMs()));
    if (target > 0)
        std::printf("   (target >= %.1f GB/s)", target);
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    std::vector<uint8_t> driver(kPitch * kHeight);
    for (size_t i = 0; i < driver.size(); ++i)
        driver[i] = static_cast<uint8_t>(i * 7);
    std::vector<uint8_t> cropped(kFrameBytes), delivered(kFrameBytes);

    Figure crop, shift, copy, path;
    for (int round = 0; round < rounds; ++round) {
        crop.add(timed(
            [&] { CropImages_neon(cropped.data(), driver.data(), kPitch, kHeight, kRowBytes); }));
        shift.add(
            timed([&] { BitShift_neon(delivered.data(), cropped.data(), kFrameBytes, kShift); }));
        copy.add(timed([&] { MemCopy_neon(delivered.data(), cropped.data(), kFrameBytes); }));
        path.add(timed([&] {
            CropImages_neon(cropped.data(), driver.data(), kPitch, kHeight, kRowBytes);
            BitShift_neon(delivered.data(), cropped.data(), kFrameBytes, kShift);
        }));
    }
    std::printf("frame path: %zu x %zu, 16-bit samples, rows of %zu bytes in %zu, %d rounds\n",
                kWidth, kHeight, kRowBytes, kPitch, rounds);
    print("crop (drop row padding)", crop);
    print("shift by 4 and copy out", shift);
    print("plain copy", copy);
    print("crop + shift + copy (a grab)", path, kTargetGBps);
    return 0;
}
