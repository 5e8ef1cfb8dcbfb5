// A TCP server that serves one client at a time, request by request, in its own thread:
// the part the command server and the frame server share.
#pragma once

#include "message_channel.h"
#include "request_values.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QObject>
#include <QVariantMap>

class QTcpServer;
class QTcpSocket;

namespace qrb {

// The result of a command the server does not know; the library uses the same code for an
// operation that a camera's transport does not provide.
inline constexpr int kUnknownCommand = 16;

class ClientServer : public QObject
{
    Q_OBJECT

public:
    // `name` prefixes the server's error prints ("API", "Frame").
    ClientServer(const QHostAddress &address, quint16 port, const char *name,
                 EmptyMessagePolicy emptyPolicy);

public slots:
    // Opens the listening socket; the first thing the server thread runs.
    void listen();
    void onSocketError(QAbstractSocket::SocketError error);
    void onDisconnected();

protected:
    // Executes one received request (an empty map when it was not a JSON object), sending
    // whatever answer it has.
    virtual void serveRequest(const QVariantMap &request) = 0;

    QVariantMap ping();
    QVariantMap disconn();

    void sendMessage(const QVariantMap &message) { channel.sendMessage(message); }
    qint64 sendBuffer(const QByteArray &buffer) { return channel.sendBuffer(buffer); }
    // A raw buffer frame written from the caller's bytes (see MessageChannel::sendView).
    qint64 sendRaw(const char *data, qint64 size) { return channel.sendView(data, size); }
    qint64 receiveRaw(char *data, qint64 size) { return channel.receiveRaw(data, size); }
    qint64 sendFileFrame(int file, qint64 offset, qint64 size)
    {
        return channel.sendFileFrame(file, offset, size);
    }
    // True once every queued byte is written; otherwise the client, which is not taking
    // its data, has been dropped.
    bool waitForOutputWritten();
    // Ends the current connection, discarding what it has not yet written.
    void dropClient() { deleteSocket(); }
    bool hasClient() const { return socket != nullptr; }

private:
    void handler();
    void deleteSocket();
    void printError(const char *kind, const QString &text) const;

    QTcpServer *server = nullptr;
    QHostAddress address;
    quint16 port;
    QTcpSocket *socket = nullptr;
    MessageChannel channel;
    const char *name;
};

} // namespace qrb
