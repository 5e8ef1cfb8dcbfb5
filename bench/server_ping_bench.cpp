// Round trips of "ping" to a running board server over loopback: one client that keeps its
// connection, and one that connects again for every request.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "bench_timing.h"
#include "loopback_socket.h"

namespace {

constexpr in_port_t kDefaultPort = 29824;
constexpr std::string_view kPingRequest = R"({"api":"ping"})";
constexpr std::string_view kPingReplyText = R"({"retVal":0})";

// A message frame: the text's length, most significant byte first, then the text.
std::string frame(std::string_view text)
{
    const auto length = static_cast<uint32_t>(text.size());
    std::string bytes{static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                      static_cast<char>(length >> 8), static_cast<char>(length)};
    return bytes.append(text);
}

const std::string kPingFrame = frame(kPingRequest);
const std::string kPingReply = frame(kPingReplyText);

struct Options {
    in_port_t port = kDefaultPort;
    long roundTrips = 100000;
    long reconnects = 5000;
    int repetitions = 5;
};

class Connection
{
public:
    explicit Connection(in_port_t port) : fd_(zentro::bench::connectLoopback(port))
    {
        if (fd_ < 0)
            fail("connect to 127.0.0.1");
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection() { ::close(fd_); }

    void ping() const
    {
        if (::send(fd_, kPingFrame.data(), kPingFrame.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(kPingFrame.size()))
            fail("send ping");
        char reply[64];
        size_t received = 0;
        while (received < kPingReply.size()) {
            const ssize_t n = ::recv(fd_, reply + received, kPingReply.size() - received, 0);
            if (n <= 0)
                fail("receive the reply");
            received += static_cast<size_t>(n);
        }
        if (std::string_view(reply, received) != kPingReply)
            fail("unexpected reply");
    }

private:
    [[noreturn]] static void fail(const char *what)
    {
        std::fprintf(stderr, "server_ping_bench: %s: %s\n", what, std::strerror(errno));
        std::exit(1);
    }

    int fd_;
};

double pingsPerSecond(long count, zentro::bench::Duration duration)
{
    return static_cast<double>(count) * 1000.0 / duration.wallMs;
}

void report(const char *name, long count, std::vector<double> rates)
{
    std::printf("%-28s %8ld round trips x %zu: median %9.0f /s (best %9.0f /s)\n", name, count,
                rates.size(), zentro::bench::median(rates),
                *std::max_element(rates.begin(), rates.end()));
}

bool parseOptions(int argc, char **argv, Options &options)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const long value = std::strtol(argv[i + 1], nullptr, 0);
        if (value <= 0)
            return false;
        if (option == "--port")
            options.port = static_cast<in_port_t>(value);
        else if (option == "--round-trips")
            options.roundTrips = value;
        else if (option == "--reconnects")
            options.reconnects = value;
        else if (option == "--repetitions")
            options.repetitions = static_cast<int>(value);
        else
            return false;
    }
    return argc % 2 == 1;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--port P] [--round-trips N] [--reconnects N] "
                     "[--repetitions N]\n",
                     argv[0]);
        return 2;
    }

    std::vector<double> kept, reconnecting;
    for (int round = 0; round < options.repetitions; ++round) {
        const Connection connection(options.port);
        kept.push_back(pingsPerSecond(options.roundTrips, zentro::bench::timed([&] {
                                          for (long i = 0; i < options.roundTrips; ++i)
                                              connection.ping();
                                      })));
    }
    for (int round = 0; round < options.repetitions; ++round) {
        reconnecting.push_back(pingsPerSecond(options.reconnects, zentro::bench::timed([&] {
                                                  for (long i = 0; i < options.reconnects; ++i)
                                                      Connection(options.port).ping();
                                              })));
    }
    report("one connection", options.roundTrips, kept);
    report("a connection per request", options.reconnects, reconnecting);
    return 0;
}
