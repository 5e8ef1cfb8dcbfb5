// The command server: camera, register, file and administrative commands on one client
// connection at a time.
#pragma once

#include "client_server.h"
#include "server_in_thread.h"

namespace qrb {

class ZentroApiServer : public ClientServer
{
    Q_OBJECT

public:
    static constexpr quint16 kDefaultPort = 29824;

    ZentroApiServer(const QHostAddress &address, quint16 port);

    // Executes one request; an empty reply means that nothing is sent.
    QVariantMap apiCall(const QVariantMap &request);

protected:
    void serveRequest(const QVariantMap &request) override;
};

using ZentroApiServerInThread = ServerInThread<ZentroApiServer>;

} // namespace qrb
