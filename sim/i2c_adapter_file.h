// An open /dev/i2c-N: the bus's devices reached with I2C_SLAVE and plain reads and writes.
#pragma once

#include "board.h"
#include "fake_file.h"

namespace boardsim {

class I2cAdapterFile : public FakeFile
{
public:
    I2cAdapterFile(Board &board, int bus) : board_(board), bus_(bus) {}

    int ioctl(BoardLock &lock, unsigned long request, void *arg) override;
    ssize_t read(BoardLock &lock, void *buf, size_t count) override;
    ssize_t write(BoardLock &lock, const void *buf, size_t count) override;
    dev_t deviceNumber() const override;

private:
    // The EEPROM when it is the addressed device, else null (no acknowledge).
    Eeprom *addressed() const;
    int transfer(void *arg);
    // SMBus transfers as plain I2C messages (i2c_smbus.cpp).
    int smbus(void *arg);

    Board &board_;
    int bus_;
    int address_ = 0;
};

} // namespace boardsim
