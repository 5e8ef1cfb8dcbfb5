// The camera record a built-in transport fills: allocated with its common context, freed
// with its sensor record.
#ifndef ZENTRO_TRANSPORT_CAMERA_SHELL_H
#define ZENTRO_TRANSPORT_CAMERA_SHELL_H

#include "zentro_camera.h"

namespace zentro {

// A zeroed camera with a fresh common context, or nullptr (logged) when memory runs out.
ze_camera_t *allocateTransportCamera();
// Frees @camera's sensor record, common context and the camera itself; the transport record
// must be gone already. Accepts nullptr.
void freeTransportCamera(ze_camera_t *camera);

} // namespace zentro

#endif // ZENTRO_TRANSPORT_CAMERA_SHELL_H
