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
/* @addrSpace is the id of the sensor's address space, passed through unchanged. */
typedef int (*ze_sensor_registers_op_t)(ze_camera_t *camera, uint32_t addrSpace, uint32_t start,
                                        uint32_t count, uint32_t *values);
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

/*
 * Context items read and written with _GetContext and _SetContext (plug-ins receive both).
 * Value layouts: items 1-3 a uint32_t; item 4 a pointer (set: the value itself; get: 8 bytes
 * written to a void*); item 5 two uint32_t words (get only); items 6 and 7 a text of at most
 * 255 characters (get: the buffer holds ZE_TEXT_SIZE).
 */
typedef enum ze_context_item {
    ZE_CONTEXT_BITS_PER_CLOCK = 1,
    ZE_CONTEXT_CLOCKS_PER_PIXEL = 2,
    ZE_CONTEXT_PIXCLK_POLARITY = 3,
    ZE_CONTEXT_DEVICE_CONTEXT = 4,
    ZE_CONTEXT_RESERVED = 5,
    ZE_CONTEXT_DRIVER_INFO = 6,
    ZE_CONTEXT_SERDES_PART_NUMBER = 7
} ze_context_item_t;

/* ---- Opening, listing and closing cameras ---- */

/*
 * Opens the cameras of every transport whose kind bit is in @transport_mask, in the
 * transport table's order (raw file, image file, AVI, USB, plug-in, null). @cameras has room
 * for ZE_MAX_CAMERAS pointers; *@count receives how many were opened. @sensor_dir is a
 * sensor-data directory or file (NULL: ze_SensorData()); @dll_name names a plug-in file or
 * directory, or is NULL/empty. A file transport that accepts the path ends the scan. The
 * cameras belong to the library until ze_CloseCameras2 or ze_CloseCameras. Returns 0 when
 * at least one camera was opened, else the largest code a tried transport returned (0 when
 * none failed); CAMERA_ERROR for an absent @cameras or @count.
 */
ZE_API int ze_OpenCameras2(ze_camera_t **cameras, int *count, const char *sensor_dir,
                           uint32_t transport_mask, const char *dll_name);
/* ze_OpenCameras2 with ZE_ALL_TRANSPORTS (every kind but the null transport), no plug-in. */
ZE_API int ze_OpenCameras(ze_camera_t **cameras, int *count, const char *sensor_dir);
/* Closes every open camera of every transport, then frees the calling thread's settings
 * table. Returns the result of the last close (0 when nothing was open). */
ZE_API int ze_CloseCameras(void);
/*
 * Closes the @count listed cameras; pointers that are not open cameras are ignored. When no
 * camera is left open, frees the calling thread's settings table. Returns the result of the
 * last close (0 when none was closed).
 */
ZE_API int ze_CloseCameras2(ze_camera_t **cameras, int count);
/*
 * Lists the open cameras of the selected transports in table order (at most
 * ZE_MAX_CAMERAS). With a non-empty @dll_filter a plug-in camera is listed only when its
 * plug-in file name contains it. @cameras and @count may be NULL. Returns 0 when at least
 * one camera was listed, else 1.
 */
ZE_API int ze_GetCameras(ze_camera_t **cameras, int *count, uint32_t transport_mask,
                         const char *dll_filter);
/* Asks a running sensor search to stop before its next file; returns the library-wide flag
 * (non-zero: cancelled), which ze_OpenCameras2 clears when it starts and ends. */
ZE_API uint32_t *ze_CancelProbe(void);
/* Creates or refreshes the calling thread's table of settings records (one per open
 * non-file camera); nothing while no camera is open. */
ZE_API void ze_EnterThread(void);
/* Frees the calling thread's settings table; its cameras fall back to their own copies. */
ZE_API void ze_ExitThread(void);

/* Creates @camera's common context (freeing an existing one first). */
ZE_API int ze_InitCameraContext(ze_camera_t *camera);
/* Releases @camera's common context and clears the pointer. */
ZE_API void ze_FreeCameraContext(ze_camera_t *camera);
/* Copies the sensor's serial-bus base addresses (room for 15) and their count. */
ZE_API int ze_GetShipAddrList(ze_camera_t *camera, uint32_t *addresses, int32_t *count);
/* Finishes @camera's context after its transport opened it or a sensor file was read:
 * names the locks after the transport's device name, creates the shared context (or adopts
 * the one of an earlier opener of the device) and copies the shared values in. */
ZE_API void _init_global_context(ze_camera_t *camera);

/* The camera's driver-information and serializer part-number texts ("" without camera). */
ZE_API const char *ze_GetDriverInfoString(ze_camera_t *camera);
ZE_API const char *ze_GetSerdesPartNumber(ze_camera_t *camera);
/* Transport kind tests: null (0x10000), still image (0x10), video file (0x20 or 0x80); and
 * file playback: a sensor record with the file-playback sensor type. 0 without camera. */
ZE_API int ze_IsNul(ze_camera_t *camera);
ZE_API int ze_IsImageFile(ze_camera_t *camera);
ZE_API int ze_IsVideoFile(ze_camera_t *camera);
ZE_API int ze_IsFile(ze_camera_t *camera);

/* ---- Forwarding to the camera's operation slots ----
 * Each returns the slot's result, CAMERA_NOT_SUPPORTED (16) for an empty slot and
 * CAMERA_ERROR (1) for an absent camera. */
ZE_API int ze_startTransport(ze_camera_t *camera);
ZE_API int ze_stopTransport(ze_camera_t *camera);
ZE_API int ze_readSensorRegisters(ze_camera_t *camera, uint32_t addrSpace, uint32_t start,
                                  uint32_t count, uint32_t *values);
ZE_API int ze_writeSensorRegisters(ze_camera_t *camera, uint32_t addrSpace, uint32_t start,
                                   uint32_t count, uint32_t *values);
/* Captures one frame into the caller's @buffer of @size bytes. */
ZE_API int ze_grabFrame(ze_camera_t *camera, uint8_t *buffer, uint32_t size);
/* Describes the last frame; an image-bytes-returned of 0 is filled from bytes returned. */
ZE_API int ze_getFrameData(ze_camera_t *camera, ze_frame_info_t *frameData);
ZE_API int ze_updateFrameSize(ze_camera_t *camera, uint32_t width, uint32_t height,
                              uint32_t bitsPerClock, uint32_t clocksPerPixel);
/* Without a slot the sensor record's image bytes become @size (and 16 is returned). */
ZE_API int ze_updateBufferSize(ze_camera_t *camera, uint32_t size, uint32_t a, uint32_t b);
ZE_API int ze_initTransport(ze_camera_t *camera, uint32_t a, uint32_t b, uint32_t c, uint32_t d,
                            uint32_t e);
/*
 * System registers of the capture hardware, keyed in the register cache by the two
 * selectors and the address. Under the register lock; a null camera reads from the cache,
 * others consult it first when ZE_USE_REG_CACHE is on (mode 2: a miss returns 1). A failed
 * read zeroes @values. 16 when the transport has no such operation.
 */
ZE_API int ze_readSystemRegisters(ze_camera_t *camera, uint32_t selectorA, uint32_t selectorB,
                                  uint32_t start, uint32_t extra, uint32_t count, uint32_t *values);
ZE_API int ze_writeSystemRegisters(ze_camera_t *camera, uint32_t selectorA, uint32_t selectorB,
                                   uint32_t start, uint32_t extra, uint32_t count,
                                   uint32_t *values);
/* With every value 0 only reports support (0 or 16); otherwise the transport's result,
 * called under the register lock. */
ZE_API int ze_sendCommand(ze_camera_t *camera, uint32_t a, uint32_t b, uint32_t c, uint32_t d,
                          uint32_t e, uint32_t f, uint32_t g);

/* ---- Default operations and context items (handed to plug-ins) ---- */

/* Transport-level defaults the plug-in loader installs for operations a transport lacks. */
ZE_API int _def_ReadRegister(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr,
                             uint32_t *value);
ZE_API int _def_WriteRegister(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr,
                              uint32_t value);
ZE_API int _def_ReadRegisters(ze_camera_t *camera, uint32_t busAddr, uint32_t start, uint32_t count,
                              uint32_t *values);
ZE_API int _def_WriteRegisters(ze_camera_t *camera, uint32_t busAddr, uint32_t start,
                               uint32_t count, uint32_t *values);
ZE_API int _def_ReadSensorRegisters(ze_camera_t *camera, uint32_t addrSpace, uint32_t start,
                                    uint32_t count, uint32_t *values);
ZE_API int _def_WriteSensorRegisters(ze_camera_t *camera, uint32_t addrSpace, uint32_t start,
                                     uint32_t count, uint32_t *values);
/* Always GRAB_FRAME_ERROR (3). */
ZE_API int _def_GrabFrame(ze_camera_t *camera, uint8_t *buffer, uint32_t size);
/* _UpdateFrameSize, then the image-type update; returns 0. */
ZE_API int _def_UpdateFrameSize(ze_camera_t *camera, uint32_t width, uint32_t height,
                                uint32_t bitsPerClock, uint32_t clocksPerPixel);
/*
 * Frame-size update: non-zero arguments replace the image width and height and the stored
 * bits per clock and clocks per pixel; then bits per pixel, pixel bytes and image bytes
 * (x 3 / 2 for the planar 4:2:0 types) follow. Returns 0; 1 without camera or sensor.
 */
ZE_API int _UpdateFrameSize(ze_camera_t *camera, uint32_t width, uint32_t height,
                            uint32_t bitsPerClock, uint32_t clocksPerPixel);
/* Reads context item @item into @out (layouts at ze_context_item_t). 0, or 1 for another
 * item or an absent camera (item 5 answers zeros even then). */
ZE_API int _GetContext(ze_camera_t *camera, uint32_t item, void *out);
/* Sets context item @item from @value (layouts at ze_context_item_t). 0, or 1 for item 5,
 * another item, an absent camera or value, or item 4 on a camera that is not a plug-in's. */
ZE_API int _SetContext(ze_camera_t *camera, uint32_t item, const void *value);

ZE_END_DECLS

#endif /* ZENTRO_CAMERA_H */
