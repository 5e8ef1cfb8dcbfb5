// What every subcommand is made of, and the invocation it runs in.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>

#include "arguments.h"
#include "camera_session.h"
#include "json_writer.h"

namespace zcli {

// One run of a subcommand: its parsed arguments, its output and (on demand) the camera.
class Invocation
{
public:
    Invocation(const GlobalOptions &global, ParsedArgs args)
        : global_(global), args_(std::move(args))
    {
    }

    const GlobalOptions &global() const { return global_; }
    const ParsedArgs &args() const { return args_; }
    bool json() const { return global_.json; }
    // The JSON document the command builds (printed by main when --json is given).
    JsonWriter &document() { return document_; }
    // Opens the camera on first use.
    CameraSession &session();
    // A command whose output is complete but whose outcome is a failure (a command run on the
    // board that failed) ends with this status instead of 0.
    void setExitStatus(int status) { exitStatus_ = status; }
    int exitStatus() const { return exitStatus_; }

private:
    const GlobalOptions &global_;
    ParsedArgs args_;
    JsonWriter document_;
    std::unique_ptr<CameraSession> session_;
    int exitStatus_ = 0;
};

struct Command {
    const char *name;
    const char *usage;   // operands and options after the name
    const char *summary; // one line for the command list
    const char *help;    // the rest of "zentro NAME --help"
    std::span<const OptionDefinition> options;
    size_t minOperands;
    size_t maxOperands;
    void (*run)(Invocation &invocation);
};

// Every subcommand, in the order "zentro --help" lists them.
std::span<const Command *const> allCommands();

extern const Command infoCommand;
extern const Command regsCommand;
extern const Command getCommand;
extern const Command setCommand;
extern const Command presetCommand;
extern const Command modeCommand;
extern const Command grabCommand;
extern const Command uploadCommand;
extern const Command downloadCommand;
extern const Command runCommand;
extern const Command versionsCommand;

} // namespace zcli
