// Administrative commands: running shell commands on the board, powering it off or
// rebooting it, and the software versions.
#pragma once

#include <QVariantMap>

#include <functional>

namespace qrb {

// Sends a reply at once, before the command goes on (the power commands, the exit).
using SendReplyNow = std::function<void(const QVariantMap &reply)>;

// "commandLine" run by the shell; "status" is the raw wait status.
QVariantMap invoke(const QVariantMap &request);
// As invoke; when the command could be started, the reply goes out and the process ends.
QVariantMap invokeAndExit(const QVariantMap &request, const SendReplyNow &send);
// Reply {"retVal": 0} first, then power off or reboot; nothing else is sent.
QVariantMap shutdownBoard(const SendReplyNow &send);
QVariantMap restartBoard(const SendReplyNow &send);
// The driver's nine version numbers and the server's own version.
QVariantMap getVersions();

} // namespace qrb
