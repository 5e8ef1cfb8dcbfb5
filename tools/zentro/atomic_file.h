// A file written under a temporary name beside its final one and renamed into place whole.
#pragma once

#include <string>

namespace zcli {

class AtomicFile
{
public:
    // Creates the temporary file; throws (status 1) when it cannot.
    explicit AtomicFile(const std::string &path);
    // Removes the temporary file unless it was committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    int fd() const { return fd_; }
    const std::string &temporaryPath() const { return temporary_; }
    const std::string &path() const { return path_; }
    // Writes all of @data at the current position; throws (status 1) on failure.
    void write(const void *data, size_t size);
    // Flushes, closes and renames the file to its final name; throws (status 1) on failure.
    void commit();
    // Closes the descriptor without committing (for writers that reopen the path by name).
    void closeDescriptor();

private:
    std::string path_;
    std::string temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

} // namespace zcli
