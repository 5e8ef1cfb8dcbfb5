// A device on the camera link's bus: a register file in the device's own geometry, optionally kept.
#pragma once

#include "sensor_data_defaults.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace boardsim {

class BusDevice
{
public:
    // layout: geometry, pages and defaults; persistPath empty: the registers live in memory only.
    BusDevice(const SensorDefaults &layout, std::string persistPath);

    const RegisterGeometry &geometry() const { return geometry_; }
    // Whether a register address fits the device's address width.
    bool addressable(uint32_t address) const { return address < geometry_.addressCount(); }

    // Bus transfers from a register address: bytes follow one another across registers
    // (most significant byte of each register first) and wrap at the last address. Registers
    // below the page-select register are those of the selected page. False, with nothing
    // transferred, when the start address does not fit the device's address width.
    bool read(uint32_t start, uint8_t *out, size_t count) const;
    bool write(uint32_t start, const uint8_t *data, size_t count);
    // A two-byte transfer, as the control channel's direct access makes one.
    std::optional<uint16_t> read16(uint32_t address) const;
    bool write16(uint32_t address, uint16_t value);

    // Registers the bus may not change (writes are acknowledged and dropped, as by hardware).
    void protect(uint32_t page, uint32_t address, unsigned bytes);
    // Updates a register from the device's own side, past any protection: value big-endian
    // over bytes.
    void setInternal(uint32_t page, uint32_t address, uint32_t value, unsigned bytes);
    // Back to the default values, as after a hardware reset.
    void restoreDefaults();
    // Takes the values another process left in the persisted file.
    void reload();

private:
    // Index into memory_ of the byte at a byte position of the address space; nullopt when it
    // lies in a page the device does not have.
    std::optional<size_t> locate(size_t position) const;
    std::optional<size_t> locate(uint32_t page, size_t position) const;
    // Stores bytes from a byte position: in the given page, or the selected one when none;
    // internal stores pass protection.
    void store(std::optional<uint32_t> page, size_t first, const uint8_t *data, size_t count,
               bool internal);
    void persist(size_t first, size_t last);

    RegisterGeometry geometry_;
    std::optional<PageSelect> pageSelect_;
    uint32_t pageCount_ = 1;
    std::vector<uint8_t> defaults_;
    std::vector<uint8_t> memory_;
    std::vector<bool> protected_;
    std::string persistPath_;
};

} // namespace boardsim
