// The desktop side against the real qrb_server on the simulated board (started by
// desktop_e2e_test.py in a private network namespace): the board camera opened through
// libqrbtransport, its sensor, registers and bitfields by name (checked in the board's
// bus.log), block reads, modes and grabs, a server that dies and comes back, file transfers
// through qrbclient, and boards that cannot be reached.
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QCryptographicHash>

#include "board_camera.h"
#include "counting_proxy.h"
#include "qrb_client.h"
#include "zentro.h"

namespace {

using zentro::qrb::BoardAddress;
using zentro::qrb::Client;
using zentro_tests::frameBuffer;
using zentro_tests::frameNumber;
using zentro_tests::grab;
using zentro_tests::kCounterSamples;
using zentro_tests::kPixelBytes;
using zentro_tests::sampleAt;
using zentro_tests::startStreaming;

constexpr uint32_t kPatternModulus = 1u << 12; // the default board's 12-bit samples
constexpr const char *kBusAddress = "0x0010";  // ZX0201 at 7-bit 0x10
constexpr uint32_t kCoreSpace = 0;

std::string env(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

std::string plugin()
{
    return env("QRB_E2E_PLUGIN");
}

std::string sensorData()
{
    return env("QRB_E2E_SENSOR_DATA");
}

std::vector<std::string> busLog()
{
    std::ifstream file(env("QRB_E2E_BOARD_DIR") + "/bus.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

// The bus.log lines that @action adds.
template <typename Action>
std::vector<std::string> busLinesOf(Action action)
{
    const size_t before = busLog().size();
    action();
    const auto after = busLog();
    return {after.begin() + static_cast<std::ptrdiff_t>(std::min(before, after.size())),
            after.end()};
}

// Every line the library logs while it is alive.
class LogCapture
{
public:
    LogCapture()
    {
        std::lock_guard lock(mutex());
        lines().clear();
        ze_OpenErrorLogCallback(ZE_LOG_SEVERE | ZE_LOG_ERROR, &LogCapture::receive);
    }
    ~LogCapture() { ze_CloseErrorLog(); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    std::string text() const
    {
        std::lock_guard lock(mutex());
        std::string all;
        for (const auto &line : lines())
            all += line + "\n";
        return all;
    }

private:
    static void receive(uint32_t, int code, const char *message, const char *, const char *, int)
    {
        std::lock_guard lock(mutex());
        lines().push_back(std::to_string(code) + ": " + (message ? message : ""));
    }
    static std::mutex &mutex()
    {
        static std::mutex m;
        return m;
    }
    static std::vector<std::string> &lines()
    {
        static std::vector<std::string> l;
        return l;
    }
};

// The first sample (in reading order) that differs from the board's test pattern for frame
// @number, or -1: sample (x, y) is (x + 2y + n) mod 2^12, the first four samples of row 0 hold
// the frame number's bytes.
long firstPatternMismatch(const std::vector<uint8_t> &frame, uint32_t width, uint32_t height,
                          uint32_t number)
{
    if (frame.size() != size_t{width} * height * kPixelBytes)
        return 0;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const size_t index = size_t{y} * width + x;
            const uint32_t expected = index < kCounterSamples
                                          ? (number >> (8 * index)) & 0xFF
                                          : (x + 2 * y + number) % kPatternModulus;
            if (sampleAt(frame, index) != expected)
                return static_cast<long>(index);
        }
    }
    return -1;
}

// The cameras of one open through libqrbtransport.
class OpenedCameras : public zentro_tests::OpenedCameras
{
public:
    explicit OpenedCameras(const std::string &sensorPath = sensorData())
        : zentro_tests::OpenedCameras(sensorPath, plugin())
    {
    }
};

// A grabbed frame is the board's test pattern and carries the frame number it reports.
void expectPatternFrame(ze_camera_t *camera, const std::vector<uint8_t> &frame)
{
    ze_frame_info_t info{};
    ASSERT_EQ(ze_getFrameData(camera, &info), 0);
    EXPECT_EQ(info.bytesReturned, frame.size());
    EXPECT_EQ(info.frameNumber, frameNumber(frame));
    EXPECT_EQ(firstPatternMismatch(frame, camera->sensor->imageWidth, camera->sensor->imageHeight,
                                   frameNumber(frame)),
              -1);
}

// A client of the board server of its own, beside the plug-in's.
Client boardClient()
{
    return Client(*zentro::qrb::parseBoardAddress(env("QRB_E2E_SERVER")));
}

// The relay the suite's camera goes through: its own ports in the test's network namespace.
constexpr uint16_t kProxyPort = 39824;

// ---- The board camera, opened once for the suite ----

class RemoteCamera : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        proxy_ =
            new zentro::qrb::testing::CountingProxy(kProxyPort, zentro::qrb::kDefaultCommandPort);
        ::setenv("ZE_BOARD", ("127.0.0.1:" + std::to_string(kProxyPort)).c_str(), 1);
        opened_ = new OpenedCameras();
    }
    static void TearDownTestSuite()
    {
        delete opened_;
        opened_ = nullptr;
        delete proxy_;
        proxy_ = nullptr;
        ::setenv("ZE_BOARD", env("QRB_E2E_SERVER").c_str(), 1);
    }
    // The requests that @action sends to the board.
    template <typename Action>
    static std::vector<std::string> requestsOf(Action action)
    {
        const size_t before = proxy_->requests().size();
        action();
        const auto after = proxy_->requests();
        return {after.begin() + static_cast<std::ptrdiff_t>(before), after.end()};
    }
    void SetUp() override
    {
        ASSERT_EQ(opened_->result(), 0);
        ASSERT_EQ(opened_->count(), 1);
        camera_ = opened_->camera();
        ASSERT_NE(camera_->sensor, nullptr);
    }

    static zentro::qrb::testing::CountingProxy *proxy_;
    static OpenedCameras *opened_;
    ze_camera_t *camera_ = nullptr;
};
zentro::qrb::testing::CountingProxy *RemoteCamera::proxy_ = nullptr;
OpenedCameras *RemoteCamera::opened_ = nullptr;

TEST_F(RemoteCamera, OpensWithTheSensorFileTheBoardIdentified)
{
    EXPECT_STREQ(camera_->sensor->name, "ZX0201");
    EXPECT_EQ(std::string(camera_->sensor->fileName), sensorData() + "/zx0201.sdat");
    EXPECT_STREQ(camera_->productSerialNumber, "QRB2000001-1421223012345");
    EXPECT_NE(std::string(camera_->transportName)
                  .find("Network (127.0.0.1:" + std::to_string(kProxyPort) + ")"),
              std::string::npos)
        << camera_->transportName;
    EXPECT_EQ(camera_->sensor->imageWidth, 1920u);
    EXPECT_EQ(camera_->sensor->imageHeight, 1200u);
}

TEST_F(RemoteCamera, RegistersAndBitfieldsByNameReachTheSensor)
{
    const auto written = busLinesOf([&] {
        ASSERT_EQ(ze_WriteSensorRegStr(camera_, "COARSE_INTEGRATION_TIME", nullptr, 0x300), 0);
    });
    EXPECT_EQ(written, std::vector<std::string>{std::string("S_REGISTER ") + kBusAddress +
                                                " 0x3114 0x0300"});
    uint32_t value = 0;
    const auto read = busLinesOf([&] {
        ASSERT_EQ(ze_ReadSensorRegStr(camera_, "COARSE_INTEGRATION_TIME", nullptr, &value), 0);
    });
    EXPECT_EQ(value, 0x300u);
    EXPECT_EQ(read, std::vector<std::string>{std::string("G_REGISTER ") + kBusAddress +
                                             " 0x3114 0x0300"});

    // A bitfield write changes its bits and keeps the register's others.
    ASSERT_EQ(ze_WriteSensorRegStr(camera_, "READOUT_MODE", nullptr, 0x0030), 0);
    const auto mirrored = busLinesOf(
        [&] { ASSERT_EQ(ze_WriteSensorRegStr(camera_, "READOUT_MODE", "HORIZ_MIRROR", 1), 0); });
    ASSERT_FALSE(mirrored.empty());
    EXPECT_EQ(mirrored.back(), std::string("S_REGISTER ") + kBusAddress + " 0x310C 0x0031");
    ASSERT_EQ(ze_ReadSensorRegStr(camera_, "READOUT_MODE", "X_BIN", &value), 0);
    EXPECT_EQ(value, 3u);
    ASSERT_EQ(ze_WriteSensorRegStr(camera_, "READOUT_MODE", nullptr, 0), 0);

    // Names the sensor does not have are refused on this side, without bus traffic.
    const auto unknown = busLinesOf(
        [&] { EXPECT_NE(ze_ReadSensorRegStr(camera_, "NO_SUCH_REGISTER", nullptr, &value), 0); });
    EXPECT_TRUE(unknown.empty());
}

TEST_F(RemoteCamera, BlockReadIsOneRequest)
{
    std::array<uint32_t, 6> values{};
    std::vector<std::string> lines;
    const auto requests = requestsOf([&] {
        lines = busLinesOf([&] {
            ASSERT_EQ(
                ze_readSensorRegisters(camera_, kCoreSpace, 0x3100, values.size(), values.data()),
                0);
        });
    });
    EXPECT_EQ(values, (std::array<uint32_t, 6>{0, 0, 0x077F, 0x04AF, 0x0780, 0x04B0}));
    EXPECT_EQ(requests, std::vector<std::string>{"ze_readRegisters"});
    EXPECT_EQ(lines.size(), values.size()) << ::testing::PrintToString(lines);
    // A register by name is one request too.
    uint32_t value = 0;
    EXPECT_EQ(requestsOf([&] { ze_ReadSensorRegStr(camera_, "Y_OUTPUT_SIZE", nullptr, &value); }),
              std::vector<std::string>{"ze_readRegisters"});
    EXPECT_EQ(value, 0x04B0u);
}

TEST_F(RemoteCamera, ModesAndFrameSizesReachTheBoard)
{
    ASSERT_EQ(ze_setMode(camera_, ZE_RX_VCDT_DEMUX, 1), 0);
    uint32_t value = 0;
    ASSERT_EQ(ze_getMode(camera_, ZE_RX_VCDT_DEMUX, &value), 0);
    EXPECT_EQ(value, 1u);
    // The board keeps the mode: another client sees it too.
    Client client = boardClient();
    uint32_t remote = 0;
    ASSERT_EQ(client.getMode("camera0", ZE_RX_VCDT_DEMUX, remote), 0);
    EXPECT_EQ(remote, 1u);
    client.disconnect();
    ASSERT_EQ(ze_setMode(camera_, ZE_RX_VCDT_DEMUX, 0), 0);
    // Modes that steer only this side's library never reach the board.
    EXPECT_TRUE(requestsOf([&] { ze_setMode(camera_, ZE_USE_REG_CACHE, 0); }).empty());

    ASSERT_EQ(ze_updateFrameSize(camera_, 640, 480, 0, 0), 0);
    EXPECT_EQ(camera_->sensor->imageWidth, 640u);
    EXPECT_EQ(camera_->sensor->imageBytes, 640u * 480 * kPixelBytes);
    Client check = boardClient();
    const auto sizes = check.updateFrameSize("camera0", 0, 0, 0, 0);
    EXPECT_EQ(sizes.width, 640u);
    EXPECT_EQ(sizes.bufferSize, 640u * 480 * kPixelBytes);
    check.disconnect();
    ASSERT_EQ(ze_updateFrameSize(camera_, 1920, 1200, 0, 0), 0);
}

TEST_F(RemoteCamera, GrabsFramesOfTheTestPattern)
{
    ASSERT_TRUE(startStreaming(camera_));
    std::vector<uint8_t> frame = frameBuffer(camera_);
    ASSERT_EQ(grab(camera_, frame), 0);
    expectPatternFrame(camera_, frame);
    const uint32_t first = frameNumber(frame);
    ASSERT_EQ(grab(camera_, frame), 0);
    expectPatternFrame(camera_, frame);
    EXPECT_GT(frameNumber(frame), first);
}

// The board's camera outlives a desktop session: its stream and what the session set are
// still there for the next one.
TEST(RemoteCameraClose, ClosingLeavesTheBoardCameraStreaming)
{
    uint32_t firstNumber = 0;
    {
        OpenedCameras opened;
        ASSERT_EQ(opened.result(), 0);
        ze_camera_t *camera = opened.camera();
        ASSERT_TRUE(startStreaming(camera));
        std::vector<uint8_t> frame = frameBuffer(camera);
        ASSERT_EQ(grab(camera, frame), 0);
        firstNumber = frameNumber(frame);
        ASSERT_EQ(ze_WriteSensorRegStr(camera, "COARSE_INTEGRATION_TIME", nullptr, 0x321), 0);
    }
    Client client = boardClient();
    uint32_t value = 0;
    EXPECT_EQ(client.getMode("camera0", ZE_REG_ADDR_SIZE, value), 0);
    client.disconnect();

    OpenedCameras again;
    ASSERT_EQ(again.result(), 0);
    ze_camera_t *camera = again.camera();
    uint32_t integration = 0;
    ASSERT_EQ(ze_ReadSensorRegStr(camera, "COARSE_INTEGRATION_TIME", nullptr, &integration), 0);
    EXPECT_EQ(integration, 0x321u);
    // No sensor reset and no start: the board is still streaming.
    std::vector<uint8_t> frame = frameBuffer(camera);
    ASSERT_EQ(grab(camera, frame), 0);
    expectPatternFrame(camera, frame);
    EXPECT_GT(frameNumber(frame), firstNumber);
}

// ---- A board that identified its sensor under a name this side does not know ----

TEST(DesktopIdentification, FindsTheSensorOverTheBoardsBusAndTellsTheBoard)
{
    std::vector<std::string> lines;
    OpenedCameras *opened = nullptr;
    lines = busLinesOf([&] { opened = new OpenedCameras(); });
    const std::unique_ptr<OpenedCameras> owner(opened);
    ASSERT_EQ(opened->result(), 0);
    ASSERT_EQ(opened->count(), 1);
    const ze_sensor_t *sensor = opened->camera()->sensor;
    ASSERT_NE(sensor, nullptr);
    EXPECT_STREQ(sensor->name, "ZX0042");
    EXPECT_EQ(std::string(sensor->fileName), sensorData() + "/zx0042.sdat");
    // The chip version was read over the board's bus from this side, at the sensor's address.
    const auto chipVersionRead = [](const std::string &line) {
        return line.rfind("G_", 0) == 0 && line.find(" 0x0036 0x0000") != std::string::npos;
    };
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), chipVersionRead))
        << ::testing::PrintToString(lines);
    // The board camera was given the sensor record identified here: same image size.
    Client client = boardClient();
    const auto sizes = client.updateFrameSize("camera0", 0, 0, 0, 0);
    EXPECT_EQ(sizes.retVal, 0);
    EXPECT_EQ(sizes.width, sensor->imageWidth);
    EXPECT_EQ(sizes.bufferSize, sensor->imageBytes);
    client.disconnect();
}

// ---- The board server dies in the middle of grabs and comes back ----

TEST(ServerRestart, GrabFailsClearlyAndWorksAgainAfterTheRestart)
{
    OpenedCameras opened;
    ASSERT_EQ(opened.result(), 0);
    ze_camera_t *camera = opened.camera();
    ASSERT_TRUE(startStreaming(camera));
    std::vector<uint8_t> frame = frameBuffer(camera);
    ASSERT_EQ(grab(camera, frame), 0);

    LogCapture log;
    std::cout << "KILL" << std::endl;
    // The wrapper kills the server now; grabs go on until one fails (at most this many).
    constexpr int kMaxGrabs = 1000;
    int result = 0;
    for (int i = 0; i < kMaxGrabs && result == 0; ++i)
        result = grab(camera, frame);
    EXPECT_TRUE(result == CAMERA_ERROR || result == CAMERA_TIMEOUT) << result;
    EXPECT_NE(log.text().find("Board " + env("ZE_BOARD") + ":29824: "), std::string::npos)
        << log.text();
    // While the server is away, calls fail the same way, without hanging.
    EXPECT_NE(ze_WriteSensorRegStr(camera, "COARSE_INTEGRATION_TIME", nullptr, 0x200), 0);

    std::cout << "RESTART" << std::endl;
    std::string answer;
    std::getline(std::cin, answer);
    ASSERT_EQ(answer, "RESTARTED");
    ASSERT_EQ(grab(camera, frame), 0);
    expectPatternFrame(camera, frame);
    uint32_t value = 0;
    ASSERT_EQ(ze_WriteSensorRegStr(camera, "COARSE_INTEGRATION_TIME", nullptr, 0x240), 0);
    ASSERT_EQ(ze_ReadSensorRegStr(camera, "COARSE_INTEGRATION_TIME", nullptr, &value), 0);
    EXPECT_EQ(value, 0x240u);
}

// ---- File transfers through qrbclient ----

std::string sha256(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

off_t fileSize(const std::string &path)
{
    struct stat status {
    };
    return ::stat(path.c_str(), &status) == 0 ? status.st_size : -1;
}

// Thrown by a progress callback to break a transfer off after its first chunk.
struct Interrupted {
};

constexpr size_t kChunk = 1024 * 1024;

TEST(FileTransfer, UploadAndDownloadGoOnWhereAnInterruptedTransferStopped)
{
    const std::string local = ::testing::TempDir() + "/qrb_upload.bin";
    {
        std::mt19937 random(23);
        std::ofstream file(local, std::ios::binary);
        for (size_t i = 0; i < 3 * kChunk + 12345; ++i)
            file.put(static_cast<char>(random()));
    }
    const std::string boardFile = env("QRB_E2E_SERVER_DIR") + "/uploaded.bin";
    Client client = boardClient();
    zentro::qrb::TransferOptions options;
    options.chunkSize = kChunk;
    options.progress = [](uint64_t done, uint64_t) {
        if (done == kChunk)
            throw Interrupted{};
    };
    EXPECT_THROW(client.upload(local, "uploaded.bin", options), Interrupted);
    EXPECT_EQ(fileSize(boardFile + "~temp"), static_cast<off_t>(kChunk));
    EXPECT_EQ(fileSize(boardFile), -1);

    std::vector<uint64_t> steps;
    options.progress = [&](uint64_t done, uint64_t) { steps.push_back(done); };
    EXPECT_EQ(client.upload(local, "uploaded.bin", options), 3 * kChunk + 12345);
    EXPECT_EQ(steps.front(), 2 * kChunk); // went on after the first megabyte
    EXPECT_EQ(sha256(boardFile), sha256(local));
    EXPECT_EQ(fileSize(boardFile + "~temp"), -1);

    const std::string copy = ::testing::TempDir() + "/qrb_download.bin";
    ::unlink(copy.c_str());
    options.progress = [](uint64_t done, uint64_t) {
        if (done == kChunk)
            throw Interrupted{};
    };
    EXPECT_THROW(client.download("uploaded.bin", copy, options), Interrupted);
    EXPECT_EQ(fileSize(copy + "~temp"), static_cast<off_t>(kChunk));
    steps.clear();
    options.progress = [&](uint64_t done, uint64_t) { steps.push_back(done); };
    EXPECT_EQ(client.download("uploaded.bin", copy, options), 3 * kChunk + 12345);
    EXPECT_EQ(steps.front(), 2 * kChunk);
    EXPECT_EQ(sha256(copy), sha256(local));
    EXPECT_EQ(fileSize(copy + "~temp"), -1);
}

TEST(FileTransfer, RefusalsAndMissingFilesAreClearErrors)
{
    Client client = boardClient();
    try {
        client.download("no_such_file.bin", ::testing::TempDir() + "/never.bin");
        FAIL() << "no error";
    } catch (const zentro::qrb::Error &error) {
        EXPECT_EQ(error.kind(), zentro::qrb::Error::Kind::Refused);
    }
    try {
        client.upload(::testing::TempDir() + "/does_not_exist", "x.bin");
        FAIL() << "no error";
    } catch (const zentro::qrb::Error &error) {
        EXPECT_EQ(error.kind(), zentro::qrb::Error::Kind::Local);
    }
}

TEST(BoardCommands, InvokeAndVersions)
{
    Client client = boardClient();
    const auto invoked = client.invoke("exit 3");
    EXPECT_EQ(invoked.retVal, 0);
    EXPECT_EQ(invoked.status, 768);
    EXPECT_FALSE(invoked.error);
    EXPECT_EQ(client.getVersions().serverRelease, "6.1.53.60859");
    client.ping();
}

// ---- Boards that are not there ----

TEST(NoBoard, WithoutAnAddressTheOpenFindsNothingAndSaysNothing)
{
    ::unsetenv("ZE_BOARD");
    LogCapture log;
    OpenedCameras opened;
    EXPECT_NE(opened.result(), 0);
    EXPECT_EQ(opened.count(), 0);
    // The plug-in is named explicitly here, so the library logs its own line; the plug-in
    // adds nothing that names a board.
    EXPECT_EQ(log.text().find("oard"), std::string::npos) << log.text();
}

TEST(NoBoard, AnInvalidAddressIsNamedInTheLog)
{
    ::setenv("ZE_BOARD", "board:notaport", 1);
    LogCapture log;
    OpenedCameras opened;
    EXPECT_EQ(opened.count(), 0);
    EXPECT_NE(log.text().find("Invalid board address \"board:notaport\" in ZE_BOARD"),
              std::string::npos)
        << log.text();
}

TEST(NoBoard, AnUnreachableBoardFailsWithItsAddressInTheLog)
{
    // No route leads there inside the test's private network namespace.
    ::setenv("ZE_BOARD", "10.255.255.1", 1);
    LogCapture log;
    OpenedCameras opened;
    EXPECT_EQ(opened.count(), 0);
    EXPECT_EQ(opened.result(), CAMERA_ERROR);
    EXPECT_NE(log.text().find("Board 10.255.255.1:29824: cannot connect to 10.255.255.1:29824"),
              std::string::npos)
        << log.text();
}

TEST(NoBoard, ASilentServerTimesOut)
{
    const std::string port = env("QRB_E2E_SILENT_PORT");
    if (port.empty())
        GTEST_SKIP() << "no silent server given";
    ::setenv("ZE_BOARD", ("127.0.0.1:" + port).c_str(), 1);
    ::setenv("ZE_BOARD_TIMEOUT_MS", "500", 1);
    LogCapture log;
    OpenedCameras opened;
    EXPECT_EQ(opened.count(), 0);
    EXPECT_EQ(opened.result(), CAMERA_TIMEOUT);
    EXPECT_NE(
        log.text().find("no answer from the board server at 127.0.0.1:" + port + " within 500 ms"),
        std::string::npos)
        << log.text();
}

} // namespace
