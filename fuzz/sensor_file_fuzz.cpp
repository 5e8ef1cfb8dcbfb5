// Fuzz target: the text sensor-data reader. The input is written as a ".sdat" file and read
// into a camera; a good read is refreshed from the same file. SUBDEVICES lines of the input
// may name the input itself ("fuzz.sdat") or the far file written beside it ("far.sdat"), so
// the far merge is reached too.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scratch_directory.h"
#include "sensor_data_internal.h"
#include "zentro.h"
#include "zentro_context.h"

namespace {

// A far sensor that reads without error.
const char kFarFile[] = "[CHIP_DESCRIPTOR]\nSENSORNAME = \"ZX0300\"\nSHIP_BASE_ADDRESS = 0x48\n"
                        "[END]\n[OPTIONAL]\nREG_DATA_SIZE = 8\n[END]\n[ADDR_SPACE]\n"
                        "CORE = {REG, 0, \"Far core\"}\nVARS = {MCU, 1, \"\"}\n[END]\n"
                        "[REGISTERS]\nCHIP_VERSION_REG = {0, CORE, 0xFF, RO, 1, \"\" \"\"}\n"
                        "{LOW, 0x0F, RO, \"\" \"\"}\nVAR = {2, VARS, 0xFF, RW, 0, \"\" \"\"}\n"
                        "[END]\n";

constexpr uint32_t kWantedSizes[] = {0, 8, 16, 32};
constexpr size_t kProbeEvery = 7;

// The identity check answers from the input's size, so both outcomes are reached.
size_t gInputSize = 0;

bool checkBySize(ze_camera_t *)
{
    return gInputSize % 3 != 0;
}

// The scratch directory, with the far file beside the inputs.
fuzz::ScratchDirectory &scratch()
{
    fuzz::ScratchDirectory &directory = fuzz::ScratchDirectory::get("sensor_file_fuzz");
    static bool prepared = false;
    if (!prepared) {
        prepared = true;
        directory.write("far.sdat", kFarFile, sizeof(kFarFile) - 1);
        zentro::setEarlyIdentityCheck(checkBySize);
    }
    return directory;
}

// Some inputs are read as a candidate of a sensor search, with its wishes.
void setProbeState(ze_camera_t &camera, size_t size)
{
    if (size % kProbeEvery != 0)
        return;
    zentro::IdentData &ident = camera.context->ident;
    ident.probing = 1;
    ident.socWish = static_cast<zentro::SocWish>(size / kProbeEvery % 3);
    ident.wantedAddrSize = kWantedSizes[size / kProbeEvery % 4];
    ident.absentMap[0] = static_cast<uint32_t>(size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string path = scratch().write("fuzz.sdat", data, size);
    gInputSize = size;

    ze_camera_t camera{};
    if (ze_InitCameraContext(&camera) != CAMERA_SUCCESS)
        return 0;
    setProbeState(camera, size);
    if (ze_ParseSensorFile(&camera, path.c_str(), nullptr) == PARSE_SUCCESS)
        ze_RefreshSensorFile(&camera, path.c_str());
    ze_DestructSensor(camera.sensor);
    free(camera.sensor);
    ze_FreeCameraContext(&camera);
    return 0;
}
