// The board's serial-number record as it is laid out in the EEPROM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The longest serial a record can carry: its length field has two decimal digits.
constexpr size_t kMaxSerialLength = 99;
// The trailing bytes: the host's IPv4 address, printed as numbers.
constexpr size_t kAddressBytes = 4;

// Title "QRBO2", 0xFF, the board serial (tag "1", two-digit length), 0xFF, the module serial
// (tag "2"), 0xFF and the address 192.168.55.1: board + module + 18 bytes. Both serials must
// be at most kMaxSerialLength long.
std::vector<uint8_t> buildRecord(const std::string &boardSerial, const std::string &moduleSerial);

// A record's bytes as the operator sees them: characters, then the address as "192.168.55.1.".
std::string recordText(const std::vector<uint8_t> &record);
