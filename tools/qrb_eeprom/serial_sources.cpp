// Serial-number sources and the command line of the EEPROM tool.
#include "serial_sources.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "eeprom_record.h"

namespace {

constexpr size_t kModuleSerialBuffer = 32;
constexpr long kMax7BitAddress = 0x7F;

[[noreturn]] void usage(const char *program)
{
    std::fprintf(stderr, "Usage: %s [-y] [-b i2c_bus] [-a i2c_address] <Serial Number>\n", program);
    std::exit(EXIT_FAILURE);
}

// An option's number from 0 to max, read whole in base (0: the -a rule); else a usage error.
int optionValue(const char *text, int base, long max, const char *what, const char *program)
{
    long value = 0;
    if (!parseWholeNumber(text, base, value) || value < 0 || value > max) {
        std::fprintf(stderr, "Error: %s, not '%s'\n", what, text);
        usage(program);
    }
    return static_cast<int>(value);
}

} // namespace

void jetson_serial_number(char *buffer, size_t size)
{
    buffer[0] = '\0';
    std::FILE *file = std::fopen(kModuleSerialPath, "r");
    if (file == nullptr) {
        std::perror("Error opening /proc/device-tree/serial-number");
        return;
    }
    if (std::fgets(buffer, static_cast<int>(size), file) == nullptr) {
        std::perror("Failed to read serial number");
        buffer[0] = '\0';
    }
    std::fclose(file);
}

std::string moduleSerial()
{
    char buffer[kModuleSerialBuffer];
    jetson_serial_number(buffer, sizeof buffer);
    std::string serial(buffer);
    const size_t end = serial.find_first_of("\r\n");
    return end == std::string::npos ? serial : serial.substr(0, end);
}

bool parseWholeNumber(const std::string &text, int base, long &value)
{
    if (text.empty())
        return false;
    errno = 0;
    char *end = nullptr;
    value = std::strtol(text.c_str(), &end, base);
    return errno == 0 && end != text.c_str() && *end == '\0';
}

bool validSettings(const EepromSettings &s)
{
    if (s.bus < 0) {
        std::fprintf(stderr, "Error: I2C bus %d is not a bus number\n", s.bus);
        return false;
    }
    if (s.address < 0 || s.address > kMax7BitAddress) {
        std::fprintf(stderr, "Error: I2C address 0x%X is not a 7-bit address\n", s.address);
        return false;
    }
    if (s.serial.empty() || s.serial.size() > kMaxSerialLength) {
        std::fprintf(stderr, "Error: the serial number must have 1 to %zu characters\n",
                     kMaxSerialLength);
        return false;
    }
    return true;
}

EepromSettings parseEepromOptions(int argc, char **argv)
{
    EepromSettings s;
    const char *program = argc > 0 ? argv[0] : "qrb_eeprom";
    for (int c; (c = getopt(argc, argv, "yb:a:")) != -1;) {
        switch (c) {
        case 'y':
            s.skipConfirmation = true;
            break;
        case 'b':
            s.bus = optionValue(optarg, 10, INT32_MAX, "-b takes a decimal bus number", program);
            break;
        case 'a':
            s.address =
                optionValue(optarg, 0, kMax7BitAddress, "-a takes a 7-bit address", program);
            break;
        default:
            usage(program);
        }
    }
    if (optind >= argc) {
        std::fprintf(stderr, "Error: String argument is required\n");
        usage(program);
    }
    s.serial = argv[optind];
    return s;
}
