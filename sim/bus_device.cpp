// The register file of a simulated bus device.
#include "bus_device.h"

#include <algorithm>
#include <utility>

#include "state_files.h"

namespace boardsim {

BusDevice::BusDevice(const SensorDefaults &layout, std::string persistPath)
    : geometry_(layout.geometry), pageSelect_(layout.pageSelect),
      pageCount_(std::max<uint32_t>(layout.pageCount, 1)), defaults_(layout.image()),
      memory_(defaults_), protected_(defaults_.size(), false), persistPath_(std::move(persistPath))
{
    reload();
}

void BusDevice::reload()
{
    if (persistPath_.empty())
        return;
    std::string saved;
    if (readWholeFile(persistPath_, saved) && saved.size() == memory_.size()) {
        memory_.assign(saved.begin(), saved.end());
        return;
    }
    // Missing, damaged or of another geometry: start from the defaults and record them.
    memory_ = defaults_;
    replaceFile(persistPath_, std::string(memory_.begin(), memory_.end()));
}

std::optional<size_t> BusDevice::locate(uint32_t page, size_t position) const
{
    if (page >= pageCount_)
        return std::nullopt;
    return page * geometry_.pageBytes() + position;
}

std::optional<size_t> BusDevice::locate(size_t position) const
{
    if (!pageSelect_ || position / geometry_.unitBytes() >= pageSelect_->address)
        return position; // unpaged registers live with page 0
    // The selected page is whatever the select register holds now, so a transfer that
    // writes it moves on in the new page, as on the device.
    uint32_t page = 0;
    const size_t select = pageSelect_->address * size_t{geometry_.unitBytes()};
    for (unsigned i = 0; i < geometry_.unitBytes(); ++i)
        page = page << 8 | memory_[select + i];
    return locate(page, position);
}

bool BusDevice::read(uint32_t start, uint8_t *out, size_t count) const
{
    if (!addressable(start))
        return false;
    const size_t pageBytes = geometry_.pageBytes();
    const size_t first = start * size_t{geometry_.unitBytes()};
    for (size_t i = 0; i < count; ++i) {
        const auto at = locate((first + i) % pageBytes);
        out[i] = at ? memory_[*at] : 0; // a page without registers reads as zeros
    }
    return true;
}

bool BusDevice::write(uint32_t start, const uint8_t *data, size_t count)
{
    if (!addressable(start))
        return false;
    store(std::nullopt, start * size_t{geometry_.unitBytes()}, data, count, false);
    return true;
}

void BusDevice::store(std::optional<uint32_t> page, size_t first, const uint8_t *data, size_t count,
                      bool internal)
{
    const size_t pageBytes = geometry_.pageBytes();
    size_t low = memory_.size(), high = 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t position = (first + i) % pageBytes;
        const auto at = page ? locate(*page, position) : locate(position);
        if (!at || (protected_[*at] && !internal))
            continue;
        memory_[*at] = data[i];
        low = std::min(low, *at);
        high = std::max(high, *at);
    }
    if (low <= high)
        persist(low, high);
}

std::optional<uint16_t> BusDevice::read16(uint32_t address) const
{
    uint8_t b[2];
    if (!read(address, b, sizeof b))
        return std::nullopt;
    return static_cast<uint16_t>(b[0] << 8 | b[1]);
}

bool BusDevice::write16(uint32_t address, uint16_t value)
{
    const uint8_t b[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    return write(address, b, sizeof b);
}

void BusDevice::protect(uint32_t page, uint32_t address, unsigned bytes)
{
    const size_t first = address * size_t{geometry_.unitBytes()};
    for (unsigned i = 0; i < bytes; ++i)
        if (const auto at = locate(page, (first + i) % geometry_.pageBytes()))
            protected_[*at] = true;
}

void BusDevice::setInternal(uint32_t page, uint32_t address, uint32_t value, unsigned bytes)
{
    uint8_t data[sizeof value];
    bytes = std::min<unsigned>(bytes, sizeof value);
    for (unsigned i = 0; i < bytes; ++i)
        data[i] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
    store(page, address * size_t{geometry_.unitBytes()}, data, bytes, true);
}

void BusDevice::restoreDefaults()
{
    memory_ = defaults_;
    persist(0, memory_.size() - 1);
}

void BusDevice::persist(size_t first, size_t last)
{
    if (!persistPath_.empty())
        writeFileAt(persistPath_, first, memory_.data() + first, last - first + 1);
}

} // namespace boardsim
