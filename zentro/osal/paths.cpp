// Paths of the OS layer: separators, canonical paths, the home directory and the executable.
#include "zentro_osal.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "osal/handles.h"

namespace {

// Room for the password database's strings when the system suggests no size.
constexpr size_t kPasswordBufferSize = 16 * 1024;
constexpr size_t kMaxPasswordBufferSize = 1024 * 1024;
// Room for "/proc/<pid>/exe".
constexpr size_t kProcessLinkSize = 32;

// The home directory in the password database; empty when it has none.
std::string passwordHomeDirectory()
{
    long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? size_t(suggested) : kPasswordBufferSize);
    struct passwd record;
    struct passwd *found = nullptr;
    int error;
    while ((error = getpwuid_r(getuid(), &record, buffer.data(), buffer.size(), &found)) ==
               ERANGE &&
           buffer.size() < kMaxPasswordBufferSize)
        buffer.resize(buffer.size() * 2);
    if (error != 0 || !found || !found->pw_dir)
        return {};
    return found->pw_dir;
}

// Copies @text into @out when it fits with its terminator.
bool copyWhole(const char *text, size_t length, char *out, size_t size)
{
    if (length >= size) {
        errno = ENAMETOOLONG;
        return false;
    }
    memcpy(out, text, length);
    out[length] = '\0';
    return true;
}

} // namespace

extern "C" {

ZE_API char *osal_last_dir_char(const char *path)
{
    return path ? const_cast<char *>(strrchr(path, '/')) : nullptr;
}

ZE_API void osal_append_dir_char(char *path, size_t size)
{
    if (!path || size == 0)
        return;
    size_t length = strnlen(path, size);
    if (length + 2 > size || (length > 0 && osal_dirdelim(path[length - 1])))
        return;
    bool windowsStyle = strchr(path, '\\') && !strchr(path, '/');
    path[length] = windowsStyle ? '\\' : '/';
    path[length + 1] = '\0';
}

ZE_API int osal_dirdelim(int c)
{
    return c == '/' || c == '\\';
}

ZE_API void to_unix_path(char *path)
{
    for (char *p = path; p && *p; ++p) {
        if (*p == '\\')
            *p = '/';
    }
}

ZE_API int osal_fullpath(const char *path, char *out, size_t size)
{
    if (!path || !out) {
        errno = EINVAL;
        return -1;
    }
    zentro::UniqueText resolved(realpath(path, nullptr));
    // A cut path would name a different file, so a path that does not fit is an error.
    if (!resolved || !copyWhole(resolved.get(), strlen(resolved.get()), out, size))
        return -1;
    return 1;
}

ZE_API int osal_expandpath(char *path, size_t size)
{
    return osal_fullpath(path, path, size);
}

ZE_API const char *osal_userHomeDir(void)
{
    const char *home = getenv("HOME");
    if (home && *home)
        return home;
    // Per thread, so that a caller's text is not replaced under it by another thread.
    thread_local std::string fromPasswordDatabase;
    try {
        fromPasswordDatabase = passwordHomeDirectory();
    } catch (const std::bad_alloc &) {
        fromPasswordDatabase.clear();
    }
    return fromPasswordDatabase.empty() ? "." : fromPasswordDatabase.c_str();
}

ZE_API int osal_applicationFilePath(char *out, size_t size)
{
    char link[kProcessLinkSize];
    snprintf(link, sizeof(link), "/proc/%d/exe", static_cast<int>(getpid()));
    struct stat status;
    if (lstat(link, &status) != 0)
        return -1;
    if (!S_ISLNK(status.st_mode))
        return -2;
    char target[OSAL_MAX_PATH + 1];
    ssize_t length = readlink(link, target, sizeof(target));
    if (length < 0)
        return -4;
    if (size_t(length) == sizeof(target) || !out || !copyWhole(target, size_t(length), out, size))
        return -3;
    return static_cast<int>(length);
}

} // extern "C"
