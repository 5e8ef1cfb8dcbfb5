// Runs one server object in a thread of its own, started and stopped from the main thread.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QThread>

namespace qrb {

// One instance per server class and process. start() and stop() count: the server runs
// until every start has been balanced by a stop. Both are called from the main thread only.
template <typename Server>
class ServerInThread : public QObject
{
public:
    static void start(const QHostAddress &address, quint16 port)
    {
        ++m_count;
        if (m_single)
            return;
        m_single = new ServerInThread(address, port);
        m_single->listen();
    }

    static void stop()
    {
        if (m_count > 0 && m_count-- > 1)
            return;
        delete m_single;
        m_single = nullptr;
    }

    static bool isRunning() { return m_single != nullptr; }

    // Waits, without a time limit, for the server thread: a client being served keeps it
    // busy until the connection ends (close, error or idle time-out).
    ~ServerInThread() override
    {
        thread.quit();
        thread.wait();
    }

private:
    ServerInThread(const QHostAddress &address, quint16 port) : address(address), port(port) {}

    void listen()
    {
        auto *server = new Server(address, port);
        server->moveToThread(&thread);
        connect(&thread, &QThread::started, server, &Server::listen);
        connect(&thread, &QThread::finished, server, &QObject::deleteLater);
        thread.start(QThread::InheritPriority);
    }

    QThread thread;
    QHostAddress address;
    quint16 port;

    static inline ServerInThread *m_single = nullptr;
    static inline int m_count = 0;
};

} // namespace qrb
