// Collects the library's error log lines so that a failure can be explained on stderr.
#pragma once

#include <string>
#include <vector>

namespace zcli {

// Routes the library's severe and error lines into memory (no log files) for the process.
void captureLibraryLog();

// The lines logged since the last call, oldest first; the store is emptied.
std::vector<std::string> takeLibraryLog();

// "<what>: <library message of code>", followed by the library's logged details, one per
// line, so that the user sees both the result and its cause ("File does not exist, ...").
std::string describeFailure(const std::string &what, int code);

} // namespace zcli
