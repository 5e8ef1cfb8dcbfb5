// The shared board links, and putting a board camera back after its server restarted.
#include "remote_camera.h"

#include <algorithm>
#include <cstring>
#include <map>

#include <QJsonArray>

#include "zentro_errors.h"
#include "zentro_modes.h"

namespace zentro::qrb {

namespace {

// Mode changes kept for a restarted server; each distinct (mode, value) once, latest last.
constexpr size_t kMaxRememberedModes = 1024;
constexpr size_t kVirtualChannels = 4;

QString fieldText(const char *field)
{
    return QString::fromUtf8(field, static_cast<int>(strnlen(field, ZE_TEXT_SIZE)));
}

QJsonArray channelValues(const uint32_t (&values)[kVirtualChannels])
{
    QJsonArray array;
    for (const uint32_t value : values)
        array.append(static_cast<qint64>(static_cast<int32_t>(value)));
    return array;
}

} // namespace

std::shared_ptr<Board> boardAt(const BoardAddress &address, Timeouts timeouts)
{
    static std::mutex registryMutex;
    static std::map<std::string, std::weak_ptr<Board>> boards;
    std::lock_guard lock(registryMutex);
    auto &entry = boards[address.text()];
    auto board = entry.lock();
    if (!board) {
        board = std::make_shared<Board>(address, timeouts);
        entry = board;
    }
    return board;
}

RemoteCamera::RemoteCamera(std::shared_ptr<Board> board, std::string device)
    : board_(std::move(board)), device_(std::move(device)),
      lockName_("qrb://" + board_->client.address().text() + "/" + device_)
{
}

int RemoteCamera::withRecovery(const std::function<int()> &request)
{
    const uint64_t connects = client().connectCount();
    const int result = request();
    // A camera the server does not know is answered 1 (commands) or 16 (frames). Only a
    // link made anew can lead to a server that lost its cameras.
    if ((result != CAMERA_ERROR && result != CAMERA_NOT_SUPPORTED) ||
        client().connectCount() == connects)
        return result;
    // Every open camera answers this mode; a server without the camera refuses it with 1.
    uint32_t value = 0;
    if (client().getMode(device_, ZE_REG_ADDR_SIZE, value) == CAMERA_SUCCESS || !reopen())
        return result;
    return request();
}

bool RemoteCamera::reopen()
{
    const OpenCamerasReply opened = client().openCameras();
    const bool listed =
        std::any_of(opened.cameras.begin(), opened.cameras.end(),
                    [&](const CameraDescription &camera) { return camera.deviceName == device_; });
    if (opened.retVal != CAMERA_SUCCESS || !listed)
        return false;
    if (!sensorRequest_.isEmpty() && replyResult(client().call(sensorRequest_)) != CAMERA_SUCCESS)
        return false;
    for (const auto &[mode, value] : modes_)
        client().setMode(device_, static_cast<int32_t>(mode), static_cast<int32_t>(value));
    if (frameSize_) {
        const auto &[width, height, bitsPerClock, clocksPerPixel] = *frameSize_;
        client().updateFrameSize(device_, width, height, bitsPerClock, clocksPerPixel);
    }
    if (transportStarted_)
        client().startTransport(device_);
    return true;
}

void RemoteCamera::rememberMode(uint32_t mode, uint32_t value)
{
    const auto setting = std::make_pair(mode, value);
    std::erase(modes_, setting);
    if (modes_.size() == kMaxRememberedModes)
        modes_.erase(modes_.begin());
    modes_.push_back(setting);
}

void RemoteCamera::rememberFrameSize(uint32_t width, uint32_t height, uint32_t bitsPerClock,
                                     uint32_t clocksPerPixel)
{
    frameSize_ = std::array<uint32_t, 4>{width, height, bitsPerClock, clocksPerPixel};
}

QJsonObject sensorRequest(const std::string &device, const ze_sensor_t &sensor)
{
    auto number = [](uint32_t value) { return static_cast<qint64>(value); };
    return QJsonObject{
        {"api", "ze_setSensor"},
        {"deviceName", QString::fromStdString(device)},
        {"sensorName", fieldText(sensor.name)},
        {"partNumber", fieldText(sensor.partNumber)},
        {"versionName", fieldText(sensor.versionName)},
        {"productVariant", fieldText(sensor.productVariant)},
        {"serialNumber", fieldText(sensor.serialNumber)},
        {"sensorType", static_cast<qint64>(static_cast<int32_t>(sensor.sensorType))},
        {"imageType", static_cast<qint64>(static_cast<int32_t>(sensor.imageType))},
        {"sensorVersion", number(sensor.sensorVersion)},
        {"minorVersion", number(sensor.minorVersion)},
        {"fullWidth", number(sensor.width)},
        {"fullHeight", number(sensor.height)},
        {"width", number(sensor.imageWidth)},
        {"height", number(sensor.imageHeight)},
        {"zoomFactor", number(sensor.imageCount)},
        {"pixelBytes", number(sensor.pixelBytes)},
        {"pixelBits", number(sensor.bitsPerPixel)},
        {"bufferSize", number(sensor.imageBytes)},
        {"shipAddr", number(sensor.shipBaseAddr)},
        {"reg_addr_size", static_cast<qint64>(static_cast<int32_t>(sensor.regAddrSize))},
        {"reg_data_size", static_cast<qint64>(static_cast<int32_t>(sensor.regDataSize))},
        {"reg_data_le", number(sensor.regDataLE)},
        {"vcWidth", channelValues(sensor.vcWidth)},
        {"vcHeight", channelValues(sensor.vcHeight)},
        {"vcImageType", channelValues(sensor.vcImageType)},
    };
}

} // namespace zentro::qrb
