// The board server's own commands that the library's API does not carry: files, commands and
// versions, reached through the protocol client library.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zcli {

struct CommandStatus {
    int exitCode = 0;    // the command's exit status on the board
    int signal = 0;      // the signal that ended it, 0 when it exited
    bool started = true; // false when the board could not start a shell
};

struct VersionEntry {
    std::string name;
    std::string version;
};

using ProgressCallback = std::function<void(uint64_t done, uint64_t total)>;

class BoardLink
{
public:
    virtual ~BoardLink() = default;
    // Both resume an interrupted transfer of the same file; return the file's size.
    virtual uint64_t upload(const std::string &local, const std::string &remote,
                            const ProgressCallback &progress) = 0;
    virtual uint64_t download(const std::string &remote, const std::string &local,
                              const ProgressCallback &progress) = 0;
    virtual CommandStatus run(const std::string &commandLine) = 0;
    // The board's versions in a stable order, and whether its driver versions were readable.
    virtual std::vector<VersionEntry> versions(bool &complete) = 0;
};

// Connects to the board at @address ("HOST" or "HOST:PORT"). Throws CliError: a usage error
// for a bad address, kExitFailed when this build has no protocol client. Failures of later
// calls are thrown as CliError too (kExitNoCamera when the board cannot be reached or the link
// breaks, kExitFailed when the board refuses).
std::unique_ptr<BoardLink> connectBoard(const std::string &address);

} // namespace zcli
