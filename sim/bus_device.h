// A device on the camera link's bus: a 64 KiB byte-addressed register file, optionally kept.
#pragma once

#include "sensor_data_defaults.h"

#include <cstdint>
#include <string>
#include <vector>

namespace boardsim {

class BusDevice
{
public:
    // persistPath empty: the registers live in memory only.
    BusDevice(std::vector<uint8_t> defaults, std::string persistPath);

    // Sequential access from a 16-bit start address; the address wraps at 0xFFFF.
    void read(uint16_t start, uint8_t *out, size_t count) const;
    void write(uint16_t start, const uint8_t *data, size_t count);
    uint16_t read16(uint16_t address) const;
    void write16(uint16_t address, uint16_t value);

    // Registers the bus may not change (writes are acknowledged and dropped, as by hardware).
    void protect16(uint16_t address);
    // Updates a register from the device's own side, past any protection.
    void setInternal16(uint16_t address, uint16_t value);
    // Back to the default values, as after a hardware reset.
    void restoreDefaults();
    // Takes the values another process left in the persisted file.
    void reload();

private:
    void persist(uint16_t start, size_t count);

    std::vector<uint8_t> defaults_;
    std::vector<uint8_t> memory_;
    std::vector<bool> protected_;
    std::string persistPath_;
};

} // namespace boardsim
