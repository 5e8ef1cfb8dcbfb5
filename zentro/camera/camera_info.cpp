// What a camera is: its driver texts and the kind of transport behind it.
#include "camera/context.h"
#include "zentro_errors.h"

namespace {

// The sensor type of the file-playback transports' synthetic sensors.
constexpr uint32_t kFilePlaybackSensorType = 36;

} // namespace

extern "C" {

ZE_API const char *ze_GetDriverInfoString(ze_camera_t *camera)
{
    return camera && camera->context ? camera->context->driverInfo : "";
}

ZE_API const char *ze_GetSerdesPartNumber(ze_camera_t *camera)
{
    return camera && camera->context ? camera->context->serdesPartNumber : "";
}

ZE_API int ze_IsNul(ze_camera_t *camera)
{
    return camera && camera->transportType == ZE_TRANSPORT_NUL;
}

ZE_API int ze_IsImageFile(ze_camera_t *camera)
{
    return camera && camera->transportType == ZE_TRANSPORT_IMAGE_FILE;
}

ZE_API int ze_IsVideoFile(ze_camera_t *camera)
{
    return camera && (camera->transportType == ZE_TRANSPORT_AVI ||
                      camera->transportType == ZE_TRANSPORT_VIDEO_FILE);
}

ZE_API int ze_IsFile(ze_camera_t *camera)
{
    return camera && camera->sensor && camera->sensor->sensorType == kFilePlaybackSensorType;
}

} // extern "C"
