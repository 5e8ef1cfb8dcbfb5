#include "mode_commands.h"

#include <optional>

#include "camera_table.h"
#include "request_values.h"

namespace qrb {

QVariantMap getMode(const QVariantMap &request)
{
    ze_camera_t *camera = pCameraFromFunc(request);
    const std::optional<qint32> mode = readI32(request, "mode");
    if (!camera || !mode)
        return resultReply(kRefused);
    uint32_t val = 0;
    const int result = ze_getMode(camera, static_cast<uint32_t>(*mode), &val);
    return {{QStringLiteral("retVal"), result}, {QStringLiteral("val"), val}};
}

QVariantMap setMode(const QVariantMap &request)
{
    ze_camera_t *camera = pCameraFromFunc(request);
    const std::optional<qint32> mode = readI32(request, "mode");
    const std::optional<qint32> val = readI32(request, "val");
    if (!camera || !mode || !val)
        return resultReply(kRefused);
    return resultReply(
        ze_setMode(camera, static_cast<uint32_t>(*mode), static_cast<uint32_t>(*val)));
}

QVariantMap updateFrameSize(const QVariantMap &request)
{
    ze_camera_t *camera = pCameraFromFunc(request);
    quint32 width = 0, height = 0, bitsPerClock = 0, clocksPerPixel = 0;
    if (!camera || !readU32Fields(request, {{"width", &width},
                                            {"height", &height},
                                            {"bitsPerClock", &bitsPerClock},
                                            {"clocksPerPixel", &clocksPerPixel}}))
        return resultReply(kRefused);
    const int result = ze_updateFrameSize(camera, width, height, bitsPerClock, clocksPerPixel);
    // The values after the update are reported whatever its result.
    uint32_t modeBitsPerClock = 0, modeClocksPerPixel = 0;
    ze_getMode(camera, ZE_BITS_PER_CLOCK, &modeBitsPerClock);
    ze_getMode(camera, ZE_CLOCKS_PER_PIXEL, &modeClocksPerPixel);
    const ze_sensor_t *sensor = camera->sensor;
    if (!sensor)
        return resultReply(result);
    return {
        {QStringLiteral("retVal"), result},
        {QStringLiteral("width"), sensor->imageWidth},
        {QStringLiteral("height"), sensor->imageHeight},
        {QStringLiteral("imageType"), static_cast<qint32>(sensor->imageType)},
        {QStringLiteral("bitsPerClock"), modeBitsPerClock},
        {QStringLiteral("clocksPerPixel"), modeClocksPerPixel},
        {QStringLiteral("pixelBits"), sensor->bitsPerPixel},
        {QStringLiteral("pixelBytes"), sensor->pixelBytes},
        {QStringLiteral("bufferSize"), sensor->imageBytes},
    };
}

QVariantMap updateBufferSize(const QVariantMap &request)
{
    ze_camera_t *camera = pCameraFromFunc(request);
    const std::optional<quint32> size = readU32(request, "rawBufferSize");
    if (!camera || !size)
        return resultReply(kRefused);
    const int result = ze_updateBufferSize(camera, *size, 0, 0);
    if (!camera->sensor)
        return resultReply(result);
    return {{QStringLiteral("retVal"), result},
            {QStringLiteral("bufferSize"), camera->sensor->imageBytes}};
}

} // namespace qrb
