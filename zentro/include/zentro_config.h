/* The library's home directory and the data directories found from it. */
#ifndef ZENTRO_CONFIG_H
#define ZENTRO_CONFIG_H

#include "zentro_export.h"

ZE_BEGIN_DECLS

/*
 * The library home: $ZE_HOME_DEV, else $ZE_HOME, else the directory of the
 * running program, else "."; without a trailing "/". Decided on the first call
 * and kept for the life of the process. The text is owned by the library.
 */
ZE_API const char *ze_Home(void);

/* The default sensor-data directory: ze_Home() followed by "/sensor_data". */
ZE_API const char *ze_SensorData(void);

ZE_END_DECLS

#endif /* ZENTRO_CONFIG_H */
