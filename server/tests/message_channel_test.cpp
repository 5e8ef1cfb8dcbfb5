// Framing of the board server over a real loopback connection.
#include "message_channel.h"

#include "raw_client.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

using namespace qrb;

namespace {

constexpr int kIoTimeoutMs = 3000;

// A client socket that records the size of every write handed to the network layer.
class RecordingSocket : public QTcpSocket
{
public:
    std::vector<qint64> writes;

protected:
    qint64 writeData(const char *data, qint64 size) override
    {
        writes.push_back(size);
        return QTcpSocket::writeData(data, size);
    }
};

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

QByteArray readExactly(QTcpSocket &socket, qint64 count)
{
    QByteArray out;
    while (out.size() < count) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(kIoTimeoutMs))
            break;
        out += socket.read(count - out.size());
    }
    return out;
}

class MessageChannelTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_listener.listen(QHostAddress::LocalHost, 0)); }

    // Connects `client` to the listener and returns the accepted end.
    void connectQtClient()
    {
        m_client.connectToHost(QHostAddress::LocalHost, m_listener.serverPort());
        ASSERT_TRUE(m_client.waitForConnected(kIoTimeoutMs));
        acceptPeer();
    }
    void acceptPeer()
    {
        ASSERT_TRUE(m_listener.waitForNewConnection(kIoTimeoutMs));
        m_peer.reset(m_listener.nextPendingConnection());
        ASSERT_NE(m_peer, nullptr);
    }

    QTcpServer m_listener;
    RecordingSocket m_client;
    std::unique_ptr<QTcpSocket> m_peer;
};

// --- sending ---------------------------------------------------------------------------

TEST_F(MessageChannelTest, MessageGoesOutAsPrefixAndCompactTextInOneWrite)
{
    connectQtClient();
    MessageChannel channel(EmptyMessagePolicy::SendNothing);
    channel.setSocket(&m_client);
    channel.sendMessage({{"retVal", 0}});

    EXPECT_EQ(readExactly(*m_peer, 16), bytes({0, 0, 0, 0x0c}) + "{\"retVal\":0}");
    EXPECT_EQ(m_client.writes, std::vector<qint64>{16});
}

TEST_F(MessageChannelTest, EmptyMessageFollowsThePolicy)
{
    connectQtClient();
    MessageChannel silent(EmptyMessagePolicy::SendNothing);
    silent.setSocket(&m_client);
    silent.sendMessage({});
    EXPECT_TRUE(m_client.writes.empty());

    MessageChannel always(EmptyMessagePolicy::SendEmptyObject);
    always.setSocket(&m_client);
    always.sendMessage({});
    EXPECT_EQ(readExactly(*m_peer, 6), bytes({0, 0, 0, 2}) + "{}");
}

TEST_F(MessageChannelTest, WithoutSocketNothingIsSent)
{
    MessageChannel channel(EmptyMessagePolicy::SendEmptyObject);
    channel.sendMessage({{"retVal", 0}});
    EXPECT_EQ(channel.sendBuffer(QByteArray(10, 'x')), 0);
    QVariantMap message{{"stale", 1}};
    EXPECT_EQ(channel.recvMessage(message), ReceiveStatus::Incomplete);
    EXPECT_TRUE(message.isEmpty());
}

TEST_F(MessageChannelTest, EmptyBufferIsFourZeroBytes)
{
    connectQtClient();
    MessageChannel channel(EmptyMessagePolicy::SendNothing);
    channel.setSocket(&m_client);
    EXPECT_EQ(channel.sendBuffer({}), 0);
    m_client.disconnectFromHost();
    EXPECT_EQ(readExactly(*m_peer, 100), bytes({0, 0, 0, 0}));
}

TEST_F(MessageChannelTest, LargeBufferGoesOutInPiecesOf64KiB)
{
    connectQtClient();
    MessageChannel channel(EmptyMessagePolicy::SendNothing);
    channel.setSocket(&m_client);
    QByteArray payload(65537, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(i * 7);

    EXPECT_EQ(channel.sendBuffer(payload), 65537);
    EXPECT_EQ(m_client.writes, (std::vector<qint64>{4, 65536, 1}));
    EXPECT_EQ(readExactly(*m_peer, 4), bytes({0, 1, 0, 1}));
    EXPECT_EQ(readExactly(*m_peer, 65537), payload);
}

TEST_F(MessageChannelTest, ViewOfCallerBytesGoesOutLikeABufferOnceWritten)
{
    connectQtClient();
    MessageChannel channel(EmptyMessagePolicy::SendNothing);
    channel.setSocket(&m_client);
    std::vector<char> frame(3 * 65536 + 5);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<char>(i * 13);

    EXPECT_EQ(channel.sendView(frame.data() + 5, 65537), 65537);
    EXPECT_EQ(m_client.writes, (std::vector<qint64>{4, 65536, 1}));
    // The caller's bytes may change only once everything queued has gone.
    ASSERT_TRUE(channel.waitForOutputWritten(kIoTimeoutMs));
    EXPECT_EQ(m_client.bytesToWrite(), 0);
    std::fill(frame.begin(), frame.end(), 'x');
    EXPECT_EQ(readExactly(*m_peer, 4), bytes({0, 1, 0, 1}));
    QByteArray expected(65537, '\0');
    for (int i = 0; i < expected.size(); ++i)
        expected[i] = static_cast<char>((i + 5) * 13);
    EXPECT_EQ(readExactly(*m_peer, 65537), expected);
    EXPECT_EQ(channel.sendView(nullptr, 0), 0);
    EXPECT_EQ(readExactly(*m_peer, 4), bytes({0, 0, 0, 0}));
}

TEST_F(MessageChannelTest, NothingIsSentOnAClosedSocket)
{
    connectQtClient();
    MessageChannel channel(EmptyMessagePolicy::SendNothing);
    channel.setSocket(&m_client);
    m_client.abort();
    EXPECT_EQ(channel.sendBuffer(QByteArray(70000, 'x')), 0);
}

// --- decoding ----------------------------------------------------------------------------

TEST(MessageDecoding, OnlyJsonObjectsBecomeMessages)
{
    const QVariantMap ping = decodeMessagePayload(R"({"api":"ping","list":[1,2],"n":null})");
    EXPECT_EQ(ping.value("api").toString(), "ping");
    EXPECT_EQ(ping.value("list").toList().size(), 2);
    EXPECT_TRUE(ping.contains("n"));

    for (const char *notObject : {"[1,2,3]", "42", "\"api\"", "null", "{\"api\":", "", "{}x"})
        EXPECT_TRUE(decodeMessagePayload(notObject).isEmpty()) << notObject;
}

TEST(MessageDecoding, RepeatedKeysMakeTheRequestMalformed)
{
    for (const char *repeated :
         {R"({"api":"ping","api":"ping"})", R"({"a":[1],"a":2})", R"({"x":{"a":{},"a":1}})",
          R"({"a":1,"\u0061":2})", R"({"\u00e9":1,"é":2})", R"([{"k":1,"k":[2]}])"})
        EXPECT_TRUE(decodeMessagePayload(repeated).isEmpty()) << repeated;

    // The same key in different objects, and keys that only look alike, are fine.
    const QVariantMap distinct = decodeMessagePayload(
        R"({"api":"x","a":{"a":1},"b":[{"a":1},{"a":2}],"a\"b":"a","A":[],"a\\":0})");
    EXPECT_EQ(distinct.size(), 6);
    EXPECT_EQ(distinct.value("a\"b").toString(), "a");
}

TEST(MessageDecoding, NestingBeyondTheParserLimitIsRefusedWithoutRecursion)
{
    const QByteArray deep = QByteArray(100000, '[') + QByteArray(100000, ']');
    EXPECT_TRUE(decodeMessagePayload("{\"a\":" + deep + "}").isEmpty());
    const QByteArray fine = QByteArray(100, '[') + QByteArray(100, ']');
    EXPECT_EQ(decodeMessagePayload("{\"a\":" + fine + "}").size(), 1);
}

TEST(MessageDecoding, ProbeClassifiesPartialCompleteAndOverlongFrames)
{
    const QByteArray frame = encodeMessageFrame({{"api", "ping"}});
    EXPECT_EQ(probeFrame(frame.constData(), 3).scan, FrameScan::NeedMore);
    EXPECT_EQ(probeFrame(frame.constData(), frame.size() - 1).scan, FrameScan::NeedMore);
    const FrameProbe whole = probeFrame(frame.constData(), frame.size());
    EXPECT_EQ(whole.scan, FrameScan::Complete);
    EXPECT_EQ(whole.length, static_cast<quint32>(frame.size() - kLengthPrefixSize));

    EXPECT_EQ(probeFrame(encodeLength(kMaxMessageLength).constData(), 4).scan, FrameScan::NeedMore);
    const FrameProbe tooLong = probeFrame(encodeLength(kMaxMessageLength + 1).constData(), 4);
    EXPECT_EQ(tooLong.scan, FrameScan::TooLong);
    EXPECT_EQ(tooLong.length, kMaxMessageLength + 1);
    EXPECT_EQ(decodeLength(bytes({0xff, 0xfe, 0x01, 0x00}).constData()), 0xfffe0100u);
}

// --- receiving ---------------------------------------------------------------------------

TEST_F(MessageChannelTest, NonObjectFramesGiveEmptyMapsAndKeepTheStreamAligned)
{
    connectQtClient();
    auto frameOf = [](const QByteArray &text) {
        return encodeLength(static_cast<quint32>(text.size())) + text;
    };
    m_client.write(frameOf("[1,2]") + frameOf("{\"api\":") + frameOf("") +
                   frameOf("{\"api\":\"ping\"}"));
    m_client.flush();

    MessageChannel channel(EmptyMessagePolicy::SendNothing);
    channel.setSocket(m_peer.get());
    QVariantMap message;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(channel.recvMessage(message), ReceiveStatus::Received);
        EXPECT_TRUE(message.isEmpty());
    }
    EXPECT_EQ(channel.recvMessage(message), ReceiveStatus::Received);
    EXPECT_EQ(message, (QVariantMap{{"api", "ping"}}));
}

TEST_F(MessageChannelTest, LargestFrameIsReadWhileTheNextWaitsItsTurn)
{
    RawClient writer(m_listener.serverPort());
    ASSERT_TRUE(writer.connected());
    acceptPeer();
    // A JSON object of exactly the largest length, then a ping right behind it.
    const QByteArray head = "{\"api\":\"x\",\"fill\":\"";
    const QByteArray largest = head + QByteArray(kMaxMessageLength - head.size() - 2, 'f') + "\"}";
    ASSERT_EQ(static_cast<quint32>(largest.size()), kMaxMessageLength);
    std::thread sender([&] {
        writer.send(encodeLength(kMaxMessageLength) + largest);
        writer.send(encodeMessageFrame({{"api", "ping"}}));
    });

    MessageChannel channel(EmptyMessagePolicy::SendNothing);
    channel.setSocket(m_peer.get());
    QVariantMap message;
    EXPECT_EQ(channel.recvMessage(message), ReceiveStatus::Received);
    EXPECT_EQ(message.value("fill").toString().size(), kMaxMessageLength - head.size() - 2);
    EXPECT_EQ(channel.recvMessage(message), ReceiveStatus::Received);
    EXPECT_EQ(message, (QVariantMap{{"api", "ping"}}));
    sender.join();
}

TEST_F(MessageChannelTest, FrameArrivingSlowlyInPiecesIsReadWhole)
{
    RawClient writer(m_listener.serverPort());
    ASSERT_TRUE(writer.connected());
    acceptPeer();
    const QByteArray frame = encodeMessageFrame({{"api", "ping"}, {"camera", 3}});
    std::thread slowWriter([&] {
        const std::vector<std::pair<int, int>> pieces{{0, 1}, {1, 2}, {3, 5}, {8, -1}};
        for (auto [offset, length] : pieces) {
            writer.send(frame.mid(offset, length));
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        }
    });

    MessageChannel channel(EmptyMessagePolicy::SendNothing);
    channel.setSocket(m_peer.get());
    QVariantMap message;
    QElapsedTimer timer;
    timer.start();
    const ReceiveStatus status = channel.recvMessage(message);
    const qint64 elapsed = timer.elapsed();
    slowWriter.join();

    EXPECT_EQ(status, ReceiveStatus::Received);
    EXPECT_EQ(message, (QVariantMap{{"api", "ping"}, {"camera", 3}}));
    EXPECT_GE(elapsed, 400); // it really waited for the later pieces
}

TEST_F(MessageChannelTest, UnfinishedFrameTimesOutAndStaysBuffered)
{
    connectQtClient();
    const QByteArray partial = encodeLength(10) + "{\"a";
    m_client.write(partial);
    m_client.flush();
    ASSERT_TRUE(m_peer->waitForReadyRead(kIoTimeoutMs));
    QList<QAbstractSocket::SocketError> errors;
    QObject::connect(m_peer.get(), &QAbstractSocket::errorOccurred,
                     [&](QAbstractSocket::SocketError error) { errors.append(error); });

    MessageChannel channel(EmptyMessagePolicy::SendNothing);
    channel.setSocket(m_peer.get());
    QVariantMap message;
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(channel.recvMessage(message), ReceiveStatus::Incomplete);
    EXPECT_GE(timer.elapsed(), kReceiveBudgetMs - 50);
    EXPECT_LT(timer.elapsed(), kReceiveBudgetMs + 1000);
    EXPECT_TRUE(message.isEmpty());
    EXPECT_EQ(errors, QList<QAbstractSocket::SocketError>{QAbstractSocket::SocketTimeoutError});
    EXPECT_EQ(m_peer->bytesAvailable(), partial.size());
}

TEST_F(MessageChannelTest, SocketClearedDuringWaitEndsTheRead)
{
    RawClient writer(m_listener.serverPort());
    ASSERT_TRUE(writer.connected());
    acceptPeer();
    MessageChannel channel(EmptyMessagePolicy::SendNothing);
    channel.setSocket(m_peer.get());
    // As the servers do: a lost connection clears the current socket.
    QObject::connect(m_peer.get(), &QAbstractSocket::disconnected,
                     [&] { channel.setSocket(nullptr); });
    writer.send(encodeLength(50) + "{\"api\"");
    writer.shutdownBothWays();

    QVariantMap message;
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(channel.recvMessage(message), ReceiveStatus::Incomplete);
    EXPECT_LT(timer.elapsed(), kReceiveBudgetMs / 2);
    EXPECT_EQ(channel.socket(), nullptr);
}

TEST_F(MessageChannelTest, OverlongLengthIsAProtocolErrorWithoutWaiting)
{
    connectQtClient();
    for (quint32 length : {kMaxMessageLength + 1, 0xffffffffu}) {
        m_client.write(encodeLength(length));
        m_client.flush();
    }
    MessageChannel channel(EmptyMessagePolicy::SendNothing);
    channel.setSocket(m_peer.get());
    QVariantMap message;
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(channel.recvMessage(message), ReceiveStatus::ProtocolError);
    EXPECT_LT(timer.elapsed(), kReceiveBudgetMs / 2);
    EXPECT_TRUE(message.isEmpty());
    EXPECT_EQ(channel.errorString(), QString("message of %1 bytes exceeds the limit of %2 bytes")
                                         .arg(kMaxMessageLength + 1)
                                         .arg(kMaxMessageLength));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
