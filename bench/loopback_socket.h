// A TCP connection to a port of 127.0.0.1 with small writes sent at once, for the benchmarks
// that talk to a running board server.
#ifndef ZENTRO_BENCH_LOOPBACK_SOCKET_H
#define ZENTRO_BENCH_LOOPBACK_SOCKET_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zentro::bench {

// The connected descriptor, or -1 (errno says why).
inline int connectLoopback(in_port_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    if (::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one)) < 0 ||
        ::connect(fd, reinterpret_cast<const sockaddr *>(&server), sizeof(server)) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace zentro::bench

#endif
