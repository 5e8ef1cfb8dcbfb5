#include "zentro_api_server.h"

#include <iterator>

namespace qrb {

namespace {

struct Command {
    const char *name;
    QVariantMap (*run)(ZentroApiServer &server, const QVariantMap &request);
};

} // namespace

ZentroApiServer::ZentroApiServer(const QHostAddress &address, quint16 port)
    : ClientServer(address, port, "API", EmptyMessagePolicy::SendNothing)
{
}

void ZentroApiServer::serveRequest(const QVariantMap &request)
{
    sendMessage(apiCall(request));
}

QVariantMap ZentroApiServer::apiCall(const QVariantMap &request)
{
    // Names are matched exactly, case included, in this order.
    static const Command commands[] = {
        {"ping", [](ZentroApiServer &s, const QVariantMap &) { return s.ping(); }},
        {"disconnect", [](ZentroApiServer &s, const QVariantMap &) { return s.disconn(); }},
    };

    if (!hasClient())
        return {};
    const QString api = request.value(QStringLiteral("api")).toString();
    if (api.isEmpty())
        return {};
    for (const Command &command : commands) {
        if (api == QLatin1String(command.name))
            return command.run(*this, request);
    }
    return resultReply(kUnknownCommand);
}

} // namespace qrb
