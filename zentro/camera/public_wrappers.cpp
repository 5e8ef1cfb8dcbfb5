// The public forwarding wrappers: each calls the camera's operation slot, with a few extra rules.
#include <algorithm>

#include "camera/context.h"
#include "camera/generic_ops.h"
#include "registers/cache.h"
#include "zentro_errors.h"

namespace {

constexpr uint32_t kCacheOnly = 2;

// Calls @slot of @camera with @args; 1 without camera, 16 for an empty slot.
template <class Slot, class... Args>
int forward(ze_camera_t *camera, Slot ze_camera::*slot, Args... args)
{
    if (!camera)
        return CAMERA_ERROR;
    Slot operation = camera->*slot;
    return operation ? operation(camera, args...) : CAMERA_NOT_SUPPORTED;
}

bool hasContext(const ze_camera_t *camera)
{
    return camera && camera->context;
}

// Address step of consecutive system registers: that of the sensor's own registers.
uint32_t systemRegisterStep(const ze_camera_t *camera)
{
    return camera->sensor ? zentro::sensorUnitStep(camera->sensor) : 1;
}

// Fills @values from the cache entries keyed by the selectors and consecutive addresses.
// True when every value was a hit; misses read as 0.
bool readSystemRegistersFromCache(ze_camera_t *camera, uint32_t selectorA, uint32_t selectorB,
                                  uint32_t start, uint32_t count, uint32_t *values)
{
    const uint32_t step = systemRegisterStep(camera);
    bool allHit = true;
    for (uint32_t i = 0; i < count; ++i) {
        if (zentro::getCacheValueAddr(camera, selectorA, selectorB, start + i * step, &values[i]) !=
            zentro::kCacheHit) {
            values[i] = 0;
            allHit = false;
        }
    }
    return allHit;
}

} // namespace

extern "C" {

ZE_API int ze_startTransport(ze_camera_t *camera)
{
    return forward(camera, &ze_camera::startTransport);
}

ZE_API int ze_stopTransport(ze_camera_t *camera)
{
    return forward(camera, &ze_camera::stopTransport);
}

ZE_API int ze_readSensorRegisters(ze_camera_t *camera, uint32_t addrSpace, uint32_t start,
                                  uint32_t count, uint32_t *values)
{
    return forward(camera, &ze_camera::readSensorRegisters, addrSpace, start, count, values);
}

ZE_API int ze_writeSensorRegisters(ze_camera_t *camera, uint32_t addrSpace, uint32_t start,
                                   uint32_t count, uint32_t *values)
{
    return forward(camera, &ze_camera::writeSensorRegisters, addrSpace, start, count, values);
}

ZE_API int ze_grabFrame(ze_camera_t *camera, uint8_t *buffer, uint32_t size)
{
    return forward(camera, &ze_camera::grabFrame, buffer, size);
}

ZE_API int ze_getFrameData(ze_camera_t *camera, ze_frame_info_t *frameData)
{
    const int result = forward(camera, &ze_camera::getFrameData, frameData);
    if (frameData && camera && camera->getFrameData && frameData->imageBytesReturned == 0)
        frameData->imageBytesReturned = frameData->bytesReturned;
    return result;
}

ZE_API int ze_updateFrameSize(ze_camera_t *camera, uint32_t width, uint32_t height,
                              uint32_t bitsPerClock, uint32_t clocksPerPixel)
{
    // Boards with a serializer re-derive its bit depth after a success; none is supported.
    return forward(camera, &ze_camera::updateFrameSize, width, height, bitsPerClock,
                   clocksPerPixel);
}

ZE_API int ze_updateBufferSize(ze_camera_t *camera, uint32_t size, uint32_t a, uint32_t b)
{
    if (camera && !camera->updateBufferSize && camera->sensor)
        camera->sensor->imageBytes = size;
    return forward(camera, &ze_camera::updateBufferSize, size, a, b);
}

ZE_API int ze_initTransport(ze_camera_t *camera, uint32_t a, uint32_t b, uint32_t c, uint32_t d,
                            uint32_t e)
{
    return forward(camera, &ze_camera::initTransport, a, b, c, d, e);
}

ZE_API int ze_readSystemRegisters(ze_camera_t *camera, uint32_t selectorA, uint32_t selectorB,
                                  uint32_t start, uint32_t extra, uint32_t count, uint32_t *values)
{
    if (!hasContext(camera))
        return CAMERA_ERROR;
    auto read = camera->context->ops.readSystemRegisters;
    if (!read)
        return CAMERA_NOT_SUPPORTED;
    if (!values && count)
        return CAMERA_ERROR;
    zentro::RegisterLockGuard lock(camera);
    if (ze_IsNul(camera)) {
        readSystemRegistersFromCache(camera, selectorA, selectorB, start, count, values);
        return CAMERA_SUCCESS;
    }
    const uint32_t cacheMode = zentro::threadSettings(camera).useRegCache;
    if (cacheMode != 0) {
        if (readSystemRegistersFromCache(camera, selectorA, selectorB, start, count, values))
            return CAMERA_SUCCESS;
        if (cacheMode == kCacheOnly)
            return CAMERA_ERROR;
    }
    const int result = read(camera, selectorA, selectorB, start, extra, count, values);
    if (result != CAMERA_SUCCESS) {
        std::fill(values, values + count, 0u);
        return result;
    }
    if (count > 0)
        zentro::setCacheValueAddr(camera, selectorA, selectorB, start, values[0]);
    return CAMERA_SUCCESS;
}

ZE_API int ze_writeSystemRegisters(ze_camera_t *camera, uint32_t selectorA, uint32_t selectorB,
                                   uint32_t start, uint32_t extra, uint32_t count, uint32_t *values)
{
    if (!hasContext(camera))
        return CAMERA_ERROR;
    auto write = camera->context->ops.writeSystemRegisters;
    if (!write)
        return CAMERA_NOT_SUPPORTED;
    if (!values && count)
        return CAMERA_ERROR;
    zentro::RegisterLockGuard lock(camera);
    const int result = write(camera, selectorA, selectorB, start, extra, count, values);
    if (result == CAMERA_SUCCESS && count > 0)
        zentro::setCacheValueAddr(camera, selectorA, selectorB, start, values[0]);
    return result;
}

ZE_API int ze_sendCommand(ze_camera_t *camera, uint32_t a, uint32_t b, uint32_t c, uint32_t d,
                          uint32_t e, uint32_t f, uint32_t g)
{
    if (!hasContext(camera))
        return CAMERA_ERROR;
    auto send = camera->context->ops.sendCommand;
    const bool supportQuery = (a | b | c | d | e | f | g) == 0;
    if (!send)
        return CAMERA_NOT_SUPPORTED;
    if (supportQuery)
        return CAMERA_SUCCESS;
    zentro::RegisterLockGuard lock(camera);
    return send(camera, a, b, c, d, e, f, g);
}

} // extern "C"
