// A plain blocking TCP client on 127.0.0.1 for the server tests: it runs in any thread and
// sends exactly the bytes it is given.
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

class RawClient
{
public:
    explicit RawClient(quint16 port) : m_fd(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    }
    ~RawClient() { ::close(m_fd); }
    RawClient(const RawClient &) = delete;
    RawClient &operator=(const RawClient &) = delete;

    bool connected() const { return m_connected; }
    void send(const QByteArray &data)
    {
        (void)!::send(m_fd, data.constData(), data.size(), MSG_NOSIGNAL);
    }
    void shutdownBothWays() { ::shutdown(m_fd, SHUT_RDWR); }

    // Up to `count` bytes, waiting at most `timeoutMs` for each piece; fewer when the peer
    // closes or falls silent.
    QByteArray receive(qint64 count, int timeoutMs)
    {
        QByteArray out;
        char piece[4096];
        while (out.size() < count) {
            pollfd readable{m_fd, POLLIN, 0};
            if (::poll(&readable, 1, timeoutMs) <= 0)
                break;
            const ssize_t n =
                ::recv(m_fd, piece, qMin<qint64>(sizeof(piece), count - out.size()), 0);
            if (n <= 0)
                break;
            out.append(piece, static_cast<int>(n));
        }
        return out;
    }

    // True once the peer has closed the connection (within `timeoutMs`).
    bool closedByPeer(int timeoutMs)
    {
        pollfd readable{m_fd, POLLIN, 0};
        char byte;
        return ::poll(&readable, 1, timeoutMs) > 0 && ::recv(m_fd, &byte, 1, MSG_PEEK) <= 0;
    }

private:
    int m_fd;
    bool m_connected = false;
};
