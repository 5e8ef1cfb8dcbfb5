// Typed calls of the board server's camera, register, frame and administration commands.
#include "qrb_client.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <QJsonArray>
#include <QJsonValue>

namespace zentro::qrb {

namespace {

// Registers one request may carry; the server refuses more.
constexpr size_t kMaxRegistersPerRequest = 65536;
// A short answer of the frame server in place of image bytes: a message such as
// {"retVal":16} for a device name it does not know.
constexpr size_t kShortMessageLimit = 32;
constexpr std::string_view kResultPrefix = "{\"retVal\":";
// Keys of the frame-information words, by word position (word 3 is not reported).
constexpr std::array<const char *, 12> kFrameInfoKeys = {
    "frameNumber", "bytesRequested",  "bytesReturned", nullptr,
    "frameTime",   "frameLines",      "lineSize",      "gpio",
    "frameStatus", "registerContext", "eolPadBytes",   "imageBytesReturned"};
constexpr size_t kChannels = 4;
constexpr size_t kChannelOffsetWord = 12;
constexpr size_t kChannelBytesWord = 16;

QString qs(const std::string &text)
{
    return QString::fromStdString(text);
}

std::string text(const QJsonObject &reply, const char *key)
{
    return reply.value(QLatin1String(key)).toString().toStdString();
}

uint32_t u32(const QJsonObject &reply, const char *key)
{
    return static_cast<uint32_t>(replyInteger(reply, key));
}

QJsonArray toArray(std::span<const uint32_t> values)
{
    QJsonArray array;
    for (const uint32_t value : values)
        array.append(static_cast<qint64>(value));
    return array;
}

QJsonObject deviceRequest(const char *api, const std::string &device)
{
    return QJsonObject{{"api", api}, {"deviceName", qs(device)}};
}

QJsonObject busRequest(const char *api, const std::string &device, const BusAccess &bus)
{
    QJsonObject request = deviceRequest(api, device);
    request["shipAddr"] = static_cast<qint64>(bus.shipAddr);
    request["addrSize"] = static_cast<qint64>(bus.addrSize);
    request["dataSize"] = static_cast<qint64>(bus.dataSize);
    return request;
}

// Copies the answer's "vals" into @values; a shorter list leaves zeros.
void copyValues(const QJsonObject &reply, std::span<uint32_t> values)
{
    const QJsonArray list = reply.value("vals").toArray();
    const size_t n = std::min(values.size(), static_cast<size_t>(list.size()));
    for (size_t i = 0; i < n; ++i)
        values[i] = static_cast<uint32_t>(list[static_cast<int>(i)].toDouble());
    std::fill(values.begin() + static_cast<std::ptrdiff_t>(n), values.end(), 0u);
}

// Runs @request over @values in slices of at most kMaxRegistersPerRequest; the first failing
// slice ends the run.
template <typename Span, typename Request>
int inSlices(Span values, uint32_t start, Request request)
{
    for (size_t done = 0; done < values.size(); done += kMaxRegistersPerRequest) {
        const size_t n = std::min(kMaxRegistersPerRequest, values.size() - done);
        const int result = request(static_cast<uint32_t>(start + done), values.subspan(done, n));
        if (result != 0)
            return result;
    }
    return 0;
}

} // namespace

int64_t replyInteger(const QJsonObject &reply, const char *key)
{
    const QJsonValue value = reply.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return 0;
    const double number = value.toDouble(std::nan(""));
    if (!value.isDouble() || std::isnan(number) || number != std::trunc(number))
        throw Error(Error::Kind::Protocol, std::string("the board server answered a \"") + key +
                                               "\" that is not an integer");
    return static_cast<int64_t>(number);
}

int replyResult(const QJsonObject &reply)
{
    if (!reply.contains("retVal"))
        throw Error(Error::Kind::Protocol, "the board server's answer has no \"retVal\"");
    return static_cast<int>(replyInteger(reply, "retVal"));
}

Client::Client(BoardAddress address, Timeouts timeouts)
    : address_(std::move(address)), commands_(address_.host, address_.commandPort, timeouts),
      frames_(address_.host, address_.framePort(), timeouts)
{
}

QJsonObject Client::call(const QJsonObject &request)
{
    return commands_.call(request);
}

QJsonObject Client::checkedCall(const QJsonObject &request)
{
    QJsonObject reply = call(request);
    const int result = replyResult(reply);
    if (result != 0)
        throw Error(Error::Kind::Refused, "the board at " + address_.text() + " refused \"" +
                                              request.value("api").toString().toStdString() +
                                              "\" (retVal " + std::to_string(result) + ")");
    return reply;
}

void Client::ping()
{
    checkedCall(QJsonObject{{"api", "ping"}});
}

void Client::disconnect()
{
    for (Connection *connection : {&commands_, &frames_}) {
        if (!connection->isConnected())
            continue;
        try {
            connection->send(QJsonObject{{"api", "disconnect"}});
        } catch (const Error &) {
            // Already gone: nothing to end.
        }
        connection->close();
    }
}

OpenCamerasReply Client::openCameras(const std::string &sensorFile)
{
    const QJsonObject reply =
        call(QJsonObject{{"api", "ze_OpenCameras2"}, {"sensor_dir", qs(sensorFile)}});
    OpenCamerasReply result;
    result.retVal = replyResult(reply);
    for (const QJsonValue &entry : reply.value("pCameras").toArray()) {
        const QJsonObject camera = entry.toObject();
        result.cameras.push_back(
            {text(camera, "deviceName"), text(camera, "productName"), u32(camera, "productVersion"),
             u32(camera, "firmwareVersion"), text(camera, "productSerialNumber"),
             text(camera, "driverInfoString"), text(camera, "serdesPartNumber"),
             text(camera, "sensorFileName")});
    }
    return result;
}

int Client::closeCameras(const std::vector<std::string> &deviceNames)
{
    QJsonArray names;
    for (const auto &name : deviceNames)
        names.append(qs(name));
    return replyResult(call(QJsonObject{{"api", "ze_CloseCameras2"}, {"deviceNames", names}}));
}

int Client::startTransport(const std::string &device)
{
    return replyResult(call(deviceRequest("ze_startTransport", device)));
}

int Client::stopTransport(const std::string &device)
{
    return replyResult(call(deviceRequest("ze_stopTransport", device)));
}

int Client::getMode(const std::string &device, int32_t mode, uint32_t &value)
{
    QJsonObject request = deviceRequest("ze_getMode", device);
    request["mode"] = mode;
    const QJsonObject reply = call(request);
    const int result = replyResult(reply);
    if (result == 0)
        value = u32(reply, "val");
    return result;
}

int Client::setMode(const std::string &device, int32_t mode, int32_t value)
{
    QJsonObject request = deviceRequest("ze_setMode", device);
    request["mode"] = mode;
    request["val"] = value;
    return replyResult(call(request));
}

FrameSizeReply Client::updateFrameSize(const std::string &device, uint32_t width, uint32_t height,
                                       uint32_t bitsPerClock, uint32_t clocksPerPixel)
{
    QJsonObject request = deviceRequest("ze_updateFrameSize", device);
    request["width"] = static_cast<qint64>(width);
    request["height"] = static_cast<qint64>(height);
    request["bitsPerClock"] = static_cast<qint64>(bitsPerClock);
    request["clocksPerPixel"] = static_cast<qint64>(clocksPerPixel);
    const QJsonObject reply = call(request);
    FrameSizeReply sizes;
    sizes.retVal = replyResult(reply);
    sizes.hasSensor = reply.contains("bufferSize");
    sizes.width = u32(reply, "width");
    sizes.height = u32(reply, "height");
    sizes.imageType = static_cast<int32_t>(replyInteger(reply, "imageType"));
    sizes.bitsPerClock = u32(reply, "bitsPerClock");
    sizes.clocksPerPixel = u32(reply, "clocksPerPixel");
    sizes.pixelBits = u32(reply, "pixelBits");
    sizes.pixelBytes = u32(reply, "pixelBytes");
    sizes.bufferSize = u32(reply, "bufferSize");
    return sizes;
}

int Client::updateBufferSize(const std::string &device, uint32_t rawBufferSize,
                             uint32_t &bufferSize)
{
    QJsonObject request = deviceRequest("ze_updateBufferSize", device);
    request["rawBufferSize"] = static_cast<qint64>(rawBufferSize);
    const QJsonObject reply = call(request);
    bufferSize = u32(reply, "bufferSize");
    return replyResult(reply);
}

int Client::readRegister(const std::string &device, const BusAccess &bus, uint32_t regAddr,
                         uint32_t &value)
{
    QJsonObject request = busRequest("ze_readRegister", device, bus);
    request["regAddr"] = static_cast<qint64>(regAddr);
    const QJsonObject reply = call(request);
    const int result = replyResult(reply);
    if (result == 0)
        value = u32(reply, "val");
    return result;
}

int Client::writeRegister(const std::string &device, const BusAccess &bus, uint32_t regAddr,
                          uint32_t value)
{
    QJsonObject request = busRequest("ze_writeRegister", device, bus);
    request["regAddr"] = static_cast<qint64>(regAddr);
    request["val"] = static_cast<qint64>(value);
    return replyResult(call(request));
}

int Client::readRegisters(const std::string &device, const BusAccess &bus, uint32_t start,
                          std::span<uint32_t> values)
{
    return inSlices(values, start, [&](uint32_t first, std::span<uint32_t> slice) {
        QJsonObject request = busRequest("ze_readRegisters", device, bus);
        request["startAddr"] = static_cast<qint64>(first);
        request["numRegs"] = static_cast<qint64>(slice.size());
        const QJsonObject reply = call(request);
        copyValues(reply, slice);
        return replyResult(reply);
    });
}

int Client::writeRegisters(const std::string &device, const BusAccess &bus, uint32_t start,
                           std::span<const uint32_t> values)
{
    return inSlices(values, start, [&](uint32_t first, std::span<const uint32_t> slice) {
        QJsonObject request = busRequest("ze_writeRegisters", device, bus);
        request["startAddr"] = static_cast<qint64>(first);
        request["vals"] = toArray(slice);
        return replyResult(call(request));
    });
}

int Client::readSensorRegisters(const std::string &device, uint32_t shipAddr, uint32_t addrSpace,
                                uint32_t start, std::span<uint32_t> values)
{
    return inSlices(values, start, [&](uint32_t first, std::span<uint32_t> slice) {
        QJsonObject request = deviceRequest("ze_readSensorRegisters", device);
        request["shipAddr"] = static_cast<qint64>(shipAddr);
        request["addrSpace"] = static_cast<qint64>(addrSpace);
        request["startAddr"] = static_cast<qint64>(first);
        request["numRegs"] = static_cast<qint64>(slice.size());
        const QJsonObject reply = call(request);
        copyValues(reply, slice);
        return replyResult(reply);
    });
}

int Client::writeSensorRegisters(const std::string &device, uint32_t shipAddr, uint32_t addrSpace,
                                 uint32_t start, std::span<const uint32_t> values)
{
    return inSlices(values, start, [&](uint32_t first, std::span<const uint32_t> slice) {
        QJsonObject request = deviceRequest("ze_writeSensorRegisters", device);
        request["shipAddr"] = static_cast<qint64>(shipAddr);
        request["addrSpace"] = static_cast<qint64>(addrSpace);
        request["startAddr"] = static_cast<qint64>(first);
        request["vals"] = toArray(slice);
        return replyResult(call(request));
    });
}

InvokeReply Client::invoke(const std::string &commandLine, bool andExit,
                           std::chrono::milliseconds timeout)
{
    commands_.extendNextDeadline(timeout);
    const QJsonObject reply = call(QJsonObject{{"api", andExit ? "invokeAndExit" : "invoke"},
                                               {"commandLine", qs(commandLine)}});
    InvokeReply result;
    result.retVal = replyResult(reply);
    result.status = static_cast<int>(replyInteger(reply, "status"));
    if (reply.contains("errno"))
        result.error = static_cast<int>(replyInteger(reply, "errno"));
    return result;
}

Versions Client::getVersions()
{
    const QJsonObject reply = call(QJsonObject{{"api", "getVersions"}});
    return {text(reply, "jetpackRelease"), text(reply, "kernelRelease"),
            text(reply, "ostrixRelease"), text(reply, "serverRelease"), replyResult(reply)};
}

GrabReply Client::grabFrame(const std::string &device, uint32_t bufferSize)
{
    QJsonObject request = deviceRequest("ze_grabFrame", device);
    request["bufferSize"] = static_cast<qint64>(bufferSize);
    const QJsonObject reply = frames_.call(request);
    GrabReply grab;
    grab.retVal = replyResult(reply);
    for (size_t word = 0; word < kFrameInfoKeys.size(); ++word) {
        if (kFrameInfoKeys[word])
            grab.info[word] = u32(reply, kFrameInfoKeys[word]);
    }
    const QJsonArray offsets = reply.value("vcOffset").toArray();
    const QJsonArray bytes = reply.value("vcBytes").toArray();
    for (size_t channel = 0; channel < kChannels; ++channel) {
        const int i = static_cast<int>(channel);
        grab.info[kChannelOffsetWord + channel] = static_cast<uint32_t>(offsets[i].toDouble());
        grab.info[kChannelBytesWord + channel] = static_cast<uint32_t>(bytes[i].toDouble());
    }
    return grab;
}

size_t Client::fetchFrame(const std::string &device, std::span<std::byte> into, uint32_t chunkSize)
{
    if (chunkSize == 0)
        chunkSize = kDefaultFrameChunk;
    const auto total = static_cast<uint32_t>(std::min<size_t>(into.size(), UINT32_MAX));
    uint32_t offset = 0;
    while (offset < total) {
        const uint32_t want = std::min(chunkSize, total - offset);
        QJsonObject request = deviceRequest("bulkTransfer", device);
        request["offset"] = static_cast<qint64>(offset);
        request["transferSize"] = static_cast<qint64>(want);
        request["bufferSize"] = static_cast<qint64>(total);
        frames_.send(request);
        const auto chunk = into.subspan(offset, want);
        const size_t n = frames_.receiveBufferInto(chunk);
        if (n == 0)
            break;
        const std::string_view head(reinterpret_cast<const char *>(chunk.data()), n);
        if (n < kShortMessageLimit && head.starts_with(kResultPrefix))
            throw Error(Error::Kind::Refused, "the board at " + address_.text() +
                                                  " has no frame for \"" + device +
                                                  "\": " + std::string(head));
        offset += static_cast<uint32_t>(n);
    }
    return offset;
}

} // namespace zentro::qrb
