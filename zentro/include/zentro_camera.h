/* The camera record shared by the library, its transports and plug-ins. */
#ifndef ZENTRO_CAMERA_H
#define ZENTRO_CAMERA_H

#include <stdint.h>

#include "zentro_export.h"
#include "zentro_sensor.h"

ZE_BEGIN_DECLS

/* Transport kind bits (ze_camera_t.transportType and transport masks). */
#define ZE_TRANSPORT_USB 0x1u
#define ZE_TRANSPORT_DLL 0x4u
#define ZE_TRANSPORT_IMAGE_FILE 0x10u
#define ZE_TRANSPORT_AVI 0x20u
#define ZE_TRANSPORT_RAW 0x40u
#define ZE_TRANSPORT_VIDEO_FILE 0x80u
#define ZE_TRANSPORT_FILE_OTHER 0x100u
#define ZE_TRANSPORT_NUL 0x10000u
/* Every kind but the null transport. */
#define ZE_ALL_TRANSPORTS 0xEFFFFu

/* Most cameras the library tracks per thread. */
#define ZE_MAX_CAMERAS 50

typedef struct ze_camera ze_camera_t;
/* Per-camera library state; its layout is private to the library. */
typedef struct ze_common_context ze_common_context_t;

/* Description of the last grabbed frame: twenty u32 words. */
typedef struct ze_frame_info {
    uint32_t frameNumber;
    uint32_t bytesRequested;
    uint32_t bytesReturned;
    uint32_t reserved;
    uint32_t frameTime;
    uint32_t frameLines;
    uint32_t lineSize;
    uint32_t gpioState;
    uint32_t frameStatus;
    uint32_t registerContext;
    uint32_t eolPadBytes;
    uint32_t imageBytesReturned;
    uint32_t vcOffset[4];
    uint32_t vcBytes[4];
} ze_frame_info_t;

/* Register-access settings of one camera in one thread. */
typedef struct ze_thread_settings {
    ze_camera_t *camera;
    uint32_t regAddrSize;
    uint32_t regDataSize;
    uint32_t useRegCache;
    uint32_t sendCommandTimeout;
    uint32_t regDataLE;
    uint32_t reserved;
} ze_thread_settings_t;

/* Camera-level operation slots; an empty slot makes the public wrapper answer 16. */
typedef int (*ze_camera_op_t)(ze_camera_t *camera);
typedef int (*ze_sensor_registers_op_t)(ze_camera_t *camera, const ze_addr_space_t *space,
                                        uint32_t start, uint32_t count, uint32_t *values);
typedef int (*ze_read_register_op_t)(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr,
                                     uint32_t *value);
typedef int (*ze_write_register_op_t)(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr,
                                      uint32_t value);
typedef int (*ze_registers_op_t)(ze_camera_t *camera, uint32_t busAddr, uint32_t start,
                                 uint32_t count, uint32_t *values);
typedef int (*ze_grab_frame_op_t)(ze_camera_t *camera, uint8_t *buffer, uint32_t size);
typedef int (*ze_get_frame_data_op_t)(ze_camera_t *camera, ze_frame_info_t *frameData);
typedef int (*ze_update_frame_size_op_t)(ze_camera_t *camera, uint32_t width, uint32_t height,
                                         uint32_t bitsPerClock, uint32_t clocksPerPixel);
typedef int (*ze_update_buffer_size_op_t)(ze_camera_t *camera, uint32_t rawBufferSize, uint32_t a,
                                          uint32_t b);
typedef int (*ze_set_mode_op_t)(ze_camera_t *camera, uint32_t mode, uint32_t value);
typedef int (*ze_get_mode_op_t)(ze_camera_t *camera, uint32_t mode, uint32_t *value);
typedef int (*ze_init_transport_op_t)(ze_camera_t *camera, uint32_t a, uint32_t b, uint32_t c,
                                      uint32_t d, uint32_t e);

/* One opened device. Field order and widths are shared with plug-ins. */
struct ze_camera {
    uint32_t productID;
    uint32_t productVersion;
    char productName[ZE_TEXT_SIZE];
    uint32_t firmwareVersion;
    char transportName[ZE_TEXT_SIZE];
    uint32_t transportType;
    ze_common_context_t *context;
    ze_sensor_t *sensor;
    int32_t boardChipCount;
    ze_chip_t *boardChips;
    void *transportPrivate;
    ze_camera_op_t startTransport;
    ze_camera_op_t stopTransport;
    ze_sensor_registers_op_t readSensorRegisters;
    ze_sensor_registers_op_t writeSensorRegisters;
    void *reserved;
    ze_read_register_op_t readRegister;
    ze_write_register_op_t writeRegister;
    ze_registers_op_t readRegisters;
    ze_registers_op_t writeRegisters;
    ze_grab_frame_op_t grabFrame;
    ze_get_frame_data_op_t getFrameData;
    ze_update_frame_size_op_t updateFrameSize;
    ze_update_buffer_size_op_t updateBufferSize;
    ze_set_mode_op_t setMode;
    ze_get_mode_op_t getMode;
    ze_init_transport_op_t initTransport;
    char productSerialNumber[ZE_TEXT_SIZE];
};

/* Creates @camera's common context (freeing an existing one first). */
ZE_API int ze_InitCameraContext(ze_camera_t *camera);
/* Releases @camera's common context and clears the pointer. */
ZE_API void ze_FreeCameraContext(ze_camera_t *camera);
/* Copies the sensor's serial-bus base addresses (room for 15) and their count. */
ZE_API int ze_GetShipAddrList(ze_camera_t *camera, uint32_t *addresses, int32_t *count);

ZE_END_DECLS

#endif /* ZENTRO_CAMERA_H */
