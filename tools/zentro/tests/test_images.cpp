// PNG and TIFF decoding for the client's tests.
#include "test_images.h"

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <png.h>
#include <tiffio.h>

namespace clitest {
namespace {

bool decodePng(FILE *file, DecodedImage &image, std::vector<png_byte> &row)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info)
        return false;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    image.width = png_get_image_width(png, info);
    image.height = png_get_image_height(png, info);
    image.depth = png_get_bit_depth(png, info);
    image.grey = png_get_color_type(png, info) == PNG_COLOR_TYPE_GRAY;
    png_color_8p significant = nullptr;
    if (png_get_sBIT(png, info, &significant) && significant)
        image.significantBits = significant->gray;
    row.resize(png_get_rowbytes(png, info));
    for (uint32_t y = 0; y < image.height; ++y) {
        png_read_row(png, row.data(), nullptr);
        for (uint32_t x = 0; x < image.width; ++x)
            image.samples.push_back(image.depth == 16 ? (row[2 * x] << 8 | row[2 * x + 1])
                                                      : row[x]);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace

DecodedImage readPng(const std::string &path)
{
    DecodedImage image;
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return image;
    std::vector<png_byte> row;
    image.ok = decodePng(file, image, row);
    std::fclose(file);
    return image;
}

DecodedImage readTiff(const std::string &path)
{
    DecodedImage image;
    std::unique_ptr<TIFF, void (*)(TIFF *)> tiff(TIFFOpen(path.c_str(), "r"), TIFFClose);
    if (!tiff)
        return image;
    uint16_t depth = 0, photometric = 0, largest = 0;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &image.width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &image.height);
    TIFFGetField(tiff.get(), TIFFTAG_BITSPERSAMPLE, &depth);
    TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_MAXSAMPLEVALUE, &largest);
    image.depth = depth;
    image.grey = photometric == PHOTOMETRIC_MINISBLACK;
    image.significantBits = std::bit_width(largest);
    std::vector<uint8_t> row(TIFFScanlineSize(tiff.get()));
    for (uint32_t y = 0; y < image.height; ++y) {
        if (TIFFReadScanline(tiff.get(), row.data(), y, 0) != 1)
            return image;
        for (uint32_t x = 0; x < image.width; ++x) {
            uint16_t sample = 0;
            if (depth == 16)
                std::memcpy(&sample, &row[2 * x], sizeof sample);
            else
                sample = row[x];
            image.samples.push_back(sample);
        }
    }
    image.ok = true;
    return image;
}

} // namespace clitest
