// Raw recordings with the description the library's playback reads.
#include <cstdio>
#include <vector>

#include "image_writers.h"

namespace zcli {
namespace {

constexpr const char *kInfoSuffix = "_info.txt";

std::string describe(const ze_sensor_t &sensor)
{
    char type[ZE_IMAGE_TYPE_STR_SIZE] = {};
    ze_GetImageTypeStr(sensor.imageType, type);
    char text[512];
    std::snprintf(text, sizeof text,
                  "//\tWidth          = %u\n"
                  "//\tHeight         = %u\n"
                  "//\tImage Format   = %s\n"
                  "//\toutput         = %u\n"
                  "//\tSensor         = %s\n",
                  sensor.imageWidth, sensor.imageHeight, type, sensor.bitsPerPixel, sensor.name);
    return text;
}

} // namespace

std::string RawRecording::infoPath(const std::string &path)
{
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    return (hasExtension ? path.substr(0, dot) : path) + kInfoSuffix;
}

RawRecording::RawRecording(const std::string &path, const ze_sensor_t &sensor)
    : raw_(path), description_(describe(sensor)), frameBytes_(sensor.imageBytes)
{
}

void RawRecording::append(const uint8_t *frame, size_t size)
{
    // Every frame takes exactly one frame's bytes, so that playback finds each one.
    const size_t used = size < frameBytes_ ? size : frameBytes_;
    raw_.write(frame, used);
    if (used < frameBytes_) {
        const std::vector<uint8_t> padding(frameBytes_ - used, 0);
        raw_.write(padding.data(), padding.size());
    }
    ++frames_;
}

void RawRecording::finish()
{
    AtomicFile info(infoPath(raw_.path()));
    const std::string text =
        description_ + "//\tFrames         = " + std::to_string(frames_) + "\n";
    info.write(text.data(), text.size());
    // The frames first: a description never names frames that are not there.
    raw_.commit();
    info.commit();
}

} // namespace zcli
