#include "zentro_frame_server.h"

namespace qrb {

ZentroFrameServer::ZentroFrameServer(const QHostAddress &address, quint16 port)
    : ClientServer(address, port, "Frame", EmptyMessagePolicy::SendEmptyObject)
{
}

void ZentroFrameServer::serveRequest(const QVariantMap &request)
{
    apiCall(request);
}

void ZentroFrameServer::apiCall(const QVariantMap &request)
{
    if (!hasClient())
        return;
    const QString api = request.value(QStringLiteral("api")).toString();
    if (api.isEmpty())
        return;
    if (api == QLatin1String("ping")) {
        sendMessage(ping());
        return;
    }
    if (api == QLatin1String("disconnect")) {
        disconn();
        return;
    }
    // Every other request needs an open camera, and no camera resolves until cameras can be
    // opened through the command server.
    sendMessage(resultReply(kUnknownCommand));
}

} // namespace qrb
