// Fuzz target: the XML sensor-data reader. The input is written as an ".xsdat" file and read
// into a camera; a good read is refreshed from the same file and its long descriptions are
// looked up. far_sensor elements of the input may name the far file written beside it
// ("far.xsdat") or the input itself ("fuzz.xsdat"), so the far merge is reached too.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "camera/context.h"
#include "sensor_file_probe.h"
#include "zentro.h"

namespace {

// A far sensor that reads without error.
const char kFarFile[] =
    "<?xml version=\"1.0\"?>\n"
    "<sensor name=\"ZX0300\" ship_base_address=\"0x48\" reg_data_size=\"8\">\n"
    "<addr_spaces><space name=\"CORE\" type=\"REG\" value=\"0\"/>"
    "<space name=\"VARS\" type=\"MCU\" value=\"1\"/></addr_spaces>\n"
    "<registers><reg name=\"CHIP_VERSION_REG\" addr=\"0\" space=\"CORE\" mask=\"0xFF\" rw=\"RO\" "
    "default=\"1\"><bitfield name=\"LOW\" mask=\"0x0F\"/></reg>"
    "<reg name=\"VAR\" addr=\"2\" space=\"VARS\" mask=\"0xFF\"/></registers>\n"
    "</sensor>\n";

constexpr int kSmallBuffer = 8;

fuzz::SensorFileProbe &probe()
{
    static fuzz::SensorFileProbe probe("xsdat_fuzz", "far.xsdat",
                                       std::string_view(kFarFile, sizeof(kFarFile) - 1));
    return probe;
}

// Looks up the descriptions of the first registers and bitfields read.
void lookUpDescriptions(ze_camera_t &camera)
{
    char buffer[kSmallBuffer];
    const ze_sensor_t *sensor = camera.sensor;
    for (int32_t i = 0; i < sensor->regCount && i < 4; ++i) {
        const ze_reg_t &reg = sensor->regs[i];
        ze_GetLongDescription(&camera, reg.name, nullptr, buffer, sizeof(buffer));
        ze_GetConfidentialNotes(&camera, reg.name, nullptr, buffer, sizeof(buffer));
        if (reg.bitfieldCount > 0)
            ze_GetLongDescription(&camera, reg.name, reg.bitfields[0].name, buffer, sizeof(buffer));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ze_camera_t camera{};
    if (ze_InitCameraContext(&camera) != CAMERA_SUCCESS)
        return 0;
    const std::string path = probe().prepare(camera, "fuzz.xsdat", data, size);
    if (ze_ParseSensorFile(&camera, path.c_str(), nullptr) == PARSE_SUCCESS) {
        lookUpDescriptions(camera);
        ze_RefreshSensorFile(&camera, path.c_str());
    }
    ze_DestructSensor(camera.sensor);
    free(camera.sensor);
    ze_FreeCameraContext(&camera);
    return 0;
}
