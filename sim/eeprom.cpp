// The simulated board EEPROM.
#include "eeprom.h"

#include "state_files.h"

#include <cstdio>

namespace boardsim {
namespace {

constexpr uint8_t kEndOfRecord = 0xFF;
constexpr uint8_t kHostAddress[] = {0xC0, 0xA8, 0x37, 0x01};

void appendField(std::vector<uint8_t> &out, char tag, const std::string &text)
{
    // A length of 100 or more keeps its first two digits, as the EEPROM tool writes it.
    char length[24];
    std::snprintf(length, sizeof length, "%02zu", text.size());
    out.push_back(static_cast<uint8_t>(tag));
    out.insert(out.end(), length, length + 2);
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(kEndOfRecord);
}

} // namespace

std::vector<uint8_t> serialNumberRecord(const std::string &boardSerial,
                                        const std::string &moduleSerial)
{
    const std::string title = "QRBO2";
    std::vector<uint8_t> out(title.begin(), title.end());
    out.push_back(kEndOfRecord);
    appendField(out, '1', boardSerial);
    appendField(out, '2', moduleSerial);
    out.insert(out.end(), std::begin(kHostAddress), std::end(kHostAddress));
    return out;
}

Eeprom::Eeprom(std::vector<uint8_t> initial, std::string directory,
               std::optional<uint32_t> failAtByte)
    : memory_(std::move(initial)), directory_(std::move(directory)), failAtByte_(failAtByte)
{
    if (directory_.empty())
        return;
    path_ = directory_ + "/eeprom.bin";
    BoardFileLock lock(directory_);
    std::string saved;
    if (!readWholeFile(path_, saved) || saved.size() != memory_.size())
        store();
}

void Eeprom::load()
{
    std::string saved;
    if (!path_.empty() && readWholeFile(path_, saved) && saved.size() == memory_.size())
        memory_.assign(saved.begin(), saved.end());
}

void Eeprom::store() const
{
    if (!path_.empty())
        replaceFile(path_, std::string(memory_.begin(), memory_.end()));
}

bool Eeprom::write(const uint8_t *data, size_t count)
{
    if (count == 0)
        return true;
    BoardFileLock lock(directory_);
    load();
    pointer_ = count == 1 ? uint32_t{data[0]} << 8 : (uint32_t{data[0]} << 8 | data[1]);
    pointer_ %= memory_.size();
    bool acknowledged = true;
    for (size_t i = 2; i < count; ++i) {
        if (failAtByte_ && ++bytesWritten_ >= *failAtByte_) {
            acknowledged = false;
            break;
        }
        memory_[pointer_] = data[i];
        pointer_ = (pointer_ + 1) % memory_.size();
    }
    if (count > 2)
        store();
    return acknowledged;
}

void Eeprom::read(uint8_t *out, size_t count)
{
    BoardFileLock lock(directory_);
    load();
    for (size_t i = 0; i < count; ++i) {
        out[i] = memory_[pointer_];
        pointer_ = (pointer_ + 1) % memory_.size();
    }
}

} // namespace boardsim
