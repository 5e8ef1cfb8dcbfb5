// Which descriptors belong to the simulated board: a fixed lock-free marker table plus owners.
#pragma once

#include "fake_file.h"

#include <array>
#include <atomic>
#include <memory>

namespace boardsim {

class FdTable
{
public:
    static constexpr int kCapacity = 4096;

    // Lock-free check for the pass-through path: no lock, no allocation.
    bool maybeOwned(int fd) const
    {
        return fd >= 0 && fd < kCapacity && marks_[fd].load(std::memory_order_acquire);
    }
    // The rest runs under the board lock.
    std::shared_ptr<FakeFile> get(int fd) const;
    bool insert(int fd, std::shared_ptr<FakeFile> file);
    std::shared_ptr<FakeFile> remove(int fd);
    template <class Fn>
    void forEach(Fn fn) const
    {
        for (const auto &file : files_)
            if (file)
                fn(*file);
    }
    int openCount() const { return open_.load(std::memory_order_relaxed); }

private:
    std::array<std::atomic<bool>, kCapacity> marks_{};
    std::array<std::shared_ptr<FakeFile>, kCapacity> files_{};
    std::atomic<int> open_{0};
};

} // namespace boardsim
