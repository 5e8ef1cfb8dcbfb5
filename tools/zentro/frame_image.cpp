// Sample access to grabbed frames.
#include "frame_image.h"

namespace zcli {

uint32_t FrameImage::sample(uint32_t x, uint32_t y) const
{
    const size_t offset = (size_t{y} * width + x) * pixelBytes;
    if (offset + pixelBytes > bytes.size())
        return 0;
    if (pixelBytes == 1)
        return bytes[offset];
    return uint32_t{bytes[offset]} | uint32_t{bytes[offset + 1]} << 8;
}

std::string greyscaleRefusal(const ze_sensor_t &sensor)
{
    const bool greyscale =
        ze_IsBayerImageType(sensor.imageType) || sensor.imageType == ZE_IMAGE_Y400;
    if (!greyscale) {
        char name[ZE_IMAGE_TYPE_STR_SIZE] = {};
        ze_GetImageTypeStr(sensor.imageType, name);
        return std::string("frames of image type ") + name + " are not greyscale";
    }
    if (sensor.pixelBytes != 1 && sensor.pixelBytes != 2)
        return std::to_string(sensor.pixelBytes) + "-byte pixels do not fit 16-bit samples";
    if (sensor.imageWidth == 0 || sensor.imageHeight == 0)
        return "the frame size is not known";
    return "";
}

} // namespace zcli
