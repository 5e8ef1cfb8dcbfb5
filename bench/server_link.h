// A benchmark's connection to a running board server: length-prefixed JSON requests, raw
// bytes after them, and the frames the server answers with. Failures end the program.
#ifndef ZENTRO_BENCH_SERVER_LINK_H
#define ZENTRO_BENCH_SERVER_LINK_H

#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "loopback_socket.h"

namespace zentro::bench {

[[noreturn]] inline void fail(const std::string &what)
{
    std::fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name, what.c_str(),
                 std::strerror(errno));
    std::exit(1);
}

class Link
{
public:
    explicit Link(in_port_t port) : fd_(connectLoopback(port))
    {
        if (fd_ < 0)
            fail("connect to port " + std::to_string(port));
    }
    Link(const Link &) = delete;
    Link &operator=(const Link &) = delete;
    ~Link() { ::close(fd_); }

    void send(const std::string &json) const
    {
        const auto n = static_cast<uint32_t>(json.size());
        std::string frame{static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                          static_cast<char>(n >> 8), static_cast<char>(n)};
        frame += json;
        sendBytes(frame.data(), frame.size());
    }

    // Bytes as they are, without a prefix (the data of an upload chunk).
    void sendBytes(const char *data, size_t size) const
    {
        for (size_t sent = 0; sent < size;) {
            const ssize_t n = ::send(fd_, data + sent, size - sent, MSG_NOSIGNAL);
            if (n <= 0)
                fail("send");
            sent += static_cast<size_t>(n);
        }
    }

    // The payload of the next frame, read into `into` (resized to fit).
    uint32_t receive(std::vector<char> &into) const
    {
        const uint32_t n = receivePrefix();
        if (into.size() < n)
            into.resize(n);
        readExactly(into.data(), n);
        return n;
    }

    // The payload of the next frame, read to `into`, which holds at least `capacity` bytes.
    uint32_t receiveInto(char *into, uint32_t capacity) const
    {
        const uint32_t n = receivePrefix();
        if (n > capacity)
            fail("frame larger than asked for");
        readExactly(into, n);
        return n;
    }

    std::string call(const std::string &json) const
    {
        send(json);
        std::vector<char> reply;
        return std::string(reply.data(), receive(reply));
    }

private:
    uint32_t receivePrefix() const
    {
        unsigned char prefix[4];
        readExactly(reinterpret_cast<char *>(prefix), sizeof(prefix));
        return uint32_t{prefix[0]} << 24 | uint32_t{prefix[1]} << 16 | uint32_t{prefix[2]} << 8 |
               prefix[3];
    }

    void readExactly(char *data, size_t size) const
    {
        for (size_t got = 0; got < size;) {
            const ssize_t n = ::recv(fd_, data + got, size - got, 0);
            if (n <= 0)
                fail("receive");
            got += static_cast<size_t>(n);
        }
    }

    int fd_;
};

inline void expectSuccess(const std::string &reply, const char *what)
{
    if (reply.find("\"retVal\":0") == std::string::npos) {
        std::fprintf(stderr, "%s: %s failed: %s\n", program_invocation_short_name, what,
                     reply.c_str());
        std::exit(1);
    }
}

} // namespace zentro::bench

#endif
