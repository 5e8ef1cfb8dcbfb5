// The request-counting relay of the desktop end-to-end tests.
#include "counting_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include <QJsonDocument>
#include <QJsonObject>

#include "blocking_socket_io.h"

namespace zentro::qrb::testing {

namespace {

constexpr size_t kRelayChunk = 64 * 1024;

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

void noDelay(int fd)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}

} // namespace

CountingProxy::CountingProxy(uint16_t listenPort, uint16_t serverPort)
{
    for (uint16_t offset : {0, 1}) {
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
        const sockaddr_in address = loopback(static_cast<uint16_t>(listenPort + offset));
        if (::bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) < 0 ||
            ::listen(listener, 4) < 0)
            throw std::runtime_error("the counting proxy cannot listen on its port");
        listeners_.push_back(listener);
        threads_.emplace_back(&CountingProxy::acceptLoop, this, listener,
                              static_cast<uint16_t>(serverPort + offset));
    }
}

CountingProxy::~CountingProxy()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const int fd : listeners_)
            ::shutdown(fd, SHUT_RDWR);
        for (const int fd : sockets_)
            ::shutdown(fd, SHUT_RDWR);
    }
    for (auto &thread : threads_)
        thread.join();
    for (const int fd : listeners_)
        ::close(fd);
    for (const int fd : sockets_)
        ::close(fd);
}

std::vector<std::string> CountingProxy::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

void CountingProxy::acceptLoop(int listener, uint16_t upstreamPort)
{
    for (;;) {
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in address = loopback(upstreamPort);
        std::lock_guard lock(mutex_);
        sockets_.push_back(client);
        sockets_.push_back(server);
        if (stopping_ ||
            ::connect(server, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) < 0) {
            ::shutdown(client, SHUT_RDWR);
            continue;
        }
        noDelay(client);
        noDelay(server);
        threads_.emplace_back(&CountingProxy::relayRequests, this, client, server);
        threads_.emplace_back(&CountingProxy::relayBytes, server, client);
    }
}

void CountingProxy::relayRequests(int from, int to)
{
    // Requests are whole JSON frames (the camera tests send no upload data through here).
    for (;;) {
        unsigned char prefix[4];
        if (!readExactly(from, reinterpret_cast<char *>(prefix), sizeof(prefix)))
            break;
        const uint32_t length = uint32_t{prefix[0]} << 24 | uint32_t{prefix[1]} << 16 |
                                uint32_t{prefix[2]} << 8 | prefix[3];
        std::string payload(length, '\0');
        if (!readExactly(from, payload.data(), length))
            break;
        const auto api = QJsonDocument::fromJson(QByteArray::fromStdString(payload))
                             .object()
                             .value("api")
                             .toString()
                             .toStdString();
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(api);
        }
        if (!writeAll(to, reinterpret_cast<const char *>(prefix), sizeof(prefix)) ||
            !writeAll(to, payload.data(), payload.size()))
            break;
    }
    ::shutdown(to, SHUT_WR);
}

void CountingProxy::relayBytes(int from, int to)
{
    std::string buffer(kRelayChunk, '\0');
    for (;;) {
        const ssize_t n = ::recv(from, buffer.data(), buffer.size(), 0);
        if (n <= 0 || !writeAll(to, buffer.data(), static_cast<size_t>(n)))
            break;
    }
    ::shutdown(to, SHUT_WR);
}

} // namespace zentro::qrb::testing
