// The plug-in's exported entry points: a board camera reached through the board server.
#pragma once

#include "remote_camera.h"

QRB_EXPORT int SetHelpersDLL(const ze_plugin_helpers_t *helpers);
QRB_EXPORT int OpenCameraDLL(ze_camera_t *camera, const char *sensorPath, int index);
QRB_EXPORT int CloseCameraDLL(ze_camera_t *camera);
QRB_EXPORT const char *GetDeviceNameDLL(ze_camera_t *camera);
QRB_EXPORT int StartTransportDLL(ze_camera_t *camera);
QRB_EXPORT int StopTransportDLL(ze_camera_t *camera);
QRB_EXPORT int GrabFrameDLL(ze_camera_t *camera, uint8_t *buffer, uint32_t size);
QRB_EXPORT int GetFrameDataDLL(ze_camera_t *camera, ze_frame_info_t *frameData);
QRB_EXPORT int UpdateFrameSizeDLL(ze_camera_t *camera, uint32_t width, uint32_t height,
                                  uint32_t bitsPerClock, uint32_t clocksPerPixel);
QRB_EXPORT int UpdateBufferSizeDLL(ze_camera_t *camera, uint32_t size, uint32_t a, uint32_t b);
QRB_EXPORT int SetModeDLL(ze_camera_t *camera, uint32_t mode, uint32_t value);
QRB_EXPORT int GetModeDLL(ze_camera_t *camera, uint32_t mode, uint32_t *value);
QRB_EXPORT int ReadRegisterDLL(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr,
                               uint32_t *value);
QRB_EXPORT int WriteRegisterDLL(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr,
                                uint32_t value);
QRB_EXPORT int ReadRegistersDLL(ze_camera_t *camera, uint32_t busAddr, uint32_t start,
                                uint32_t count, uint32_t *values);
QRB_EXPORT int WriteRegistersDLL(ze_camera_t *camera, uint32_t busAddr, uint32_t start,
                                 uint32_t count, uint32_t *values);
