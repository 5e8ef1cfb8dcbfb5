// Building and showing the serial-number record.
#include "eeprom_record.h"

#include <cstdio>

namespace {

constexpr const char *kTitle = "QRBO2";
constexpr uint8_t kEndOfRecord = 0xFF;
constexpr uint8_t kHostAddress[kAddressBytes] = {0xC0, 0xA8, 0x37, 0x01};

void appendField(std::vector<uint8_t> &out, char tag, const std::string &text)
{
    char length[4];
    std::snprintf(length, sizeof length, "%02zu", text.size() % 100);
    out.push_back(static_cast<uint8_t>(tag));
    out.insert(out.end(), length, length + 2);
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(kEndOfRecord);
}

} // namespace

std::vector<uint8_t> buildRecord(const std::string &boardSerial, const std::string &moduleSerial)
{
    std::vector<uint8_t> out(kTitle, kTitle + 5);
    out.push_back(kEndOfRecord);
    appendField(out, '1', boardSerial);
    appendField(out, '2', moduleSerial);
    out.insert(out.end(), std::begin(kHostAddress), std::end(kHostAddress));
    return out;
}

std::string recordText(const std::vector<uint8_t> &record)
{
    std::string text;
    const size_t characters = record.size() >= kAddressBytes ? record.size() - kAddressBytes : 0;
    for (size_t i = 0; i < record.size(); ++i) {
        if (i < characters) {
            text += static_cast<char>(record[i]);
        } else {
            text += std::to_string(record[i]);
            text += '.';
        }
    }
    return text;
}
