// Helpers shared by the library's unit tests: scratch directories, files and child processes.
#ifndef ZENTRO_TESTS_SUPPORT_TEST_SUPPORT_H
#define ZENTRO_TESTS_SUPPORT_TEST_SUPPORT_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "zentro_camera.h"

namespace zentro::test {

// A fresh directory below the system's temporary directory, removed with everything in it.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return path_; }
    // path() + "/" + name
    std::string file(const std::string &name) const;

private:
    std::string path_;
};

// Writes @contents to @path (binary), replacing the file.
void writeFile(const std::string &path, const std::string &contents);
// The whole contents of @path; empty when it cannot be read.
std::string readFile(const std::string &path);
// Sets the modification time of @path to @seconds since the epoch.
void setModificationTime(const std::string &path, long seconds);

// Runs @body in a forked child process and returns the text it produced. For
// values the library decides once per process (home directory, ...), so each
// case starts from a pristine process. A child that crashes fails the test.
std::string runInChild(const std::function<std::string()> &body);

// runInChild with the child dropped to an unprivileged user when the tests run
// as the superuser, whom file permissions do not stop.
std::string runUnprivileged(const std::function<std::string()> &body);

// Sets an environment variable for the scope of the object (restores it after).
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const char *value); // value nullptr: unset
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    std::string name_;
    std::string old_;
    bool hadOld_;
};

// A camera record with a fresh common context, as a transport would create it; releases
// its sensor record and context when it goes.
class TestCamera
{
public:
    TestCamera();
    ~TestCamera();
    TestCamera(const TestCamera &) = delete;
    TestCamera &operator=(const TestCamera &) = delete;

    ze_camera_t *get() { return &camera_; }
    ze_camera_t *operator->() { return &camera_; }
    operator ze_camera_t *() { return &camera_; }

private:
    ze_camera_t camera_{};
};

// A chip record read by a test; frees its registers when it goes.
struct ChipRecord {
    ze_chip_t chip{};
    ChipRecord() = default;
    ~ChipRecord();
    ChipRecord(const ChipRecord &) = delete;
    ChipRecord &operator=(const ChipRecord &) = delete;
};

// One line the library logged.
struct LoggedLine {
    uint32_t level;
    int code;
    std::string message;
    std::string function;
};

// Sends the library's log (all types) to a list for the scope of the object.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    const std::vector<LoggedLine> &lines() const;
    // The messages only, in order.
    std::vector<std::string> messages() const;
    // True when some message contains @text.
    bool contains(const std::string &text) const;
    void clear();
};

// Every log line (information and debug lines included) written to a scratch log file for
// the scope of the object.
class FileLog
{
public:
    FileLog();
    ~FileLog();
    FileLog(const FileLog &) = delete;
    FileLog &operator=(const FileLog &) = delete;

    // The text behind the file's header.
    std::string body() const;
    // How many times @text occurs in the body.
    size_t occurrences(const std::string &text) const;

private:
    TempDir dir_;
    std::string path_;
};

} // namespace zentro::test

#endif // ZENTRO_TESTS_SUPPORT_TEST_SUPPORT_H
