// Command lines the simulated board answers itself: power commands and the sensor clock script.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace boardsim {

enum class CommandKind {
    Pass,  // an ordinary command: the C library runs it
    Power, // shutdown, reboot, poweroff, halt: recorded, never run
    Clock, // the board script that sets the sensor input clock
};

struct BoardCommand {
    CommandKind kind = CommandKind::Pass;
    std::string line;                   // the command line as one line of text
    std::string clockArgument;          // the script's argument(s), as given
    std::optional<uint32_t> clockHertz; // none: not a usable frequency
};

// A shell command line, as system(), popen() or "sh -c" take it.
BoardCommand classifyCommandLine(const std::string &line);
// An executable and its arguments, as the exec family takes them; argv may be null. A shell
// run with "-c" is judged by the command line it is given.
BoardCommand classifyExec(const char *file, const char *const *argv);

// Answers a command that is not Pass in place of running it: returns its exit status.
int answerCommand(const BoardCommand &command);

} // namespace boardsim
