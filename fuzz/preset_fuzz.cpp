// Fuzz target: the preset interpreter. The input is written as a preset file and sections of
// it (the one named on its first line, "Test" and the default section) run on a fresh null
// camera of a small paged sensor. Waits, polls, nested loads and frame grabs are bounded, and
// files are loaded and written only beside the preset, in a directory removed after each run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "presets/limits.h"
#include "scratch_directory.h"
#include "zentro.h"

namespace {

// Two pages behind a select register, bitfields, a read-only and a write-only register.
const char kSensor[] = R"([CHIP_DESCRIPTOR]
SENSORNAME = "ZX0016"
WIDTH = 64
HEIGHT = 32
IMAGE_TYPE = BAYER
BITS_PER_CLOCK = 10
CLOCKS_PER_PIXEL = 1
SHIP_BASE_ADDRESS = 0x90
[END]
[OPTIONAL]
SDAT_VERSION = 2
REG_ADDR_SIZE = 8
REG_DATA_SIZE = 16
[END]
[ADDR_SPACE]
CORE = {REG, 0, "Page 0"}
IFP = {REG, 1, "Page 1"}
[END]
[REGISTERS]
GAIN = {0x04, CORE, 1, 0xFFFF, RW, 0x0010, "Gain" ""}
    {COARSE, 0x00F0, RW, "Coarse" ""}
    {FINE, 0x000F, RW, "Fine" ""}
TINT = {0x04, IFP, 1, 0xFFFF, RW, 0x0777, "Tint" ""}
STATUS = {0x30, CORE, 1, 0xFFFF, RO, 0x0004, "Status" ""}
    {BUSY, 0x0004, RO, "Busy" ""}
COMMAND = {0x32, CORE, 1, 0xFFFF, WO, 0x0000, "Command" ""}
ADDR_SPACE_SEL = {0xF0, CORE, 1, 0x0003, RW, 0x0000, "Page select" ""}
[END]
)";

const char *const kSections[] = {"Test", ""};

// The section named on the input's first line, so the fuzzer can reach any section it makes.
std::string firstLine(const uint8_t *data, size_t size)
{
    std::string line(reinterpret_cast<const char *>(data), size);
    return line.substr(0, std::min(line.find_first_of(std::string("\n\0", 2)), size_t(300)));
}

const std::string &sensorPath()
{
    static const std::string path = fuzz::ScratchDirectory::get("preset_fuzz")
                                        .write("sensor.sdat", kSensor, sizeof(kSensor) - 1);
    return path;
}

void boundRuns()
{
    zentro::presets::PresetLimits limits;
    limits.maxWaitMs = 0;
    limits.maxPolls = 16;
    limits.maxSectionRuns = 200;
    limits.maxFrameGrabs = 2;
    limits.confineFiles = true;
    zentro::presets::setPresetLimits(limits);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool bounded = (boundRuns(), true);
    (void)bounded;
    const std::string run = fuzz::ScratchDirectory::get("preset_fuzz").path() + "/run";
    osal_remove_directory(run.c_str());
    if (osal_create_directory(run.c_str()) != 0)
        return 0;
    const std::string preset = run + "/preset.ini";
    if (FILE *out = fopen(preset.c_str(), "wb")) {
        if (size > 0)
            fwrite(data, 1, size, out);
        fclose(out);
    }
    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
    int count = 0;
    if (ze_OpenCameras2(cameras, &count, sensorPath().c_str(), ZE_TRANSPORT_NUL, "") == 0 &&
        count > 0) {
        ze_startTransport(cameras[0]);
        ze_LoadINIPreset(cameras[0], preset.c_str(), firstLine(data, size).c_str());
        for (const char *section : kSections)
            ze_LoadINIPreset(cameras[0], preset.c_str(), section);
        ze_CloseCameras2(cameras, count);
    }
    osal_remove_directory(run.c_str());
    return 0;
}
