// The client's signal handling.
#include "interruption.h"

#include <csignal>
#include <string>

#include "cli_error.h"

namespace zcli {
namespace {

volatile std::sig_atomic_t interruptedFlag = 0;

extern "C" void noteInterruption(int signalNumber)
{
    interruptedFlag = 1;
    // The next one is not caught: a user who insists ends the program at once.
    std::signal(signalNumber, SIG_DFL);
}

} // namespace

void installInterruptionHandlers()
{
    std::signal(SIGINT, noteInterruption);
    std::signal(SIGTERM, noteInterruption);
    std::signal(SIGPIPE, SIG_IGN);
}

bool interrupted()
{
    return interruptedFlag != 0;
}

void stopIfInterrupted(const char *what)
{
    if (interrupted())
        operationFailed(std::string(what) + " interrupted");
}

} // namespace zcli
