// Whole-file writes through a temporary name and rename.
#include "atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "cli_error.h"

namespace zcli {
namespace {

[[noreturn]] void fail(const std::string &what, const std::string &path, int error)
{
    operationFailed("cannot " + what + " " + path + ": " + std::strerror(error));
}

std::string temporaryPattern(const std::string &path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + ".XXXXXX";
}

} // namespace

AtomicFile::AtomicFile(const std::string &path) : path_(path)
{
    std::string pattern = temporaryPattern(path);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0)
        fail("create a file for", path, errno);
    temporary_ = name.data();
    // mkstemp makes the file private; an image is an ordinary file of the user's.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
}

AtomicFile::~AtomicFile()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!committed_)
        ::unlink(temporary_.c_str());
}

void AtomicFile::write(const void *data, size_t size)
{
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail("write", path_, n < 0 ? errno : ENOSPC);
        bytes += n;
        size -= static_cast<size_t>(n);
    }
}

void AtomicFile::closeDescriptor()
{
    if (fd_ >= 0 && ::close(fd_) != 0) {
        fd_ = -1;
        fail("write", path_, errno);
    }
    fd_ = -1;
}

void AtomicFile::commit()
{
    if (fd_ >= 0 && ::fsync(fd_) != 0 && errno != EINVAL)
        fail("write", path_, errno);
    closeDescriptor();
    if (::rename(temporary_.c_str(), path_.c_str()) != 0)
        fail("rename the file written for", path_, errno);
    committed_ = true;
}

} // namespace zcli
