// The command server: camera, register, file and administrative commands on one client
// connection at a time.
#pragma once

#include "client_server.h"
#include "file_transfer.h"
#include "server_in_thread.h"

namespace qrb {

class ZentroApiServer : public ClientServer, private TransferLink
{
    Q_OBJECT

public:
    static constexpr quint16 kDefaultPort = 29824;

    ZentroApiServer(const QHostAddress &address, quint16 port);

    // Executes one request; an empty reply means that nothing is sent.
    QVariantMap apiCall(const QVariantMap &request);

protected:
    void serveRequest(const QVariantMap &request) override;

private:
    qint64 receiveUploadBytes(char *data, qint64 size) override;
    qint64 sendFileChunk(int file, qint64 offset, qint64 size) override;
    void replyAndClose(const QVariantMap &reply) override;
    // Sends a reply and waits until it is written.
    void sendNow(const QVariantMap &reply);

    // Uploads and downloads outlive connections.
    FileTransfers transfers;
};

using ZentroApiServerInThread = ServerInThread<ZentroApiServer>;

} // namespace qrb
