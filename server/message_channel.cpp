#include "message_channel.h"

#include "json_keys.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>

#include <cerrno>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <vector>

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
    if (!m_socket || size <= 0)
        return 0;
    // What the socket object has already taken in comes first.
    const qint64 buffered = qMin(size, m_socket->bytesAvailable());
    qint64 total = data ? m_socket->read(data, buffered) : m_socket->skip(buffered);
    if (total < 0)
        return 0;
    // The rest straight from the descriptor into the caller's memory: one copy fewer than
    // through the socket object's buffer, which matters for file data in bulk.
    const int descriptor = static_cast<int>(m_socket->socketDescriptor());
    std::vector<char> scratch(data ? 0 : static_cast<std::size_t>(qMin(size, kRawPieceSize)));
    while (total < size) {
        char *into = data ? data + total : scratch.data();
        const auto wanted = static_cast<std::size_t>(
            data ? size - total : qMin(size - total, static_cast<qint64>(scratch.size())));
        const ssize_t got = ::recv(descriptor, into, wanted, 0);
        if (got > 0) {
            total += got;
            continue;
        }
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            break;
        pollfd ready{descriptor, POLLIN, 0};
        if (::poll(&ready, 1, kReceiveBudgetMs) == 0)
            break;
    }
    return total;
}

qint64 MessageChannel::sendFileFrame(int file, qint64 offset, qint64 size)
{
    // The socket object's own queue must be empty: its bytes come before these.
    if (!waitForOutputBelow(0, kReceiveBudgetMs) ||
        m_socket->state() != QAbstractSocket::ConnectedState)
        return 0;
    const int descriptor = static_cast<int>(m_socket->socketDescriptor());
    const QByteArray prefix = encodeLength(static_cast<quint32>(size));
    if (!sendAll(descriptor, prefix.constData(), prefix.size()))
        return 0;
    off_t position = static_cast<off_t>(offset);
    qint64 total = 0;
    while (total < size) {
        const auto piece = static_cast<std::size_t>(qMin(kRawPieceSize, size - total));
        const ssize_t sent = ::sendfile(descriptor, file, &position, piece);
        if (sent > 0) {
            total += sent;
            continue;
        }
        if (sent == 0 || !waitWritable(descriptor))
            break;
    }
    return total;
}

bool MessageChannel::sendAll(int descriptor, const char *data, qint64 size)
{
    for (qint64 sent = 0; sent < size;) {
        const ssize_t n =
            ::send(descriptor, data + sent, static_cast<std::size_t>(size - sent), MSG_NOSIGNAL);
        if (n > 0)
            sent += n;
        else if (n == 0 || !waitWritable(descriptor))
            return false;
    }
    return true;
}

bool MessageChannel::waitWritable(int descriptor)
{
    if (errno == EINTR)
        return true;
    if (errno != EAGAIN && errno != EWOULDBLOCK)
        return false;
    pollfd ready{descriptor, POLLOUT, 0};
    return ::poll(&ready, 1, kReceiveBudgetMs) > 0;
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
