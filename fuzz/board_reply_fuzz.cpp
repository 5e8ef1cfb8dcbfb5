// Fuzz target: the desktop's reading of what a board server sends. The input is the byte
// stream of the server's side of one connection (on loopback); the client reads JSON
// messages and raw buffer frames from it, as the first byte of the input chooses, until the
// stream ends or breaks the framing. Every failure must be a clean error, never a crash,
// an over-read or an allocation the input asks for.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "qrb_connection.h"
#include "qrb_error.h"

namespace {

using zentro::qrb::Connection;
using zentro::qrb::Timeouts;

constexpr std::chrono::milliseconds kShortTimeout{200};
constexpr size_t kBufferFrameCapacity = 64 * 1024;
constexpr int kMaxReads = 64;

class Descriptor
{
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// A listening socket on an ephemeral loopback port; 0 when none could be made.
uint16_t listenOnLoopback(const Descriptor &listener)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (listener.get() < 0 ||
        ::bind(listener.get(), reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0 ||
        ::listen(listener.get(), 1) != 0 ||
        ::getsockname(listener.get(), reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

bool sendAll(int fd, const uint8_t *data, size_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

void readUntilTheStreamEnds(Connection &connection, uint8_t choices)
{
    std::vector<std::byte> frame(kBufferFrameCapacity);
    for (int read = 0; read < kMaxReads; ++read) {
        try {
            if (choices & (1u << (read % 8)))
                connection.receiveBufferInto(frame);
            else
                connection.receiveMessage();
        } catch (const zentro::qrb::Error &) {
            return;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const Descriptor listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const uint16_t port = listenOnLoopback(listener);
    if (port == 0)
        return 0;
    Connection connection("127.0.0.1", port, Timeouts{kShortTimeout, kShortTimeout});
    try {
        connection.ensureConnected();
    } catch (const zentro::qrb::Error &) {
        return 0;
    }
    {
        const Descriptor server(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        // The whole stream is sent and the server's side closed before the client reads, so
        // every read ends at the stream's end rather than at a time-out.
        if (server.get() < 0 || !sendAll(server.get(), data + 1, size - 1))
            return 0;
    }
    readUntilTheStreamEnds(connection, data[0]);
    return 0;
}
