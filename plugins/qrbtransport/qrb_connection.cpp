// Socket, time-outs and framing of one connection to a board server.
#include "qrb_connection.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include <QJsonDocument>
#include <QJsonParseError>

namespace zentro::qrb {

namespace {

constexpr size_t kPrefixSize = 4;
// The server drops a client that stays silent for a second; a connection idle for nearly that
// long is replaced before it is used rather than risk a request crossing the drop.
constexpr auto kIdleReuseLimit = std::chrono::milliseconds(800);
// Receives go through a buffer of this size, except large payloads, which go straight to
// their destination.
constexpr size_t kReceiveChunk = 64 * 1024;

std::string systemError(int error)
{
    return std::strerror(error);
}

struct AddrInfoDeleter {
    void operator()(addrinfo *info) const { freeaddrinfo(info); }
};

// Connects @fd (non-blocking) to @address, waiting until @deadline; 0 or an errno value.
int connectBefore(int fd, const addrinfo &address, std::chrono::steady_clock::time_point deadline)
{
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0)
        return 0;
    if (errno != EINPROGRESS)
        return errno;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return ETIMEDOUT;
        pollfd entry{fd, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return errno;
        if (ready == 0)
            return ETIMEDOUT;
        int error = 0;
        socklen_t length = sizeof(error);
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
            return errno;
        return error;
    }
}

uint32_t decodeLength(const unsigned char *prefix)
{
    return uint32_t{prefix[0]} << 24 | uint32_t{prefix[1]} << 16 | uint32_t{prefix[2]} << 8 |
           prefix[3];
}

} // namespace

Connection::Connection(std::string host, uint16_t port, Timeouts timeouts)
    : host_(std::move(host)), port_(port), timeouts_(timeouts)
{
}

Connection::~Connection()
{
    close();
}

std::string Connection::peer() const
{
    const bool v6 = host_.find(':') != std::string::npos;
    return (v6 ? "[" + host_ + "]" : host_) + ":" + std::to_string(port_);
}

void Connection::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    pending_.clear();
    pendingStart_ = 0;
}

void Connection::fail(Error::Kind kind, const std::string &what)
{
    // After a failure the stream position is unknown: the next request starts afresh.
    close();
    throw Error(kind, what);
}

void Connection::connect()
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(port_);
    const int lookup = ::getaddrinfo(host_.c_str(), service.c_str(), &hints, &found);
    if (lookup != 0)
        throw Error(Error::Kind::ConnectFailed,
                    "cannot connect to " + peer() + ": " + gai_strerror(lookup));
    const std::unique_ptr<addrinfo, AddrInfoDeleter> addresses(found);
    const auto deadline = Clock::now() + timeouts_.connect;
    int error = EADDRNOTAVAIL;
    for (const addrinfo *address = found; address; address = address->ai_next) {
        const int fd =
            ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error = errno;
            continue;
        }
        error = connectBefore(fd, *address, deadline);
        if (error == 0) {
            // Requests are small and answered one at a time: never hold them back.
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
            fd_ = fd;
            ++connects_;
            lastUse_ = Clock::now();
            return;
        }
        ::close(fd);
    }
    throw Error(error == ETIMEDOUT ? Error::Kind::Timeout : Error::Kind::ConnectFailed,
                "cannot connect to " + peer() + ": " + systemError(error));
}

bool Connection::peerHasClosed() const
{
    // Between requests nothing may arrive: readable means end of stream, a reset, or bytes
    // left over from an abandoned answer. Either way the connection is not fit for use.
    pollfd entry{fd_, POLLIN | POLLRDHUP, 0};
    return ::poll(&entry, 1, 0) != 0;
}

void Connection::ensureConnected()
{
    if (fd_ >= 0 && (Clock::now() - lastUse_ > kIdleReuseLimit || peerHasClosed()))
        close();
    if (fd_ < 0)
        connect();
}

void Connection::startRequest()
{
    ensureConnected();
    requestTimeout_ = nextTimeout_.count() > 0 ? nextTimeout_ : timeouts_.io;
    nextTimeout_ = std::chrono::milliseconds(0);
    deadline_ = Clock::now() + requestTimeout_;
}

void Connection::waitFor(short events)
{
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
        if (left.count() <= 0)
            fail(Error::Kind::Timeout, "no answer from the board server at " + peer() + " within " +
                                           std::to_string(requestTimeout_.count()) + " ms");
        pollfd entry{fd_, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return;
        if (ready < 0 && errno != EINTR)
            fail(Error::Kind::ConnectionLost, "waiting for " + peer() + ": " + systemError(errno));
    }
}

void Connection::sendAll(const void *data, size_t size)
{
    const auto *bytes = static_cast<const char *>(data);
    for (size_t sent = 0; sent < size;) {
        const ssize_t n = ::send(fd_, bytes + sent, size - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            waitFor(POLLOUT);
        } else if (n < 0 && errno != EINTR) {
            fail(Error::Kind::ConnectionLost, "lost the connection to the board server at " +
                                                  peer() + ": " + systemError(errno));
        }
    }
}

void Connection::send(const QJsonObject &message, std::span<const std::byte> raw)
{
    startRequest();
    const QByteArray text = QJsonDocument(message).toJson(QJsonDocument::Compact);
    const auto length = static_cast<uint32_t>(text.size());
    std::string frame{static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                      static_cast<char>(length >> 8), static_cast<char>(length)};
    frame.append(text.constData(), static_cast<size_t>(text.size()));
    sendAll(frame.data(), frame.size());
    if (!raw.empty())
        sendAll(raw.data(), raw.size());
    lastUse_ = Clock::now();
}

size_t Connection::receiveSome(void *data, size_t size)
{
    for (;;) {
        const ssize_t n = ::recv(fd_, data, size, 0);
        if (n > 0)
            return static_cast<size_t>(n);
        if (n == 0)
            fail(Error::Kind::ConnectionLost,
                 "the board server at " + peer() + " closed the connection");
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            waitFor(POLLIN);
        else if (errno != EINTR)
            fail(Error::Kind::ConnectionLost, "lost the connection to the board server at " +
                                                  peer() + ": " + systemError(errno));
    }
}

void Connection::receiveExactly(void *data, size_t size)
{
    auto *into = static_cast<std::byte *>(data);
    size_t got = std::min(size, pending_.size() - pendingStart_);
    if (got > 0) {
        std::memcpy(into, pending_.data() + pendingStart_, got);
        pendingStart_ += got;
    }
    while (got < size) {
        const size_t missing = size - got;
        if (missing >= kReceiveChunk) {
            got += receiveSome(into + got, missing);
            continue;
        }
        pending_.resize(kReceiveChunk);
        const size_t n = receiveSome(pending_.data(), kReceiveChunk);
        const size_t used = std::min(n, missing);
        std::memcpy(into + got, pending_.data(), used);
        got += used;
        pending_.resize(n);
        pendingStart_ = used;
    }
    if (pendingStart_ == pending_.size()) {
        pending_.clear();
        pendingStart_ = 0;
    }
    lastUse_ = Clock::now();
}

uint32_t Connection::receivePrefix()
{
    if (fd_ < 0)
        throw Error(Error::Kind::ConnectionLost, "not connected to " + peer());
    unsigned char prefix[kPrefixSize];
    receiveExactly(prefix, sizeof(prefix));
    return decodeLength(prefix);
}

QJsonObject Connection::receiveMessage()
{
    const uint32_t length = receivePrefix();
    if (length > kMaxMessageLength)
        fail(Error::Kind::Protocol, "the board server at " + peer() + " announced a message of " +
                                        std::to_string(length) + " bytes (at most " +
                                        std::to_string(kMaxMessageLength) + " accepted)");
    QByteArray text(static_cast<int>(length), Qt::Uninitialized);
    receiveExactly(text.data(), length);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        fail(Error::Kind::Protocol,
             "the board server at " + peer() +
                 " sent a message that is not valid JSON: " + error.errorString().toStdString());
    if (!document.isObject())
        fail(Error::Kind::Protocol,
             "the board server at " + peer() + " sent a JSON message that is not an object");
    return document.object();
}

size_t Connection::receiveBufferInto(std::span<std::byte> into)
{
    const uint32_t length = receivePrefix();
    if (length > into.size())
        fail(Error::Kind::Protocol, "the board server at " + peer() + " announced " +
                                        std::to_string(length) + " bytes where at most " +
                                        std::to_string(into.size()) + " were asked for");
    receiveExactly(into.data(), length);
    return length;
}

QJsonObject Connection::call(const QJsonObject &message)
{
    send(message);
    return receiveMessage();
}

} // namespace zentro::qrb
