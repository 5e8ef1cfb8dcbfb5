// Reading back the PNG and TIFF files the client writes, sample by sample.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace clitest {

struct DecodedImage {
    bool ok = false;
    uint32_t width = 0;
    uint32_t height = 0;
    int depth = 0;           // bits per sample in the file
    int significantBits = 0; // PNG sBIT (0 when absent); TIFF: bits of MaxSampleValue
    bool grey = false;
    std::vector<uint32_t> samples; // row by row
};

DecodedImage readPng(const std::string &path);
DecodedImage readTiff(const std::string &path);

} // namespace clitest
