// Fuzz target: the long-description reader. A small fixed sensor is read first; the input is
// then read as its ".ldat" file and its descriptions and notes are looked up.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scratch_directory.h"
#include "zentro.h"

namespace {

// A sensor with registers and bitfields for the descriptions to attach to.
const char kSensorFile[] =
    "<?xml version=\"1.0\"?>\n"
    "<sensor name=\"ZX0201\" version=\"2\" ship_base_address=\"0x20\" reg_addr_size=\"16\">\n"
    "<addr_spaces><space name=\"CORE\" type=\"REG\" value=\"0\"/></addr_spaces>\n"
    "<registers>\n"
    "<reg name=\"CHIP_VERSION_REG\" addr=\"0x3000\" rw=\"RO\" default=\"0x0C54\"/>\n"
    "<reg name=\"RESET_REGISTER\" addr=\"0x301A\"><bitfield name=\"RESET\" mask=\"0x1\"/>"
    "<bitfield name=\"STREAM\" mask=\"0x4\"/></reg>\n"
    "<reg name=\"DATA_FORMAT\" addr=\"0x31AC\"><bitfield name=\"BITS\" mask=\"0xFF\"/></reg>\n"
    "</registers>\n"
    "</sensor>\n";

const char *const kRegisters[] = {"CHIP_VERSION_REG", "reset_register", "DATA_FORMAT", "NONE"};
const char *const kBitfields[] = {nullptr, "", "RESET", "stream", "BITS"};
constexpr int kBufferSizes[] = {2, 16, 4096};

fuzz::ScratchDirectory &scratch()
{
    fuzz::ScratchDirectory &directory = fuzz::ScratchDirectory::get("ldat_fuzz");
    static bool prepared = false;
    if (!prepared) {
        prepared = true;
        directory.write("sensor.xsdat", kSensorFile, sizeof(kSensorFile) - 1);
    }
    return directory;
}

void lookUpEverything(ze_camera_t &camera, size_t size)
{
    static char buffer[4096];
    const int length = kBufferSizes[size % 3];
    for (const char *reg : kRegisters) {
        for (const char *bitfield : kBitfields) {
            ze_GetLongDescription(&camera, reg, bitfield, buffer, length);
            ze_GetConfidentialNotes(&camera, reg, bitfield, buffer, length);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ScratchDirectory &directory = scratch();
    const std::string sensorPath = directory.path() + "/sensor.xsdat";
    directory.write("sensor.ldat", data, size);

    ze_camera_t camera{};
    if (ze_InitCameraContext(&camera) != CAMERA_SUCCESS)
        return 0;
    if (ze_ParseSensorFile(&camera, sensorPath.c_str(), nullptr) == PARSE_SUCCESS) {
        // Half the inputs are read on first demand, the others explicitly.
        if (size % 2 == 0)
            ze_ParseLongDescFile(&camera, nullptr);
        lookUpEverything(camera, size);
    }
    ze_DestructSensor(camera.sensor);
    free(camera.sensor);
    ze_FreeCameraContext(&camera);
    return 0;
}
