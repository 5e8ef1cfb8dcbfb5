// Checked copies to and from the application's memory, done by the kernel on the process itself.
#include "application_memory.h"

#include <cerrno>
#include <cstring>
#include <sys/uio.h>
#include <unistd.h>

namespace boardsim {
namespace {

// Where the system refuses these calls (a sandbox), plain copying is the fallback.
bool refusedBySystem(ssize_t n)
{
    return n < 0 && (errno == ENOSYS || errno == EPERM);
}

} // namespace

bool copyToApplication(void *dst, const void *src, size_t count)
{
    const int saved = errno;
    iovec local{const_cast<void *>(src), count};
    iovec remote{dst, count};
    const ssize_t n = ::process_vm_writev(::getpid(), &local, 1, &remote, 1, 0);
    const bool refused = refusedBySystem(n);
    errno = saved;
    if (refused)
        std::memcpy(dst, src, count);
    return refused || n == static_cast<ssize_t>(count);
}

bool copyFromApplication(void *dst, const void *src, size_t count)
{
    const int saved = errno;
    iovec local{dst, count};
    iovec remote{const_cast<void *>(src), count};
    const ssize_t n = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
    const bool refused = refusedBySystem(n);
    errno = saved;
    if (refused)
        std::memcpy(dst, src, count);
    return refused || n == static_cast<ssize_t>(count);
}

} // namespace boardsim
