// Serializer/deserializer detection, a board extra that boards with a serial link provide.
#include "zentro_board.h"
#include "zentro_errors.h"

extern "C" {

ZE_API int _getSerdes(ze_camera_t *camera)
{
    if (!camera)
        return CAMERA_ERROR;
    // No supported board has a serializer link to probe: report that without touching the
    // camera, so a plug-in that asks keeps its camera as it was.
    return CAMERA_NOT_SUPPORTED;
}

} // extern "C"
