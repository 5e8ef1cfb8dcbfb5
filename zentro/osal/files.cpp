// Files of the OS layer: opening, removing, and asking for kind, existence and age.
#include "zentro_osal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool statusOf(const char *path, struct stat &status)
{
    if (!path) {
        errno = EINVAL;
        return false;
    }
    return stat(path, &status) == 0;
}

} // namespace

extern "C" {

ZE_API FILE *osal_fopen(const char *path, const char *mode)
{
    if (!path || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    return fopen(path, mode);
}

ZE_API int osal_unlink(const char *path)
{
    if (!path) {
        errno = EINVAL;
        return -1;
    }
    return unlink(path);
}

ZE_API uint32_t osal_get_file_attributes(const char *path)
{
    struct stat status;
    if (!statusOf(path, status))
        return OSAL_NO_FILE;
    uint32_t mode = status.st_mode;
    // Block devices and sockets share the directory bit in their type; callers test that
    // bit alone, so only a directory keeps it.
    if (!S_ISDIR(status.st_mode))
        mode &= ~OSAL_ATTRIBUTE_DIRECTORY;
    return mode;
}

ZE_API int osal_file_exists(const char *path)
{
    struct stat status;
    return statusOf(path, status) && !S_ISDIR(status.st_mode);
}

ZE_API int osal_directory_exists(const char *path)
{
    struct stat status;
    return statusOf(path, status) && S_ISDIR(status.st_mode);
}

ZE_API int osal_filetime_older(osal_filetime_t a, osal_filetime_t b)
{
    return a < b;
}

} // extern "C"
