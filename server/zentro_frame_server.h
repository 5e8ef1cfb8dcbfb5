// The frame server: grabs frames from the cameras the command server opened and hands out
// their bytes in chunks, one client connection at a time.
#pragma once

#include "client_server.h"
#include "server_in_thread.h"

namespace qrb {

class ZentroFrameServer : public ClientServer
{
    Q_OBJECT

public:
    static constexpr quint16 kDefaultPort = 29825;

    ZentroFrameServer(const QHostAddress &address, quint16 port);

    // Executes one request and sends its answer itself.
    void apiCall(const QVariantMap &request);

protected:
    void serveRequest(const QVariantMap &request) override;
};

using ZentroFrameServerInThread = ServerInThread<ZentroFrameServer>;

} // namespace qrb
