// The red LED the EEPROM tool lights while it works: one GPIO output line.
#pragma once

#include <gpiod.hpp>

#include <string>

constexpr const char *kLedChip = "gpiochip1";
constexpr unsigned kLedLine = 147;
constexpr const char *kLedConsumer = "QRB Server";

// Opens the chip by lookup and requests the line as an output at level 1 (lit). Throws what
// libgpiod throws (std::system_error, std::logic_error).
gpiod::line init_led(const std::string &chip, unsigned line);

// The LED line, released when it goes out of scope.
class Led
{
public:
    Led(const std::string &chip, unsigned line) : line_(init_led(chip, line)) {}
    ~Led();
    Led(const Led &) = delete;
    Led &operator=(const Led &) = delete;

    // Sets the level; a failure is reported on the error stream (the LED is only a signal).
    void set(int level);

private:
    gpiod::line line_;
};
