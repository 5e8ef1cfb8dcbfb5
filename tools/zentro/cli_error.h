// The command-line client's exit statuses and the error that carries one to main.
#pragma once

#include <stdexcept>
#include <string>

namespace zcli {

enum ExitStatus : int {
    kExitSuccess = 0,
    kExitFailed = 1,   // the operation was tried and failed
    kExitUsage = 2,    // bad command line or bad value: nothing was done
    kExitNoCamera = 3, // no camera could be opened, or the board did not answer
};

// Thrown by a command to end with a message on stderr and the given status.
class CliError : public std::runtime_error
{
public:
    CliError(ExitStatus status, const std::string &message)
        : std::runtime_error(message), status_(status)
    {
    }
    ExitStatus status() const { return status_; }

private:
    ExitStatus status_;
};

[[noreturn]] inline void usageError(const std::string &message)
{
    throw CliError(kExitUsage, message);
}

[[noreturn]] inline void operationFailed(const std::string &message)
{
    throw CliError(kExitFailed, message);
}

} // namespace zcli
