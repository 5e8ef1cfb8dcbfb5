// The capture tool's command line: settings, their parsing and the usage text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

enum class IoMethod { Read, Mmap, UserPointer };

struct CaptureSettings {
    std::string device = "/dev/video0";
    IoMethod io = IoMethod::Mmap;
    std::string output;       // empty: no raw file
    bool forceFormat = false; // -f: format from the sensor table
    bool preferredStride = false;
    unsigned metaRows = 0;  // 0, 2, 4, 8 or 16
    unsigned statsRows = 0; // 0, 2 or 4
    unsigned linkGeneration = 2;
    unsigned long frameCount = 1;
};

constexpr const char *kToolVersion = "1.3";

void printUsage(std::FILE *out, const char *program);

// Parses argv. -h prints the usage text and exits 0; an unknown option or a value outside its
// choices prints the usage text on the error stream and exits 1; a number out of range ends
// the program through the driver-control error path.
CaptureSettings parseOptions(int argc, char **argv);

// A number with base detection (decimal, 0x hexadecimal, leading 0 octal); text that is not a
// number reads as 0. A value beyond max ends the program with the value named in the message.
unsigned long parseNumber(const char *text, unsigned long max);
