// The plug-in's exported entry points and the steps they share.
#pragma once

#include "device_context.h"

CSI_EXPORT int SetHelpersDLL(const ze_plugin_helpers_t *helpers);
CSI_EXPORT int OpenCameraDLL(ze_camera_t *camera, const char *sensorPath, int index);
CSI_EXPORT int CloseCameraDLL(ze_camera_t *camera);
CSI_EXPORT int StartTransportDLL(ze_camera_t *camera);
CSI_EXPORT int StopTransportDLL(ze_camera_t *camera);
CSI_EXPORT int GrabFrameDLL(ze_camera_t *camera, uint8_t *buffer, uint32_t size);
CSI_EXPORT int GetFrameDataDLL(ze_camera_t *camera, ze_frame_info_t *frameData);
CSI_EXPORT int UpdateFrameSizeDLL(ze_camera_t *camera, uint32_t width, uint32_t height,
                                  uint32_t bitsPerClock, uint32_t clocksPerPixel);
CSI_EXPORT int UpdateBufferSizeDLL(ze_camera_t *camera, uint32_t size, uint32_t a, uint32_t b);
CSI_EXPORT int SetModeDLL(ze_camera_t *camera, uint32_t mode, uint32_t value);
CSI_EXPORT int GetModeDLL(ze_camera_t *camera, uint32_t mode, uint32_t *value);
CSI_EXPORT int ReadRegisterDLL(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr,
                               uint32_t *value);
CSI_EXPORT int WriteRegisterDLL(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr,
                                uint32_t value);
CSI_EXPORT int ReadRegistersDLL(ze_camera_t *camera, uint32_t busAddr, uint32_t start,
                                uint32_t count, uint32_t *values);
CSI_EXPORT int WriteRegistersDLL(ze_camera_t *camera, uint32_t busAddr, uint32_t start,
                                 uint32_t count, uint32_t *values);
CSI_EXPORT int WriteSensorRegistersDLL(ze_camera_t *camera, uint32_t addrSpace, uint32_t start,
                                       uint32_t count, uint32_t *values);

// Brings the device's settings in line with the camera's modes before streaming restarts;
// false when two-channel mode cannot be set up.
bool CheckSettings(ze_camera_t *camera, DeviceContext &context);
// Drives the general-purpose outputs that ZE_ALL_GPIO enables.
void GpioSettings(DeviceContext &context);
// Driver tables, settings, formats and buffers again, then streaming; false on failure.
bool RestartStreaming(ze_camera_t *camera, DeviceContext &context);
// Lays out channel @channel's rows of @width pixels: the padding the driver adds to reach
// its 64-byte row alignment, and the stride it is asked for.
void LayoutChannel(DeviceContext &context, int channel, uint32_t width);
// Asks the device for frames of @width x @height at the bit depth's pixel size.
void RequestFrameSize(DeviceContext &context, uint32_t width, uint32_t height);
