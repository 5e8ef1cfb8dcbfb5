// Runs a board tool as a user would: arguments, standard input, captured output and status.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tooltest {

struct ToolResult {
    int status = -1; // exit status; 128 + N when ended by signal N
    std::string out;
    std::string err;
};

// A tool process started in the background; its output goes to files of workDirectory.
class ToolProcess
{
public:
    ToolProcess(const std::vector<std::string> &argv, const std::string &input,
                const std::string &workDirectory);
    ~ToolProcess();
    ToolProcess(const ToolProcess &) = delete;
    ToolProcess &operator=(const ToolProcess &) = delete;

    pid_t pid() const { return pid_; }
    std::string outputSoFar() const;
    // Waits up to the bound (then kills the tool, failing the test) and collects the output.
    ToolResult wait();

private:
    std::string directory_;
    pid_t pid_ = -1;
};

// Runs the tool to its end (bounded).
ToolResult runTool(const std::vector<std::string> &argv, const std::string &workDirectory,
                   const std::string &input = "");

std::string readWholeFile(const std::string &path);
void writeWholeFile(const std::string &path, const std::string &contents);
// Lines of text that contain needle.
std::vector<std::string> linesWith(const std::string &text, const std::string &needle);

} // namespace tooltest
