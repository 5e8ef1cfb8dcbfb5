#include "camera_commands.h"

#include <QByteArray>
#include <QVariantList>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "camera_table.h"
#include "request_values.h"

namespace qrb {

namespace {

constexpr const char *kSensorDataFolder = "/sensor_data";
constexpr const char *kPluginFile = "/Plugins/libcsitransport.so";
constexpr const char *kXmlSensorDataSuffix = ".xsdat";
// The reserved sensor-data path that makes the plug-in open its devices without identifying
// a sensor.
constexpr const char *kNoSensorPath = "#CDAT";
constexpr int kVirtualChannels = 4;
// Low bits of the revision number that make the one-character revision text.
constexpr quint32 kRevisionCharMask = 0xFFFF;

QString fixedText(const char *text)
{
    return QString::fromUtf8(text, static_cast<int>(strnlen(text, ZE_TEXT_SIZE)));
}

// Copies `text` as UTF-8 into a record field, always terminated: a text too long for the
// field is cut at the last whole character that fits.
void copyText(char (&field)[ZE_TEXT_SIZE], const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    int length = qMin(utf8.size(), ZE_TEXT_SIZE - 1);
    if (length < utf8.size()) {
        // Step back over continuation bytes so no character is split.
        while (length > 0 && (static_cast<quint8>(utf8[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(field, utf8.constData(), static_cast<std::size_t>(length));
    field[length] = '\0';
}

QVariantMap cameraMap(int slot, ze_camera_t *camera, bool withSensor)
{
    QVariantMap map{
        {QStringLiteral("deviceName"), deviceNameOfSlot(slot)},
        {QStringLiteral("productVersion"), camera->productVersion},
        {QStringLiteral("productName"), fixedText(camera->productName)},
        {QStringLiteral("firmwareVersion"), camera->firmwareVersion},
        {QStringLiteral("productSerialNumber"), fixedText(camera->productSerialNumber)},
    };
    const char *driverInfo = ze_GetDriverInfoString(camera);
    const char *serdes = ze_GetSerdesPartNumber(camera);
    map.insert(QStringLiteral("driverInfoString"), QString::fromUtf8(driverInfo ? driverInfo : ""));
    map.insert(QStringLiteral("serdesPartNumber"), QString::fromUtf8(serdes ? serdes : ""));
    const ze_sensor_t *sensor = camera->sensor;
    if (withSensor && sensor) {
        const auto revision = static_cast<ushort>(sensor->revisionNumber & kRevisionCharMask);
        map.insert(QStringLiteral("sensorFileName"), fixedText(sensor->fileName));
        map.insert(QStringLiteral("sensorFileRevision"), QString(QChar(revision)));
        map.insert(QStringLiteral("sensorFileRevisionTags"), fixedText(sensor->revisionInfo));
    }
    return map;
}

// Every open camera, lowest slot first; a slot emptied by a close is skipped, so cameras in
// higher slots are still listed.
QVariantMap listCameras(bool withSensor)
{
    QVariantList cameras;
    for (int slot = 0; slot < kCameraSlots; ++slot) {
        ze_camera_t *camera = g_pCameras[slot];
        if (!camera)
            continue;
        cameras.append(cameraMap(slot, camera, withSensor));
        std::printf("Product Name: %.*s\n", ZE_TEXT_SIZE, camera->productName);
        std::printf("Transport: %.*s\n", ZE_TEXT_SIZE, camera->transportName);
    }
    std::fflush(stdout);
    return {{QStringLiteral("retVal"), 0}, {QStringLiteral("pCameras"), cameras}};
}

QVariantMap failedOpen(int result)
{
    return {{QStringLiteral("retVal"), result}, {QStringLiteral("pCameras"), QVariantList()}};
}

// Opens the cameras once per process; later requests only list them.
QVariantMap openOnce(const QString &sensorDir, const QString &pluginPath, bool withSensor)
{
    {
        std::unique_lock lock(g_cameraTableLock);
        if (g_numCameras == 0) {
            const QByteArray sensorUtf8 = sensorDir.toUtf8();
            const QByteArray pluginUtf8 = pluginPath.toUtf8();
            const int result = ze_OpenCameras2(g_pCameras, &g_numCameras, sensorUtf8.constData(),
                                               ZE_TRANSPORT_DLL, pluginUtf8.constData());
            if (result != 0 || g_numCameras == 0)
                return failedOpen(result);
        }
    }
    return listCameras(withSensor);
}

QVariantMap forCamera(const QVariantMap &request, int (*call)(ze_camera_t *))
{
    ze_camera_t *camera = pCameraFromFunc(request);
    return resultReply(camera ? call(camera) : kRefused);
}

} // namespace

QString homePrefix()
{
    for (const char *name : {"ZE_HOME", "ZE_HOME_DEV", "PWD"}) {
        const char *value = std::getenv(name);
        if (value && *value)
            return QString::fromUtf8(value);
    }
    return QStringLiteral(".");
}

OpenLocations openLocations(const QString &sensorDir, const QString &home)
{
    OpenLocations locations{home + QLatin1String(kSensorDataFolder),
                            home + QLatin1String(kPluginFile)};
    if (sensorDir.endsWith(QLatin1String(kXmlSensorDataSuffix), Qt::CaseInsensitive))
        locations.sensorDir = sensorDir.mid(sensorDir.lastIndexOf(QLatin1Char('/')) + 1);
    return locations;
}

QVariantMap openCameras(const QVariantMap &request)
{
    const std::optional<QString> sensorDir = readString(request, "sensor_dir");
    if (!sensorDir)
        return failedOpen(kRefused);
    const OpenLocations locations = openLocations(*sensorDir, homePrefix());
    return openOnce(locations.sensorDir, locations.pluginPath, true);
}

QVariantMap openCamerasNoSensor(const QVariantMap &)
{
    const OpenLocations locations = openLocations(QString(), homePrefix());
    return openOnce(QLatin1String(kNoSensorPath), locations.pluginPath, false);
}

QVariantMap closeCameras(const QVariantMap &request)
{
    const std::optional<QVariantList> names = readList(request, "deviceNames");
    if (!names)
        return resultReply(kRefused);
    std::unique_lock lock(g_cameraTableLock);
    for (const QVariant &name : *names) {
        // A name that is not a slot's closes nothing (never some other camera).
        if (name.type() != QVariant::String)
            continue;
        const std::optional<int> slot = slotOfDeviceName(name.toString());
        if (!slot || !g_pCameras[*slot])
            continue;
        ze_CloseCameras2(&g_pCameras[*slot], 1);
        --g_numCameras;
        g_pCameras[*slot] = nullptr;
    }
    return resultReply(0);
}

namespace {

struct TextKey {
    const char *key;
    char (ze_sensor_t::*field)[ZE_TEXT_SIZE];
};

constexpr TextKey kTextKeys[] = {
    {"sensorName", &ze_sensor_t::name},           {"partNumber", &ze_sensor_t::partNumber},
    {"versionName", &ze_sensor_t::versionName},   {"productVariant", &ze_sensor_t::productVariant},
    {"serialNumber", &ze_sensor_t::serialNumber},
};

struct NumberKey {
    const char *key;
    uint32_t ze_sensor_t::*field;
    bool isSigned; // read as i32, stored with its bits unchanged
};

constexpr NumberKey kNumberKeys[] = {
    {"sensorType", &ze_sensor_t::sensorType, true},
    {"imageType", &ze_sensor_t::imageType, true},
    {"sensorVersion", &ze_sensor_t::sensorVersion, false},
    {"minorVersion", &ze_sensor_t::minorVersion, false},
    {"fullWidth", &ze_sensor_t::width, false},
    {"fullHeight", &ze_sensor_t::height, false},
    {"width", &ze_sensor_t::imageWidth, false},
    {"height", &ze_sensor_t::imageHeight, false},
    {"zoomFactor", &ze_sensor_t::imageCount, false},
    {"pixelBytes", &ze_sensor_t::pixelBytes, false},
    {"pixelBits", &ze_sensor_t::bitsPerPixel, false},
    {"bufferSize", &ze_sensor_t::imageBytes, false},
    {"shipAddr", &ze_sensor_t::shipBaseAddr, false},
    {"reg_addr_size", &ze_sensor_t::regAddrSize, true},
    {"reg_data_size", &ze_sensor_t::regDataSize, true},
    {"reg_data_le", &ze_sensor_t::regDataLE, false},
};

struct ChannelKey {
    const char *key;
    uint32_t (ze_sensor_t::*field)[kVirtualChannels];
};

constexpr ChannelKey kChannelKeys[] = {
    {"vcWidth", &ze_sensor_t::vcWidth},
    {"vcHeight", &ze_sensor_t::vcHeight},
    {"vcImageType", &ze_sensor_t::vcImageType},
};

// Everything a "ze_setSensor" request writes, read and checked before the record is touched.
struct SensorValues {
    QString texts[std::size(kTextKeys)];
    uint32_t numbers[std::size(kNumberKeys)] = {};
    std::vector<qint32> channels[std::size(kChannelKeys)];
};

std::optional<SensorValues> readSensorValues(const QVariantMap &request)
{
    SensorValues values;
    for (std::size_t i = 0; i < std::size(kTextKeys); ++i) {
        const std::optional<QString> text = readString(request, kTextKeys[i].key);
        if (!text)
            return std::nullopt;
        values.texts[i] = *text;
    }
    for (std::size_t i = 0; i < std::size(kNumberKeys); ++i) {
        const NumberKey &key = kNumberKeys[i];
        if (key.isSigned) {
            const std::optional<qint32> number = readI32(request, key.key);
            if (!number)
                return std::nullopt;
            values.numbers[i] = static_cast<uint32_t>(*number);
        } else {
            const std::optional<quint32> number = readU32(request, key.key);
            if (!number)
                return std::nullopt;
            values.numbers[i] = *number;
        }
    }
    for (std::size_t i = 0; i < std::size(kChannelKeys); ++i) {
        auto list = readI32List(request, kChannelKeys[i].key, kMaxRegisterCount);
        if (!list)
            return std::nullopt;
        values.channels[i] = std::move(*list);
    }
    return values;
}

void writeSensorValues(ze_sensor_t &sensor, const SensorValues &values)
{
    for (std::size_t i = 0; i < std::size(kTextKeys); ++i)
        copyText(sensor.*kTextKeys[i].field, values.texts[i]);
    for (std::size_t i = 0; i < std::size(kNumberKeys); ++i)
        sensor.*kNumberKeys[i].field = values.numbers[i];
    for (std::size_t i = 0; i < std::size(kChannelKeys); ++i) {
        const std::vector<qint32> &list = values.channels[i];
        // Entries the list does not reach keep their value.
        for (std::size_t channel = 0; channel < list.size() && channel < kVirtualChannels;
             ++channel)
            (sensor.*kChannelKeys[i].field)[channel] = static_cast<uint32_t>(list[channel]);
    }
}

} // namespace

QVariantMap setSensor(const QVariantMap &request)
{
    ze_camera_t *camera = pCameraFromFunc(request);
    const std::optional<SensorValues> values = readSensorValues(request);
    if (!camera || !values)
        return resultReply(kRefused);
    // The record is replaced: no grab of the frame server may be reading it meanwhile.
    std::unique_lock lock(g_cameraTableLock);
    ze_AllocSensor(camera);
    if (!camera->sensor)
        return resultReply(kRefused);
    writeSensorValues(*camera->sensor, *values);
    return resultReply(0);
}

QVariantMap startTransport(const QVariantMap &request)
{
    return forCamera(request, ze_startTransport);
}

QVariantMap stopTransport(const QVariantMap &request)
{
    return forCamera(request, ze_stopTransport);
}

} // namespace qrb
