// Directories of the OS layer: the working directory, creating and removing whole trees.
#include "zentro_osal.h"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "osal/handles.h"

namespace {

constexpr mode_t kDirectoryPermissions = 0777;
// Directories nftw keeps open at once while it walks a tree.
constexpr int kOpenDirectoriesWhileWalking = 16;

int removeEntry(const char *path, const struct stat *, int, struct FTW *)
{
    return remove(path) == 0 ? 0 : -1;
}

} // namespace

extern "C" {

ZE_API int osal_getcwd(char *out, size_t size)
{
    if (!out || size == 0)
        return 0;
    zentro::UniqueText directory(getcwd(nullptr, 0));
    if (!directory)
        return 0;
    size_t length = strlen(directory.get());
    if (length >= size) {
        errno = ERANGE;
        return 0;
    }
    memcpy(out, directory.get(), length + 1);
    return static_cast<int>(length);
}

ZE_API int osal_setcwd(const char *path)
{
    return path && chdir(path) == 0 ? 1 : 0;
}

ZE_API int osal_create_directory(const char *path)
{
    if (!path) {
        errno = EINVAL;
        return -1;
    }
    if (mkdir(path, kDirectoryPermissions) == 0)
        return 0;
    if (errno != EEXIST)
        return -1;
    struct stat status;
    if (stat(path, &status) == 0 && S_ISDIR(status.st_mode))
        return 0;
    errno = ENOTDIR;
    return -1;
}

ZE_API int osal_remove_directory(const char *path)
{
    struct stat status;
    if (!path) {
        errno = EINVAL;
        return -1;
    }
    if (lstat(path, &status) != 0)
        return -1;
    if (!S_ISDIR(status.st_mode)) {
        errno = ENOTDIR;
        return -1;
    }
    // Depth first, and without following symbolic links: a link to a directory elsewhere
    // is removed, never what it points to.
    return nftw(path, removeEntry, kOpenDirectoriesWhileWalking, FTW_DEPTH | FTW_PHYS) == 0 ? 0
                                                                                            : -1;
}

} // extern "C"
