#include "zentro_api_server.h"

#include <iterator>

#include "admin_commands.h"
#include "camera_commands.h"
#include "mode_commands.h"
#include "register_commands.h"

namespace qrb {

namespace {

// A command runs either on the server (connection commands) or on the request alone.
struct Command {
    const char *name;
    QVariantMap (*run)(ZentroApiServer &server, const QVariantMap &request);
    QVariantMap (*handler)(const QVariantMap &request) = nullptr;
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
        {"getVersions", nullptr, [](const QVariantMap &) { return getVersions(); }},
        {"shutdown",
         [](ZentroApiServer &s, const QVariantMap &) {
             return shutdownBoard([&s](const QVariantMap &reply) { s.sendNow(reply); });
         }},
        {"restart",
         [](ZentroApiServer &s, const QVariantMap &) {
             return restartBoard([&s](const QVariantMap &reply) { s.sendNow(reply); });
         }},
        {"uploadFile",
         [](ZentroApiServer &s, const QVariantMap &r) { return s.transfers.uploadFile(r); }},
        {"uploadFileTransfer",
         [](ZentroApiServer &s, const QVariantMap &r) {
             return s.transfers.uploadFileTransfer(r, s);
         }},
        {"downloadFile",
         [](ZentroApiServer &s, const QVariantMap &r) { return s.transfers.downloadFile(r); }},
        {"downloadFileTransfer",
         [](ZentroApiServer &s, const QVariantMap &r) {
             return s.transfers.downloadFileTransfer(r, s);
         }},
        {"invoke", nullptr, invoke},
        {"invokeAndExit",
         [](ZentroApiServer &s, const QVariantMap &r) {
             return invokeAndExit(r, [&s](const QVariantMap &reply) { s.sendNow(reply); });
         }},
        {"ze_OpenCameras2", nullptr, openCameras},
        {"ze_OpenCamerasNoSensor", nullptr, openCamerasNoSensor},
        {"ze_setSensor", nullptr, setSensor},
        {"ze_CloseCameras2", nullptr, closeCameras},
        {"ze_startTransport", nullptr, startTransport},
        {"ze_stopTransport", nullptr, stopTransport},
        {"ze_getMode", nullptr, getMode},
        {"ze_setMode", nullptr, setMode},
        {"ze_readSensorRegisters", nullptr, readSensorRegisters},
        {"ze_writeSensorRegisters", nullptr, writeSensorRegisters},
        {"ze_readRegister", nullptr, readRegister},
        {"ze_writeRegister", nullptr, writeRegister},
        {"ze_readRegisters", nullptr, readRegisters},
        {"ze_writeRegisters", nullptr, writeRegisters},
        {"ze_updateFrameSize", nullptr, updateFrameSize},
        {"ze_updateBufferSize", nullptr, updateBufferSize},
    };

    if (!hasClient())
        return {};
    const QString api = request.value(QStringLiteral("api")).toString();
    if (api.isEmpty())
        return {};
    for (const Command &command : commands) {
        if (api == QLatin1String(command.name))
            return command.handler ? command.handler(request) : command.run(*this, request);
    }
    return resultReply(kUnknownCommand);
}

qint64 ZentroApiServer::receiveUploadBytes(char *data, qint64 size)
{
    const qint64 received = receiveRaw(data, size);
    // Data that stopped arriving ends the connection: the stream can no longer be followed.
    if (received < size)
        dropClient();
    return received;
}

qint64 ZentroApiServer::sendFileChunk(int file, qint64 offset, qint64 size)
{
    if (size == 0) {
        sendBuffer({});
        return 0;
    }
    const qint64 sent = sendFileFrame(file, offset, size);
    // The length has gone out: a frame cut short leaves the stream unusable.
    if (sent < size)
        dropClient();
    return sent;
}

void ZentroApiServer::replyAndClose(const QVariantMap &reply)
{
    sendNow(reply);
    dropClient();
}

void ZentroApiServer::sendNow(const QVariantMap &reply)
{
    sendMessage(reply);
    waitForOutputWritten();
}

} // namespace qrb
