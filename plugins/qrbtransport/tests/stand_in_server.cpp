// The stand-in board server of the qrbclient tests.
#include "stand_in_server.h"

#include <arpa/inet.h>
#include <poll.h>

#include <chrono>
#include <stdexcept>

#include "blocking_socket_io.h"

namespace zentro::qrb::testing {

namespace {

// A test that goes wrong must not leave the server thread waiting for ever.
constexpr int kAcceptTimeoutMs = 10000;

} // namespace

StandInServer::StandInServer(Session session, int connections) : session_(std::move(session))
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr *>(&address), length) < 0 ||
        ::listen(listener_, 4) < 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length) < 0)
        throw std::runtime_error("stand-in server cannot listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, connections] { run(connections); });
}

StandInServer::~StandInServer()
{
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
}

void StandInServer::run(int connections)
{
    for (int number = 0; number < connections; ++number) {
        pollfd entry{listener_, POLLIN, 0};
        if (::poll(&entry, 1, kAcceptTimeoutMs) <= 0 || !(entry.revents & POLLIN))
            return;
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        ++accepted_;
        session_(fd, number);
        ::close(fd);
        ++finished_;
    }
}

void StandInServer::waitUntilFinished(int count) const
{
    constexpr int kPolls = 500;
    for (int i = 0; i < kPolls && finished_.load() < count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

std::string StandInServer::readFrame(int fd)
{
    unsigned char head[4];
    if (!readExactly(fd, reinterpret_cast<char *>(head), sizeof(head)))
        return {};
    const uint32_t length =
        uint32_t{head[0]} << 24 | uint32_t{head[1]} << 16 | uint32_t{head[2]} << 8 | head[3];
    std::string payload(length, '\0');
    if (!readExactly(fd, payload.data(), length))
        return {};
    return payload;
}

std::string StandInServer::prefix(uint32_t length)
{
    return {static_cast<char>(length >> 24), static_cast<char>(length >> 16),
            static_cast<char>(length >> 8), static_cast<char>(length)};
}

void StandInServer::writeBytes(int fd, const std::string &bytes)
{
    writeAll(fd, bytes.data(), bytes.size());
}

void StandInServer::writeFrame(int fd, const std::string &payload)
{
    writeBytes(fd, prefix(static_cast<uint32_t>(payload.size())) + payload);
}

} // namespace zentro::qrb::testing
