// The board link over the board server's protocol, through the qrbclient library.
#include <sys/wait.h>

#include "board_link.h"
#include "cli_error.h"

#include "qrb_client.h"

namespace zcli {
namespace {

namespace qrb = zentro::qrb;

class QrbBoardLink : public BoardLink
{
public:
    explicit QrbBoardLink(qrb::BoardAddress address) : client_(std::move(address)) {}

    uint64_t upload(const std::string &local, const std::string &remote,
                    const ProgressCallback &progress) override
    {
        return guarded("upload " + local,
                       [&] { return client_.upload(local, remote, transferOptions(progress)); });
    }

    uint64_t download(const std::string &remote, const std::string &local,
                      const ProgressCallback &progress) override
    {
        return guarded("download " + remote,
                       [&] { return client_.download(remote, local, transferOptions(progress)); });
    }

    CommandStatus run(const std::string &commandLine) override
    {
        const qrb::InvokeReply reply =
            guarded("run " + commandLine, [&] { return client_.invoke(commandLine); });
        CommandStatus status;
        status.started = !reply.error.has_value() && reply.retVal == 0;
        if (WIFSIGNALED(reply.status))
            status.signal = WTERMSIG(reply.status);
        else
            status.exitCode = WEXITSTATUS(reply.status);
        return status;
    }

    std::vector<VersionEntry> versions(bool &complete) override
    {
        const qrb::Versions versions =
            guarded("read the versions", [&] { return client_.getVersions(); });
        complete = versions.retVal == 0;
        return {{"release", versions.jetpackRelease},
                {"kernel", versions.kernelRelease},
                {"drivers", versions.ostrixRelease},
                {"server", versions.serverRelease}};
    }

private:
    static qrb::TransferOptions transferOptions(const ProgressCallback &progress)
    {
        qrb::TransferOptions options;
        options.resume = true;
        options.progress = progress;
        return options;
    }

    // Runs @call, turning the protocol client's failures into the client's exit statuses.
    template <class Call>
    auto guarded(const std::string &what, Call call) -> decltype(call())
    {
        try {
            return call();
        } catch (const qrb::Error &error) {
            const std::string message = "cannot " + what + " on the board at " +
                                        client_.address().text() + ": " + error.what();
            throw CliError(error.isLinkFailure() ? kExitNoCamera : kExitFailed, message);
        }
    }

    qrb::Client client_;
};

} // namespace

std::unique_ptr<BoardLink> connectBoard(const std::string &address)
{
    const std::optional<qrb::BoardAddress> parsed = qrb::parseBoardAddress(address);
    if (!parsed)
        usageError("'" + address + "' is not a board address (HOST or HOST:PORT)");
    return std::make_unique<QrbBoardLink>(*parsed);
}

} // namespace zcli
