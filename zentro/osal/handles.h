// Owners of the C handles the OS layer holds internally: files, directories, malloc'd text.
#ifndef ZENTRO_OSAL_HANDLES_H
#define ZENTRO_OSAL_HANDLES_H

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace zentro {

// Releases a handle of type T with the C function @Release.
template <class T, auto Release>
struct Deleter {
    void operator()(T *handle) const { Release(handle); }
};

using UniqueFile = std::unique_ptr<FILE, Deleter<FILE, fclose>>;
using UniqueDir = std::unique_ptr<DIR, Deleter<DIR, closedir>>;
// Text the C library allocated (realpath, getcwd) for the caller to free.
using UniqueText = std::unique_ptr<char, Deleter<char, free>>;

} // namespace zentro

#endif // ZENTRO_OSAL_HANDLES_H
