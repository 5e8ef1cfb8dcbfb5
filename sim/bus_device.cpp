// The register file of a simulated bus device.
#include "bus_device.h"

#include "state_files.h"

#include <utility>

namespace boardsim {

BusDevice::BusDevice(std::vector<uint8_t> defaults, std::string persistPath)
    : defaults_(std::move(defaults)), memory_(defaults_), protected_(kRegisterSpaceBytes, false),
      persistPath_(std::move(persistPath))
{
    defaults_.resize(kRegisterSpaceBytes, 0);
    memory_.resize(kRegisterSpaceBytes, 0);
    reload();
}

void BusDevice::reload()
{
    if (persistPath_.empty())
        return;
    std::string saved;
    if (readWholeFile(persistPath_, saved) && saved.size() == kRegisterSpaceBytes) {
        memory_.assign(saved.begin(), saved.end());
        return;
    }
    // Missing or damaged: start from the defaults and record them.
    memory_ = defaults_;
    replaceFile(persistPath_, std::string(memory_.begin(), memory_.end()));
}

void BusDevice::read(uint16_t start, uint8_t *out, size_t count) const
{
    for (size_t i = 0; i < count; ++i)
        out[i] = memory_[static_cast<uint16_t>(start + i)];
}

void BusDevice::write(uint16_t start, const uint8_t *data, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const auto at = static_cast<uint16_t>(start + i);
        if (!protected_[at])
            memory_[at] = data[i];
    }
    persist(start, count);
}

uint16_t BusDevice::read16(uint16_t address) const
{
    uint8_t b[2];
    read(address, b, sizeof b);
    return static_cast<uint16_t>(b[0] << 8 | b[1]);
}

void BusDevice::write16(uint16_t address, uint16_t value)
{
    const uint8_t b[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    write(address, b, sizeof b);
}

void BusDevice::protect16(uint16_t address)
{
    protected_[address] = true;
    protected_[static_cast<uint16_t>(address + 1)] = true;
}

void BusDevice::setInternal16(uint16_t address, uint16_t value)
{
    memory_[address] = static_cast<uint8_t>(value >> 8);
    memory_[static_cast<uint16_t>(address + 1)] = static_cast<uint8_t>(value);
    persist(address, 2);
}

void BusDevice::restoreDefaults()
{
    memory_ = defaults_;
    persist(0, kRegisterSpaceBytes);
}

void BusDevice::persist(uint16_t start, size_t count)
{
    if (persistPath_.empty())
        return;
    if (static_cast<size_t>(start) + count <= kRegisterSpaceBytes) {
        writeFileAt(persistPath_, start, memory_.data() + start, count);
        return;
    }
    writeFileAt(persistPath_, 0, memory_.data(), kRegisterSpaceBytes);
}

} // namespace boardsim
