// The interface of one open simulated device: what the interposer forwards for a board descriptor.
#pragma once

#include <cerrno>
#include <cstddef>
#include <mutex>
#include <sys/types.h>

namespace boardsim {

using BoardLock = std::unique_lock<std::mutex>;

// Every call runs with the board lock held; results are >= 0 or a negative errno.
class FakeFile
{
public:
    virtual ~FakeFile() = default;
    virtual int ioctl(BoardLock &lock, unsigned long request, void *arg) = 0;
    virtual ssize_t read(BoardLock &, void *, size_t) { return -EINVAL; }
    virtual ssize_t write(BoardLock &, const void *, size_t) { return -EINVAL; }
    virtual void *mmap(BoardLock &, void *, size_t, int, int, off_t, int &error)
    {
        error = ENODEV;
        return nullptr;
    }
    // select or poll is about to wait until the descriptor has input.
    virtual void beforeWaitForInput(BoardLock &) {}
    // Called once before the descriptor is closed; may drop the lock to join a worker.
    virtual void release(BoardLock &) {}
    // In a forked child: threads of the parent do not exist here.
    virtual void afterFork() {}
    // The character device this descriptor stands for (st_rdev of fstat).
    virtual dev_t deviceNumber() const = 0;
};

} // namespace boardsim
