// Greyscale TIFF files through libtiff.
#include <cstdarg>
#include <cstring>
#include <unistd.h>
#include <memory>
#include <vector>

#include <tiffio.h>

#include "cli_error.h"
#include "image_writers.h"

namespace zcli {
namespace {

struct TiffClose {
    void operator()(TIFF *tiff) const { TIFFClose(tiff); }
};

void fillRow(const FrameImage &image, uint32_t y, std::vector<uint8_t> &row)
{
    for (uint32_t x = 0; x < image.width; ++x) {
        const uint32_t sample = image.sample(x, y);
        if (image.pixelBytes == 1) {
            row[x] = static_cast<uint8_t>(sample);
        } else {
            const auto value = static_cast<uint16_t>(sample);
            std::memcpy(&row[2 * x], &value, sizeof value); // native order, as libtiff expects
        }
    }
}

bool encode(TIFF *tiff, const FrameImage &image)
{
    const uint16_t depth = image.pixelBytes == 1 ? 8 : 16;
    const uint32_t bits = image.bits > 0 && image.bits <= depth ? image.bits : depth;
    const auto largest = static_cast<uint16_t>((1u << bits) - 1);
    bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, image.width) &&
              TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, image.height) &&
              TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, depth) &&
              TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1) &&
              TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) &&
              TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
              TIFFSetField(tiff, TIFFTAG_MAXSAMPLEVALUE, largest) &&
              TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    std::vector<uint8_t> row(size_t{image.width} * image.pixelBytes);
    for (uint32_t y = 0; ok && y < image.height; ++y) {
        fillRow(image, y, row);
        ok = TIFFWriteScanline(tiff, row.data(), y, 0) == 1;
    }
    return ok;
}

// libtiff reports through handlers; the client reports the failure itself, once.
void quietHandler(const char *, const char *, va_list) {}

} // namespace

void writeTiff(const FrameImage &image, const std::string &path)
{
    AtomicFile target(path);
    TIFFSetErrorHandler(quietHandler);
    TIFFSetWarningHandler(quietHandler);
    // TIFFClose closes the descriptor it is given: it gets a duplicate of its own.
    const int fd = ::dup(target.fd());
    if (fd < 0)
        operationFailed("cannot write the TIFF file " + path);
    std::unique_ptr<TIFF, TiffClose> tiff(TIFFFdOpen(fd, path.c_str(), "w"));
    if (!tiff) {
        ::close(fd);
        operationFailed("cannot write the TIFF file " + path);
    }
    if (!encode(tiff.get(), image) || !TIFFFlush(tiff.get()))
        operationFailed("cannot write the TIFF file " + path);
    tiff.reset();
    target.commit();
}

} // namespace zcli
