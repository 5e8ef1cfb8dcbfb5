// The sensor match test: does the sensor on the bus answer as the camera's sensor record
// describes, at one of its base addresses?
#ifndef ZENTRO_IDENTIFY_SENSOR_MATCH_H
#define ZENTRO_IDENTIFY_SENSOR_MATCH_H

#include "zentro_camera.h"

namespace zentro {

// True when the attached sensor is the one of the camera's sensor record: the transport
// decides when it can (mode 93), else the chip version at the first base address that
// answers it, then (unless @skipGroups) the identification groups there. On a match the
// sensor's ship base address is that address and the file's bus speeds stay in force.
bool checkSensorMatch(ze_camera_t *camera, bool skipGroups);

} // namespace zentro

#endif // ZENTRO_IDENTIFY_SENSOR_MATCH_H
