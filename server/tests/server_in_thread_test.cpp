// The command and frame servers running in their own threads, started and stopped as the
// board program does, reached over loopback.
#include "zentro_api_server.h"
#include "zentro_frame_server.h"

#include "raw_client.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QThread>

#include <gtest/gtest.h>

using namespace qrb;

namespace {

constexpr int kReplyTimeoutMs = 3000;
// Longer than the server's idle time-out.
constexpr int kIdleCloseTimeoutMs = 3000;

const QByteArray kPing = encodeMessageFrame({{"api", "ping"}});
const QByteArray kPingReply = encodeMessageFrame({{"retVal", 0}});

// A port that nothing listens on right now.
quint16 freePort()
{
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    return probe.serverPort();
}

// The server thread opens its port shortly after start() returns.
bool waitUntilListening(quint16 port)
{
    constexpr int kAttempts = 300;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (RawClient(port).connected())
            return true;
        QThread::msleep(10);
    }
    return false;
}

// The reply to one request on a new connection, or what arrived before the timeout.
QByteArray requestOnce(quint16 port, const QByteArray &frame, qint64 replySize)
{
    RawClient client(port);
    if (!client.connected())
        return "connection refused";
    client.send(frame);
    return client.receive(replySize, kReplyTimeoutMs);
}

bool answersPing(quint16 port)
{
    return requestOnce(port, kPing, kPingReply.size()) == kPingReply;
}

} // namespace

TEST(ServerInThread, RunsUntilEveryStartIsBalancedByAStop)
{
    const quint16 port = freePort();
    ZentroApiServerInThread::start(QHostAddress::LocalHost, port);
    ZentroApiServerInThread::start(QHostAddress::LocalHost, port);
    ASSERT_TRUE(waitUntilListening(port));
    EXPECT_TRUE(answersPing(port));

    ZentroApiServerInThread::stop();
    EXPECT_TRUE(ZentroApiServerInThread::isRunning());
    EXPECT_TRUE(answersPing(port));

    ZentroApiServerInThread::stop();
    EXPECT_FALSE(ZentroApiServerInThread::isRunning());
    EXPECT_FALSE(RawClient(port).connected());

    // A stop without a start has nothing to stop; a new start serves again.
    ZentroApiServerInThread::stop();
    ZentroApiServerInThread::start(QHostAddress::LocalHost, port);
    ASSERT_TRUE(waitUntilListening(port));
    EXPECT_TRUE(answersPing(port));
    ZentroApiServerInThread::stop();
}

TEST(ServerInThread, StopWaitsForTheClientBeingServed)
{
    const quint16 port = freePort();
    ZentroApiServerInThread::start(QHostAddress::LocalHost, port);
    ASSERT_TRUE(waitUntilListening(port));
    RawClient client(port);
    client.send(kPing);
    ASSERT_EQ(client.receive(kPingReply.size(), kReplyTimeoutMs), kPingReply);

    // The client stays silent: the stop returns once the server has dropped it as idle.
    ZentroApiServerInThread::stop();
    EXPECT_TRUE(client.closedByPeer(0));
}

TEST(ServerInThread, CommandAndFrameServersRunSideBySide)
{
    const quint16 apiPort = freePort();
    const quint16 framePort = freePort();
    ZentroApiServerInThread::start(QHostAddress::LocalHost, apiPort);
    ZentroFrameServerInThread::start(QHostAddress::LocalHost, framePort);
    ASSERT_TRUE(waitUntilListening(apiPort));
    ASSERT_TRUE(waitUntilListening(framePort));

    RawClient commands(apiPort);
    RawClient frames(framePort);
    const QByteArray unknown = encodeMessageFrame({{"api", "bulkTransfer"}});
    const QByteArray unknownReply = encodeMessageFrame({{"retVal", 16}});
    frames.send(unknown);
    commands.send(kPing);
    EXPECT_EQ(commands.receive(kPingReply.size(), kReplyTimeoutMs), kPingReply);
    EXPECT_EQ(frames.receive(unknownReply.size(), kReplyTimeoutMs), unknownReply);

    // "disconnect" ends each connection without a reply.
    const QByteArray disconnect = encodeMessageFrame({{"api", "disconnect"}});
    commands.send(disconnect);
    frames.send(disconnect);
    EXPECT_TRUE(commands.closedByPeer(kIdleCloseTimeoutMs));
    EXPECT_TRUE(frames.closedByPeer(kIdleCloseTimeoutMs));

    ZentroFrameServerInThread::stop();
    ZentroApiServerInThread::stop();
}

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
