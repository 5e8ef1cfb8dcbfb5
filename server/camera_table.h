// The process-wide table of open cameras, shared by the command server and the frame server,
// and the resolution of a request's device name to a camera of it.
#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>
#include <shared_mutex>

#include "zentro.h"

namespace qrb {

inline constexpr int kCameraSlots = ZE_MAX_CAMERAS;

// Filled by the library's open; an empty slot is null. Written only by the command server,
// under an exclusive hold of g_cameraTableLock.
extern ze_camera_t *g_pCameras[kCameraSlots];
// How many cameras are open; 0 means that the next open request opens again.
extern int g_numCameras;
// The frame server holds it shared for the whole of a grab, so a camera is never closed
// under a grab of the other thread.
extern std::shared_mutex g_cameraTableLock;

// The slot named by a device name: the text after its first six characters (the prefix is
// not compared), a decimal number from 0 to kCameraSlots - 1; nothing otherwise.
std::optional<int> slotOfDeviceName(const QString &deviceName);
// The device name of a slot: "camera" followed by the slot number.
QString deviceNameOfSlot(int slot);

// The camera that the request's "deviceName" names, or null (not a string, malformed, out of
// range or an empty slot).
ze_camera_t *pCameraFromFunc(const QVariantMap &request);

} // namespace qrb
