#include "zentro_frame_server.h"

#include <QVariantList>

#include <mutex>
#include <optional>
#include <shared_mutex>

#include "camera_table.h"
#include "request_values.h"

namespace qrb {

namespace {

constexpr int kVirtualChannels = 4;

QVariantList infoWords(const quint32 (&words)[kVirtualChannels])
{
    QVariantList list;
    for (const quint32 word : words)
        list.append(word);
    return list;
}

QVariantMap grabReply(int result, const ze_frame_info_t &info)
{
    return {
        {QStringLiteral("retVal"), result},
        {QStringLiteral("frameNumber"), info.frameNumber},
        {QStringLiteral("bytesRequested"), info.bytesRequested},
        {QStringLiteral("bytesReturned"), info.bytesReturned},
        {QStringLiteral("frameTime"), info.frameTime},
        {QStringLiteral("frameLines"), info.frameLines},
        {QStringLiteral("lineSize"), info.lineSize},
        {QStringLiteral("gpio"), info.gpioState},
        {QStringLiteral("frameStatus"), info.frameStatus},
        {QStringLiteral("registerContext"), info.registerContext},
        {QStringLiteral("eolPadBytes"), info.eolPadBytes},
        {QStringLiteral("imageBytesReturned"), info.imageBytesReturned},
        {QStringLiteral("vcOffset"), infoWords(info.vcOffset)},
        {QStringLiteral("vcBytes"), infoWords(info.vcBytes)},
    };
}

} // namespace

ZentroFrameServer::ZentroFrameServer(const QHostAddress &address, quint16 port)
    : ClientServer(address, port, "Frame", EmptyMessagePolicy::SendEmptyObject)
{
}

ZentroFrameServer::~ZentroFrameServer()
{
    dropClient();
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
    // The camera stays open for the whole request: a close waits for it.
    std::shared_lock lock(g_cameraTableLock);
    ze_camera_t *camera = pCameraFromFunc(request);
    if (!camera)
        sendMessage(resultReply(kUnknownCommand));
    else if (api == QLatin1String("ze_grabFrame"))
        sendMessage(grabFrame(camera, request));
    else if (api == QLatin1String("bulkTransfer"))
        sendBulkTransfer(request);
    else
        sendMessage(resultReply(kUnknownCommand));
}

QVariantMap ZentroFrameServer::grabFrame(ze_camera_t *camera, const QVariantMap &request)
{
    const QString name = request.value(QStringLiteral("deviceName")).toString();
    const std::optional<quint32> bufferSize = readU32(request, "bufferSize");
    ZentroFrame *frame = bufferSize ? frames.entry(name) : nullptr;
    if (!frame)
        return grabReply(kRefused, ze_frame_info_t{});
    // Without a sensor record there is no image size to grab.
    if (!camera->sensor)
        return grabReply(kRefused, frame->info);
    // Chunks of this buffer may still wait in the socket (they are not copied there): the
    // buffer changes only once they are gone.
    if (!waitForOutputWritten())
        return {}; // the connection is gone: nothing is sent
    const quint32 size = qMin(*bufferSize, camera->sensor->imageBytes);
    if (!frames.resize(*frame, size))
        return grabReply(kRefused, frame->info);
    const int result = ze_grabFrame(camera, frame->data.data(), size);
    ze_getFrameData(camera, &frame->info);
    return grabReply(result, frame->info);
}

void ZentroFrameServer::sendBulkTransfer(const QVariantMap &request)
{
    const QString name = request.value(QStringLiteral("deviceName")).toString();
    quint32 offset = 0, transferSize = 0, bufferSize = 0;
    const ZentroFrame *frame = frames.find(name);
    // A malformed request, or a name never grabbed, has nothing to send.
    if (!frame || !readU32Fields(request, {{"offset", &offset},
                                           {"transferSize", &transferSize},
                                           {"bufferSize", &bufferSize}})) {
        sendRaw(nullptr, 0);
        return;
    }
    const ChunkRange chunk =
        chunkRange(static_cast<qint64>(frame->data.size()), offset, transferSize, bufferSize);
    sendRaw(reinterpret_cast<const char *>(frame->data.data()) + chunk.offset, chunk.length);
}

} // namespace qrb
