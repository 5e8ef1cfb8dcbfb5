// Where the record's serial numbers come from: the command line and the module's device tree.
#pragma once

#include <cstddef>
#include <string>

constexpr const char *kModuleSerialPath = "/proc/device-tree/serial-number";

// Reads one line of the module serial (at most size - 1 characters) into buffer; reports a
// failure with perror. buffer is left empty when nothing could be read.
void jetson_serial_number(char *buffer, size_t size);

// The module serial cut at its first line break (the device tree also ends it with a NUL).
std::string moduleSerial();

// The record's tools settings: bus, 7-bit address, board serial, skip-confirmation flag.
struct EepromSettings {
    int bus = 8;
    int address = 0x50;
    std::string serial;
    bool skipConfirmation = false;
};

// Parses the command line; prints the usage line (and why) on the error stream and exits 1
// on a usage error.
EepromSettings parseEepromOptions(int argc, char **argv);

// A whole number in the -a rule (0x hexadecimal, leading 0 octal, else decimal) or, with
// base 10, decimal; false when the text is empty, not a number or followed by other text.
bool parseWholeNumber(const std::string &text, int base, long &value);

// Checks a setting; on a problem prints "Error: ..." and returns false.
bool validSettings(const EepromSettings &s);
