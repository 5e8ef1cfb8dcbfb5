// Fuzz target: chip files and the board configuration that names them. The input is
// written both as a chip file and as the board configuration of a test product, so that
// CHIP_FILE lines of the input name the input itself.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "zentro.h"

namespace {

constexpr uint32_t kFuzzProduct = 0xF2F2F2;

// Every device answers with its register address, so chip checks get somewhere.
int answerWithAddress(ze_camera_t *, uint32_t, uint32_t regAddr, uint32_t *value)
{
    *value = regAddr;
    return 0;
}

const std::string &scratchDirectory()
{
    static const std::string directory = [] {
        char pattern[] = "/tmp/chip_file_fuzz.XXXXXX";
        const char *made = mkdtemp(pattern);
        return std::string(made ? made : "/tmp");
    }();
    return directory;
}

void writeInput(const std::string &path, const uint8_t *data, size_t size)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (!file)
        return;
    fwrite(data, 1, size, file);
    fclose(file);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string chipPath = scratchDirectory() + "/fuzz.chip";
    writeInput(chipPath, data, size);
    writeInput(scratchDirectory() + "/ZE_F2F2F2.cfg", data, size);

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
    _parseBoardConfigFile(&camera, scratchDirectory().c_str());
    _freeBoardData(&camera);
    ze_FreeCameraContext(&camera);
    return 0;
}
