#include "admin_commands.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

#include "driver_control.h"
#include "request_values.h"

namespace qrb {

namespace {

const QString kRetVal = QStringLiteral("retVal");
const QString kStatus = QStringLiteral("status");

constexpr char kPowerOffCommand[] = "shutdown -h now";
constexpr char kRebootCommand[] = "shutdown -r now";
constexpr char kVideoNode[] = "/dev/video0";
// The server's own version as the build records it.
constexpr char kServerVersionText[] = "6, 1, 53, 60859";
// The nine version properties, counting down from the first.
constexpr uint16_t kFirstVersionProperty = 0xFF7F;
constexpr int kVersionCount = 9;
constexpr int kNumbersPerRelease = 3;

// The command line, or nothing when it is not a text the shell can be given whole.
std::optional<QByteArray> commandLineOf(const QVariantMap &request)
{
    const std::optional<QString> line = readString(request, "commandLine");
    if (!line || line->contains(QChar(0)))
        return std::nullopt;
    return line->toUtf8();
}

QVariantMap powerCommand(const char *commandLine, const SendReplyNow &send)
{
    send(resultReply(0));
    // The result does not matter: on the board the process does not outlive the command.
    [[maybe_unused]] const int status = std::system(commandLine);
    return {};
}

// Makes the video node the descriptor of the driver property functions for its lifetime.
class PropertyDevice
{
public:
    PropertyDevice() : m_previous(fd) { fd = ::open(kVideoNode, O_RDWR | O_NONBLOCK); }
    ~PropertyDevice()
    {
        if (isOpen())
            close();
        fd = m_previous;
    }
    PropertyDevice(const PropertyDevice &) = delete;
    PropertyDevice &operator=(const PropertyDevice &) = delete;

    bool isOpen() const { return fd >= 0; }
    // False when closing failed.
    bool close()
    {
        const int result = ::close(fd);
        fd = -1;
        return result == 0;
    }

private:
    int m_previous;
};

QString releaseText(const uint32_t *numbers)
{
    QStringList parts;
    for (int i = 0; i < kNumbersPerRelease; ++i)
        parts.append(QString::number(numbers[i]));
    return parts.join(QLatin1Char('.'));
}

QString serverRelease()
{
    QString text = QString::fromLatin1(kServerVersionText);
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    return text;
}

} // namespace

QVariantMap invoke(const QVariantMap &request)
{
    const std::optional<QByteArray> line = commandLineOf(request);
    if (!line)
        return resultReply(kRefused);
    const int status = std::system(line->constData());
    if (status < 0) {
        const int error = errno;
        return {{kRetVal, 0}, {kStatus, status}, {QStringLiteral("errno"), error}};
    }
    return {{kRetVal, 0}, {kStatus, status}};
}

QVariantMap invokeAndExit(const QVariantMap &request, const SendReplyNow &send)
{
    QVariantMap reply = invoke(request);
    if (reply.contains(QStringLiteral("errno")) || !reply.contains(kStatus))
        return reply;
    send(reply);
    std::fflush(nullptr);
    // The other threads are still running: end at once, without the destructors that the
    // normal exit would run under their feet.
    ::_exit(EXIT_SUCCESS);
}

QVariantMap shutdownBoard(const SendReplyNow &send)
{
    return powerCommand(kPowerOffCommand, send);
}

QVariantMap restartBoard(const SendReplyNow &send)
{
    return powerCommand(kRebootCommand, send);
}

QVariantMap getVersions()
{
    int retVal = 0;
    uint32_t numbers[kVersionCount] = {};
    {
        PropertyDevice device;
        if (device.isOpen()) {
            for (int i = 0; i < kVersionCount; ++i)
                numbers[i] = sensor_read_prop(static_cast<uint16_t>(kFirstVersionProperty - i));
            if (!device.close()) {
                std::fprintf(stderr, "Cannot close %s\n", kVideoNode);
                retVal = kRefused;
            }
        } else {
            // Without the device the property reads would end the process; the versions
            // stay 0.
            std::fprintf(stderr, "Cannot open %s\n", kVideoNode);
            retVal = kRefused;
        }
    }
    return {
        {kRetVal, retVal},
        {QStringLiteral("jetpackRelease"), releaseText(numbers)},
        {QStringLiteral("kernelRelease"), releaseText(numbers + kNumbersPerRelease)},
        {QStringLiteral("ostrixRelease"), releaseText(numbers + 2 * kNumbersPerRelease)},
        {QStringLiteral("serverRelease"), serverRelease()},
    };
}

} // namespace qrb
