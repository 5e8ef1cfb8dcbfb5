// Allocation and release of the camera records of the built-in transports.
#include "transport/camera_shell.h"

#include <cstdlib>

#include "core/log.h"
#include "zentro_sensor.h"

namespace zentro {

ze_camera_t *allocateTransportCamera()
{
    auto *camera = static_cast<ze_camera_t *>(calloc(1, sizeof(ze_camera_t)));
    if (!camera) {
        ZE_ERRORLOG(CAMERA_ERROR, "Couldn't allocate camera structure");
        return nullptr;
    }
    if (ze_InitCameraContext(camera) != CAMERA_SUCCESS) {
        free(camera);
        return nullptr;
    }
    return camera;
}

void freeTransportCamera(ze_camera_t *camera)
{
    if (!camera)
        return;
    ze_DestructSensor(camera->sensor);
    free(camera->sensor);
    camera->sensor = nullptr;
    ze_FreeCameraContext(camera);
    free(camera);
}

} // namespace zentro
