// Writing the serial-number record into the EEPROM and reading it back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "i2c_device.h"

// The one EEPROM device of the run, created after the operator's confirmation.
extern std::unique_ptr<I2CDevice> i2c_device;

// Pause after each byte: the EEPROM's internal write cycle.
constexpr unsigned kWriteCycleMilliseconds = 200;

// Builds the record from serial and the module serial and writes it byte by byte, printing
// each byte. The title's first byte is written last (after being cleared first), so that a
// record cut short never reads as valid. False when a byte was not written (reported with
// its address); the bytes after it are not attempted.
bool write_eeprom(const std::string &serial, int bus, int address);

// Reads count bytes from address 0 one at a time and prints them as the record is printed.
std::vector<uint8_t> readBack(size_t count);

// The record written by the last write_eeprom (empty before).
const std::vector<uint8_t> &writtenRecord();
