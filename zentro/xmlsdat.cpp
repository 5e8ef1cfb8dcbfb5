// The XML sensor-data reader: until it is written, XML files are refused with a clear message.
#include "xmlsdat.h"

#include "zentro_errorlog.h"

namespace zentro {

int readXmlSensorFile(ze_camera_t * /*camera*/, const char *path, ze_sensor_t * /*sensor*/)
{
    return ZE_ERRORLOGF(PARSE_FILE_ERROR, "XML sensor-data files cannot be read yet: %s",
                        path ? path : "");
}

} // namespace zentro
