// Numbered result files: choosing the next free "<stem>NNNN.<extension>" and saving images.
#include "osal/numbered_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "osal/handles.h"
#include "zentro_osal.h"

namespace zentro {

namespace {

constexpr int kFirstNumber = 5000;
constexpr int kFirstStep = 2500;
// Four digits and the terminator that numbering adds to a name in its buffer.
constexpr size_t kNumberingRoom = 5;
constexpr size_t kNumberTextSize = 8;
// The name buffer of image saves.
constexpr size_t kImageNameBufferSize = 256;
// Marks a search that found the highest number taken.
constexpr int kTopTaken = -1;

// Where the extension of @name begins (at its "."), or the end of @name without one.
size_t extensionStart(const std::string &name)
{
    size_t lastSeparator = name.find_last_of("/\\");
    size_t dot = name.rfind('.');
    bool inLastComponent = dot != name.npos && (lastSeparator == name.npos || dot > lastSeparator);
    return inLastComponent ? dot : name.size();
}

// Probes numbers from the middle of the range with halving steps. With files numbered
// without gaps from 0 it ends at the first free number after about 15 probes.
int searchFreeNumber(const std::function<bool(int)> &taken)
{
    int number = kFirstNumber;
    int step = kFirstStep;
    for (;;) {
        if (taken(number)) {
            // Past the top every candidate is the highest number: the search would not end.
            if (number >= kMaxFileNumber)
                return kTopTaken;
            number += step == 2 ? 1 : step;
        } else {
            if (number == 0 || step == 1)
                return std::min(number, kMaxFileNumber);
            number = std::max(0, number - step);
        }
        step = (step + 1) / 2;
    }
}

// The lowest free number, or the highest number when all are taken.
int lowestFreeNumber(const std::function<bool(int)> &taken)
{
    for (int number = 0; number < kMaxFileNumber; ++number) {
        if (!taken(number))
            return number;
    }
    return kMaxFileNumber;
}

bool pathExists(const std::string &path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

void reportWriteFailure(const std::string &path, int error)
{
    fprintf(stderr, "Unable to write image file %s: %s\n", path.c_str(), strerror(error));
}

void writeFile(const std::string &path, const void *data, size_t length)
{
    UniqueFile file(fopen(path.c_str(), "wb"));
    if (!file) {
        reportWriteFailure(path, errno);
        return;
    }
    bool written = fwrite(data, 1, length, file.get()) == length;
    // Closing flushes, so its result belongs to the write.
    if (fclose(file.release()) != 0 || !written)
        reportWriteFailure(path, errno);
}

} // namespace

std::string numberedCandidate(const std::string &name, int number)
{
    char digits[kNumberTextSize];
    snprintf(digits, sizeof(digits), "%04d", std::clamp(number, 0, kMaxFileNumber));
    size_t extension = extensionStart(name);
    return name.substr(0, extension) + digits + name.substr(extension);
}

std::string numberedFileName(const std::string &name, size_t nameBufferSize,
                             const std::function<bool(const std::string &)> &exists)
{
    if (nameBufferSize < kNumberingRoom || name.size() > nameBufferSize - kNumberingRoom)
        return name;
    auto taken = [&](int number) { return exists(numberedCandidate(name, number)); };
    int number = searchFreeNumber(taken);
    // With the highest number taken, a gap lower down still saves overwriting a result.
    if (number == kTopTaken)
        number = lowestFreeNumber(taken);
    return numberedCandidate(name, number);
}

std::string numberedFileName(const std::string &name, size_t nameBufferSize)
{
    return numberedFileName(name, nameBufferSize, pathExists);
}

} // namespace zentro

extern "C" {

ZE_API int osal_saveImage(const char *name, const void *data, size_t length)
{
    if (!name || (!data && length > 0))
        return 0;
    try {
        zentro::writeFile(zentro::numberedFileName(name, zentro::kImageNameBufferSize), data,
                          length);
    } catch (const std::bad_alloc &) {
        zentro::reportWriteFailure(name, ENOMEM);
    }
    return 0;
}

} // extern "C"
