/*
 * A transport plug-in for the loader's tests. Each variant is this source built with the
 * entry points it exports chosen by definitions:
 *   PLUGIN_NAME           the variant's name in its trace events (required)
 *   PLUGIN_SERVES         cameras it opens (indices below it); later indices are refused
 *   PLUGIN_REFUSAL        the result of a refused open
 *   PLUGIN_HELPERS        exports SetHelpersDLL and CloseCameraDLL and keeps a device context
 *   PLUGIN_OPEN_ENTRY     the name of its open entry point (unset: it has none)
 *   PLUGIN_NO_START, PLUGIN_NO_STOP   leaves out StartTransportDLL / StopTransportDLL
 *   PLUGIN_SINGLE_REGISTERS, PLUGIN_MULTI_REGISTERS   one-register / many-register access
 *   PLUGIN_IDENTIFIES     has the library identify the sensor when it opens a camera
 *   PLUGIN_FULL           every other optional entry point
 *   PLUGIN_MISSING_OBJECT    reads a data object no library defines (cannot be loaded)
 *   PLUGIN_MISSING_FUNCTION  GrabFrameDLL calls a function no library defines
 * Registers are a file of 256 values shared by the cameras of one load, 0xA000 + address
 * until written. Every entry point reports its call through zentro_test_plugin_event.
 */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "plugin_trace.h"
#include "zentro_errors.h"
#include "zentro_modes.h"
#include "zentro_plugin.h"

#define PLUGIN_EXPORT __attribute__((visibility("default")))

#ifndef PLUGIN_SERVES
#define PLUGIN_SERVES 1
#endif
#ifndef PLUGIN_REFUSAL
#define PLUGIN_REFUSAL CAMERA_TIMEOUT
#endif

#define REGISTER_COUNT 256u
#define REGISTER_BASE 0xA000u
#define DEVICE_CONTEXT_ITEM 4u
/* What a preset-command handler answers for a line it consumed. */
#define INI_LINE_CONSUMED 260u
#define STRINGIFY(name) #name
#define NAME_OF(name) STRINGIFY(name)
/* Not every variant uses every helper. */
#define MAYBE_UNUSED __attribute__((unused))

static const ze_plugin_helpers_t *helpers;
static uint32_t registers[REGISTER_COUNT];
static int registersInitialised;

static void report(const char *entry, const ze_camera_t *camera, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

static void report(const char *entry, const ze_camera_t *camera, const char *format, ...)
{
    char details[512];
    va_list args;
    va_start(args, format);
    vsnprintf(details, sizeof(details), format, args);
    va_end(args);
    if (zentro_test_plugin_event)
        zentro_test_plugin_event(PLUGIN_NAME, entry, camera, details);
}

MAYBE_UNUSED static uint32_t *registerAt(uint32_t addr)
{
    if (!registersInitialised) {
        for (uint32_t i = 0; i < REGISTER_COUNT; ++i)
            registers[i] = REGISTER_BASE + i;
        registersInitialised = 1;
    }
    return &registers[addr % REGISTER_COUNT];
}

/* The register widths the library set for this thread, as "addr N data N". */
MAYBE_UNUSED static const char *widths(ze_camera_t *camera)
{
    static __thread char text[64];
    uint32_t addrBits = 0;
    uint32_t dataBits = 0;
    if (!helpers)
        return "addr ? data ?";
    helpers->getMode(camera, ZE_REG_ADDR_SIZE, &addrBits);
    helpers->getMode(camera, ZE_REG_DATA_SIZE, &dataBits);
    snprintf(text, sizeof(text), "addr %u data %u", addrBits, dataBits);
    return text;
}

/* ---- Required entry points ---- */

#ifdef PLUGIN_HELPERS
/* What the plug-in keeps per camera, stored in the camera as context item 4. */
struct DeviceContext {
    int index;
};

MAYBE_UNUSED static int deviceIndex(ze_camera_t *camera)
{
    struct DeviceContext *device = NULL;
    if (helpers->getContext(camera, DEVICE_CONTEXT_ITEM, &device) != CAMERA_SUCCESS || !device)
        return -1;
    return device->index;
}

PLUGIN_EXPORT int SetHelpersDLL(const ze_plugin_helpers_t *table)
{
    helpers = table;
    report("SetHelpersDLL", NULL, "%p", (const void *)table);
    return CAMERA_SUCCESS;
}

PLUGIN_EXPORT int CloseCameraDLL(ze_camera_t *camera)
{
    report("CloseCameraDLL", camera, "device %d", deviceIndex(camera));
    struct DeviceContext *device = NULL;
    helpers->getContext(camera, DEVICE_CONTEXT_ITEM, &device);
    free(device);
    helpers->setContext(camera, DEVICE_CONTEXT_ITEM, NULL);
    return CAMERA_SUCCESS;
}
#else
MAYBE_UNUSED static int deviceIndex(ze_camera_t *camera)
{
    (void)camera;
    return -1;
}
#endif

#ifdef PLUGIN_MISSING_OBJECT
extern int zentro_test_missing_object;
#endif

#ifdef PLUGIN_OPEN_ENTRY
PLUGIN_EXPORT int PLUGIN_OPEN_ENTRY(ze_camera_t *camera, const char *sensor_path, int index)
{
    report(NAME_OF(PLUGIN_OPEN_ENTRY), camera, "index %d path %s", index, sensor_path);
#ifdef PLUGIN_MISSING_OBJECT
    if (zentro_test_missing_object)
        return CAMERA_ERROR;
#endif
    if (index >= PLUGIN_SERVES) {
        if (helpers)
            helpers->errorlog(PLUGIN_REFUSAL, ZE_LEVEL_FROM_TABLE,
                              "No such camera on the test board", __FILE__, __func__, __LINE__);
        return PLUGIN_REFUSAL;
    }
    snprintf(camera->productName, sizeof(camera->productName), "%s camera %d", PLUGIN_NAME, index);
#ifdef PLUGIN_IDENTIFIES
    const int identified = helpers->getSensor(camera, sensor_path);
    if (identified != CAMERA_SUCCESS)
        return identified;
#endif
#ifdef PLUGIN_HELPERS
    struct DeviceContext *device = malloc(sizeof(*device));
    if (!device)
        return CAMERA_ERROR;
    device->index = index;
    helpers->setContext(camera, DEVICE_CONTEXT_ITEM, device);
#endif
    return CAMERA_SUCCESS;
}
#endif

#ifndef PLUGIN_NO_START
PLUGIN_EXPORT int StartTransportDLL(ze_camera_t *camera)
{
    report("StartTransportDLL", camera, "device %d", deviceIndex(camera));
    return CAMERA_SUCCESS;
}
#endif

#ifndef PLUGIN_NO_STOP
PLUGIN_EXPORT int StopTransportDLL(ze_camera_t *camera)
{
    report("StopTransportDLL", camera, "device %d", deviceIndex(camera));
    return CAMERA_SUCCESS;
}
#endif

/* ---- Register access ---- */

#ifdef PLUGIN_SINGLE_REGISTERS
PLUGIN_EXPORT int ReadRegisterDLL(ze_camera_t *camera, uint32_t bus, uint32_t addr, uint32_t *value)
{
    *value = *registerAt(addr);
    report("ReadRegisterDLL", camera, "bus 0x%X at 0x%X %s", bus, addr, widths(camera));
    return CAMERA_SUCCESS;
}

PLUGIN_EXPORT int WriteRegisterDLL(ze_camera_t *camera, uint32_t bus, uint32_t addr, uint32_t value)
{
    *registerAt(addr) = value;
    report("WriteRegisterDLL", camera, "bus 0x%X at 0x%X value 0x%X %s", bus, addr, value,
           widths(camera));
    return CAMERA_SUCCESS;
}
#endif

#ifdef PLUGIN_MULTI_REGISTERS
PLUGIN_EXPORT int ReadRegistersDLL(ze_camera_t *camera, uint32_t bus, uint32_t start,
                                   uint32_t count, uint32_t *values)
{
    for (uint32_t i = 0; i < count; ++i)
        values[i] = *registerAt(start + i);
    report("ReadRegistersDLL", camera, "bus 0x%X at 0x%X count %u %s", bus, start, count,
           widths(camera));
    return CAMERA_SUCCESS;
}

PLUGIN_EXPORT int WriteRegistersDLL(ze_camera_t *camera, uint32_t bus, uint32_t start,
                                    uint32_t count, uint32_t *values)
{
    for (uint32_t i = 0; i < count; ++i)
        *registerAt(start + i) = values[i];
    report("WriteRegistersDLL", camera, "bus 0x%X at 0x%X count %u %s", bus, start, count,
           widths(camera));
    return CAMERA_SUCCESS;
}
#endif

/* ---- Everything else a plug-in may export ---- */

#ifdef PLUGIN_MISSING_FUNCTION
extern void zentro_test_missing_function(void);

PLUGIN_EXPORT int GrabFrameDLL(ze_camera_t *camera, uint8_t *buffer, uint32_t size)
{
    (void)buffer;
    report("GrabFrameDLL", camera, "size %u", size);
    zentro_test_missing_function();
    return CAMERA_SUCCESS;
}
#endif

#ifdef PLUGIN_FULL
#define GRAB_FILL 0x5A
#define FRAME_NUMBER 7u

PLUGIN_EXPORT int GrabFrameDLL(ze_camera_t *camera, uint8_t *buffer, uint32_t size)
{
    memset(buffer, GRAB_FILL, size);
    report("GrabFrameDLL", camera, "size %u", size);
    return CAMERA_SUCCESS;
}

PLUGIN_EXPORT int ReadSensorRegistersDLL(ze_camera_t *camera, uint32_t space, uint32_t start,
                                         uint32_t count, uint32_t *values)
{
    for (uint32_t i = 0; i < count; ++i)
        values[i] = *registerAt(start + i);
    report("ReadSensorRegistersDLL", camera, "space %u at 0x%X count %u", space, start, count);
    return CAMERA_SUCCESS;
}

PLUGIN_EXPORT int WriteSensorRegistersDLL(ze_camera_t *camera, uint32_t space, uint32_t start,
                                          uint32_t count, uint32_t *values)
{
    for (uint32_t i = 0; i < count; ++i)
        *registerAt(start + i) = values[i];
    report("WriteSensorRegistersDLL", camera, "space %u at 0x%X count %u", space, start, count);
    return CAMERA_SUCCESS;
}

PLUGIN_EXPORT int SendCommandDLL(ze_camera_t *camera, uint32_t a, uint32_t b, uint32_t c,
                                 uint32_t d, uint32_t e, uint32_t f, uint32_t g)
{
    report("SendCommandDLL", camera, "%u %u %u %u %u %u %u", a, b, c, d, e, f, g);
    return CAMERA_SUCCESS;
}

PLUGIN_EXPORT int ReadSystemRegistersDLL(ze_camera_t *camera, uint32_t a, uint32_t b,
                                         uint32_t start, uint32_t extra, uint32_t count,
                                         uint32_t *values)
{
    for (uint32_t i = 0; i < count; ++i)
        values[i] = *registerAt(start + i);
    report("ReadSystemRegistersDLL", camera, "%u %u at 0x%X extra %u count %u", a, b, start, extra,
           count);
    return CAMERA_SUCCESS;
}

PLUGIN_EXPORT int WriteSystemRegistersDLL(ze_camera_t *camera, uint32_t a, uint32_t b,
                                          uint32_t start, uint32_t extra, uint32_t count,
                                          uint32_t *values)
{
    for (uint32_t i = 0; i < count; ++i)
        *registerAt(start + i) = values[i];
    report("WriteSystemRegistersDLL", camera, "%u %u at 0x%X extra %u count %u", a, b, start, extra,
           count);
    return CAMERA_SUCCESS;
}

PLUGIN_EXPORT int SetModeDLL(ze_camera_t *camera, uint32_t mode, uint32_t value)
{
    report("SetModeDLL", camera, "mode %u value %u", mode, value);
    return helpers->setMode(camera, mode, value);
}

PLUGIN_EXPORT int GetModeDLL(ze_camera_t *camera, uint32_t mode, uint32_t *value)
{
    report("GetModeDLL", camera, "mode %u", mode);
    return helpers->getMode(camera, mode, value);
}

PLUGIN_EXPORT int UpdateFrameSizeDLL(ze_camera_t *camera, uint32_t width, uint32_t height,
                                     uint32_t bitsPerClock, uint32_t clocksPerPixel)
{
    report("UpdateFrameSizeDLL", camera, "%u x %u bpc %u cpp %u", width, height, bitsPerClock,
           clocksPerPixel);
    return CAMERA_SUCCESS;
}

PLUGIN_EXPORT int InitTransportDLL(ze_camera_t *camera, uint32_t a, uint32_t b, uint32_t c,
                                   uint32_t d, uint32_t e)
{
    report("InitTransportDLL", camera, "%u %u %u %u %u", a, b, c, d, e);
    return CAMERA_SUCCESS;
}

PLUGIN_EXPORT int UpdateBufferSizeDLL(ze_camera_t *camera, uint32_t size, uint32_t a, uint32_t b)
{
    report("UpdateBufferSizeDLL", camera, "size %u %u %u", size, a, b);
    return CAMERA_SUCCESS;
}

PLUGIN_EXPORT int GetFrameDataDLL(ze_camera_t *camera, ze_frame_info_t *frame)
{
    memset(frame, 0, sizeof(*frame));
    frame->frameNumber = FRAME_NUMBER;
    frame->bytesReturned = 1234;
    report("GetFrameDataDLL", camera, "frame %u", frame->frameNumber);
    return CAMERA_SUCCESS;
}

PLUGIN_EXPORT uint32_t IniFileCommandDLL(ze_camera_t *camera, const char *key, const char *value)
{
    report("IniFileCommandDLL", camera, "%s = %s", key, value);
    return INI_LINE_CONSUMED;
}

PLUGIN_EXPORT const char *GetDeviceNameDLL(ze_camera_t *camera)
{
    report("GetDeviceNameDLL", camera, "device %d", deviceIndex(camera));
    return "test cam/0.1";
}

PLUGIN_EXPORT int SendAcmp0MessageDLL(ze_camera_t *camera, const uint8_t *message, uint32_t size,
                                      uint8_t *reply, uint32_t replySize)
{
    (void)message;
    (void)reply;
    report("SendAcmp0MessageDLL", camera, "size %u reply %u", size, replySize);
    return CAMERA_SUCCESS;
}

/* Kept by the library for plug-ins that use them, never called by it. */
#define NEVER_CALLED(name)                                                                         \
    PLUGIN_EXPORT int name(void)                                                                   \
    {                                                                                              \
        report(#name, NULL, "called");                                                             \
        return CAMERA_SUCCESS;                                                                     \
    }
NEVER_CALLED(RegControlDLL)
NEVER_CALLED(PlayCapableDLL)
NEVER_CALLED(IsViewfinderDLL)
NEVER_CALLED(SetNotifyCallbackDLL)
NEVER_CALLED(EnableDeviceNotificationDLL)
NEVER_CALLED(MatchDevChangeMsgDLL)
NEVER_CALLED(DisableDeviceNotificationDLL)
#endif
