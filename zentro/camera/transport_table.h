// The transport table and the registry of open cameras it keeps.
#ifndef ZENTRO_CAMERA_TRANSPORT_TABLE_H
#define ZENTRO_CAMERA_TRANSPORT_TABLE_H

#include <cstdint>
#include <functional>

#include "zentro_camera.h"

// Opens the cameras a transport finds: writes up to its own limit of camera pointers, and
// never more than @room, from @slot on and their number to *@found. Returns a result code.
typedef int (*ze_open_cameras_fn)(ze_camera_t **slot, int room, int *found, const char *sensorPath,
                                  const char *dllName);
// Closes and frees the @count listed cameras; returns the result of the last close.
typedef int (*ze_close_cameras_fn)(int count, ze_camera_t **cameras);

// One row of the transport table.
struct ze_transport_entry {
    uint32_t kind;
    int32_t count; // cameras open through this transport
    void *reserved;
    ze_camera_t **cameras; // in opening order; freed when it empties
    ze_open_cameras_fn openCameras;
    ze_close_cameras_fn closeCameras;
};
typedef struct ze_transport_entry ze_transport_entry_t;

namespace zentro {

// The kinds that play files back rather than reach hardware.
inline constexpr uint32_t kFileTransportKinds = ZE_TRANSPORT_IMAGE_FILE | ZE_TRANSPORT_AVI |
                                                ZE_TRANSPORT_RAW | ZE_TRANSPORT_VIDEO_FILE |
                                                ZE_TRANSPORT_FILE_OTHER;

inline bool isFileTransportKind(uint32_t kind)
{
    return (kind & kFileTransportKinds) != 0;
}

// Number of cameras open through all transports.
int openCameraCount();

// Calls @visit(position, camera) for each open camera of the non-file transports, in table
// order and opening order. The cameras cannot be closed meanwhile: @visit must not call
// back into opening or closing.
void forEachOpenNonFileCamera(const std::function<void(int, ze_camera_t *)> &visit);

// True once ze_CancelProbe asked a running sensor search to stop.
bool probeCancelled();

} // namespace zentro

#endif // ZENTRO_CAMERA_TRANSPORT_TABLE_H
