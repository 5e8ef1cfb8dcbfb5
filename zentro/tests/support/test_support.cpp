// Helpers shared by the library's unit tests: scratch directories, files and child processes.
#include "support/test_support.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <mutex>
#include <stdexcept>

#include <gtest/gtest.h>

#include "sensor_data/sensor_record.h"
#include "zentro.h"

namespace zentro::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "zentro-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string &name) const
{
    return path_ + "/" + name;
}

void writeFile(const std::string &path, const std::string &contents)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

void setModificationTime(const std::string &path, long seconds)
{
    struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        throw std::runtime_error("cannot set the time of " + path);
}

std::string runInChild(const std::function<std::string()> &body)
{
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::string text = body();
        size_t done = 0;
        while (done < text.size()) {
            ssize_t n = write(fds[1], text.data() + done, text.size() - done);
            if (n <= 0)
                _exit(2);
            done += static_cast<size_t>(n);
        }
        _exit(0);
    }
    close(fds[1]);
    std::string text;
    char chunk[4096];
    ssize_t n;
    while ((n = read(fds[0], chunk, sizeof(chunk))) > 0)
        text.append(chunk, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child failed: " << status;
    return text;
}

std::string runUnprivileged(const std::function<std::string()> &body)
{
    return runInChild([&body] {
        constexpr uid_t kNobody = 65534;
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
            return std::string("cannot drop privileges");
        return body();
    });
}

ScopedEnv::ScopedEnv(const char *name, const char *value) : name_(name)
{
    const char *old = getenv(name);
    hadOld_ = old != nullptr;
    if (hadOld_)
        old_ = old;
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv()
{
    if (hadOld_)
        setenv(name_.c_str(), old_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}

} // namespace zentro::test

namespace zentro::test {

TestCamera::TestCamera()
{
    ze_InitCameraContext(&camera_);
}

TestCamera::~TestCamera()
{
    ze_DestructSensor(camera_.sensor);
    free(camera_.sensor);
    zentro::freeChips(camera_.boardChips, camera_.boardChipCount);
    ze_FreeCameraContext(&camera_);
}

ChipRecord::~ChipRecord()
{
    zentro::freeRegisters(chip.regs, chip.regCount);
}

namespace {

std::mutex gLogLock;
std::vector<LoggedLine> gLogLines;

void recordLogLine(uint32_t level, int code, const char *message, const char * /*file*/,
                   const char *function, int /*line*/)
{
    std::lock_guard<std::mutex> guard(gLogLock);
    gLogLines.push_back({level, code, message ? message : "", function ? function : ""});
}

} // namespace

LogCapture::LogCapture()
{
    clear();
    ze_OpenErrorLogCallback(ZE_LOG_SEVERE | ZE_LOG_ERROR | ZE_LOG_INFO, recordLogLine);
}

LogCapture::~LogCapture()
{
    ze_CloseErrorLog();
}

const std::vector<LoggedLine> &LogCapture::lines() const
{
    return gLogLines;
}

std::vector<std::string> LogCapture::messages() const
{
    std::lock_guard<std::mutex> guard(gLogLock);
    std::vector<std::string> messages;
    for (const LoggedLine &line : gLogLines)
        messages.push_back(line.message);
    return messages;
}

bool LogCapture::contains(const std::string &text) const
{
    std::lock_guard<std::mutex> guard(gLogLock);
    for (const LoggedLine &line : gLogLines) {
        if (line.message.find(text) != std::string::npos)
            return true;
    }
    return false;
}

void LogCapture::clear()
{
    std::lock_guard<std::mutex> guard(gLogLock);
    gLogLines.clear();
}

FileLog::FileLog()
{
    ze_OpenErrorLog(ZE_LOG_SEVERE | ZE_LOG_ERROR | ZE_LOG_INFO, dir_.file("log").c_str());
    char name[ZE_TEXT_SIZE] = {};
    ze_GetErrorLogFileName(name);
    path_ = name;
}

FileLog::~FileLog()
{
    ze_CloseErrorLog();
}

std::string FileLog::body() const
{
    const std::string text = readFile(path_);
    const size_t start = text.find("\n\n");
    return start == std::string::npos ? "" : text.substr(start + 2);
}

size_t FileLog::occurrences(const std::string &text) const
{
    const std::string all = body();
    size_t count = 0;
    for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1))
        ++count;
    return count;
}

} // namespace zentro::test
