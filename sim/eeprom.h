// The board EEPROM: a memory with a 16-bit address pointer, kept in the board directory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace boardsim {

class Eeprom
{
public:
    // persistPath empty: contents live in memory only. A missing file starts from initial.
    // failAtByte: the data byte of this number (from 1) that this process writes, and every
    // later one, is not acknowledged (a fault for tests).
    Eeprom(std::vector<uint8_t> initial, std::string directory,
           std::optional<uint32_t> failAtByte = std::nullopt);

    // An I2C write: the first two bytes set the pointer, the rest are stored from there.
    // A one-byte write sets only the high address byte. False when a data byte was not
    // acknowledged: the bytes before it are stored, it and the rest are not.
    bool write(const uint8_t *data, size_t count);
    // An I2C read from the pointer, which advances (and wraps at the end of the memory).
    void read(uint8_t *out, size_t count);

private:
    void load();
    void store() const;

    std::vector<uint8_t> memory_;
    std::string directory_;
    std::string path_;
    uint32_t pointer_ = 0;
    std::optional<uint32_t> failAtByte_;
    uint32_t bytesWritten_ = 0;
};

// A serial-number record as the production tool writes it: title, board serial (tag "1"),
// module serial (tag "2"), each closed by 0xFF, then the host address 192.168.55.1.
std::vector<uint8_t> serialNumberRecord(const std::string &boardSerial,
                                        const std::string &moduleSerial);

} // namespace boardsim
