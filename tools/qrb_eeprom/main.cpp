// qrb_eeprom: programs the board's serial-number record into its I2C EEPROM.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>

#include "eeprom_record.h"
#include "led.h"
#include "operator_dialog.h"
#include "qrb_i2c.h"
#include "serial_sources.h"

namespace {

constexpr int kSerialLengthForQuickRun = 10;

// The first address where the EEPROM differs from the record, or -1.
long firstDifference(const std::vector<uint8_t> &wanted, const std::vector<uint8_t> &read)
{
    for (size_t i = 0; i < wanted.size(); ++i)
        if (i >= read.size() || read[i] != wanted[i])
            return static_cast<long>(i);
    return -1;
}

// Writes the record and checks it; false with a message on any failure.
bool program(const EepromSettings &s)
{
    const std::string bus = "/dev/i2c-" + std::to_string(s.bus);
    i2c_device = std::make_unique<I2CDevice>(bus, s.address);
    if (!i2c_device->IsPresent()) {
        char text[96];
        std::snprintf(text, sizeof text, "no device answers at address 0x%02X on %s", s.address,
                      bus.c_str());
        throw std::runtime_error(text);
    }
    const bool written = write_eeprom(s.serial, s.bus, s.address);
    const auto &wanted = writtenRecord();
    const auto read = readBack(wanted.size());
    i2c_device.reset();
    if (!written)
        return false;
    if (const long at = firstDifference(wanted, read); at >= 0) {
        std::fprintf(stderr,
                     "Error: EEPROM verification failed at address 0x%04lX: wrote 0x%02X, "
                     "read 0x%02X; run the tool again to program the record\n",
                     at, wanted[at], read[at]);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    std::unique_ptr<Led> led;
    try {
        led = std::make_unique<Led>(kLedChip, kLedLine);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "Error: cannot light the LED (%s line %u): %s\n", kLedChip, kLedLine,
                     e.what());
        return EXIT_FAILURE;
    }
    EepromSettings settings = parseEepromOptions(argc, argv);
    if (!validSettings(settings))
        return EXIT_FAILURE;
    const bool quick = settings.skipConfirmation &&
                       settings.serial.size() == static_cast<size_t>(kSerialLengthForQuickRun);
    if (!quick && !confirmSettings(settings))
        return EXIT_FAILURE;

    bool ok = false;
    try {
        led->set(1);
        ok = program(settings);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "Error: %s\n", e.what());
        i2c_device.reset();
        led->set(0);
        return EXIT_FAILURE;
    }
    led->set(0);
    if (!ok)
        return EXIT_FAILURE;
    std::printf("Please verify the EEPROM output and hit a key when the Red LED off: ");
    std::fflush(stdout);
    // Any key and Enter, or the end of input, ends the run.
    for (int c = std::getchar(); c != '\n' && c != EOF; c = std::getchar()) {
    }
    return EXIT_SUCCESS;
}
