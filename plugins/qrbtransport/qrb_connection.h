// One TCP connection to a board server and its framing: length-prefixed JSON messages, raw
// buffer frames from the server and raw bytes to it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <QJsonObject>

#include "qrb_error.h"

namespace zentro::qrb {

// Bounds on how long a call may wait for the board; a vanished server never hangs a caller.
struct Timeouts {
    std::chrono::milliseconds connect{3000};
    // For one whole request: sending it and receiving all of its answer.
    std::chrono::milliseconds io{5000};
};

// Largest JSON message accepted from the server (the server holds requests to the same).
inline constexpr uint32_t kMaxMessageLength = 16u * 1024 * 1024;

class Connection
{
public:
    Connection(std::string host, uint16_t port, Timeouts timeouts);
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection();

    // Connects unless connected. A connection the server has dropped (it drops clients that
    // are silent for a second, or it restarted) is replaced by a new one. Throws Error.
    void ensureConnected();
    // Closes the socket (no request is sent).
    void close();
    bool isConnected() const { return fd_ >= 0; }
    const std::string &host() const { return host_; }
    uint16_t port() const { return port_; }
    // "HOST:PORT", for messages.
    std::string peer() const;
    const Timeouts &timeouts() const { return timeouts_; }
    // Connections made so far: a change tells that the link was made anew (the server may
    // have restarted in between).
    uint64_t connectCount() const { return connects_; }

    // Sends one JSON message, followed without a prefix by @raw (upload data). Throws Error.
    void send(const QJsonObject &message, std::span<const std::byte> raw = {});
    // Receives one JSON message frame that must hold an object. Throws Error.
    QJsonObject receiveMessage();
    // Receives one raw buffer frame into @into, which must be large enough for it: a frame
    // announcing more than into.size() bytes is a protocol error. Returns the payload length.
    size_t receiveBufferInto(std::span<std::byte> into);
    // Sends @message and receives its JSON answer.
    QJsonObject call(const QJsonObject &message);

    // Starts the time-out of the next request with @timeout instead of the usual one (a
    // command that runs long on the board). Applies to one request.
    void extendNextDeadline(std::chrono::milliseconds timeout) { nextTimeout_ = timeout; }

private:
    using Clock = std::chrono::steady_clock;

    void connect();
    bool peerHasClosed() const;
    void startRequest();
    void sendAll(const void *data, size_t size);
    void waitFor(short events);
    size_t receiveSome(void *data, size_t size);
    void receiveExactly(void *data, size_t size);
    uint32_t receivePrefix();
    [[noreturn]] void fail(Error::Kind kind, const std::string &what);

    std::string host_;
    uint16_t port_;
    Timeouts timeouts_;
    int fd_ = -1;
    uint64_t connects_ = 0;
    Clock::time_point deadline_{};
    Clock::time_point lastUse_{};
    std::chrono::milliseconds nextTimeout_{0};
    std::chrono::milliseconds requestTimeout_{0};
    // Bytes received ahead of what the caller has taken.
    std::vector<std::byte> pending_;
    size_t pendingStart_ = 0;
};

} // namespace zentro::qrb
