// The board configuration: CHIP_FILE lines naming the chip files of a board's extra chips.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "camera/context.h"
#include "core/config.h"
#include "core/log.h"
#include "sensor_data/chip_check.h"
#include "sensor_data/data_file.h"
#include "sensor_data/lexer.h"
#include "sensor_data/sensor_record.h"
#include "zentro_board.h"
#include "zentro_osal.h"
#include "zentro_sensor_data.h"

namespace zentro {

namespace {

constexpr size_t kConfigLineLimit = 4096;
constexpr size_t kChipFileValueLength = 259;
constexpr size_t kChipFilePathLength = 4095;

struct FindCloser {
    void operator()(osal_find_t *finder) const { osal_close_find_file(finder); }
};
using UniqueFind = std::unique_ptr<osal_find_t, FindCloser>;

// The file names of the CHIP_FILE lines, in file order.
std::vector<std::string> chipFileNames(std::string_view text)
{
    std::vector<std::string> names;
    LineReader lines(text);
    std::string_view line;
    while (lines.next(kConfigLineLimit, line)) {
        if (isSkippedLine(line))
            continue;
        auto entry = splitKeyValue(line);
        if (!entry || !equalsNoCase(entry->key, "CHIP_FILE"))
            continue;
        auto name = quotedText(entry->value.substr(0, kChipFileValueLength));
        if (name && !name->empty())
            names.emplace_back(name->substr(0, kChipFilePathLength));
    }
    return names;
}

std::string directoryOf(const std::string &path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string baseName(const std::string &path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool fileOpens(const std::string &path)
{
    if (osal_directory_exists(path.c_str()))
        return false;
    FILE *file = osal_fopen(path.c_str(), "rb");
    if (!file)
        return false;
    fclose(file);
    return true;
}

// Reads @path as a chip file into @chip; true when it read without error.
bool readChip(ze_camera_t *camera, const std::string &path, ze_chip_t *chip)
{
    return ze_ParseChipFile(camera, path.c_str(), chip) == PARSE_SUCCESS;
}

// The first file of @directory that reads as a chip file and answers on the bus.
std::string findAnsweringChipFile(ze_camera_t *camera, const std::string &directory)
{
    UniqueFind finder(osal_open_find_file(directory.c_str()));
    if (!finder)
        return {};
    ze_chip_t probe{};
    std::string found;
    for (int more = osal_find_first_file(finder.get(), "*"); more && found.empty();
         more = osal_find_next_file(finder.get())) {
        std::string candidate = directory + "/" + finder->name;
        if (!fileOpens(candidate))
            continue;
        if (readChip(camera, candidate, &probe) && checkChip(camera, &probe))
            found = candidate;
    }
    resetChip(&probe);
    return found;
}

// Where the chip file named @name is: as written, in the configuration's directory, or
// the first chip file of that directory that answers. Empty when none.
std::string resolveChipFile(ze_camera_t *camera, const std::string &name,
                            const std::string &configDirectory)
{
    if (fileOpens(name))
        return name;
    std::string beside = configDirectory + "/" + baseName(name);
    if (fileOpens(beside))
        return beside;
    return findAnsweringChipFile(camera, configDirectory);
}

// Register-access settings changed for a chip check and put back afterwards.
class ChipAccessSettings
{
public:
    ChipAccessSettings(ze_camera_t *camera, const ze_chip_t *chip)
        : camera_(camera), saved_(threadSettings(camera)),
          savedRetries_(storedMode(camera, ZE_NACK_RETRIES))
    {
        // A chip that is not there must not cost the retries of every base address.
        setStoredMode(camera, ZE_NACK_RETRIES, 0);
        ze_thread_settings_t &settings = threadSettings(camera);
        settings.regAddrSize = chip->serialAddrSize;
        settings.regDataSize = chip->serialDataSize;
        settings.regDataLE = chip->dataLE;
    }
    ~ChipAccessSettings()
    {
        threadSettings(camera_) = saved_;
        setStoredMode(camera_, ZE_NACK_RETRIES, savedRetries_);
    }
    ChipAccessSettings(const ChipAccessSettings &) = delete;
    ChipAccessSettings &operator=(const ChipAccessSettings &) = delete;

private:
    ze_camera_t *camera_;
    ze_thread_settings_t saved_;
    uint32_t savedRetries_;
};

bool readBusRegister(ze_camera_t *camera, uint32_t base, uint32_t addr, uint32_t &value)
{
    ze_read_register_op_t read = camera->readRegister;
    if (!read && camera->context)
        read = camera->context->ops.readRegister;
    return read && read(camera, base, addr, &value) == CAMERA_SUCCESS;
}

const ze_reg_t *chipVersionRegister(const ze_chip_t *chip)
{
    for (int32_t i = 0; i < chip->regCount; ++i) {
        if (osal_stricmp(chip->regs[i].name, "CHIP_VERSION_REG") == 0)
            return &chip->regs[i];
    }
    return nullptr;
}

} // namespace

bool checkChip(ze_camera_t *camera, ze_chip_t *chip)
{
    if (!camera || !camera->context || chip->regCount <= 0)
        return false;
    const ze_reg_t *version = chipVersionRegister(chip);
    // Without a version register, any answer from the first register will do.
    const ze_reg_t *probe = version ? version : &chip->regs[0];
    ChipAccessSettings settings(camera, chip);
    for (int32_t i = 0; i < chip->baseAddrCount && i < ZE_MAX_CHIP_BASE_ADDRS; ++i) {
        uint32_t value = 0;
        if (!readBusRegister(camera, chip->baseAddrs[i], probe->addr, value))
            continue;
        if (version && value != version->defaultValue)
            continue;
        chip->activeBaseAddr = chip->baseAddrs[i];
        return true;
    }
    return false;
}

} // namespace zentro

extern "C" {

ZE_API void _freeBoardData(ze_camera_t *camera)
{
    if (!camera)
        return;
    zentro::freeChips(camera->boardChips, camera->boardChipCount);
    camera->boardChips = nullptr;
    camera->boardChipCount = 0;
}

ZE_API ze_chip_t *_parseBoardConfigFile(ze_camera_t *camera, const char *sensorPath)
{
    if (!camera)
        return nullptr;
    _freeBoardData(camera);
    std::string configPath =
        zentro::findBoardConfigFile(camera->productID, sensorPath ? sensorPath : "");
    std::string text;
    if (configPath.empty() || zentro::readDataFile(configPath.c_str(), text) != PARSE_SUCCESS)
        return nullptr;

    // Pass one: the chip files that can be found.
    std::string configDirectory = zentro::directoryOf(configPath);
    std::vector<std::string> chipFiles;
    for (const std::string &name : zentro::chipFileNames(text)) {
        std::string resolved = zentro::resolveChipFile(camera, name, configDirectory);
        if (!resolved.empty())
            chipFiles.push_back(resolved);
    }
    if (chipFiles.empty())
        return nullptr;

    // Pass two: read and check each; a chip file with errors is left out.
    auto *chips = static_cast<ze_chip_t *>(calloc(chipFiles.size(), sizeof(ze_chip_t)));
    if (!chips) {
        ZE_ERRORLOG(CAMERA_ERROR, "Couldn't allocate board chips");
        return nullptr;
    }
    int32_t count = 0;
    for (const std::string &file : chipFiles) {
        ze_chip_t &chip = chips[count];
        if (!zentro::readChip(camera, file, &chip)) {
            zentro::resetChip(&chip);
            continue;
        }
        zentro::checkChip(camera, &chip);
        ++count;
    }
    if (count == 0) {
        free(chips);
        return nullptr;
    }
    camera->boardChips = chips;
    camera->boardChipCount = count;
    return chips;
}

} // extern "C"
