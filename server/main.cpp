// qrb_server: sets the board up, checks the link to the host computer and runs the command
// and frame servers until SIGTERM.
#include "board_checks.h"
#include "status_lines.h"
#include "zentro_api_server.h"
#include "zentro_frame_server.h"

#include <QCoreApplication>
#include <QHostAddress>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>

#include <unistd.h>

namespace {

// The host computer's address on the board's network link.
constexpr const char *kHostAddress = "192.168.55.100";
// Time the board's set-up needs before the link can be checked.
constexpr unsigned int kBoardSetupSeconds = 2;

volatile std::sig_atomic_t done = 0;

// Only async-signal-safe calls here: the line is formatted by hand and written directly.
void terminate(int signal)
{
    static constexpr char kPrefix[] = "Received SIGTERM ";
    char line[sizeof(kPrefix) + 12];
    size_t length = sizeof(kPrefix) - 1;
    std::memcpy(line, kPrefix, length);
    char digits[11];
    size_t count = 0;
    auto value = static_cast<unsigned int>(signal);
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0)
        line[length++] = digits[--count];
    line[length++] = '\n';
    (void)!::write(STDOUT_FILENO, line, length);
    done = 1;
}

// Runs both servers until SIGTERM, then stops them; each stop waits for its thread.
int serveUntilTerminated(int &argc, char **argv, const struct sigaction &action)
{
    // Its event loop never runs: each server thread runs its own.
    QCoreApplication application(argc, argv);

    qrb::ZentroApiServerInThread::start(QHostAddress(QHostAddress::AnyIPv4),
                                        qrb::ZentroApiServer::kDefaultPort);
    std::printf("Zentro API server is listening.\n");
    qrb::ZentroFrameServerInThread::start(QHostAddress(QHostAddress::AnyIPv4),
                                          qrb::ZentroFrameServer::kDefaultPort);
    std::printf("Zentro Frame server is listening.\n");
    std::printf("... Waiting signal to exit ...\n");

    sigaction(SIGTERM, &action, nullptr);
    while (!done)
        ::sleep(1);

    qrb::ZentroApiServerInThread::stop();
    std::printf("Zentro API server stopped.\n");
    qrb::ZentroFrameServerInThread::stop();
    std::printf("Zentro Frame server stopped.\n");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // Each message is a line that the board's log should show at once, also through a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    struct sigaction action {
    };
    action.sa_handler = terminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;

    const bool rev2 = qrb::isRev2();
    try {
        const qrb::StatusLines lines(rev2);
        ::sleep(kBoardSetupSeconds);
        if (!qrb::checkHost(kHostAddress)) {
            lines.showHostUnreachable();
            return 1;
        }
        lines.showServing();
        const int status = serveUntilTerminated(argc, argv, action);
        lines.release();
        return status;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "qrb_server: GPIO set-up failed: %s\n", error.what());
        return 1;
    }
}
