// The simulated camera link bus.
#include "camera_link.h"

#include "link_chips.h"

#include <algorithm>
#include <cstdio>

namespace boardsim {
namespace {

constexpr const char *kFrameCounterName = "FRAME_COUNT";
constexpr const char *kChipVersionName = "CHIP_VERSION_REG";
// A counter the sensor-data file does not describe is one 16-bit value.
constexpr unsigned kDefaultCounterBytes = 2;

std::string deviceFile(const std::string &directory, uint8_t address)
{
    if (directory.empty())
        return {};
    char name[32];
    std::snprintf(name, sizeof name, "/bus-0x%02x.regs", address);
    return directory + name;
}

// A device whose read-only registers ignore bus writes, as the hardware does.
std::unique_ptr<BusDevice> makeDevice(const SensorDefaults &defaults, std::string persistPath)
{
    auto device = std::make_unique<BusDevice>(defaults, std::move(persistPath));
    for (const auto &r : defaults.registers)
        if (r.readOnly)
            device->protect(r.page, r.address, r.bytes);
    return device;
}

} // namespace

bool CameraLink::findFrameCounter(const BoardDescription &d, const SensorDefaults &defaults,
                                  const std::string &path, std::string &error)
{
    const SensorRegister *named = defaults.find(kFrameCounterName);
    // Without a frame_counter_register line the sensor's own counter is the one that counts.
    const uint32_t address =
        d.frameCounterGiven || named == nullptr ? d.frameCounterRegister : named->address;
    char text[128];
    if (address >= defaults.geometry.addressCount()) {
        if (!d.frameCounterGiven)
            return true; // the sensor has no counter the board could keep
        std::snprintf(text, sizeof text,
                      "frame_counter_register 0x%04X is beyond the register addresses of ",
                      address);
        error = text + path;
        return false;
    }
    CounterRegister counter;
    counter.address = address;
    counter.bytes = std::max(kDefaultCounterBytes, defaults.geometry.unitBytes());
    if (const SensorRegister *r = defaults.findAt(address)) {
        counter.page = r->page;
        counter.bytes = r->bytes;
    }
    const SensorRegister *chip = defaults.find(kChipVersionName);
    if (chip != nullptr && chip->address == address && chip->page == counter.page) {
        std::snprintf(text, sizeof text,
                      "frame_counter_register 0x%04X is the chip-version register of ", address);
        error = text + path;
        return false;
    }
    frameCounter_ = counter;
    return true;
}

bool CameraLink::build(const BoardDescription &d, const std::string &directory, std::string &error)
{
    // A relative name is looked up in the board directory.
    std::string path = d.sensorData.empty() ? std::string(kDefaultSensorData) : d.sensorData;
    if (path[0] != '/' && !directory.empty())
        path = directory + "/" + path;
    SensorDefaults defaults;
    if (!loadSensorDefaults(path, defaults, error) || !findFrameCounter(d, defaults, path, error))
        return false;
    sensorAddress_ = d.sensorAddress;
    auto sensor = makeDevice(defaults, deviceFile(directory, sensorAddress_));
    if (frameCounter_)
        sensor->protect(frameCounter_->page, frameCounter_->address, frameCounter_->bytes);
    devices_[sensorAddress_] = std::move(sensor);
    for (const auto &link : {d.serializerAddress, d.deserializerAddress}) {
        if (link && !devices_.count(*link))
            devices_[*link] =
                std::make_unique<BusDevice>(SensorDefaults{}, deviceFile(directory, *link));
    }
    if (d.linkGeneration)
        for (const LinkChip &chip : linkChips(*d.linkGeneration))
            if (!devices_.count(chip.address))
                devices_[chip.address] =
                    makeDevice(linkChipLayout(chip.id), deviceFile(directory, chip.address));
    return true;
}

void CameraLink::countFrame(uint32_t n)
{
    if (frameCounter_)
        sensor().setInternal(frameCounter_->page, frameCounter_->address, n, frameCounter_->bytes);
}

BusDevice *CameraLink::answer(uint8_t address)
{
    if (resetHeld_ && address == sensorAddress_)
        return nullptr;
    const auto it = devices_.find(address);
    return it == devices_.end() ? nullptr : it->second.get();
}

void CameraLink::setReset(bool held)
{
    if (resetHeld_ && !held)
        sensor().restoreDefaults();
    resetHeld_ = held;
}

void CameraLink::adoptReset(bool held)
{
    resetHeld_ = held;
}

void CameraLink::reload()
{
    for (auto &[address, device] : devices_)
        device->reload();
}

} // namespace boardsim
