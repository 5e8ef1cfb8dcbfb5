/* libzentro2: the public C API of the camera-sensor library (the one header to include). */
#ifndef ZENTRO_H
#define ZENTRO_H

#include "zentro_export.h"
#include "zentro_errors.h"
#include "zentro_datatypes.h"
#include "zentro_config.h"
#include "zentro_osal.h"
#include "zentro_modes.h"
#include "zentro_sensor.h"
#include "zentro_camera.h"
#include "zentro_sensor_data.h"
#include "zentro_long_desc.h"
#include "zentro_reg.h"
#include "zentro_board.h"
#include "zentro_cache.h"
#include "zentro_reg_access.h"
#include "zentro_frame.h"
#include "zentro_identify.h"
#include "zentro_plugin.h"
#include "zentro_presets.h"

#endif /* ZENTRO_H */
