// The frame server: grabs frames from the cameras the command server opened and hands out
// their bytes in chunks, one client connection at a time.
#pragma once

#include "client_server.h"
#include "frame_table.h"
#include "server_in_thread.h"

namespace qrb {

class ZentroFrameServer : public ClientServer
{
    Q_OBJECT

public:
    static constexpr quint16 kDefaultPort = 29825;

    ZentroFrameServer(const QHostAddress &address, quint16 port);
    // The socket may still refer to frame bytes: it is dropped before they go.
    ~ZentroFrameServer() override;

    // Executes one request and sends its answer itself.
    void apiCall(const QVariantMap &request);

protected:
    void serveRequest(const QVariantMap &request) override;

private:
    QVariantMap grabFrame(ze_camera_t *camera, const QVariantMap &request);
    void sendBulkTransfer(const QVariantMap &request);

    FrameTable frames;
};

using ZentroFrameServerInThread = ServerInThread<ZentroFrameServer>;

} // namespace qrb
