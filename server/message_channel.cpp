#include "message_channel.h"

#include "json_keys.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>

namespace qrb {

QByteArray encodeLength(quint32 length)
{
    QByteArray prefix(kLengthPrefixSize, '\0');
    for (int i = 0; i < kLengthPrefixSize; ++i)
        prefix[i] = static_cast<char>((length >> (8 * (kLengthPrefixSize - 1 - i))) & 0xff);
    return prefix;
}

quint32 decodeLength(const char *prefix)
{
    quint32 length = 0;
    for (int i = 0; i < kLengthPrefixSize; ++i)
        length = (length << 8) | static_cast<quint8>(prefix[i]);
    return length;
}

QByteArray encodeMessageText(const QVariantMap &message)
{
    return QJsonDocument(QJsonObject::fromVariantMap(message)).toJson(QJsonDocument::Compact);
}

QByteArray encodeMessageFrame(const QVariantMap &message)
{
    const QByteArray text = encodeMessageText(message);
    return encodeLength(static_cast<quint32>(text.size())) + text;
}

QVariantMap decodeMessagePayload(const QByteArray &payload)
{
    // A client never repeats a key; the JSON parser loses memory on some repeated keys, so
    // such a text is refused before it gets there, like any other malformed request.
    if (hasRepeatedKeys(payload))
        return {};
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return {};
    return document.object().toVariantMap();
}

FrameProbe probeFrame(const char *data, qint64 size)
{
    FrameProbe probe;
    if (size < kLengthPrefixSize)
        return probe;
    probe.length = decodeLength(data);
    if (probe.length > kMaxMessageLength)
        probe.scan = FrameScan::TooLong;
    else if (size - kLengthPrefixSize >= static_cast<qint64>(probe.length))
        probe.scan = FrameScan::Complete;
    return probe;
}

void MessageChannel::setSocket(QTcpSocket *socket)
{
    m_socket = socket;
    if (socket)
        socket->setReadBufferSize(kMaxFrameSize);
}

bool MessageChannel::waitForBuffered(qint64 needed, int budgetMs)
{
    const QDeadlineTimer deadline(budgetMs);
    while (m_socket && m_socket->bytesAvailable() < needed) {
        // An expired wait raises the socket's time-out error; a lost connection raises
        // "disconnected". Either may make the server clear the socket, checked above.
        if (!m_socket->waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return false;
    }
    return m_socket != nullptr;
}

bool MessageChannel::waitForOutputBelow(qint64 limit, int budgetMs)
{
    const QDeadlineTimer deadline(budgetMs);
    while (m_socket && m_socket->bytesToWrite() > limit) {
        // Like the read wait: an expiry or a lost connection reaches the server as a signal.
        if (!m_socket->waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
            return false;
    }
    return m_socket != nullptr;
}

ReceiveStatus MessageChannel::recvMessage(QVariantMap &message)
{
    message.clear();
    m_error.clear();
    const QDeadlineTimer budget(kReceiveBudgetMs);
    if (!waitForOutputBelow(kMaxPendingOutput, kReceiveBudgetMs) ||
        !waitForBuffered(kLengthPrefixSize, static_cast<int>(budget.remainingTime())))
        return ReceiveStatus::Incomplete;

    char prefix[kLengthPrefixSize];
    m_socket->peek(prefix, kLengthPrefixSize);
    const FrameProbe probe = probeFrame(prefix, kLengthPrefixSize);
    if (probe.scan == FrameScan::TooLong) {
        m_error = QStringLiteral("message of %1 bytes exceeds the limit of %2 bytes")
                      .arg(probe.length)
                      .arg(kMaxMessageLength);
        return ReceiveStatus::ProtocolError;
    }
    const qint64 frameSize = kLengthPrefixSize + static_cast<qint64>(probe.length);
    if (!waitForBuffered(frameSize, static_cast<int>(budget.remainingTime())))
        return ReceiveStatus::Incomplete;

    m_socket->skip(kLengthPrefixSize);
    message = decodeMessagePayload(m_socket->read(probe.length));
    return ReceiveStatus::Received;
}

qint64 MessageChannel::receiveRaw(char *data, qint64 size)
{
    qint64 total = 0;
    while (total < size && waitForBuffered(1, kReceiveBudgetMs)) {
        const qint64 wanted = qMin(size - total, m_socket->bytesAvailable());
        const qint64 got = data ? m_socket->read(data + total, wanted) : m_socket->skip(wanted);
        if (got <= 0)
            break;
        total += got;
    }
    return total;
}

void MessageChannel::sendMessage(const QVariantMap &message)
{
    if (!m_socket)
        return;
    if (message.isEmpty() && m_emptyPolicy == EmptyMessagePolicy::SendNothing)
        return;
    m_socket->write(encodeMessageFrame(message));
    m_socket->flush();
}

qint64 MessageChannel::sendBuffer(const QByteArray &buffer)
{
    return sendRawFrame(buffer.constData(), buffer.size(), PieceBytes::Copied);
}

qint64 MessageChannel::sendView(const char *data, qint64 size)
{
    return sendRawFrame(data, size, PieceBytes::Shared);
}

qint64 MessageChannel::sendRawFrame(const char *data, qint64 size, PieceBytes bytes)
{
    // A prefix announcing bytes that can no longer follow would only mislead the client.
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return 0;
    m_socket->write(encodeLength(static_cast<quint32>(size)));
    m_socket->flush();

    qint64 total = 0;
    while (total < size) {
        if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
            break;
        const qint64 piece = qMin(kRawPieceSize, size - total);
        // A byte array over the caller's bytes is queued by reference, not copied.
        const qint64 written =
            bytes == PieceBytes::Shared
                ? m_socket->write(QByteArray::fromRawData(data + total, static_cast<int>(piece)))
                : m_socket->write(data + total, piece);
        if (written <= 0)
            break;
        total += written;
        m_socket->flush();
    }
    return total;
}

} // namespace qrb
