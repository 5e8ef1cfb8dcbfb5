// Fuzz target: the INI section and value reader over arbitrary file contents.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "zentro_osal.h"

namespace {

// Section names and keys that the corpus files use, plus awkward ones.
const char *const kSections[] = {"zentro", "TRANSPORT", "Initialize", "", " spaced name ", "[x]"};
const char *const kKeys[] = {"DLL_NAME", "SDAT", "", "k", "a very long key that matches nothing"};

void readEverySection(const char *path)
{
    // Small buffers check the size limits, the large one the whole section.
    for (size_t size : {size_t(0), size_t(1), size_t(2), size_t(3), size_t(17), size_t(70000)}) {
        std::vector<char> buffer(size + 1, '\x7f');
        for (const char *section : kSections) {
            int used = osal_getsection(section, size ? buffer.data() : nullptr, size, path);
            if (used < 0 || (size > 0 && static_cast<size_t>(used) > size))
                __builtin_trap();
            if (buffer[size] != '\x7f')
                __builtin_trap(); // wrote past the size it was given
            for (const char *key : kKeys) {
                int length = osal_getprivateprofilestring(section, key, "DEFAULT", buffer.data(),
                                                          size, path);
                if (length < 0 || (size > 0 && static_cast<size_t>(length) >= size) ||
                    buffer[size] != '\x7f')
                    __builtin_trap();
            }
        }
    }
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
    readEverySection(path.c_str());
    close(fd);
    return 0;
}
