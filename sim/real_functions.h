// The C library's own entry points behind the interposed ones, resolved once with dlsym(RTLD_NEXT).
#pragma once

#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <sys/types.h>

struct statx;

namespace boardsim::real {

int open(const char *path, int flags, mode_t mode);
int openat(int dirfd, const char *path, int flags, mode_t mode);
int close(int fd);
int ioctl(int fd, unsigned long request, void *arg);
ssize_t read(int fd, void *buf, size_t count);
ssize_t write(int fd, const void *buf, size_t count);
void *mmap(void *addr, size_t length, int prot, int flags, int fd, off_t offset);
int stat(const char *path, struct stat *buf);
int lstat(const char *path, struct stat *buf);
int fstat(int fd, struct stat *buf);
int fstatat(int dirfd, const char *path, struct stat *buf, int flags);
int statx(int dirfd, const char *path, int flags, unsigned mask, struct statx *buf);
int access(const char *path, int mode);
int faccessat(int dirfd, const char *path, int mode, int flags);
FILE *fopen(const char *path, const char *mode);
int select(int nfds, fd_set *readfds, fd_set *writefds, fd_set *exceptfds, timeval *timeout);
int pselect(int nfds, fd_set *readfds, fd_set *writefds, fd_set *exceptfds, const timespec *timeout,
            const sigset_t *sigmask);
int poll(pollfd *fds, nfds_t nfds, int timeout);
int ppoll(pollfd *fds, nfds_t nfds, const timespec *timeout, const sigset_t *sigmask);

} // namespace boardsim::real
