// The confirmation dialog of the EEPROM tool.
#include "operator_dialog.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kAnswerSize = 8;
constexpr int kValueSize = 32;

// Re-enters bus, address and serial; false when the input ended. A value that does not read
// whole leaves the settings as they were.
bool reenter(EepromSettings &s)
{
    std::string bus, address, serial;
    std::printf("Please enter the correct i2c bus number in Decimal for -b: ");
    std::fflush(stdout);
    if (!readAnswer(bus, kValueSize))
        return false;
    std::printf("Please enter the correct i2c 7-bit address in Hexadecimal for -a: ");
    std::fflush(stdout);
    if (!readAnswer(address, kValueSize))
        return false;
    long busNumber = 0, addressNumber = 0;
    if (!parseWholeNumber(bus, 10, busNumber) || !parseWholeNumber(address, 0, addressNumber)) {
        std::printf("Invaled input. Try again.\n");
        return true;
    }
    std::printf("Please enter the correct string:");
    std::fflush(stdout);
    if (!readAnswer(serial, kValueSize))
        return false;
    EepromSettings candidate = s;
    candidate.bus = static_cast<int>(busNumber);
    candidate.address = static_cast<int>(addressNumber);
    candidate.serial = serial;
    if (busNumber <= INT32_MAX && addressNumber <= INT32_MAX && validSettings(candidate))
        s = candidate;
    return true;
}

} // namespace

bool readAnswer(std::string &line, int size)
{
    char buffer[kValueSize + 1];
    if (size > static_cast<int>(sizeof buffer))
        size = sizeof buffer;
    if (std::fgets(buffer, size, stdin) == nullptr) {
        std::perror("fgets error!\n");
        return false;
    }
    const size_t length = std::strcspn(buffer, "\r\n");
    // A longer line is cut; its rest must not answer the next question.
    if (buffer[length] == '\0' && length + 1 == static_cast<size_t>(size))
        for (int c = std::getchar(); c != '\n' && c != EOF; c = std::getchar()) {
        }
    line.assign(buffer, length);
    return true;
}

bool confirmSettings(EepromSettings &s)
{
    for (;;) {
        std::printf("You entered I2C bus: %d, address: 0x%2X, QRB String: %s. Is this correct? "
                    "(y/n): ",
                    s.bus, s.address, s.serial.c_str());
        std::fflush(stdout);
        std::string answer;
        if (!readAnswer(answer, kAnswerSize))
            return false;
        if (answer == "y")
            return true;
        if (answer == "n") {
            if (!reenter(s))
                return false;
        } else {
            std::printf("Please answer 'y' or 'n'.\n");
        }
    }
}
