// The command table and the camera an invocation opens on demand.
#include "command.h"

namespace zcli {

CameraSession &Invocation::session()
{
    if (!session_)
        session_ = CameraSession::open(global_);
    return *session_;
}

std::span<const Command *const> allCommands()
{
    static const Command *const commands[] = {
        &infoCommand, &regsCommand,   &getCommand,      &setCommand, &presetCommand,   &modeCommand,
        &grabCommand, &uploadCommand, &downloadCommand, &runCommand, &versionsCommand,
    };
    return commands;
}

} // namespace zcli
