// The early identity check: the sensor-match test that identification installs and the
// readers run on a candidate file while it is being read.
#ifndef ZENTRO_SENSOR_DATA_EARLY_IDENTITY_CHECK_H
#define ZENTRO_SENSOR_DATA_EARLY_IDENTITY_CHECK_H

#include "zentro_camera.h"

namespace zentro {

// The sensor-match test that identification runs on a candidate while it is being read.
// True when the sensor attached to the camera is the one of the camera's sensor record.
using EarlyIdentityCheck = bool (*)(ze_camera_t *camera);
// Installs the check (nullptr removes it). The reader runs it only while the camera's
// context has its probe flag set.
void setEarlyIdentityCheck(EarlyIdentityCheck check);
// The installed check, nullptr when none is.
EarlyIdentityCheck earlyIdentityCheck();

} // namespace zentro

#endif // ZENTRO_SENSOR_DATA_EARLY_IDENTITY_CHECK_H
