// Writers of grabbed frames: 16- or 8-bit greyscale PNG and TIFF, and raw recordings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <zentro.h>

#include "atomic_file.h"
#include "frame_image.h"

namespace zcli {

// PNG through libpng: 8-bit grey for 8-bit frames; otherwise 16-bit grey with the samples
// scaled to the full 16 bits and an sBIT chunk giving the sensor's bit depth. Written whole.
void writePng(const FrameImage &image, const std::string &path);

// TIFF through libtiff: 8- or 16-bit grey with the sensor's values unscaled (the largest value
// the depth allows in MaxSampleValue), for measurements. Written whole.
void writeTiff(const FrameImage &image, const std::string &path);

// A recording of raw frames and its "_info.txt" description, which the library's playback
// reads back. Both files appear under their names only when finish() succeeds.
class RawRecording
{
public:
    RawRecording(const std::string &path, const ze_sensor_t &sensor);
    void append(const uint8_t *frame, size_t size);
    void finish();
    unsigned long frames() const { return frames_; }

    // "frames.raw" gives "frames_info.txt".
    static std::string infoPath(const std::string &path);

private:
    AtomicFile raw_;
    std::string description_; // the description's text without the frame count
    size_t frameBytes_;
    unsigned long frames_ = 0;
};

} // namespace zcli
