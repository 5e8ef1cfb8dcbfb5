#include "camera_table.h"

namespace qrb {

namespace {

// Characters of the device-name prefix ("camera") that resolution skips.
constexpr int kDeviceNamePrefix = 6;
// The longest slot number worth parsing; longer texts are out of range anyway.
constexpr int kMaxSlotDigits = 9;

} // namespace

ze_camera_t *g_pCameras[kCameraSlots] = {};
int g_numCameras = 0;
std::shared_mutex g_cameraTableLock;

std::optional<int> slotOfDeviceName(const QString &deviceName)
{
    if (deviceName.size() <= kDeviceNamePrefix)
        return std::nullopt;
    // Only a plain decimal number names a slot: no sign, spaces or trailing text.
    const QStringRef digits = deviceName.midRef(kDeviceNamePrefix);
    if (digits.size() > kMaxSlotDigits)
        return std::nullopt;
    int slot = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        slot = slot * 10 + (c.unicode() - '0');
    }
    if (slot >= kCameraSlots)
        return std::nullopt;
    return slot;
}

QString deviceNameOfSlot(int slot)
{
    return QStringLiteral("camera%1").arg(slot);
}

ze_camera_t *pCameraFromFunc(const QVariantMap &request)
{
    const QVariant name = request.value(QStringLiteral("deviceName"));
    if (name.type() != QVariant::String)
        return nullptr;
    const std::optional<int> slot = slotOfDeviceName(name.toString());
    return slot ? g_pCameras[*slot] : nullptr;
}

} // namespace qrb
