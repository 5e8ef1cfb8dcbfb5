// Help texts built from the command table, so that they list every command.
#include "help_text.h"

#include <cstdio>

namespace zcli {
namespace {

constexpr const char *kGlobalOptions =
    "Camera (one of; without any, $ZE_BOARD names the board):\n"
    "  --board ADDRESS      the board at HOST or HOST:PORT, through the network transport\n"
    "  --null FILE          an offline null camera described by the sensor-data FILE\n"
    "  --recording FILE     playback of a raw recording (FILE.raw with FILE_info.txt)\n"
    "Other options:\n"
    "  --sensor-data DIR    sensor-data folder to identify a board's sensor in\n"
    "  --json               print one JSON document per command (also for errors)\n"
    "  --help, -h           this text; COMMAND --help describes a command\n"
    "  --version            the client's version\n";

constexpr const char *kExitStatuses = "Exit status:\n"
                                      "  0  success\n"
                                      "  1  the operation failed\n"
                                      "  2  usage error: bad command line or value, nothing done\n"
                                      "  3  no camera: it could not be opened, or the board did\n"
                                      "     not answer\n";

} // namespace

std::string generalHelp()
{
    std::string text = "Usage: zentro [CAMERA] [--json] COMMAND [ARGUMENTS]\n\n";
    text += kGlobalOptions;
    text += "\nCommands:\n";
    for (const Command *command : allCommands()) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-10s %s\n", command->name, command->summary);
        text += line;
    }
    return text + "\n" + kExitStatuses;
}

std::string commandHelp(const Command &command)
{
    std::string text = std::string("Usage: zentro [CAMERA] [--json] ") + command.name;
    if (command.usage[0])
        text += std::string(" ") + command.usage;
    text += "\n" + std::string(command.summary) + "\n\n" + command.help + "\n" + kExitStatuses;
    return text;
}

} // namespace zcli
