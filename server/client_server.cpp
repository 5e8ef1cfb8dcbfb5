#include "client_server.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>

namespace qrb {

ClientServer::ClientServer(const QHostAddress &address, quint16 port, const char *name,
                           EmptyMessagePolicy emptyPolicy)
    : address(address), port(port), channel(emptyPolicy), name(name)
{
}

void ClientServer::listen()
{
    server = new QTcpServer(this);
    connect(server, &QTcpServer::newConnection, this, &ClientServer::handler);
    // A port in use leaves the server silently not listening; the process goes on.
    server->listen(address, port);
}

void ClientServer::handler()
{
    socket = server->nextPendingConnection();
    if (!socket)
        return;
    channel.setSocket(socket);
    connect(socket, &QAbstractSocket::errorOccurred, this, &ClientServer::onSocketError);
    connect(socket, &QAbstractSocket::disconnected, this, &ClientServer::onDisconnected);
    // Requests and replies are small and strictly alternate: waiting to coalesce them only
    // adds latency.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    // The event loop does not run while a client is served, so the next client waits in
    // the listen queue until this connection ends.
    while (socket) {
        QVariantMap request;
        switch (channel.recvMessage(request)) {
        case ReceiveStatus::Received:
            serveRequest(request);
            break;
        case ReceiveStatus::ProtocolError:
            printError("protocol", channel.errorString());
            deleteSocket();
            break;
        case ReceiveStatus::Incomplete:
            // The socket's error or disconnected signal has normally ended the connection
            // already; make sure it ends in any case.
            deleteSocket();
            break;
        }
    }
}

bool ClientServer::waitForOutputWritten()
{
    if (channel.waitForOutputWritten(kReceiveBudgetMs))
        return true;
    deleteSocket();
    return false;
}

QVariantMap ClientServer::ping()
{
    return resultReply(0);
}

QVariantMap ClientServer::disconn()
{
    // The orderly close flushes pending output and raises "disconnected", which ends the
    // connection through onDisconnected.
    if (socket)
        socket->disconnectFromHost();
    return {};
}

void ClientServer::onSocketError(QAbstractSocket::SocketError error)
{
    auto *failed = qobject_cast<QAbstractSocket *>(sender());
    // The idle time-out is the normal end of a quiet client and is not worth a line.
    if (error != QAbstractSocket::SocketTimeoutError && failed)
        printError("socket", failed->errorString());
    deleteSocket();
}

void ClientServer::onDisconnected()
{
    deleteSocket();
}

void ClientServer::deleteSocket()
{
    if (!socket)
        return;
    disconnect(socket, nullptr, this, nullptr);
    channel.setSocket(nullptr);
    // Close at once: the next waiting client may be served before the event loop runs
    // again, and the dropped one must not hang until then.
    socket->abort();
    // The socket may be inside one of its own calls (a wait that raised the signal), so the
    // object itself goes only once the event loop runs again.
    socket->deleteLater();
    socket = nullptr;
}

void ClientServer::printError(const char *kind, const QString &text) const
{
    std::printf("   %s %s error; %s\n", name, kind, text.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace qrb
