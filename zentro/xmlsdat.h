// The XML sensor-data reader, as seen by the text reader that hands XML files over to it.
#ifndef ZENTRO_XMLSDAT_H
#define ZENTRO_XMLSDAT_H

#include "zentro_camera.h"
#include "zentro_sensor.h"

namespace zentro {

// Reads the XML sensor-data file @path into @sensor, which the caller has reset. Returns
// PARSE_SUCCESS or a library error code. This build has no XML reader yet: it logs that
// and returns PARSE_FILE_ERROR.
int readXmlSensorFile(ze_camera_t *camera, const char *path, ze_sensor_t *sensor);

} // namespace zentro

#endif // ZENTRO_XMLSDAT_H
