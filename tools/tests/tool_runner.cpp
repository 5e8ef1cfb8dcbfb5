// Running board tools from tests.
#include "tool_runner.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

namespace tooltest {
namespace {

constexpr auto kRunBound = std::chrono::seconds(180);
constexpr auto kPollInterval = std::chrono::milliseconds(20);

void redirect(const std::string &path, int target, int flags)
{
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0 || ::dup2(fd, target) < 0)
        ::_exit(126);
    ::close(fd);
}

} // namespace

ToolProcess::ToolProcess(const std::vector<std::string> &argv, const std::string &input,
                         const std::string &workDirectory)
    : directory_(workDirectory)
{
    writeWholeFile(directory_ + "/tool.in", input);
    std::vector<char *> args;
    for (const auto &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        redirect(directory_ + "/tool.in", STDIN_FILENO, O_RDONLY);
        redirect(directory_ + "/tool.out", STDOUT_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
        redirect(directory_ + "/tool.err", STDERR_FILENO, O_WRONLY | O_CREAT | O_TRUNC);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
}

ToolProcess::~ToolProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string ToolProcess::outputSoFar() const
{
    return readWholeFile(directory_ + "/tool.out");
}

ToolResult ToolProcess::wait()
{
    ToolResult r;
    const auto deadline = std::chrono::steady_clock::now() + kRunBound;
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid_, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(kPollInterval);
    if (done == 0) {
        ADD_FAILURE() << "the tool did not end within the bound; killed";
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = readWholeFile(directory_ + "/tool.out");
    r.err = readWholeFile(directory_ + "/tool.err");
    return r;
}

ToolResult runTool(const std::vector<std::string> &argv, const std::string &workDirectory,
                   const std::string &input)
{
    ToolProcess process(argv, input, workDirectory);
    return process.wait();
}

std::string readWholeFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeWholeFile(const std::string &path, const std::string &contents)
{
    std::ofstream(path, std::ios::binary) << contents;
}

std::vector<std::string> linesWith(const std::string &text, const std::string &needle)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.find(needle) != std::string::npos)
            out.push_back(line);
    return out;
}

} // namespace tooltest
