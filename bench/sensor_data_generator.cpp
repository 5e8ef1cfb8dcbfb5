// Synthetic sensor-data files (text and XML) shaped like a large image sensor's register map.
#include "sensor_data_generator.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <fstream>

namespace zentro::bench {

namespace {

// Blocks and functions of a sensor's register map; every register name is one of each
// and a number, so that names look like those of real files and never repeat.
constexpr std::array<const char *, 20> kBlocks = {
    "AE",    "AWB",  "DPC",      "LSC",    "GAMMA",   "CCM",         "NR",
    "SHARP", "PLL",  "MIPI",     "ANALOG", "DIGITAL", "OTP",         "TEMP",
    "FRAME", "LINE", "EXPOSURE", "GAIN",   "FLASH",   "TEST_PATTERN"};
constexpr std::array<const char *, 10> kFunctions = {"CTRL",     "STATUS",  "CONFIG", "THRESHOLD",
                                                     "OFFSET",   "COEF",    "LIMIT",  "MODE",
                                                     "WINDOW_X", "WINDOW_Y"};
constexpr std::array<const char *, 10> kDetails = {
    "Controls the block; takes effect at the next frame start.",
    "Current state of the block. Sticky bits clear on write.",
    "Static configuration, written once after reset.",
    "Threshold compared against the filtered statistics.",
    "Signed offset added before the gain stage.",
    "Fixed-point coefficient in 4.12 format.",
    "Upper limit applied after the correction.",
    "Operating mode selection of the block.",
    "Horizontal window start, in pixels.",
    "Vertical window start, in rows."};
// Bitfields every register carries: a name set per register family and the masks.
constexpr std::array<std::array<const char *, 4>, 3> kFieldNames = {{
    {"ENABLE", "MODE", "LEVEL", "SELECT"},
    {"BYPASS", "SOURCE", "STRENGTH", "INDEX"},
    {"START", "PHASE", "WEIGHT", "TARGET"},
}};
constexpr std::array<uint32_t, 4> kFieldMasks = {0x0001, 0x000E, 0x00F0, 0xFF00};
constexpr uint32_t kAddressStep = 2;
constexpr uint32_t kFirstAddress = 0x0100;
constexpr uint32_t kDefaultMask = 0xFFFF;

std::string displayName(uint32_t index)
{
    std::string name = registerName(index);
    for (size_t i = 1; i < name.size(); ++i)
        name[i] = name[i] == '_' ? ' ' : static_cast<char>(tolower(name[i]));
    return name;
}

void writeHeader(std::ofstream &out)
{
    out << "; Synthetic sensor-data file for the register-database benchmark.\n\n"
           "[CHIP_DESCRIPTOR]\nSENSORNAME = \"ZX0300\"\nWIDTH = 4096\nHEIGHT = 3072\n"
           "IMAGE_TYPE = BAYER\nBITS_PER_CLOCK = 12\nCLOCKS_PER_PIXEL = 1\n"
           "SHIP_BASE_ADDRESS = 0x20\n[END]\n\n"
           "[OPTIONAL]\nSDAT_VERSION = 2\nSENSOR_VERSION = 1\nREG_ADDR_SIZE = 16\n"
           "REG_DATA_SIZE = 16\nPART_NUMBER = \"ZX0300\"\n[END]\n\n"
           "[ADDR_SPACE]\nCORE = {REG, 0, \"Sensor core registers\"}\n[END]\n\n";
}

const char *registerDetail(uint32_t index)
{
    return kDetails[(index / kBlocks.size()) % kDetails.size()];
}

std::string bitfieldDetail(uint32_t field)
{
    return "Bits of field " + std::to_string(field) + ".";
}

void writeRegister(std::ofstream &out, uint32_t index, const DatabaseShape &shape)
{
    char line[1024];
    snprintf(line, sizeof(line), "%s = {0x%04X, CORE, 1, 0xFFFF, RW, 0x%04X, \"%s\" \"%s\"}\n",
             registerName(index).c_str(), registerAddress(index), registerDefault(index),
             displayName(index).c_str(), registerDetail(index));
    out << line;
    for (uint32_t field = 0; field < shape.bitfieldsPerRegister; ++field) {
        snprintf(line, sizeof(line), "    {%s, 0x%04X, RW, \"%s\" \"%s\"}\n",
                 bitfieldName(index, field).c_str(), bitfieldMask(field),
                 bitfieldName(index, field).c_str(), bitfieldDetail(field).c_str());
        out << line;
    }
}

// The generated names and texts hold no character that XML would need escaped.
void writeXmlHeader(std::ofstream &out)
{
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!-- Synthetic sensor-data file for the register-database benchmark. -->\n"
           "<sensor name=\"ZX0300\" part_number=\"ZX0300\" version=\"1\" width=\"4096\" "
           "height=\"3072\" full_width=\"4096\" full_height=\"3072\" image_type=\"BAYER\" "
           "bits_per_clock=\"12\" clocks_per_pixel=\"1\" reg_addr_size=\"16\" "
           "reg_data_size=\"16\" ship_base_address=\"0x20\">\n"
           "  <addr_spaces>\n"
           "    <space name=\"CORE\" type=\"REG\" value=\"0\" desc=\"Sensor core registers\"/>\n"
           "  </addr_spaces>\n";
}

void writeXmlRegister(std::ofstream &out, uint32_t index, const DatabaseShape &shape)
{
    char line[1024];
    snprintf(line, sizeof(line),
             "    <reg name=\"%s\" addr=\"0x%04X\" space=\"CORE\" span=\"1\" mask=\"0xFFFF\" "
             "rw=\"RW\" default=\"0x%04X\" display_name=\"%s\">\n"
             "      <detail>%s</detail>\n",
             registerName(index).c_str(), registerAddress(index), registerDefault(index),
             displayName(index).c_str(), registerDetail(index));
    out << line;
    for (uint32_t field = 0; field < shape.bitfieldsPerRegister; ++field) {
        snprintf(line, sizeof(line),
                 "      <bitfield name=\"%s\" mask=\"0x%04X\" rw=\"RW\" display_name=\"%s\">"
                 "<detail>%s</detail></bitfield>\n",
                 bitfieldName(index, field).c_str(), bitfieldMask(field),
                 bitfieldName(index, field).c_str(), bitfieldDetail(field).c_str());
        out << line;
    }
    out << "    </reg>\n";
}

} // namespace

std::string registerName(uint32_t index)
{
    const uint32_t block = index % kBlocks.size();
    const uint32_t function = (index / kBlocks.size()) % kFunctions.size();
    const uint32_t number = index / (kBlocks.size() * kFunctions.size());
    return std::string(kBlocks[block]) + "_" + kFunctions[function] + "_" + std::to_string(number);
}

std::string bitfieldName(uint32_t index, uint32_t field)
{
    const auto &names = kFieldNames[index % kFieldNames.size()];
    if (field < names.size())
        return names[field];
    return "FIELD_" + std::to_string(field);
}

uint32_t bitfieldMask(uint32_t field)
{
    return field < kFieldMasks.size() ? kFieldMasks[field] : 1u << (field % 32);
}

uint32_t registerAddress(uint32_t index)
{
    return kFirstAddress + index * kAddressStep;
}

uint32_t registerDefault(uint32_t index)
{
    return index & kDefaultMask;
}

bool writeSensorDataFile(const std::string &path, const DatabaseShape &shape)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    writeHeader(out);
    out << "[REGISTERS]\n";
    for (uint32_t index = 0; index < shape.registers; ++index)
        writeRegister(out, index, shape);
    out << "[END]\n";
    return static_cast<bool>(out.flush());
}

bool writeXmlSensorDataFile(const std::string &path, const DatabaseShape &shape)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    writeXmlHeader(out);
    out << "  <registers>\n";
    for (uint32_t index = 0; index < shape.registers; ++index)
        writeXmlRegister(out, index, shape);
    out << "  </registers>\n</sensor>\n";
    return static_cast<bool>(out.flush());
}

} // namespace zentro::bench
