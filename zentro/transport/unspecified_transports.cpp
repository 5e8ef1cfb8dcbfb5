// Rows of the transport table whose transports are not built in: USB evaluation boards, still
// images and AVI. They find no camera, so the table is complete.
#include "transport/unspecified_transports.h"

#include "zentro_errors.h"

namespace zentro {

int openNoCameras(ze_camera_t ** /*slot*/, int /*room*/, int *found, const char * /*sensorPath*/,
                  const char * /*dllName*/)
{
    if (found)
        *found = 0;
    return CAMERA_SUCCESS;
}

int closeNoCameras(int /*count*/, ze_camera_t ** /*cameras*/)
{
    return CAMERA_SUCCESS;
}

} // namespace zentro
