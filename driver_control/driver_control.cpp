// The module's device, the retrying ioctl and the failure report.
#include "driver_control.h"

#include "driver_protocol.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/ioctl.h>

int fd = -1;
const char *dev_name = "/dev/video0";

int xioctl(int fh, unsigned long request, void *arg)
{
    int r = 0;
    do {
        r = ioctl(fh, request, arg);
    } while (r == -1 && errno == EINTR);
    return r;
}

void errno_exit(const char *s)
{
    if (errno == DRV_I2C_NACK) {
        std::fprintf(stderr, "I2C device is not connected to the bus\n");
        return;
    }
    const int error = errno;
    std::fprintf(stderr, "%s error %d, %s\n", s, error, std::strerror(error));
    std::exit(EXIT_FAILURE);
}
