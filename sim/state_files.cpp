// File helpers for the board directory.
#include "state_files.h"

#include "real_functions.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

namespace boardsim {
namespace {

constexpr mode_t kStateFileMode = 0644;

bool writeFully(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = real::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

UniqueFd &UniqueFd::operator=(UniqueFd &&other) noexcept
{
    if (this != &other)
        reset(other.release());
    return *this;
}

void UniqueFd::reset(int fd)
{
    if (fd_ >= 0)
        real::close(fd_);
    fd_ = fd;
}

BoardFileLock::BoardFileLock(const std::string &directory)
{
    if (directory.empty())
        return;
    const std::string path = directory + "/.lock";
    fd_.reset(real::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kStateFileMode));
    if (fd_.valid()) {
        while (::flock(fd_.get(), LOCK_EX) < 0 && errno == EINTR) {
        }
    }
}

bool readWholeFile(const std::string &path, std::string &out)
{
    UniqueFd fd(real::open(path.c_str(), O_RDONLY | O_CLOEXEC, 0));
    if (!fd.valid())
        return false;
    out.clear();
    char chunk[4096];
    for (;;) {
        const ssize_t n = real::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.append(chunk, static_cast<size_t>(n));
    }
}

bool replaceFile(const std::string &path, const std::string &data)
{
    const std::string temporary = path + ".tmp." + std::to_string(::getpid());
    {
        UniqueFd fd(real::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                               kStateFileMode));
        if (!fd.valid() || !writeFully(fd.get(), data.data(), data.size())) {
            ::unlink(temporary.c_str());
            return false;
        }
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool writeFileAt(const std::string &path, size_t offset, const void *data, size_t size)
{
    UniqueFd fd(real::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, kStateFileMode));
    if (!fd.valid())
        return false;
    return ::pwrite(fd.get(), data, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

bool appendLine(const std::string &path, const std::string &line)
{
    UniqueFd fd(
        real::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, kStateFileMode));
    if (!fd.valid())
        return false;
    const std::string text = line + "\n";
    return writeFully(fd.get(), text.data(), text.size());
}

int makeMemoryFile(const char *name, const std::string &contents, int openFlags)
{
    const unsigned flags = (openFlags & O_CLOEXEC) ? MFD_CLOEXEC : 0;
    UniqueFd fd(::memfd_create(name, flags));
    if (!fd.valid() || !writeFully(fd.get(), contents.data(), contents.size()))
        return -1;
    if (::lseek(fd.get(), 0, SEEK_SET) != 0)
        return -1;
    return fd.release();
}

} // namespace boardsim
