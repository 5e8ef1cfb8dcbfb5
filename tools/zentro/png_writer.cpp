// Greyscale PNG files through libpng.
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <png.h>

#include "cli_error.h"
#include "image_writers.h"

namespace zcli {
namespace {

constexpr uint32_t kPngDepth16 = 16;
constexpr uint32_t kPngDepth8 = 8;

// Fills one output row: 8-bit samples as they are, deeper ones scaled to 16 bits, big-endian.
void fillRow(const FrameImage &image, uint32_t y, std::vector<png_byte> &row)
{
    const bool wide = image.pixelBytes > 1;
    const unsigned shift = wide && image.bits < kPngDepth16 ? kPngDepth16 - image.bits : 0;
    for (uint32_t x = 0; x < image.width; ++x) {
        const uint32_t sample = image.sample(x, y);
        if (!wide) {
            row[x] = static_cast<png_byte>(sample);
            continue;
        }
        const uint32_t scaled = (sample << shift) & 0xFFFFu;
        row[2 * x] = static_cast<png_byte>(scaled >> 8);
        row[2 * x + 1] = static_cast<png_byte>(scaled);
    }
}

// Everything between setjmp and a libpng error stays plain data: a longjmp skips destructors.
bool encode(FILE *file, const FrameImage &image, std::vector<png_byte> &row)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(png ? &png : nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    const bool wide = image.pixelBytes > 1;
    png_init_io(png, file);
    png_set_IHDR(png, info, image.width, image.height, wide ? kPngDepth16 : kPngDepth8,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (wide && image.bits > 0 && image.bits < kPngDepth16) {
        png_color_8 significant{};
        significant.gray = static_cast<png_byte>(image.bits);
        png_set_sBIT(png, info, &significant);
    }
    png_write_info(png, info);
    for (uint32_t y = 0; y < image.height; ++y) {
        fillRow(image, y, row);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

void writePng(const FrameImage &image, const std::string &path)
{
    AtomicFile target(path);
    FILE *file = ::fdopen(::dup(target.fd()), "wb");
    if (!file)
        operationFailed("cannot write " + path);
    std::vector<png_byte> row(size_t{image.width} * (image.pixelBytes > 1 ? 2 : 1));
    const bool encoded = encode(file, image, row);
    const bool closed = std::fclose(file) == 0;
    if (!encoded || !closed)
        operationFailed("cannot write the PNG file " + path);
    target.commit();
}

} // namespace zcli
