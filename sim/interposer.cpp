// The C library entry points the simulated board stands behind; all else passes through.
#include "application_memory.h"
#include "board.h"
#include "real_functions.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#define BOARDSIM_EXPORT extern "C" __attribute__((visibility("default")))

using namespace boardsim;

namespace {

int failWith(int error)
{
    errno = error;
    return -1;
}

// The lock-free test every pass-through call makes: one atomic load and an index.
bool owned(int fd)
{
    const FdTable *table = Board::fdTable();
    return table != nullptr && table->maybeOwned(fd);
}

bool needsMode(int flags)
{
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

int openBoardPath(const char *path, int flags)
{
    Board &board = Board::current();
    BoardLock lock(board.mutex);
    const int rc = board.open(path, flags);
    return rc < 0 ? failWith(-rc) : rc;
}

int statBoardPath(const char *path, struct stat *buf, bool follow = true)
{
    if (buf == nullptr)
        return failWith(EFAULT);
    Board &board = Board::current();
    BoardLock lock(board.mutex);
    const int rc = board.stat(path, *buf, follow);
    return rc < 0 ? failWith(-rc) : 0;
}

// Runs op on the descriptor's board file under the board lock; fallback when it is not one.
template <class Op, class Fallback>
auto onBoardFile(int fd, Op op, Fallback fallback) -> decltype(fallback())
{
    Board *board = Board::active();
    if (board == nullptr)
        return fallback();
    BoardLock lock(board->mutex);
    std::shared_ptr<FakeFile> file = Board::fdTable()->get(fd);
    if (!file) {
        lock.unlock();
        return fallback();
    }
    return op(*board, *file, lock);
}

// A board descriptor that a program is about to wait on for input; other descriptors cost
// one lock-free check each.
void beforeWaitForInput(int fd)
{
    if (!owned(fd))
        return;
    onBoardFile(
        fd,
        [](Board &, FakeFile &file, BoardLock &lock) {
            file.beforeWaitForInput(lock);
            return 0;
        },
        [] { return 0; });
}

// The sets are the application's memory, read as the kernel reads them: a bad address is left
// for the C library to report. Nothing is read while no board descriptor is open.
bool boardDescriptorsOpen()
{
    const FdTable *table = Board::fdTable();
    return table != nullptr && table->openCount() > 0;
}

void beforeWaitForInput(int nfds, const fd_set *readfds)
{
    if (readfds == nullptr || nfds <= 0 || !boardDescriptorsOpen())
        return;
    // The kernel reads only the words that hold the first nfds bits.
    constexpr size_t kWordBits = CHAR_BIT * sizeof(long);
    fd_set set{};
    const int count = std::min(nfds, FD_SETSIZE);
    const size_t bytes = (static_cast<size_t>(count) + kWordBits - 1) / kWordBits * sizeof(long);
    if (!copyFromApplication(&set, readfds, bytes))
        return;
    for (int fd = 0; fd < count; ++fd)
        if (FD_ISSET(fd, &set))
            beforeWaitForInput(fd);
}

// Not const: the C library declares the array written only, as the kernel fills in revents.
void beforeWaitForInput(pollfd *fds, nfds_t nfds)
{
    if (fds == nullptr || !boardDescriptorsOpen())
        return;
    constexpr nfds_t kChunk = 64;
    pollfd chunk[kChunk];
    for (nfds_t first = 0; first < nfds; first += kChunk) {
        const nfds_t n = std::min(kChunk, nfds - first);
        if (!copyFromApplication(chunk, fds + first, n * sizeof *fds))
            return;
        for (nfds_t i = 0; i < n; ++i)
            if (chunk[i].events & (POLLIN | POLLRDNORM))
                beforeWaitForInput(chunk[i].fd);
    }
}

int fstatBoardFile(int fd, struct stat *buf)
{
    if (buf == nullptr)
        return failWith(EFAULT);
    return onBoardFile(
        fd,
        [&](Board &board, FakeFile &file, BoardLock &) {
            const dev_t device = file.deviceNumber();
            if (device == 0)
                return real::fstat(fd, buf); // line handles are anonymous, as in the kernel
            board.fillDeviceStat(device, *buf);
            return 0;
        },
        [&] { return real::fstat(fd, buf); });
}

int accessBoardPath(const char *path, int mode)
{
    struct stat st {
    };
    if (statBoardPath(path, &st) != 0)
        return -1;
    if ((mode & W_OK) && S_ISREG(st.st_mode))
        return failWith(EACCES);
    if (mode & X_OK)
        return failWith(EACCES);
    return 0;
}

int openFlagsOfMode(const char *mode)
{
    if (mode == nullptr)
        return -1;
    const bool plus = std::strchr(mode, '+') != nullptr;
    const int cloexec = std::strchr(mode, 'e') != nullptr ? O_CLOEXEC : 0;
    switch (mode[0]) {
    case 'r':
        return (plus ? O_RDWR : O_RDONLY) | cloexec;
    case 'w':
    case 'a':
        return (plus ? O_RDWR : O_WRONLY) | cloexec;
    default:
        return -1;
    }
}

FILE *fopenBoardPath(const char *path, const char *mode)
{
    const int flags = openFlagsOfMode(mode);
    if (flags < 0) {
        errno = EINVAL;
        return nullptr;
    }
    const int fd = openBoardPath(path, flags);
    if (fd < 0)
        return nullptr;
    FILE *f = ::fdopen(fd, mode);
    if (f == nullptr) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
    return f;
}

void fillStatx(const struct stat &st, struct statx *out)
{
    std::memset(out, 0, sizeof *out);
    out->stx_mask = STATX_BASIC_STATS;
    out->stx_mode = static_cast<uint16_t>(st.st_mode);
    out->stx_nlink = static_cast<uint32_t>(st.st_nlink);
    out->stx_size = static_cast<uint64_t>(st.st_size);
    out->stx_blksize = static_cast<uint32_t>(st.st_blksize);
    out->stx_ino = st.st_ino;
    out->stx_rdev_major = major(st.st_rdev);
    out->stx_rdev_minor = minor(st.st_rdev);
    out->stx_dev_major = major(st.st_dev);
    out->stx_dev_minor = minor(st.st_dev);
}

int openPath(const char *path, int flags, mode_t mode)
{
    if (!Board::isBoardPath(path))
        return real::open(path, flags, mode);
    return openBoardPath(path, flags);
}

int openPathAt(int dirfd, const char *path, int flags, mode_t mode)
{
    if (!Board::isBoardPath(path))
        return real::openat(dirfd, path, flags, mode);
    return openBoardPath(path, flags);
}

} // namespace

// The mode argument, which open-style calls carry only when they may create a file. A macro:
// only the variadic function itself can read its arguments.
#define BOARDSIM_READ_MODE(flags, mode)                                                            \
    mode_t mode = 0;                                                                               \
    if (needsMode(flags)) {                                                                        \
        va_list ap;                                                                                \
        va_start(ap, flags);                                                                       \
        mode = va_arg(ap, mode_t);                                                                 \
        va_end(ap);                                                                                \
    }

BOARDSIM_EXPORT int open(const char *path, int flags, ...)
{
    BOARDSIM_READ_MODE(flags, mode);
    return openPath(path, flags, mode);
}

BOARDSIM_EXPORT int open64(const char *path, int flags, ...)
{
    BOARDSIM_READ_MODE(flags, mode);
    return openPath(path, flags, mode);
}

BOARDSIM_EXPORT int __open_2(const char *path, int flags)
{
    return openPath(path, flags, 0);
}

BOARDSIM_EXPORT int __open64_2(const char *path, int flags)
{
    return __open_2(path, flags);
}

BOARDSIM_EXPORT int openat(int dirfd, const char *path, int flags, ...)
{
    BOARDSIM_READ_MODE(flags, mode);
    return openPathAt(dirfd, path, flags, mode);
}

BOARDSIM_EXPORT int openat64(int dirfd, const char *path, int flags, ...)
{
    BOARDSIM_READ_MODE(flags, mode);
    return openPathAt(dirfd, path, flags, mode);
}

BOARDSIM_EXPORT int __openat_2(int dirfd, const char *path, int flags)
{
    return openPathAt(dirfd, path, flags, 0);
}

BOARDSIM_EXPORT int __openat64_2(int dirfd, const char *path, int flags)
{
    return __openat_2(dirfd, path, flags);
}

BOARDSIM_EXPORT FILE *fopen(const char *path, const char *mode)
{
    if (!Board::isBoardPath(path))
        return real::fopen(path, mode);
    return fopenBoardPath(path, mode);
}

BOARDSIM_EXPORT FILE *fopen64(const char *path, const char *mode)
{
    return fopen(path, mode);
}

BOARDSIM_EXPORT int close(int fd)
{
    if (!owned(fd))
        return real::close(fd);
    Board *board = Board::active();
    BoardLock lock(board->mutex);
    std::shared_ptr<FakeFile> file = Board::fdTable()->remove(fd);
    if (file)
        file->release(lock);
    lock.unlock();
    return real::close(fd);
}

BOARDSIM_EXPORT int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    if (!owned(fd))
        return real::ioctl(fd, request, arg);
    return onBoardFile(
        fd,
        [&](Board &, FakeFile &file, BoardLock &lock) {
            const int rc = file.ioctl(lock, request, arg);
            return rc < 0 ? failWith(-rc) : rc;
        },
        [&] { return real::ioctl(fd, request, arg); });
}

BOARDSIM_EXPORT ssize_t read(int fd, void *buf, size_t count)
{
    if (!owned(fd))
        return real::read(fd, buf, count);
    return onBoardFile(
        fd,
        [&](Board &, FakeFile &file, BoardLock &lock) -> ssize_t {
            const ssize_t rc = file.read(lock, buf, count);
            return rc < 0 ? failWith(static_cast<int>(-rc)) : rc;
        },
        [&] { return real::read(fd, buf, count); });
}

BOARDSIM_EXPORT ssize_t __read_chk(int fd, void *buf, size_t count, size_t bufferSize)
{
    if (count > bufferSize)
        std::abort();
    return read(fd, buf, count);
}

// The waiting calls go to the C library; a capture node first gets the chance to start
// delivering frames, as a driver does when polled.
BOARDSIM_EXPORT int select(int nfds, fd_set *readfds, fd_set *writefds, fd_set *exceptfds,
                           timeval *timeout)
{
    beforeWaitForInput(nfds, readfds);
    return real::select(nfds, readfds, writefds, exceptfds, timeout);
}

BOARDSIM_EXPORT int pselect(int nfds, fd_set *readfds, fd_set *writefds, fd_set *exceptfds,
                            const timespec *timeout, const sigset_t *sigmask)
{
    beforeWaitForInput(nfds, readfds);
    return real::pselect(nfds, readfds, writefds, exceptfds, timeout, sigmask);
}

BOARDSIM_EXPORT int poll(pollfd *fds, nfds_t nfds, int timeout)
{
    beforeWaitForInput(fds, nfds);
    return real::poll(fds, nfds, timeout);
}

BOARDSIM_EXPORT int __poll_chk(pollfd *fds, nfds_t nfds, int timeout, size_t fdsLength)
{
    if (fdsLength / sizeof *fds < nfds)
        std::abort();
    return poll(fds, nfds, timeout);
}

BOARDSIM_EXPORT int ppoll(pollfd *fds, nfds_t nfds, const timespec *timeout,
                          const sigset_t *sigmask)
{
    beforeWaitForInput(fds, nfds);
    return real::ppoll(fds, nfds, timeout, sigmask);
}

BOARDSIM_EXPORT int __ppoll_chk(pollfd *fds, nfds_t nfds, const timespec *timeout,
                                const sigset_t *sigmask, size_t fdsLength)
{
    if (fdsLength / sizeof *fds < nfds)
        std::abort();
    return ppoll(fds, nfds, timeout, sigmask);
}

BOARDSIM_EXPORT ssize_t write(int fd, const void *buf, size_t count)
{
    if (!owned(fd))
        return real::write(fd, buf, count);
    return onBoardFile(
        fd,
        [&](Board &, FakeFile &file, BoardLock &lock) -> ssize_t {
            const ssize_t rc = file.write(lock, buf, count);
            return rc < 0 ? failWith(static_cast<int>(-rc)) : rc;
        },
        [&] { return real::write(fd, buf, count); });
}

BOARDSIM_EXPORT void *mmap(void *addr, size_t length, int prot, int flags, int fd,
                           off_t offset) noexcept
{
    if (!owned(fd))
        return real::mmap(addr, length, prot, flags, fd, offset);
    return onBoardFile(
        fd,
        [&](Board &, FakeFile &file, BoardLock &lock) -> void * {
            int error = 0;
            void *p = file.mmap(lock, addr, length, prot, flags, offset, error);
            if (p == nullptr) {
                errno = error;
                return MAP_FAILED;
            }
            return p;
        },
        [&] { return real::mmap(addr, length, prot, flags, fd, offset); });
}

BOARDSIM_EXPORT void *mmap64(void *addr, size_t length, int prot, int flags, int fd,
                             off_t offset) noexcept
{
    return mmap(addr, length, prot, flags, fd, offset);
}

BOARDSIM_EXPORT int stat(const char *path, struct stat *buf) noexcept
{
    if (!Board::isBoardPath(path))
        return real::stat(path, buf);
    return statBoardPath(path, buf);
}

BOARDSIM_EXPORT int stat64(const char *path, struct stat64 *buf) noexcept
{
    return stat(path, reinterpret_cast<struct stat *>(buf));
}

BOARDSIM_EXPORT int lstat(const char *path, struct stat *buf) noexcept
{
    if (!Board::isBoardPath(path))
        return real::lstat(path, buf);
    return statBoardPath(path, buf, false);
}

BOARDSIM_EXPORT int lstat64(const char *path, struct stat64 *buf) noexcept
{
    return lstat(path, reinterpret_cast<struct stat *>(buf));
}

BOARDSIM_EXPORT int fstat(int fd, struct stat *buf) noexcept
{
    if (!owned(fd))
        return real::fstat(fd, buf);
    return fstatBoardFile(fd, buf);
}

BOARDSIM_EXPORT int fstat64(int fd, struct stat64 *buf) noexcept
{
    return fstat(fd, reinterpret_cast<struct stat *>(buf));
}

BOARDSIM_EXPORT int fstatat(int dirfd, const char *path, struct stat *buf, int flags) noexcept
{
    if (path[0] == '\0' && (flags & AT_EMPTY_PATH) && owned(dirfd))
        return fstatBoardFile(dirfd, buf);
    if (!Board::isBoardPath(path))
        return real::fstatat(dirfd, path, buf, flags);
    return statBoardPath(path, buf, (flags & AT_SYMLINK_NOFOLLOW) == 0);
}

BOARDSIM_EXPORT int fstatat64(int dirfd, const char *path, struct stat64 *buf, int flags) noexcept
{
    return fstatat(dirfd, path, reinterpret_cast<struct stat *>(buf), flags);
}

BOARDSIM_EXPORT int statx(int dirfd, const char *path, int flags, unsigned mask,
                          struct statx *buf) noexcept
{
    const bool ownFd = path[0] == '\0' && (flags & AT_EMPTY_PATH) && owned(dirfd);
    if (!ownFd && !Board::isBoardPath(path))
        return real::statx(dirfd, path, flags, mask, buf);
    struct stat st {
    };
    const int rc = ownFd ? fstatBoardFile(dirfd, &st)
                         : statBoardPath(path, &st, (flags & AT_SYMLINK_NOFOLLOW) == 0);
    if (rc != 0)
        return rc;
    fillStatx(st, buf);
    return 0;
}

BOARDSIM_EXPORT int access(const char *path, int mode) noexcept
{
    if (!Board::isBoardPath(path))
        return real::access(path, mode);
    return accessBoardPath(path, mode);
}

BOARDSIM_EXPORT int faccessat(int dirfd, const char *path, int mode, int flags) noexcept
{
    if (!Board::isBoardPath(path))
        return real::faccessat(dirfd, path, mode, flags);
    return accessBoardPath(path, mode);
}
