// The descriptor table of the simulated board.
#include "fd_table.h"

#include <utility>

namespace boardsim {

std::shared_ptr<FakeFile> FdTable::get(int fd) const
{
    if (fd < 0 || fd >= kCapacity)
        return nullptr;
    return files_[fd];
}

bool FdTable::insert(int fd, std::shared_ptr<FakeFile> file)
{
    if (fd < 0 || fd >= kCapacity || files_[fd])
        return false;
    files_[fd] = std::move(file);
    marks_[fd].store(true, std::memory_order_release);
    ++open_;
    return true;
}

std::shared_ptr<FakeFile> FdTable::remove(int fd)
{
    if (fd < 0 || fd >= kCapacity || !files_[fd])
        return nullptr;
    marks_[fd].store(false, std::memory_order_release);
    --open_;
    return std::exchange(files_[fd], nullptr);
}

} // namespace boardsim
