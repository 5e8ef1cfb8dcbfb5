// Small file helpers for the board directory, built on the real C library calls only.
#pragma once

#include <cstddef>
#include <string>

namespace boardsim {

// A descriptor closed with the real close() when it goes out of scope.
class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd &&other) noexcept : fd_(other.release()) {}
    UniqueFd &operator=(UniqueFd &&other) noexcept;
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;
    ~UniqueFd() { reset(); }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    [[nodiscard]] int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// Holds an exclusive flock on the board directory's lock file, so that processes sharing a
// board see each other's read-modify-write of a state file as one step. No-op without a path.
class BoardFileLock
{
public:
    explicit BoardFileLock(const std::string &directory);

private:
    UniqueFd fd_;
};

// Reads a whole file; false when it cannot be read.
bool readWholeFile(const std::string &path, std::string &out);
// Replaces a file's contents through a temporary file and rename, so readers never see half.
bool replaceFile(const std::string &path, const std::string &data);
// Writes bytes at an offset, creating the file when needed.
bool writeFileAt(const std::string &path, size_t offset, const void *data, size_t size);
// Appends one line (a newline is added).
bool appendLine(const std::string &path, const std::string &line);
// A memory file holding the given text, positioned at its start (for sysfs and /proc files).
int makeMemoryFile(const char *name, const std::string &contents, int openFlags);

} // namespace boardsim
