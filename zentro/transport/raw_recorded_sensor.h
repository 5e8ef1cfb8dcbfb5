// Attaches the sensor a raw recording was made with and restores its recorded register values.
#ifndef ZENTRO_TRANSPORT_RAW_RECORDED_SENSOR_H
#define ZENTRO_TRANSPORT_RAW_RECORDED_SENSOR_H

#include <string>

#include "zentro_camera.h"

namespace zentro {

// Reads the description @descriptionPath of the recording @rawPath once more: the sensor-data
// files it names become far sensors of @camera's playback sensor (the first under the name
// "SENSOR"), and the register values recorded with the video are written into the first, so
// that "SENSOR.<register>" reads back as it was during the recording. Every problem (a file
// not found or unreadable, an unknown register, a value that is not a number) is logged; the
// recording plays on without what could not be restored.
void restoreRecordedSensor(ze_camera_t *camera, const std::string &rawPath,
                           const std::string &descriptionPath);

} // namespace zentro

#endif // ZENTRO_TRANSPORT_RAW_RECORDED_SENSOR_H
