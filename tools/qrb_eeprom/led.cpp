// The LED line on the board's GPIO chip.
#include "led.h"

#include <cstdio>
#include <exception>

gpiod::line init_led(const std::string &chipName, unsigned offset)
{
    gpiod::chip chip(chipName, gpiod::chip::OPEN_LOOKUP);
    gpiod::line line = chip.get_line(offset);
    line.request({kLedConsumer, gpiod::line_request::DIRECTION_OUTPUT, 0}, 1);
    return line;
}

Led::~Led()
{
    try {
        line_.release();
    } catch (const std::exception &) {
        // Released by the kernel when the process ends in any case.
    }
}

void Led::set(int level)
{
    try {
        line_.set_value(level);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "Cannot set the LED to %d: %s\n", level, e.what());
    }
}
