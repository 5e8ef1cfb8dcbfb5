// RemoteCamera: what the plug-in keeps per opened camera, the board link it shares with the
// other cameras of the same board, and the recovery after a lost link or a restarted server.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "qrb_client.h"
#include "zentro_plugin.h"

// Entry points are exported under their plain names; everything else stays hidden.
#define QRB_EXPORT extern "C" __attribute__((visibility("default")))

namespace zentro::qrb {

// One board: its link, shared by every camera of the process that uses it (the server serves
// one client per port at a time), and the lock that keeps their requests apart.
struct Board {
    explicit Board(const BoardAddress &address, Timeouts timeouts) : client(address, timeouts) {}
    Board(const Board &) = delete;
    Board &operator=(const Board &) = delete;
    // Ends the connections the orderly way, so the server takes its next client at once.
    ~Board() { client.disconnect(); }

    std::mutex mutex;
    Client client;
};

// The board of @address, shared while any camera uses it.
std::shared_ptr<Board> boardAt(const BoardAddress &address, Timeouts timeouts);

class RemoteCamera
{
public:
    RemoteCamera(std::shared_ptr<Board> board, std::string device);

    const std::string &device() const { return device_; }
    Client &client() { return board_->client; }
    std::mutex &mutex() { return board_->mutex; }
    std::string boardText() const { return board_->client.address().text(); }
    // Names the library's locks and shared context after the board and its camera.
    const char *lockName() const { return lockName_.c_str(); }

    // Runs @request (which returns a result code) and, when it fails with the answer a
    // server gives for a camera it does not have (1 or 16) on a link that was just made
    // anew, opens the board's cameras again, restores what this camera had set up and runs
    // @request once more. The caller holds mutex(). Throws Error on link failures.
    int withRecovery(const std::function<int()> &request);

    // What a restarted server must be told again, recorded as it is sent.
    void rememberMode(uint32_t mode, uint32_t value);
    void rememberFrameSize(uint32_t width, uint32_t height, uint32_t bitsPerClock,
                           uint32_t clocksPerPixel);
    void rememberTransportStarted(bool started) { transportStarted_ = started; }
    // The sensor record sent with "ze_setSensor" (when the board had not identified the
    // sensor itself), sent again after a restart.
    void rememberSensor(QJsonObject request) { sensorRequest_ = std::move(request); }

    // Frame information of the last grab.
    ze_frame_info_t frameInfo{};
    // The last ZE_REG_DATA_LE sent to the board; the library sets it before every transfer.
    std::optional<uint32_t> sentDataLE;

private:
    bool reopen();

    std::shared_ptr<Board> board_;
    std::string device_;
    std::string lockName_;
    std::vector<std::pair<uint32_t, uint32_t>> modes_;
    std::optional<std::array<uint32_t, 4>> frameSize_;
    bool transportStarted_ = false;
    QJsonObject sensorRequest_;
};

// The "ze_setSensor" request that gives the board camera @device the sensor record @sensor.
QJsonObject sensorRequest(const std::string &device, const ze_sensor_t &sensor);

} // namespace zentro::qrb
