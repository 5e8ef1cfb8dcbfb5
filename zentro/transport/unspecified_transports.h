// Transport-table rows whose transports are not part of this library yet.
#ifndef ZENTRO_TRANSPORT_UNSPECIFIED_TRANSPORTS_H
#define ZENTRO_TRANSPORT_UNSPECIFIED_TRANSPORTS_H

#include "zentro_camera.h"

namespace zentro {

// The open-cameras function of a row whose transport is absent: finds no camera, returns 0.
int openNoCameras(ze_camera_t **slot, int room, int *found, const char *sensorPath,
                  const char *dllName);
// Its close-cameras function: such a row never holds a camera; returns 0.
int closeNoCameras(int count, ze_camera_t **cameras);

} // namespace zentro

#endif // ZENTRO_TRANSPORT_UNSPECIFIED_TRANSPORTS_H
