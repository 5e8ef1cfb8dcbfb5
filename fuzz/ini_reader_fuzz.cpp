// Fuzz target: the INI section and value reader over arbitrary file contents.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "zentro_osal.h"

namespace {

// Section names and keys that the corpus files use, plus awkward ones.
const char *const kSections[] = {"zentro", "TRANSPORT", "", " spaced name "};
const char *const kKeys[] = {"DLL_NAME", "SDAT", ""};
// Buffer sizes around the limits: nothing, tiny, small and the whole section.
const size_t kSizes[] = {0, 1, 3, 17, 70000};

// A byte past the size a reader was given; it must never change.
constexpr char kGuard = '\x7f';

void checkSection(const char *path, const char *section)
{
    for (size_t size : kSizes) {
        std::vector<char> buffer(size + 1, kGuard);
        int used = osal_getsection(section, size ? buffer.data() : nullptr, size, path);
        if (used < 0 || (size > 0 && static_cast<size_t>(used) > size) || buffer[size] != kGuard)
            __builtin_trap();
    }
}

void checkValues(const char *path, const char *section)
{
    for (size_t size : {size_t(0), size_t(1), size_t(17), size_t(4096)}) {
        std::vector<char> out(size + 1, kGuard);
        for (const char *key : kKeys) {
            int length =
                osal_getprivateprofilestring(section, key, "DEFAULT", out.data(), size, path);
            if (length < 0 || (size > 0 && static_cast<size_t>(length) >= size) ||
                out[size] != kGuard)
                __builtin_trap();
        }
    }
}

// The section named on the input's first line, so the fuzzer can reach any section it makes.
std::string firstLine(const uint8_t *data, size_t size)
{
    std::string line(reinterpret_cast<const char *>(data), size);
    return line.substr(0, std::min(line.find_first_of(std::string("\n\0", 2)), size_t(64)));
}

void readSections(const char *path, const std::string &ownSection)
{
    for (const char *section : kSections) {
        checkSection(path, section);
        checkValues(path, section);
    }
    checkSection(path, ownSection.c_str());
    checkValues(path, ownSection.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    int fd = memfd_create("ini", 0);
    if (fd < 0)
        return 0;
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, size - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    readSections(path.c_str(), firstLine(data, size));
    close(fd);
    return 0;
}
