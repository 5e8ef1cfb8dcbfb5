// The upload, download, run and versions subcommands: the board server's own commands.
#include <cstdio>
#include <unistd.h>

#include "board_link.h"
#include "cli_error.h"
#include "command.h"

namespace zcli {
namespace {

constexpr int kBarWidth = 30;
constexpr double kMegabyte = 1024.0 * 1024.0;

std::unique_ptr<BoardLink> linkFor(const Invocation &invocation, const char *command)
{
    const GlobalOptions &global = invocation.global();
    if (!global.nullFile.empty() || !global.recording.empty())
        usageError(std::string(command) + " talks to a board: give --board ADDRESS");
    const std::string address = boardAddress(global);
    if (address.empty())
        usageError(std::string(command) + ": no board: give --board ADDRESS or set ZE_BOARD");
    return connectBoard(address);
}

// A progress line that rewrites itself on a terminal; nothing when the output goes elsewhere.
ProgressCallback progressBar(const Invocation &invocation)
{
    if (invocation.json() || !::isatty(STDOUT_FILENO))
        return {};
    return [](uint64_t done, uint64_t total) {
        const double part = total ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
        const int filled = static_cast<int>(part * kBarWidth);
        std::printf("\r[%-*.*s] %3d%%  %.1f of %.1f MB", kBarWidth, filled,
                    "##############################", static_cast<int>(part * 100),
                    static_cast<double>(done) / kMegabyte, static_cast<double>(total) / kMegabyte);
        if (done >= total)
            std::printf("\n");
        std::fflush(stdout);
    };
}

void reportTransfer(Invocation &invocation, const char *verb, const std::string &from,
                    const std::string &to, uint64_t size)
{
    if (invocation.json())
        invocation.document()
            .beginObject()
            .field("from", from)
            .field("to", to)
            .field("bytes", size)
            .endObject();
    else
        std::printf("%s %s to %s: %llu bytes\n", verb, from.c_str(), to.c_str(),
                    static_cast<unsigned long long>(size));
}

void runUpload(Invocation &invocation)
{
    const auto &operands = invocation.args().operands();
    const auto link = linkFor(invocation, "upload");
    const uint64_t size = link->upload(operands[0], operands[1], progressBar(invocation));
    reportTransfer(invocation, "Uploaded", operands[0], operands[1], size);
}

void runDownload(Invocation &invocation)
{
    const auto &operands = invocation.args().operands();
    const auto link = linkFor(invocation, "download");
    const uint64_t size = link->download(operands[0], operands[1], progressBar(invocation));
    reportTransfer(invocation, "Downloaded", operands[0], operands[1], size);
}

void runRun(Invocation &invocation)
{
    const auto &operands = invocation.args().operands();
    std::string commandLine = operands[0];
    for (size_t i = 1; i < operands.size(); ++i)
        commandLine += " " + operands[i];
    const auto link = linkFor(invocation, "run");
    const CommandStatus status = link->run(commandLine);
    if (!status.started)
        operationFailed("the board could not start a shell for: " + commandLine);
    if (invocation.json()) {
        invocation.document()
            .beginObject()
            .field("command", commandLine)
            .field("exitCode", status.exitCode)
            .field("signal", status.signal)
            .endObject();
    } else if (status.signal) {
        std::printf("%s: ended by signal %d\n", commandLine.c_str(), status.signal);
    } else {
        std::printf("%s: exit status %d\n", commandLine.c_str(), status.exitCode);
    }
    if (status.exitCode != 0 || status.signal != 0)
        invocation.setExitStatus(kExitFailed);
}

void runVersions(Invocation &invocation)
{
    const auto link = linkFor(invocation, "versions");
    bool complete = true;
    const std::vector<VersionEntry> entries = link->versions(complete);
    if (invocation.json()) {
        JsonWriter &out = invocation.document();
        out.beginObject();
        for (const VersionEntry &entry : entries)
            out.field(entry.name, entry.version);
        out.field("complete", complete).endObject();
        return;
    }
    for (const VersionEntry &entry : entries)
        std::printf("%-16s %s\n", entry.name.c_str(), entry.version.c_str());
    if (!complete)
        std::fprintf(stderr, "zentro: the board could not read all of its versions\n");
}

} // namespace

const Command uploadCommand = {
    "upload",
    "LOCAL REMOTE",
    "copy a file to the board",
    "Copies the local file LOCAL to the path REMOTE on the board. An upload that was cut\n"
    "off goes on where it stopped when it is run again. A progress bar is shown on a\n"
    "terminal.\n"
    "\n"
    "Example: zentro --board 192.168.55.1 upload sensor.sdat /opt/zentro/sensor_data/x.sdat\n",
    {},
    2,
    2,
    runUpload,
};

const Command downloadCommand = {
    "download",
    "REMOTE LOCAL",
    "copy a file from the board",
    "Copies the file REMOTE on the board to the local path LOCAL, through LOCAL~temp, which\n"
    "is renamed when the file is complete; a download that was cut off goes on where it\n"
    "stopped when it is run again. A progress bar is shown on a terminal.\n"
    "\n"
    "Example: zentro --board 192.168.55.1 download /var/log/qrb_server.log server.log\n",
    {},
    2,
    2,
    runDownload,
};

const Command runCommand = {
    "run",
    "COMMAND [ARGUMENTS...]",
    "run a command on the board and print its status",
    "Runs COMMAND (with ARGUMENTS, joined by blanks) in a shell on the board, waits for it\n"
    "and prints its exit status. zentro exits with 1 when the command fails. Quote a command\n"
    "line with shell syntax, or put \"--\" before a command with options.\n"
    "\n"
    "Example: zentro --board 192.168.55.1 run -- ls -l /tmp\n",
    {},
    1,
    SIZE_MAX,
    runRun,
};

const Command versionsCommand = {
    "versions",
    "",
    "print the board's software versions",
    "Prints the versions of the board's software: release, kernel, drivers and server.\n"
    "\n"
    "Example: zentro --board 192.168.55.1 versions\n",
    {},
    0,
    0,
    runVersions,
};

} // namespace zcli
