/* The plug-in transport ABI: the helper table handed to plug-ins and the entry points they
 * export. */
#ifndef ZENTRO_PLUGIN_H
#define ZENTRO_PLUGIN_H

#include <stdint.h>

#include "zentro_camera.h"
#include "zentro_export.h"
#include "zentro_sensor.h"

ZE_BEGIN_DECLS

/*
 * A transport plug-in is a shared library that the library loads with lazy binding when
 * cameras are opened through the plug-in transport (ZE_TRANSPORT_DLL). It does not link
 * libzentro2: it exports the entry points below under their plain names and calls back
 * only through the helper table it is handed by "SetHelpersDLL". Every entry point takes
 * the camera first and returns a result code (0 CAMERA_SUCCESS) unless stated. Required:
 * "OpenCameraDLL" (or "InitCamera2DLL"), "StartTransportDLL" and "StopTransportDLL"; the
 * library stands in for the others (its default register operations, its own mode setter
 * and getter, 16 CAMERA_NOT_SUPPORTED from the public wrappers). No entry point may let a
 * C++ exception escape.
 *
 * Each camera holds its own load of the plug-in: "OpenCameraDLL" is called with index
 * 0, 1, 2, ... on fresh cameras until it refuses one (at most ZE_MAX_CAMERAS cameras in
 * all). A refused camera is released without "CloseCameraDLL", so a failing open cleans
 * up after itself. "CloseCameraDLL" is called once for every camera that opened, before
 * its load of the plug-in is released.
 */

/* Number of pointer slots in the helper table. */
#define ZE_PLUGIN_HELPER_SLOTS 24
/* Slots at the end of the helper table that are reserved; a plug-in must not call them. */
#define ZE_PLUGIN_RESERVED_HELPERS 5

/*
 * The library functions handed to a plug-in, in this order. One read-only table per
 * library: a plug-in keeps the pointer it is given, for as long as it is loaded.
 */
typedef struct ze_plugin_helpers {
    /* 0: identifies the sensor among the sensor-data files of @sensor_path and loads it. */
    int (*getSensor)(ze_camera_t *camera, const char *sensor_path);
    /* 1: re-derives the image type from the sensor record and the modes. */
    int (*updateImageType)(ze_camera_t *camera);
    /* 2: ze_Errorlog: logs a failure and returns @code. */
    int (*errorlog)(int code, uint32_t level, const char *message, const char *source_file,
                    const char *function, int line);
    /* 3: ze_Msglog: logs an information message of type bit @type. */
    void (*msglog)(uint32_t type, const char *message, const char *source_file,
                   const char *function, int line);
    /* 4, 5: the library's own mode setter and getter (_SetMode, _GetMode). */
    int (*setMode)(ze_camera_t *camera, uint32_t mode, uint32_t value);
    int (*getMode)(ze_camera_t *camera, uint32_t mode, uint32_t *value);
    /* 6, 7: context items (_SetContext, _GetContext); item 4 holds the plug-in's own
     * per-camera device context. */
    int (*setContext)(ze_camera_t *camera, uint32_t item, const void *value);
    int (*getContext)(ze_camera_t *camera, uint32_t item, void *out);
    /* 8: the frame-size update (_UpdateFrameSize). */
    int (*updateFrameSize)(ze_camera_t *camera, uint32_t width, uint32_t height,
                           uint32_t bits_per_clock, uint32_t clocks_per_pixel);
    /* 9, 10: unswizzles a whole frame in place; merges a deep-Bayer frame in place. */
    int (*unSwizzleBuffer1)(ze_camera_t *camera, uint8_t *buffer);
    int (*mergeDeepBayer1)(ze_camera_t *camera, uint8_t *buffer);
    /* 11: reads a register or bitfield by name with ZE_USE_REG_CACHE set to @cache_mode for
     * the read (_readReg); 0 when it cannot be read. */
    uint32_t (*readReg)(ze_camera_t *camera, const char *reg_name, const char *bitfield_name,
                        uint32_t cache_mode);
    /* 12: reads the board configuration that belongs to @sensor_path into the camera's
     * board chips; returns them (NULL when there are none). */
    ze_chip_t *(*parseBoardConfigFile)(ze_camera_t *camera, const char *sensor_path);
    /* 13: the enabled log types while a log file is open, else 0. */
    uint32_t (*currentLogTypes)(void);
    /* 14: the message text of a result code. */
    const char *(*getErrorMessage)(int code);
    /* 15: sleeps @ms milliseconds. */
    void (*sleep)(uint32_t ms);
    /* 16: the library's home directory. */
    const char *(*home)(void);
    /* 17: frees and clears the camera's board chips. */
    void (*freeBoardData)(ze_camera_t *camera);
    /* 18: serializer/deserializer detection (_getSerdes). */
    int (*getSerdes)(ze_camera_t *camera);
    /* 19 to 23: reserved, always NULL. */
    void *reserved[ZE_PLUGIN_RESERVED_HELPERS];
} ze_plugin_helpers_t;

/* ---- Entry points a plug-in exports (their types; the names are in quotes) ---- */

/* "SetHelpersDLL": receives the helper table once per camera, before its open. */
typedef int (*ze_plugin_set_helpers_fn)(const ze_plugin_helpers_t *helpers);
/* "OpenCameraDLL" (or "InitCamera2DLL"): opens camera number @index of this plug-in on a
 * fresh camera record; a non-zero result refuses it and ends the plug-in's cameras. */
typedef int (*ze_plugin_open_camera_fn)(ze_camera_t *camera, const char *sensor_path, int index);
/* "CloseCameraDLL": releases what the plug-in holds for the camera; the result is ignored. */
typedef int (*ze_plugin_close_camera_fn)(ze_camera_t *camera);
/* "GetDeviceNameDLL": the device's name, which names the camera's locks and the context
 * shared by every camera on that device; NULL or "" for none. */
typedef const char *(*ze_plugin_device_name_fn)(ze_camera_t *camera);
/* "IniFileCommandDLL": offered each preset line (key and value text); 260 or 261 means the
 * plug-in consumed it. */
typedef uint32_t (*ze_plugin_ini_command_fn)(ze_camera_t *camera, const char *key,
                                             const char *value);
/*
 * The other entry points have the types of the operation slots they fill (zentro_camera.h):
 * "StartTransportDLL", "StopTransportDLL": ze_camera_op_t;
 * "ReadSensorRegistersDLL", "WriteSensorRegistersDLL": ze_sensor_registers_op_t;
 * "ReadRegisterDLL": ze_read_register_op_t; "WriteRegisterDLL": ze_write_register_op_t;
 * "ReadRegistersDLL", "WriteRegistersDLL": ze_registers_op_t; "GrabFrameDLL":
 * ze_grab_frame_op_t; "GetFrameDataDLL": ze_get_frame_data_op_t; "UpdateFrameSizeDLL":
 * ze_update_frame_size_op_t; "UpdateBufferSizeDLL": ze_update_buffer_size_op_t;
 * "SetModeDLL": ze_set_mode_op_t; "GetModeDLL": ze_get_mode_op_t; "InitTransportDLL":
 * ze_init_transport_op_t; "SendCommandDLL": (camera, seven uint32_t values);
 * "ReadSystemRegistersDLL", "WriteSystemRegistersDLL": (camera, selector a, selector b,
 * start, extra, count, values); "SendAcmp0MessageDLL": (camera, message, size, reply, reply
 * size), kept for board extras. "RegControlDLL", "PlayCapableDLL", "IsViewfinderDLL" and the
 * hot-plug notification entry points ("SetNotifyCallbackDLL", "EnableDeviceNotificationDLL",
 * "MatchDevChangeMsgDLL", "DisableDeviceNotificationDLL") are kept but never called.
 */

/*
 * The plug-in file a plug-in camera was opened from, as it was named (a ".cam" file's
 * DLL_NAME, an entry of a plug-in directory, or the name given to ze_OpenCameras2); NULL for
 * a camera of another transport. The text belongs to the camera.
 */
ZE_API const char *DLL_Transport_DllName(const ze_camera_t *camera);

ZE_END_DECLS

#endif /* ZENTRO_PLUGIN_H */
