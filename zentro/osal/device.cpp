// Opening and closing the board's video character devices.
#include "zentro_osal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char *kDevicePrefix = "/dev/vid";

void reportOpenFailure(const std::string &path, int error)
{
    fprintf(stderr, "Cannot open '%s': %d, %s\n", path.c_str(), error, strerror(error));
}

// The descriptor of the device at @path, or -1 after reporting why not.
int openDevice(const std::string &path)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        reportOpenFailure(path, errno);
        return -1;
    }
    if (!S_ISCHR(status.st_mode)) {
        fprintf(stderr, "%s is no device\n", path.c_str());
        return -1;
    }
    // open(), not fopen(): the simulated board interposes open() to stand in for the device.
    int fd = open(path.c_str(), O_RDWR | O_NONBLOCK);
    if (fd < 0)
        reportOpenFailure(path, errno);
    return fd;
}

} // namespace

extern "C" {

ZE_API int _bOpenDriver(int *handle, const char *name)
{
    if (!handle)
        return 0;
    *handle = -1;
    if (!name)
        return 0;
    try {
        *handle = openDevice(kDevicePrefix + std::string(name));
    } catch (const std::bad_alloc &) {
        return 0;
    }
    return *handle >= 0 ? 1 : 0;
}

ZE_API void CloseHandle(int handle)
{
    if (handle >= 0)
        close(handle);
}

ZE_API int osal_CoInitialize(void)
{
    return 0;
}

ZE_API int osal_CoUninitialize(void)
{
    return 0;
}

} // extern "C"
