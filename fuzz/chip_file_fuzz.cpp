// Fuzz target: chip files and the board configuration that names them. The input is
// written both as a chip file and as the board configuration of a test product, so that
// CHIP_FILE lines of the input name the input itself.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scratch_directory.h"
#include "zentro.h"

namespace {

constexpr uint32_t kFuzzProduct = 0xF2F2F2;

// Every device answers with its register address, so chip checks get somewhere.
int answerWithAddress(ze_camera_t *, uint32_t, uint32_t regAddr, uint32_t *value)
{
    *value = regAddr;
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ScratchDirectory &scratch = fuzz::ScratchDirectory::get("chip_file_fuzz");
    const std::string chipPath = scratch.write("fuzz.chip", data, size);
    scratch.write("ZE_F2F2F2.cfg", data, size);

    ze_camera_t camera{};
    ze_InitCameraContext(&camera);
    camera.productID = kFuzzProduct;
    camera.readRegister = answerWithAddress;

    // The chip read here belongs to the camera, which frees it with its board data.
    camera.boardChips = static_cast<ze_chip_t *>(calloc(1, sizeof(ze_chip_t)));
    if (camera.boardChips) {
        camera.boardChipCount = 1;
        ze_ParseChipFile(&camera, chipPath.c_str(), camera.boardChips);
    }
    // Replaces (and frees) the chip read above.
    _parseBoardConfigFile(&camera, scratch.path().c_str());
    _freeBoardData(&camera);
    ze_FreeCameraContext(&camera);
    return 0;
}
