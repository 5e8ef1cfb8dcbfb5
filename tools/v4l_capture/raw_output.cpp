// Raw frames on disk and their description.
#include "raw_output.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char *kInfoSuffix = "_info.txt";

// The recording the program's end must still describe.
RawOutput *activeOutput = nullptr;

bool writeAll(int fd, const uint8_t *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
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

std::string infoFileName(const std::string &output)
{
    const size_t slash = output.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = output.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    return (hasExtension ? output.substr(0, dot) : output) + kInfoSuffix;
}

std::string infoFileText(const RawDescription &d, unsigned long frames)
{
    char text[512];
    std::snprintf(text, sizeof text,
                  "//\tWidth          = %u\n"
                  "//\tHeight         = %u\n"
                  "//\tImage Format   = Bayer %u\n"
                  "//\tFrames         = %lu\n"
                  "//\tFrame rate     = %u frames per second\n"
                  "\n"
                  "[Raw Image Format]\n"
                  "IMAGE= %u, %u, BAYER-%u\n",
                  d.width, d.height, d.bitDepth, frames, d.frameRate, d.width, d.height,
                  d.bitDepth);
    return text;
}

RawOutput::~RawOutput()
{
    if (activeOutput == this)
        activeOutput = nullptr;
    if (fd_ >= 0)
        ::close(fd_);
}

void RawOutput::fail(const char *what, int error)
{
    std::fprintf(stderr, "%s '%s': %d, %s\n", what, path_.c_str(), error, std::strerror(error));
    std::exit(EXIT_FAILURE);
}

void RawOutput::open(const std::string &path)
{
    path_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0)
        fail("Cannot open", errno);
}

void RawOutput::describe(const RawDescription &d)
{
    description_ = d;
    described_ = true;
    if (::ftruncate(fd_, 0) != 0)
        fail("Cannot empty", errno);
    static bool registered = false;
    if (!registered)
        registered = std::atexit(finishAtExit) == 0;
    activeOutput = this;
}

void RawOutput::finishAtExit()
{
    if (activeOutput != nullptr)
        activeOutput->close();
}

void RawOutput::appendFrame(const uint8_t *data, size_t bytes)
{
    const size_t frameBytes = description_.frameBytes;
    const size_t used = bytes < frameBytes ? bytes : frameBytes;
    bool ok = writeAll(fd_, data, used);
    if (ok && used < frameBytes) {
        const std::vector<uint8_t> padding(frameBytes - used, 0);
        ok = writeAll(fd_, padding.data(), padding.size());
    }
    if (!ok) {
        const int error = errno;
        // Keep the file a sequence of whole frames that its description can name.
        if (::ftruncate(fd_, static_cast<off_t>(frames_ * frameBytes)) != 0)
            std::fprintf(stderr, "Cannot cut '%s' back to %lu frames\n", path_.c_str(), frames_);
        fail("Cannot write a frame to", error); // the end of the program describes the frames
    }
    ++frames_;
}

void RawOutput::finish()
{
    if (!close())
        std::exit(EXIT_FAILURE);
}

bool RawOutput::close()
{
    if (activeOutput == this)
        activeOutput = nullptr;
    if (fd_ < 0)
        return true;
    const int closing = ::close(fd_);
    const int closeError = errno;
    fd_ = -1;
    if (closing != 0) {
        std::fprintf(stderr, "Cannot close '%s': %d, %s\n", path_.c_str(), closeError,
                     std::strerror(closeError));
        return false;
    }
    if (!described_)
        return true;
    // Written whole under a temporary name, so that a reader never sees half a description.
    const std::string info = infoFileName(path_);
    const std::string temporary = info + ".part";
    const std::string text = infoFileText(description_, frames_);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool written =
        fd >= 0 && writeAll(fd, reinterpret_cast<const uint8_t *>(text.data()), text.size());
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (!written || ::rename(temporary.c_str(), info.c_str()) != 0) {
        const int e = written ? errno : error;
        ::unlink(temporary.c_str());
        std::fprintf(stderr, "Cannot write '%s': %d, %s\n", info.c_str(), e, std::strerror(e));
        return false;
    }
    return true;
}
