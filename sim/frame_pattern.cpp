// Test-pattern frames of the simulated sensor.
#include "frame_pattern.h"

#include <cstring>
#include <iterator>
#include <linux/videodev2.h>

namespace boardsim {
namespace {

constexpr unsigned kCounterSamples = 4;

const PixelFormatInfo kFormats[] = {
    {V4L2_PIX_FMT_SGRBG8, 8, 1, "8-bit Bayer GRGR/BGBG"},
    {V4L2_PIX_FMT_SGRBG10, 10, 2, "10-bit Bayer GRGR/BGBG"},
    {V4L2_PIX_FMT_SGRBG12, 12, 2, "12-bit Bayer GRGR/BGBG"},
    {v4l2_fourcc('p', 'g', 'E', 'E'), 14, 2, "14-bit Bayer GRGR/BGBG Packed"},
    {V4L2_PIX_FMT_SGRBG16, 16, 2, "16-bit Bayer GRGR/BGBG"},
};

} // namespace

const PixelFormatInfo *findPixelFormat(uint32_t fourcc)
{
    for (const auto &f : kFormats)
        if (f.fourcc == fourcc)
            return &f;
    return nullptr;
}

const PixelFormatInfo *pixelFormatAt(size_t index)
{
    return index < std::size(kFormats) ? &kFormats[index] : nullptr;
}

const PixelFormatInfo &defaultPixelFormat(unsigned bitDepth)
{
    for (const auto &f : kFormats)
        if (f.bitDepth == bitDepth)
            return f;
    return kFormats[2];
}

void drawTestFrame(uint8_t *frame, const PixelFormatInfo &format, uint32_t width, uint32_t height,
                   uint32_t bytesPerLine, uint32_t frameNumber)
{
    const uint32_t mask = format.bitDepth >= 32 ? 0xFFFFFFFFu : (1u << format.bitDepth) - 1;
    // The board's capture unit stores samples narrower than their 16-bit word in its upper
    // bits; the board plug-in shifts them down on delivery.
    const unsigned alignment =
        format.bytesPerPixel == 2 && format.bitDepth < 16 ? 16 - format.bitDepth : 0;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t *row = frame + static_cast<size_t>(y) * bytesPerLine;
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t v = (x + 2 * y + frameNumber) & mask;
            if (y == 0 && x < kCounterSamples)
                v = (frameNumber >> (8 * x)) & 0xFF;
            if (format.bytesPerPixel == 1) {
                row[x] = static_cast<uint8_t>(v);
            } else {
                v <<= alignment;
                row[2 * x] = static_cast<uint8_t>(v);
                row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
            }
        }
        const size_t used = static_cast<size_t>(width) * format.bytesPerPixel;
        if (bytesPerLine > used)
            std::memset(row + used, 0, bytesPerLine - used);
    }
}

} // namespace boardsim
