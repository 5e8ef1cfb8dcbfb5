// Message framing shared by the command server and the frame server: length-prefixed JSON
// messages in both directions and length-prefixed raw buffers from server to client.
#pragma once

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QTcpSocket>
#include <QVariantMap>
#include <QtGlobal>

namespace qrb {

// Bytes of the big-endian length that precedes every frame.
inline constexpr int kLengthPrefixSize = 4;
// Largest request payload accepted. Requests are small JSON objects (the longest carry a
// register list of a few thousand values, well under 1 MiB); a larger announced length is a
// corrupt or hostile stream and is refused before anything is allocated for it.
inline constexpr quint32 kMaxMessageLength = 16u * 1024u * 1024u;
inline constexpr qint64 kMaxFrameSize = kLengthPrefixSize + qint64{kMaxMessageLength};
// Time a reader waits for one whole frame to arrive, prefix included.
inline constexpr int kReceiveBudgetMs = 1000;
// Replies waiting for the client to take them, above which no further request is read: a
// client that sends without ever reading cannot make replies pile up without bound.
inline constexpr qint64 kMaxPendingOutput = 1024 * 1024;
// Raw payloads go out in pieces of at most this size, each flushed before the next.
inline constexpr qint64 kRawPieceSize = 0x10000;

// The 4-byte big-endian length prefix of a frame of `length` bytes.
QByteArray encodeLength(quint32 length);
// The length held by the first four bytes of `prefix` (which must hold at least four).
quint32 decodeLength(const char *prefix);

// The compact JSON text of a message (an object made from the map).
QByteArray encodeMessageText(const QVariantMap &message);
// A whole message frame: length prefix followed by the compact JSON text.
QByteArray encodeMessageFrame(const QVariantMap &message);
// The message held by a complete frame payload: the object's key/value map, or an empty map
// for invalid JSON, arrays and scalars.
QVariantMap decodeMessagePayload(const QByteArray &payload);

// What the bytes received so far hold.
enum class FrameScan {
    NeedMore, // the prefix or the payload has not fully arrived
    Complete, // prefix and payload are all there
    TooLong,  // the prefix announces more than kMaxMessageLength
};

struct FrameProbe {
    FrameScan scan = FrameScan::NeedMore;
    quint32 length = 0; // announced payload length, once the prefix has arrived
};

// Classifies the start of a byte stream without copying or allocating.
FrameProbe probeFrame(const char *data, qint64 size);

enum class ReceiveStatus {
    Received,     // one whole frame was read (the map is empty if it was not a JSON object)
    Incomplete,   // no whole frame within the budget, or the socket went away; map empty
    ProtocolError // the stream is corrupt; the caller drops the connection (see errorString)
};

// Whether sending an empty map puts an empty object on the wire or sends nothing.
enum class EmptyMessagePolicy {
    SendNothing,    // an empty reply means "no reply" (command server)
    SendEmptyObject // every call sends a frame (frame server)
};

// Framing on the current client socket of one server. Used only in that server's thread.
// The socket is not owned; the server clears it (setSocket(nullptr)) when the connection
// ends, which can happen inside a wait of recvMessage through the socket's signals.
class MessageChannel
{
public:
    explicit MessageChannel(EmptyMessagePolicy emptyPolicy) : m_emptyPolicy(emptyPolicy) {}

    // Also bounds what the socket buffers to one whole frame of the largest size: a client
    // that streams faster than the server reads cannot make it hold more.
    void setSocket(QTcpSocket *socket);
    QTcpSocket *socket() const { return m_socket.data(); }

    // Reads one message frame into `message`, waiting up to kReceiveBudgetMs in total for the
    // client to take its earlier replies (down to kMaxPendingOutput) and for the whole prefix
    // and payload. Bytes of a frame that did not fully arrive stay buffered.
    ReceiveStatus recvMessage(QVariantMap &message);
    // Sends one message frame in a single write, then flushes.
    void sendMessage(const QVariantMap &message);
    // Sends one raw buffer frame; returns the payload bytes handed to the socket.
    qint64 sendBuffer(const QByteArray &buffer);
    // Sends one raw buffer frame of `size` bytes at `data` without copying them: the socket
    // keeps referring to the bytes until it has written them, so they must stay alive and
    // unchanged until waitForOutputWritten() succeeds or the connection ends.
    qint64 sendView(const char *data, qint64 size);
    // Sends one raw buffer frame of `size` bytes of the open file `file` from `offset`, from
    // the file's pages straight to the connection (no copy in this process), once everything
    // queued before has been written. Returns the payload bytes sent; fewer than `size`
    // means the connection is no longer usable (lost, silent for kReceiveBudgetMs, or the
    // file ended early after the length went out) and must be dropped.
    qint64 sendFileFrame(int file, qint64 offset, qint64 size);
    // Waits up to `budgetMs` for everything queued on the socket to be written; false when
    // it was not (the socket's time-out error or a lost connection then reaches the server).
    bool waitForOutputWritten(int budgetMs) { return waitForOutputBelow(0, budgetMs); }

    // Reads the raw bytes that follow a request: exactly `size` of them into `data`, or,
    // with `data` null, reads and drops them. Waits up to kReceiveBudgetMs whenever nothing
    // has arrived; returns how many arrived before the wait expired or the connection ended
    // (the caller then drops the connection).
    qint64 receiveRaw(char *data, qint64 size);

    // Why the last recvMessage returned ProtocolError.
    QString errorString() const { return m_error; }

private:
    enum class PieceBytes { Copied, Shared };
    qint64 sendRawFrame(const char *data, qint64 size, PieceBytes bytes);
    bool waitForBuffered(qint64 needed, int budgetMs);
    // Direct writes to the descriptor: all of it, or false for a lost or stuck connection.
    static bool sendAll(int descriptor, const char *data, qint64 size);
    // After a write that failed with errno: whether to try again (the socket has room).
    static bool waitWritable(int descriptor);
    bool waitForOutputBelow(qint64 limit, int budgetMs);

    QPointer<QTcpSocket> m_socket;
    EmptyMessagePolicy m_emptyPolicy;
    QString m_error;
};

} // namespace qrb
