// Ctrl-C and SIGTERM during long work: the work stops between two steps and cleans up.
#pragma once

namespace zcli {

// Catches the first SIGINT or SIGTERM (a second one ends the program at once) and ignores
// SIGPIPE, so that a board that goes away gives an error instead of killing the client.
void installInterruptionHandlers();

// True once SIGINT or SIGTERM arrived.
bool interrupted();

// Throws (status 1) when interrupted.
void stopIfInterrupted(const char *what);

} // namespace zcli
