// qrbclient: typed calls to a board's qrb_server, over its command connection (cameras,
// modes, registers, files, commands) and its frame connection (grabs and image chunks).
//
// Every call connects when needed, so a dropped or restarted server costs nothing but the
// failed call: link failures throw zentro::qrb::Error (kinds ConnectFailed, ConnectionLost,
// Timeout), malformed answers Error::Kind::Protocol. Calls that mirror a library function
// return the server's "retVal" (0 success, else the library's result code; 1 when the server
// itself refused, e.g. an unknown device name). The file and administration calls throw
// Error::Kind::Refused for a non-zero "retVal". A Client is not thread-safe; the command and
// frame connections are independent, so one thread may grab while another reads registers
// only through two Clients. The server serves one client per port at a time.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <QJsonObject>

#include "board_address.h"
#include "qrb_connection.h"
#include "qrb_error.h"

namespace zentro::qrb {

// One camera as "ze_OpenCameras2" lists it.
struct CameraDescription {
    std::string deviceName; // "camera0", ...: names the camera in later calls
    std::string productName;
    uint32_t productVersion = 0;
    uint32_t firmwareVersion = 0;
    std::string productSerialNumber;
    std::string driverInfoString;
    std::string serdesPartNumber;
    // The sensor-data file the board identified (empty when it identified none).
    std::string sensorFileName;
};

struct OpenCamerasReply {
    int retVal = 0;
    std::vector<CameraDescription> cameras;
};

// The sizes after "ze_updateFrameSize"; hasSensor false when the board camera has no sensor
// record (only retVal is then meaningful).
struct FrameSizeReply {
    int retVal = 0;
    bool hasSensor = false;
    uint32_t width = 0;
    uint32_t height = 0;
    int32_t imageType = 0;
    uint32_t bitsPerClock = 0;
    uint32_t clocksPerPixel = 0;
    uint32_t pixelBits = 0;
    uint32_t pixelBytes = 0;
    uint32_t bufferSize = 0;
};

// Bus and widths of register access by bus address ("shipAddr" is the 8-bit form).
struct BusAccess {
    uint32_t shipAddr = 0;
    uint32_t addrSize = 16;
    uint32_t dataSize = 16;
};

// Number of words of the library's frame-information record.
inline constexpr size_t kFrameInfoWords = 20;

// The answer to a grab: the result and the frame information, word by word as the library's
// frame-information record holds it (0 frame number, 2 bytes returned, ...; word 3 is 0).
struct GrabReply {
    int retVal = 0;
    std::array<uint32_t, kFrameInfoWords> info{};

    uint32_t frameNumber() const { return info[0]; }
    uint32_t bytesReturned() const { return info[2]; }
};

struct InvokeReply {
    int retVal = 0;
    // The raw wait status of the command (exit code 3 gives 768).
    int status = 0;
    // Set when the board could not start a shell.
    std::optional<int> error;
};

struct Versions {
    std::string jetpackRelease;
    std::string kernelRelease;
    std::string ostrixRelease;
    std::string serverRelease;
    // 1 when the board's driver versions could not be read (the releases are then 0.0.0).
    int retVal = 0;
};

// Image bytes fetched per request when the caller names no chunk size: measured best on
// loopback for 4.6 MB frames (see bench/run_remote_board.sh).
inline constexpr uint32_t kDefaultFrameChunk = 1024 * 1024;
// File bytes per upload or download request unless the caller says otherwise.
inline constexpr size_t kDefaultFileChunk = 1024 * 1024;
// Largest chunk the server accepts in one upload request.
inline constexpr size_t kMaxFileChunk = 64 * 1024 * 1024;
// A download in progress is written to the local path with this suffix, renamed when
// complete; a resumed download continues it.
inline constexpr const char *kPartialSuffix = "~temp";

struct TransferOptions {
    size_t chunkSize = kDefaultFileChunk;
    // Go on from where an earlier, interrupted transfer of the same path stopped.
    bool resume = true;
    // Called after every chunk with the bytes done and the file's size.
    std::function<void(uint64_t done, uint64_t total)> progress;
};

class Client
{
public:
    explicit Client(BoardAddress address, Timeouts timeouts = {});

    const BoardAddress &address() const { return address_; }
    // Connections made so far on both links (see Connection::connectCount).
    uint64_t connectCount() const { return commands_.connectCount() + frames_.connectCount(); }

    // ---- Command server ----

    // Any request; returns the server's answer (a JSON object).
    QJsonObject call(const QJsonObject &request);
    // Throws unless the server answers {"retVal":0}.
    void ping();
    // Ends both connections the orderly way (the server stops waiting for this client).
    void disconnect();

    // Opens the board's cameras (once per server process; later calls list them). A
    // @sensorFile ending in ".xsdat" makes the board load that file by its name.
    OpenCamerasReply openCameras(const std::string &sensorFile = {});
    int closeCameras(const std::vector<std::string> &deviceNames);
    int startTransport(const std::string &device);
    int stopTransport(const std::string &device);
    int getMode(const std::string &device, int32_t mode, uint32_t &value);
    int setMode(const std::string &device, int32_t mode, int32_t value);
    FrameSizeReply updateFrameSize(const std::string &device, uint32_t width, uint32_t height,
                                   uint32_t bitsPerClock, uint32_t clocksPerPixel);
    // @bufferSize receives the image bytes after the update (0 without a sensor record).
    int updateBufferSize(const std::string &device, uint32_t rawBufferSize, uint32_t &bufferSize);

    int readRegister(const std::string &device, const BusAccess &bus, uint32_t regAddr,
                     uint32_t &value);
    int writeRegister(const std::string &device, const BusAccess &bus, uint32_t regAddr,
                      uint32_t value);
    // Block access: one request per 65,536 registers. On failure @values holds what was read.
    int readRegisters(const std::string &device, const BusAccess &bus, uint32_t start,
                      std::span<uint32_t> values);
    int writeRegisters(const std::string &device, const BusAccess &bus, uint32_t start,
                       std::span<const uint32_t> values);
    // Sensor registers through the library's address spaces on the board.
    int readSensorRegisters(const std::string &device, uint32_t shipAddr, uint32_t addrSpace,
                            uint32_t start, std::span<uint32_t> values);
    int writeSensorRegisters(const std::string &device, uint32_t shipAddr, uint32_t addrSpace,
                             uint32_t start, std::span<const uint32_t> values);

    // Copies a local file to @remotePath on the board; returns its size. A resumed upload
    // sends only what the board's partial file lacks. Throws Error (Refused, Local or a link
    // failure); after a link failure the same call with resume set goes on.
    uint64_t upload(const std::string &localPath, const std::string &remotePath,
                    const TransferOptions &options = {});
    // Copies @remotePath to @localPath through "@localPath~temp"; returns the size.
    uint64_t download(const std::string &remotePath, const std::string &localPath,
                      const TransferOptions &options = {});
    // Runs @commandLine in a shell on the board and waits up to @timeout for it.
    InvokeReply invoke(const std::string &commandLine, bool andExit = false,
                       std::chrono::milliseconds timeout = std::chrono::minutes(10));
    Versions getVersions();

    // ---- Frame server ----

    // Grabs one frame of at most @bufferSize bytes into the server's buffer for @device.
    GrabReply grabFrame(const std::string &device, uint32_t bufferSize);
    // Fetches the first into.size() bytes of the last grabbed frame of @device in chunks of
    // @chunkSize. Returns the bytes fetched (fewer when the server holds fewer). Throws
    // Error::Kind::Refused when the server does not know @device.
    size_t fetchFrame(const std::string &device, std::span<std::byte> into,
                      uint32_t chunkSize = kDefaultFrameChunk);

private:
    // Sends @request on the command connection; throws Refused when "retVal" is not 0.
    QJsonObject checkedCall(const QJsonObject &request);
    uint64_t startUpload(const std::string &remotePath, uint64_t size, bool resume);
    uint64_t sendUploadChunk(const std::string &remotePath, uint64_t offset,
                             std::span<const std::byte> data);
    size_t receiveDownloadChunk(const std::string &remotePath, uint64_t offset,
                                std::span<std::byte> into);

    BoardAddress address_;
    Connection commands_;
    Connection frames_;
};

// The integer value of @key in a server answer: 0 when absent or null, Error::Kind::Protocol
// when not a number.
int64_t replyInteger(const QJsonObject &reply, const char *key);
// "retVal" of a server answer; Error::Kind::Protocol when it has none.
int replyResult(const QJsonObject &reply);

} // namespace zentro::qrb
