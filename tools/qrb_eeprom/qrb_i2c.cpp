// The EEPROM programming and read-back of the serial-number tool.
#include "qrb_i2c.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "eeprom_record.h"
#include "serial_sources.h"

std::unique_ptr<I2CDevice> i2c_device;

namespace {

constexpr uint8_t kInvalidTitle = 0xFF;

std::vector<uint8_t> record;

bool writeByte(uint16_t where, uint8_t value)
{
    const int failuresBefore = i2c_device->ErrorCount();
    i2c_device->write_byte(where, value);
    std::this_thread::sleep_for(std::chrono::milliseconds(kWriteCycleMilliseconds));
    if (i2c_device->ErrorCount() == failuresBefore)
        return true;
    std::fprintf(stderr,
                 "\nError: the EEPROM did not take byte %u (address 0x%04X); run the tool "
                 "again to program the record\n",
                 static_cast<unsigned>(where), static_cast<unsigned>(where));
    return false;
}

} // namespace

const std::vector<uint8_t> &writtenRecord()
{
    return record;
}

bool write_eeprom(const std::string &serial, int bus, int address)
{
    const std::string module = moduleSerial();
    std::printf("QRB Serial Number: %s\n", serial.c_str());
    std::printf("Jetson Serial Number: %s\n", module.c_str());
    std::printf("I2C device bus (-b option): %d\n", bus);
    std::printf("I2C 7-bit address (-a option): 0x%2X\n\n", address);
    record = buildRecord(serial, module);

    std::printf("Data to program to EEPROM:\t");
    std::fflush(stdout);
    if (!writeByte(0, kInvalidTitle))
        return false;
    const std::string shown = recordText(record);
    size_t shownFrom = 0;
    for (size_t i = 0; i < record.size(); ++i) {
        if (i > 0 && !writeByte(static_cast<uint16_t>(i), record[i]))
            return false;
        // The address bytes show as numbers with a dot each.
        const size_t shownTo =
            i + kAddressBytes >= record.size() ? shown.find('.', shownFrom) + 1 : shownFrom + 1;
        std::fwrite(shown.data() + shownFrom, 1, shownTo - shownFrom, stdout);
        std::fflush(stdout);
        shownFrom = shownTo;
    }
    const bool titled = writeByte(0, record[0]);
    std::printf("\n");
    std::fflush(stdout);
    return titled;
}

std::vector<uint8_t> readBack(size_t count)
{
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < count; ++i)
        bytes.push_back(i2c_device->read_byte(static_cast<uint16_t>(i)));
    std::printf("Data read back from EEPROM:\t%s\n", recordText(bytes).c_str());
    return bytes;
}
