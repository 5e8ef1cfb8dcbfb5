// Fuzz target: the text sensor-data reader. The input is written as a ".sdat" file and read
// into a camera; a good read is refreshed from the same file. SUBDEVICES lines of the input
// may name the input itself ("fuzz.sdat") or the far file written beside it ("far.sdat"), so
// the far merge is reached too.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "camera/context.h"
#include "sensor_file_probe.h"
#include "zentro.h"

namespace {

// A far sensor that reads without error.
const char kFarFile[] = "[CHIP_DESCRIPTOR]\nSENSORNAME = \"ZX0300\"\nSHIP_BASE_ADDRESS = 0x48\n"
                        "[END]\n[OPTIONAL]\nREG_DATA_SIZE = 8\n[END]\n[ADDR_SPACE]\n"
                        "CORE = {REG, 0, \"Far core\"}\nVARS = {MCU, 1, \"\"}\n[END]\n"
                        "[REGISTERS]\nCHIP_VERSION_REG = {0, CORE, 0xFF, RO, 1, \"\" \"\"}\n"
                        "{LOW, 0x0F, RO, \"\" \"\"}\nVAR = {2, VARS, 0xFF, RW, 0, \"\" \"\"}\n"
                        "[END]\n";

fuzz::SensorFileProbe &probe()
{
    static fuzz::SensorFileProbe probe("sensor_file_fuzz", "far.sdat",
                                       std::string_view(kFarFile, sizeof(kFarFile) - 1));
    return probe;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ze_camera_t camera{};
    if (ze_InitCameraContext(&camera) != CAMERA_SUCCESS)
        return 0;
    const std::string path = probe().prepare(camera, "fuzz.sdat", data, size);
    if (ze_ParseSensorFile(&camera, path.c_str(), nullptr) == PARSE_SUCCESS)
        ze_RefreshSensorFile(&camera, path.c_str());
    ze_DestructSensor(camera.sensor);
    free(camera.sensor);
    ze_FreeCameraContext(&camera);
    return 0;
}
