// Whole reads and writes on blocking sockets, for the stand-ins and relays of the tests.
#pragma once

#include <sys/socket.h>

#include <cstddef>

namespace zentro::qrb::testing {

// False when the peer closed or the connection failed before @size bytes arrived.
inline bool readExactly(int fd, char *data, size_t size)
{
    for (size_t got = 0; got < size;) {
        const ssize_t n = ::recv(fd, data + got, size - got, 0);
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

// False when the connection failed before all @size bytes were sent.
inline bool writeAll(int fd, const char *data, size_t size)
{
    for (size_t sent = 0; sent < size;) {
        const ssize_t n = ::send(fd, data + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

} // namespace zentro::qrb::testing
