// The info subcommand: what the camera and its sensor are.
#include <cstdio>
#include <vector>

#include "command.h"

namespace zcli {
namespace {

// Modes a sensor engineer looks at first; those the camera cannot answer are left out.
constexpr uint32_t kShownModes[] = {
    ZE_REG_ADDR_SIZE,     ZE_REG_DATA_SIZE,       ZE_USE_REG_CACHE,
    ZE_BITS_PER_CLOCK,    ZE_CLOCKS_PER_PIXEL,    ZE_SENSOR_POWER,
    ZE_SENSOR_RESET,      ZE_HW_FRAME_TIME,       ZE_RX_TYPE,
    ZE_RX_LANES,          ZE_RX_BIT_DEPTH,        ZE_OUTPUT_CLOCK_FREQ,
    ZE_GRABFRAME_TIMEOUT, ZE_SIMUL_REG_FRAMEGRAB,
};

struct ModeValue {
    const char *name;
    uint32_t value;
};

std::vector<ModeValue> readShownModes(ze_camera_t *camera)
{
    std::vector<ModeValue> modes;
    for (const uint32_t mode : kShownModes) {
        uint32_t value = 0;
        if (ze_getMode(camera, mode, &value) == CAMERA_SUCCESS)
            modes.push_back({ze_GetModeName(mode), value});
    }
    return modes;
}

std::string imageTypeName(uint32_t type)
{
    char name[ZE_IMAGE_TYPE_STR_SIZE] = {};
    ze_GetImageTypeStr(type, name);
    return name;
}

void printText(ze_camera_t *camera, const std::vector<ModeValue> &modes)
{
    std::printf("Camera        %s over %s\n", camera->productName, camera->transportName);
    std::printf("Driver        %s\n", ze_GetDriverInfoString(camera));
    if (camera->productSerialNumber[0])
        std::printf("Serial number %s\n", camera->productSerialNumber);
    const ze_sensor_t *sensor = camera->sensor;
    if (!sensor) {
        std::printf("Sensor        not identified\n");
    } else {
        std::printf("Sensor        %s\n", sensor->name);
        std::printf("Part number   %s\n", sensor->partNumber);
        std::printf("Revision      %u%s%s\n", sensor->revisionNumber,
                    sensor->versionName[0] ? ", version " : "", sensor->versionName);
        std::printf("Sensor data   %s\n", sensor->fileName);
        std::printf("Frame         %u x %u (image %u x %u), %u bytes\n", sensor->width,
                    sensor->height, sensor->imageWidth, sensor->imageHeight, sensor->imageBytes);
        std::printf("Bit depth     %u bits per pixel, %u bytes per pixel\n", sensor->bitsPerPixel,
                    sensor->pixelBytes);
        std::printf("Image type    %s\n", imageTypeName(sensor->imageType).c_str());
        std::printf("Registers     %d, base address 0x%02X, %u-bit addresses, %u-bit data\n",
                    sensor->regCount, sensor->shipBaseAddr, sensor->regAddrSize,
                    sensor->regDataSize);
    }
    std::printf("Modes\n");
    for (const ModeValue &mode : modes)
        std::printf("  %-24s %u\n", mode.name, mode.value);
}

void writeJson(JsonWriter &out, ze_camera_t *camera, const std::vector<ModeValue> &modes)
{
    out.beginObject()
        .key("camera")
        .beginObject()
        .field("product", camera->productName)
        .field("transport", camera->transportName)
        .field("driver", ze_GetDriverInfoString(camera))
        .field("serialNumber", camera->productSerialNumber)
        .endObject()
        .key("sensor");
    const ze_sensor_t *sensor = camera->sensor;
    if (!sensor) {
        out.null();
    } else {
        out.beginObject()
            .field("name", sensor->name)
            .field("partNumber", sensor->partNumber)
            .field("revision", sensor->revisionNumber)
            .field("versionName", sensor->versionName)
            .field("sensorDataFile", sensor->fileName)
            .field("width", sensor->width)
            .field("height", sensor->height)
            .field("imageWidth", sensor->imageWidth)
            .field("imageHeight", sensor->imageHeight)
            .field("bitsPerPixel", sensor->bitsPerPixel)
            .field("pixelBytes", sensor->pixelBytes)
            .field("imageBytes", sensor->imageBytes)
            .field("imageType", imageTypeName(sensor->imageType))
            .field("baseAddress", sensor->shipBaseAddr)
            .field("registerCount", sensor->regCount)
            .endObject();
    }
    out.key("modes").beginObject();
    for (const ModeValue &mode : modes)
        out.field(mode.name, mode.value);
    out.endObject().endObject();
}

void runInfo(Invocation &invocation)
{
    ze_camera_t *camera = invocation.session().camera();
    const std::vector<ModeValue> modes = readShownModes(camera);
    if (invocation.json())
        writeJson(invocation.document(), camera, modes);
    else
        printText(camera, modes);
}

} // namespace

const Command infoCommand = {
    "info",
    "",
    "describe the camera and its sensor",
    "Prints the camera and its transport, the sensor's name, part number, revision and\n"
    "sensor-data file, its frame size, bit depth and image type, and the main modes.\n"
    "\n"
    "Example: zentro --board 192.168.55.1 info\n",
    {},
    0,
    0,
    runInfo,
};

} // namespace zcli
