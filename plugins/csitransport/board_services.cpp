// Board services: the serial number record of the board EEPROM and the input-clock script.
#include "board_services.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "device_context.h"
#include "i2c_device.h"

namespace {

constexpr uint16_t kBoardSerialAt = 9;
constexpr int kBoardSerialLength = 10;
constexpr uint16_t kModuleSerialAt = 23;
constexpr int kModuleSerialLength = 13;
constexpr const char *kScriptsFolder = "/scripts/";
constexpr const char *kClockScript = "set_input_sensor_clock.py ";

std::string inputClockCommand(uint32_t frequency)
{
    const char *home = g_helper != nullptr && g_helper->home != nullptr ? g_helper->home() : "";
    return std::string("python3 ") + (home ? home : "") + kScriptsFolder + kClockScript +
           std::to_string(frequency);
}

} // namespace

std::string ReadSerialNumber(I2CDevice &eeprom)
{
    char board[kBoardSerialLength] = {};
    char module[kModuleSerialLength] = {};
    eeprom.read_bytes(kBoardSerialAt, reinterpret_cast<uint8_t *>(board), kBoardSerialLength);
    eeprom.read_bytes(kModuleSerialAt, reinterpret_cast<uint8_t *>(module), kModuleSerialLength);
    // Each part ends at its first NUL, as a short record would leave it.
    std::string serial(board, strnlen(board, sizeof board));
    serial += '-';
    serial.append(module, strnlen(module, sizeof module));
    std::printf("%s\n", serial.c_str());
    return serial;
}

bool SetInputClock(uint32_t frequency)
{
    const std::string command = inputClockCommand(frequency);
    std::fflush(stdout);
    if (std::system(command.c_str()) != 0) {
        std::printf("Python Command Failed\n");
        return false;
    }
    return true;
}
