// Fixture of the sensor-data reader tests.
#include "sensor_data/sensor_data_test_support.h"

#include <cstring>

namespace zentro::test {

const char *const kDescriptor = "[CHIP_DESCRIPTOR]\n"
                                "SENSORNAME = \"ZX0201\"\n"
                                "WIDTH = 1920\n"
                                "HEIGHT = 1200\n"
                                "IMAGE_TYPE = BAYER\n"
                                "BITS_PER_CLOCK = 12\n"
                                "CLOCKS_PER_PIXEL = 1\n"
                                "SHIP_BASE_ADDRESS = 0x20\n"
                                "[END]\n";

const char *const kVersion2Head = "[CHIP_DESCRIPTOR]\n"
                                  "SENSORNAME = \"ZX0201\"\n"
                                  "SHIP_BASE_ADDRESS = 0x20\n"
                                  "[END]\n"
                                  "[OPTIONAL]\n"
                                  "SDAT_VERSION = 2\n"
                                  "REG_ADDR_SIZE = 16\n"
                                  "[END]\n"
                                  "[ADDR_SPACE]\n"
                                  "CORE = {REG, 0, \"Core registers\"}\n"
                                  "[END]\n";

std::string SensorFileTest::write(const std::string &name, const std::string &contents)
{
    std::string path = dir.file(name);
    writeFile(path, contents);
    return path;
}

int SensorFileTest::parse(const std::string &contents, const std::string &name)
{
    lastPath = write(name, contents);
    return ze_ParseSensorFile(camera, lastPath.c_str(), nullptr);
}

const ze_reg_t *SensorFileTest::reg(const char *name)
{
    for (int32_t i = 0; sensor() && i < sensor()->regCount; ++i) {
        if (strcmp(sensor()->regs[i].name, name) == 0)
            return &sensor()->regs[i];
    }
    return nullptr;
}

const ze_addr_space_t *SensorFileTest::space(const char *name)
{
    const ze_addr_space_list_t *table = sensor() ? sensor()->addrSpaces : nullptr;
    for (int32_t i = 0; table && i < table->count; ++i) {
        if (strcmp(table->spaces[i].name, name) == 0)
            return &table->spaces[i];
    }
    return nullptr;
}

std::string SensorFileTest::syntaxMessage(const std::string &text, int line) const
{
    return text + " in " + lastPath + ":" + std::to_string(line);
}

std::string SensorFileTest::failedFileMessage() const
{
    return "reading sensor-data file " + lastPath + " failed";
}

std::vector<std::string> SensorFileTest::errorMessages() const
{
    std::vector<std::string> messages;
    for (const LoggedLine &line : log.lines()) {
        if (line.code != 0)
            messages.push_back(line.message);
    }
    return messages;
}

std::vector<int> SensorFileTest::errorCodes() const
{
    std::vector<int> codes;
    for (const LoggedLine &line : log.lines()) {
        if (line.code != 0)
            codes.push_back(line.code);
    }
    return codes;
}

} // namespace zentro::test
