// zentro: the command-line client of the camera-sensor library.
#include <cstdio>
#include <exception>
#include <string>

#include <zentro.h>

#include "arguments.h"
#include "cli_error.h"
#include "command.h"
#include "help_text.h"
#include "interruption.h"
#include "library_log.h"

namespace {

using namespace zcli;

const Command *findCommand(const std::string &name)
{
    for (const Command *command : allCommands())
        if (name == command->name)
            return command;
    return nullptr;
}

void checkOperandCount(const Command &command, size_t count)
{
    if (count < command.minOperands || count > command.maxOperands)
        usageError(std::string(command.name) + ": expected " + command.name +
                   (command.usage[0] ? " " : "") + command.usage + " (zentro " + command.name +
                   " --help)");
}

int runInvocation(const GlobalOptions &global)
{
    if (global.version) {
        std::printf("zentro %s\n", ZENTRO_CLI_VERSION);
        return kExitSuccess;
    }
    if (global.help) {
        std::fputs(generalHelp().c_str(), stdout);
        return kExitSuccess;
    }
    if (global.command.empty())
        usageError("no command given (zentro --help lists them)");
    const Command *command = findCommand(global.command);
    if (!command)
        usageError("unknown command " + global.command + " (zentro --help lists them)");
    Invocation invocation(global, parseCommandArgs(global.args, command->options, command->name));
    if (invocation.args().has("help")) {
        std::fputs(commandHelp(*command).c_str(), stdout);
        return kExitSuccess;
    }
    checkOperandCount(*command, invocation.args().operands().size());
    command->run(invocation);
    if (global.json)
        std::printf("%s\n", invocation.document().text().c_str());
    return invocation.exitStatus();
}

int reportError(bool json, ExitStatus status, const std::string &message)
{
    std::fprintf(stderr, "zentro: %s\n", message.c_str());
    if (json) {
        JsonWriter out;
        out.beginObject().field("error", message).field("exitStatus", static_cast<int>(status));
        std::printf("%s\n", out.endObject().text().c_str());
    }
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    bool json = false;
    try {
        const GlobalOptions global = parseGlobalOptions(argc, argv);
        json = global.json;
        captureLibraryLog();
        installInterruptionHandlers();
        return runInvocation(global);
    } catch (const CliError &error) {
        return reportError(json, error.status(), error.what());
    } catch (const std::exception &error) {
        return reportError(json, kExitFailed, error.what());
    }
}
