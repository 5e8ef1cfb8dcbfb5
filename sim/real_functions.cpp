// Resolution of the C library functions that the interposer forwards to.
#include "real_functions.h"

#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace boardsim::real {
namespace {

// A lazily resolved symbol: a relaxed atomic load on every call, dlsym only the first time.
// dlsym may allocate but never opens files, so calling it from inside open() cannot recurse.
template <class Fn>
class NextSymbol
{
public:
    explicit constexpr NextSymbol(const char *name) : name_(name) {}
    Fn get()
    {
        void *p = ptr_.load(std::memory_order_relaxed);
        if (p == nullptr) {
            p = dlsym(RTLD_NEXT, name_);
            ptr_.store(p, std::memory_order_relaxed);
        }
        return reinterpret_cast<Fn>(p);
    }

private:
    const char *name_;
    std::atomic<void *> ptr_{nullptr};
};

using OpenFn = int (*)(const char *, int, ...);
using OpenatFn = int (*)(int, const char *, int, ...);
using CloseFn = int (*)(int);
using IoctlFn = int (*)(int, unsigned long, ...);
using ReadFn = ssize_t (*)(int, void *, size_t);
using WriteFn = ssize_t (*)(int, const void *, size_t);
using MmapFn = void *(*)(void *, size_t, int, int, int, off_t);
using StatFn = int (*)(const char *, struct stat *);
using FstatFn = int (*)(int, struct stat *);
using FstatatFn = int (*)(int, const char *, struct stat *, int);
using StatxFn = int (*)(int, const char *, int, unsigned, struct statx *);
using AccessFn = int (*)(const char *, int);
using FaccessatFn = int (*)(int, const char *, int, int);
using FopenFn = FILE *(*)(const char *, const char *);
using SelectFn = int (*)(int, fd_set *, fd_set *, fd_set *, timeval *);
using PselectFn = int (*)(int, fd_set *, fd_set *, fd_set *, const timespec *, const sigset_t *);
using PollFn = int (*)(pollfd *, nfds_t, int);
using PpollFn = int (*)(pollfd *, nfds_t, const timespec *, const sigset_t *);

NextSymbol<OpenFn> g_open("open");
NextSymbol<OpenatFn> g_openat("openat");
NextSymbol<CloseFn> g_close("close");
NextSymbol<IoctlFn> g_ioctl("ioctl");
NextSymbol<ReadFn> g_read("read");
NextSymbol<WriteFn> g_write("write");
NextSymbol<MmapFn> g_mmap("mmap");
NextSymbol<StatFn> g_stat("stat");
NextSymbol<StatFn> g_lstat("lstat");
NextSymbol<FstatFn> g_fstat("fstat");
NextSymbol<FstatatFn> g_fstatat("fstatat");
NextSymbol<StatxFn> g_statx("statx");
NextSymbol<AccessFn> g_access("access");
NextSymbol<FaccessatFn> g_faccessat("faccessat");
NextSymbol<FopenFn> g_fopen("fopen");
NextSymbol<SelectFn> g_select("select");
NextSymbol<PselectFn> g_pselect("pselect");
NextSymbol<PollFn> g_poll("poll");
NextSymbol<PpollFn> g_ppoll("ppoll");

} // namespace

// Where a symbol cannot be found (a static or unusual C library), the system call itself
// stands in, so that the simulator never calls through a null pointer.
int open(const char *path, int flags, mode_t mode)
{
    if (auto fn = g_open.get())
        return fn(path, flags, mode);
    return static_cast<int>(::syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}

int openat(int dirfd, const char *path, int flags, mode_t mode)
{
    if (auto fn = g_openat.get())
        return fn(dirfd, path, flags, mode);
    return static_cast<int>(::syscall(SYS_openat, dirfd, path, flags, mode));
}

int close(int fd)
{
    if (auto fn = g_close.get())
        return fn(fd);
    return static_cast<int>(::syscall(SYS_close, fd));
}

int ioctl(int fd, unsigned long request, void *arg)
{
    if (auto fn = g_ioctl.get())
        return fn(fd, request, arg);
    return static_cast<int>(::syscall(SYS_ioctl, fd, request, arg));
}

ssize_t read(int fd, void *buf, size_t count)
{
    if (auto fn = g_read.get())
        return fn(fd, buf, count);
    return ::syscall(SYS_read, fd, buf, count);
}

ssize_t write(int fd, const void *buf, size_t count)
{
    if (auto fn = g_write.get())
        return fn(fd, buf, count);
    return ::syscall(SYS_write, fd, buf, count);
}

void *mmap(void *addr, size_t length, int prot, int flags, int fd, off_t offset)
{
    if (auto fn = g_mmap.get())
        return fn(addr, length, prot, flags, fd, offset);
    return reinterpret_cast<void *>(::syscall(SYS_mmap, addr, length, prot, flags, fd, offset));
}

int stat(const char *path, struct stat *buf)
{
    if (auto fn = g_stat.get())
        return fn(path, buf);
    return static_cast<int>(::syscall(SYS_newfstatat, AT_FDCWD, path, buf, 0));
}

int lstat(const char *path, struct stat *buf)
{
    if (auto fn = g_lstat.get())
        return fn(path, buf);
    return static_cast<int>(::syscall(SYS_newfstatat, AT_FDCWD, path, buf, AT_SYMLINK_NOFOLLOW));
}

int fstat(int fd, struct stat *buf)
{
    if (auto fn = g_fstat.get())
        return fn(fd, buf);
    return static_cast<int>(::syscall(SYS_fstat, fd, buf));
}

int fstatat(int dirfd, const char *path, struct stat *buf, int flags)
{
    if (auto fn = g_fstatat.get())
        return fn(dirfd, path, buf, flags);
    return static_cast<int>(::syscall(SYS_newfstatat, dirfd, path, buf, flags));
}

int statx(int dirfd, const char *path, int flags, unsigned mask, struct statx *buf)
{
    if (auto fn = g_statx.get())
        return fn(dirfd, path, flags, mask, buf);
    return static_cast<int>(::syscall(SYS_statx, dirfd, path, flags, mask, buf));
}

int access(const char *path, int mode)
{
    if (auto fn = g_access.get())
        return fn(path, mode);
    return static_cast<int>(::syscall(SYS_faccessat, AT_FDCWD, path, mode));
}

int faccessat(int dirfd, const char *path, int mode, int flags)
{
    if (auto fn = g_faccessat.get())
        return fn(dirfd, path, mode, flags);
    return static_cast<int>(::syscall(SYS_faccessat, dirfd, path, mode));
}

FILE *fopen(const char *path, const char *mode)
{
    if (auto fn = g_fopen.get())
        return fn(path, mode);
    errno = ENOSYS;
    return nullptr;
}

// The waiting calls have no plain system call on every architecture: without the C library's
// own they fail.
int select(int nfds, fd_set *readfds, fd_set *writefds, fd_set *exceptfds, timeval *timeout)
{
    if (auto fn = g_select.get())
        return fn(nfds, readfds, writefds, exceptfds, timeout);
    errno = ENOSYS;
    return -1;
}

int pselect(int nfds, fd_set *readfds, fd_set *writefds, fd_set *exceptfds, const timespec *timeout,
            const sigset_t *sigmask)
{
    if (auto fn = g_pselect.get())
        return fn(nfds, readfds, writefds, exceptfds, timeout, sigmask);
    errno = ENOSYS;
    return -1;
}

int poll(pollfd *fds, nfds_t nfds, int timeout)
{
    if (auto fn = g_poll.get())
        return fn(fds, nfds, timeout);
    errno = ENOSYS;
    return -1;
}

int ppoll(pollfd *fds, nfds_t nfds, const timespec *timeout, const sigset_t *sigmask)
{
    if (auto fn = g_ppoll.get())
        return fn(fds, nfds, timeout, sigmask);
    errno = ENOSYS;
    return -1;
}

} // namespace boardsim::real
