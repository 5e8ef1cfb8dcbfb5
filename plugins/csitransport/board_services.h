// Board services of the plug-in: the board serial number and the sensor input clock.
#pragma once

#include <cstdint>
#include <string>

class I2CDevice;

// The board serial number from the EEPROM's serial-number record ("<10 chars>-<13 chars>");
// also printed on standard output.
std::string ReadSerialNumber(I2CDevice &eeprom);
// Has the board script set the sensor input clock to @frequency Hz: runs
// "python3 <library home>/scripts/set_input_sensor_clock.py <frequency>"; false when it
// failed ("Python Command Failed" is printed then).
bool SetInputClock(uint32_t frequency);
