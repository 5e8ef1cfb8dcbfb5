// I2CDevice: one device on a Linux I2C bus with 16-bit internal addresses (the board EEPROM).
#pragma once

#include "unique_fd.h"

#include <cstdint>
#include <string>

class I2CDevice
{
public:
    // Opens the bus and binds the 7-bit address; throws std::runtime_error with
    // "Failed to open the I2C bus" or "Failed to acquire bus access or talk to the slave
    // device". A device that does not answer is not an error: IsPresent() is false.
    I2CDevice(const std::string &bus, int address);

    void i2c_set_pointer(uint8_t high, uint8_t low);
    // Transfer failures are reported on the error stream and counted; they never throw.
    uint8_t read_byte(uint16_t address);
    int read_bytes(uint16_t address, uint8_t *buffer, int count);
    void write_byte(uint16_t address, uint8_t value);
    void write_bytes(uint16_t address, const uint8_t *data, int count);
    // Throw std::runtime_error when the write fails.
    void write_title();
    void write_eor(uint16_t address);

    int Address() const { return address; }
    bool IsPresent() const { return present; }
    int LastOk() const { return lastOk; }
    int ErrorCount() const { return errorCount; }

private:
    bool setPointer(uint16_t address);
    bool writeAll(const uint8_t *data, size_t size);
    void failed(const char *message);

    int address;
    UniqueFd fd;
    bool present = false;
    int lastOk = 1;
    int errorCount = 0;
};
