// One grabbed frame seen as a greyscale image of 8- or 16-bit samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <zentro.h>

namespace zcli {

struct FrameImage {
    std::vector<uint8_t> bytes; // the frame as grabbed, little-endian samples
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t pixelBytes = 0; // 1 or 2
    uint32_t bits = 0;       // significant bits per sample

    // Sample @x of row @y; 0 beyond what the camera delivered.
    uint32_t sample(uint32_t x, uint32_t y) const;
};

// Why the sensor's frames cannot be written as a greyscale image ("" when they can): only
// Bayer and monochrome types of 1 or 2 bytes per pixel can.
std::string greyscaleRefusal(const ze_sensor_t &sensor);

} // namespace zcli
