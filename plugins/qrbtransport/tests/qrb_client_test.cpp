// qrbclient against a stand-in server on 127.0.0.1: framing, requests, answers that are cut
// short, implausible or malformed, and connections that the server ends.
#include "qrb_client.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "stand_in_server.h"

namespace zentro::qrb {
namespace {

using testing::StandInServer;
using namespace std::chrono_literals;

// Short enough to keep the tests quick, long enough for a loaded machine to answer.
constexpr Timeouts kTimeouts{2000ms, 500ms};

// Requests the stand-in received, in order.
class RequestLog
{
public:
    void add(const std::string &request)
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    std::vector<std::string> all() const
    {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
};

// A session that answers every request with the next of @replies (raw frame payloads).
StandInServer::Session answering(RequestLog &log, std::vector<std::string> replies)
{
    return [&log, replies](int fd, int) {
        for (const auto &reply : replies) {
            const std::string request = StandInServer::readFrame(fd);
            if (request.empty())
                return;
            log.add(request);
            StandInServer::writeFrame(fd, reply);
        }
    };
}

Client clientOf(const StandInServer &server)
{
    return Client(BoardAddress{"127.0.0.1", server.port()}, kTimeouts);
}

Client frameClientOf(const StandInServer &server)
{
    // The frame connection goes to PORT + 1: name the port below the stand-in's.
    return Client(BoardAddress{"127.0.0.1", static_cast<uint16_t>(server.port() - 1)}, kTimeouts);
}

Error::Kind kindOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const Error &error) {
        return error.kind();
    }
    ADD_FAILURE() << "no error thrown";
    return Error::Kind::Local;
}

TEST(BoardAddress, ParsesHostAndOptionalPort)
{
    const auto plain = parseBoardAddress(" 192.168.55.1 ");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->host, "192.168.55.1");
    EXPECT_EQ(plain->commandPort, 29824);
    EXPECT_EQ(plain->framePort(), 29825);
    const auto withPort = parseBoardAddress("board.local:4000");
    ASSERT_TRUE(withPort);
    EXPECT_EQ(withPort->host, "board.local");
    EXPECT_EQ(withPort->framePort(), 4001);
    const auto v6 = parseBoardAddress("[::1]:5000");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, "::1");
    EXPECT_EQ(v6->commandPort, 5000);
    EXPECT_EQ(v6->text(), "[::1]:5000");
    EXPECT_EQ(parseBoardAddress("::1")->host, "::1");
}

TEST(BoardAddress, RefusesEmptyHostsAndBadPorts)
{
    for (const char *text : {"", "  ", ":29824", "host:", "host:0", "host:65535", "host:12x",
                             "host:-1", "[::1", "[::1]x", "two words"})
        EXPECT_FALSE(parseBoardAddress(text)) << text;
}

TEST(QrbClient, SendsCompactFramesAndReadsTypedAnswers)
{
    RequestLog log;
    StandInServer server(answering(log, {R"({"retVal":0,"val":4294967295})",
                                         R"({"retVal":0,"vals":[1,2,3]})", R"({"retVal":7})"}));
    Client client = clientOf(server);
    uint32_t value = 0;
    EXPECT_EQ(client.readRegister("camera0", {0x20, 16, 16}, 0x3000, value), 0);
    EXPECT_EQ(value, 0xFFFFFFFFu);
    std::vector<uint32_t> values(4, 99);
    EXPECT_EQ(client.readSensorRegisters("camera0", 0x20, 1, 0x10, values), 0);
    // The answer held three values: the fourth reads as zero, not as what was there.
    EXPECT_EQ(values, (std::vector<uint32_t>{1, 2, 3, 0}));
    EXPECT_EQ(client.setMode("camera0", 19, 1), 7);
    const auto requests = log.all();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], R"({"addrSize":16,"api":"ze_readRegister","dataSize":16,)"
                           R"("deviceName":"camera0","regAddr":12288,"shipAddr":32})");
    EXPECT_EQ(requests[1], R"({"addrSpace":1,"api":"ze_readSensorRegisters",)"
                           R"("deviceName":"camera0","numRegs":4,"shipAddr":32,"startAddr":16})");
    EXPECT_EQ(requests[2], R"({"api":"ze_setMode","deviceName":"camera0","mode":19,"val":1})");
}

TEST(QrbClient, SplitsBlocksLargerThanTheServerTakes)
{
    RequestLog log;
    StandInServer server(
        answering(log, {R"({"retVal":0,"vals":[5]})", R"({"retVal":0,"vals":[6]})"}));
    Client client = clientOf(server);
    std::vector<uint32_t> values(65537);
    EXPECT_EQ(client.readRegisters("camera0", {}, 0, values), 0);
    const auto requests = log.all();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].find(R"("numRegs":65536,)"), std::string::npos);
    EXPECT_NE(requests[1].find(R"("numRegs":1,)"), std::string::npos);
    EXPECT_NE(requests[1].find(R"("startAddr":65536)"), std::string::npos);
    EXPECT_EQ(values[0], 5u);
    EXPECT_EQ(values[65536], 6u);
}

TEST(QrbClient, RefusesMalformedAnswers)
{
    const std::vector<std::string> bad = {R"([1,2,3])",        R"("text")",
                                          R"({"retVal":)",     R"({"noResult":0})",
                                          R"({"retVal":"0"})", R"({"retVal":0.5})"};
    for (const auto &answer : bad) {
        RequestLog log;
        StandInServer server(answering(log, {answer}));
        Client client = clientOf(server);
        EXPECT_EQ(kindOf([&] { client.ping(); }), Error::Kind::Protocol) << answer;
    }
}

TEST(QrbClient, RefusesAnImplausibleLengthWithoutWaitingForIt)
{
    StandInServer server([](int fd, int) {
        StandInServer::readFrame(fd);
        StandInServer::writeBytes(fd, StandInServer::prefix(0xFFFFFFFF) + "{}");
        StandInServer::readFrame(fd); // holds the connection until the client closes it
    });
    Client client = clientOf(server);
    try {
        client.ping();
        FAIL() << "no error";
    } catch (const Error &error) {
        EXPECT_EQ(error.kind(), Error::Kind::Protocol);
        EXPECT_NE(std::string(error.what()).find("4294967295 bytes"), std::string::npos)
            << error.what();
    }
}

TEST(QrbClient, AnswerCutShortByACloseIsAConnectionLoss)
{
    StandInServer server([](int fd, int) {
        StandInServer::readFrame(fd);
        StandInServer::writeBytes(fd, StandInServer::prefix(100) + R"({"retVal":0)");
    });
    Client client = clientOf(server);
    try {
        client.ping();
        FAIL() << "no error";
    } catch (const Error &error) {
        EXPECT_EQ(error.kind(), Error::Kind::ConnectionLost);
        EXPECT_TRUE(error.isLinkFailure());
        const std::string where = "127.0.0.1:" + std::to_string(server.port());
        EXPECT_NE(std::string(error.what()).find(where), std::string::npos) << error.what();
    }
}

TEST(QrbClient, AnswerThatStopsMidFrameTimesOut)
{
    StandInServer server([](int fd, int) {
        StandInServer::readFrame(fd);
        StandInServer::writeBytes(fd, StandInServer::prefix(100) + R"({"retVal":0)");
        // Silent until the client gives up and closes.
        StandInServer::readFrame(fd);
    });
    Client client = clientOf(server);
    EXPECT_EQ(kindOf([&] { client.ping(); }), Error::Kind::Timeout);
}

TEST(QrbClient, NextCallAfterALossConnectsAgain)
{
    RequestLog log;
    StandInServer server(
        [&log](int fd, int number) {
            const std::string request = StandInServer::readFrame(fd);
            log.add(request);
            // The first connection ends without an answer; the second one answers.
            if (number == 1)
                StandInServer::writeFrame(fd, R"({"retVal":0})");
        },
        2);
    Client client = clientOf(server);
    EXPECT_EQ(kindOf([&] { client.ping(); }), Error::Kind::ConnectionLost);
    client.ping();
    EXPECT_EQ(server.accepted(), 2);
    EXPECT_EQ(log.all().size(), 2u);
}

TEST(QrbClient, ConnectionDroppedBetweenCallsIsReplacedBeforeTheNextRequest)
{
    RequestLog log;
    StandInServer server(
        [&log](int fd, int) {
            log.add(StandInServer::readFrame(fd));
            StandInServer::writeFrame(fd, R"({"retVal":0})");
            // Like the board server after a second of silence: the connection ends here.
        },
        2);
    Client client = clientOf(server);
    client.ping();
    server.waitUntilFinished(1);
    client.ping();
    EXPECT_EQ(server.accepted(), 2);
    EXPECT_EQ(log.all().size(), 2u);
}

TEST(QrbClient, UnreachableServerFailsToConnect)
{
    uint16_t port = 0;
    {
        StandInServer closed([](int, int) {}, 0);
        port = closed.port();
    }
    Client client(BoardAddress{"127.0.0.1", port}, kTimeouts);
    try {
        client.ping();
        FAIL() << "no error";
    } catch (const Error &error) {
        EXPECT_EQ(error.kind(), Error::Kind::ConnectFailed);
        EXPECT_EQ(std::string(error.what()),
                  "cannot connect to 127.0.0.1:" + std::to_string(port) + ": Connection refused");
    }
}

TEST(QrbClient, FetchesAFrameChunkByChunk)
{
    RequestLog log;
    StandInServer server([&log](int fd, int) {
        for (const std::string chunk : {"abcd", "ef", ""}) {
            log.add(StandInServer::readFrame(fd));
            StandInServer::writeFrame(fd, chunk);
        }
    });
    Client client = frameClientOf(server);
    std::vector<std::byte> image(8);
    EXPECT_EQ(client.fetchFrame("camera0", image, 4), 6u);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(image.data()), 6), "abcdef");
    const auto requests = log.all();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1], R"({"api":"bulkTransfer","bufferSize":8,"deviceName":"camera0",)"
                           R"("offset":4,"transferSize":4})");
}

TEST(QrbClient, FetchRefusesChunksLargerThanAskedAndUnknownDevices)
{
    RequestLog log;
    StandInServer oversized(answering(log, {"abcdefgh"}));
    Client client = frameClientOf(oversized);
    std::vector<std::byte> image(4);
    EXPECT_EQ(kindOf([&] { client.fetchFrame("camera0", image); }), Error::Kind::Protocol);

    StandInServer unknown(answering(log, {R"({"retVal":16})"}));
    Client other = frameClientOf(unknown);
    std::vector<std::byte> large(4096);
    EXPECT_EQ(kindOf([&] { other.fetchFrame("camera9", large); }), Error::Kind::Refused);
}

TEST(QrbClient, FrameCutShortByACloseIsAConnectionLoss)
{
    StandInServer server([](int fd, int) {
        StandInServer::readFrame(fd);
        StandInServer::writeBytes(fd, StandInServer::prefix(200000) + std::string(70000, 'x'));
    });
    Client client = frameClientOf(server);
    std::vector<std::byte> image(200000);
    EXPECT_EQ(kindOf([&] { client.fetchFrame("camera0", image, 200000); }),
              Error::Kind::ConnectionLost);
}

TEST(QrbClient, GrabAnswerFillsTheFrameInformationWords)
{
    RequestLog log;
    StandInServer server(
        answering(log, {R"({"retVal":0,"frameNumber":7,"bytesRequested":100,"bytesReturned":96,)"
                        R"("frameTime":5,"frameLines":3,"lineSize":32,"gpio":1,"frameStatus":2,)"
                        R"("registerContext":4,"eolPadBytes":6,"imageBytesReturned":90,)"
                        R"("vcOffset":[0,10,20,30],"vcBytes":[1,2,3,4]})"}));
    Client client = frameClientOf(server);
    const GrabReply grab = client.grabFrame("camera0", 100);
    EXPECT_EQ(grab.retVal, 0);
    const std::array<uint32_t, kFrameInfoWords> expected = {7, 100, 96, 0,  5,  3,  32, 1, 2, 4,
                                                            6, 90,  0,  10, 20, 30, 1,  2, 3, 4};
    EXPECT_EQ(grab.info, expected);
}

} // namespace
} // namespace zentro::qrb
