// The simulated camera link bus.
#include "camera_link.h"

#include <cstdio>

namespace boardsim {
namespace {

std::string deviceFile(const std::string &directory, uint8_t address)
{
    if (directory.empty())
        return {};
    char name[32];
    std::snprintf(name, sizeof name, "/bus-0x%02x.regs", address);
    return directory + name;
}

} // namespace

bool CameraLink::build(const BoardDescription &d, const std::string &directory, std::string &error)
{
    // A relative name is looked up in the board directory.
    std::string path = d.sensorData.empty() ? std::string(kDefaultSensorData) : d.sensorData;
    if (path[0] != '/' && !directory.empty())
        path = directory + "/" + path;
    SensorDefaults defaults;
    if (!loadSensorDefaults(path, defaults, error))
        return false;
    if (defaults.chipVersionRegister == d.frameCounterRegister) {
        char text[96];
        std::snprintf(text, sizeof text,
                      "frame_counter_register 0x%04X is the chip-version register of ",
                      d.frameCounterRegister);
        error = text + path;
        return false;
    }
    sensorAddress_ = d.sensorAddress;
    auto sensor =
        std::make_unique<BusDevice>(defaults.bytes, deviceFile(directory, sensorAddress_));
    if (defaults.chipVersionRegister)
        sensor->protect16(*defaults.chipVersionRegister);
    sensor->protect16(d.frameCounterRegister);
    devices_[sensorAddress_] = std::move(sensor);
    for (const auto &link : {d.serializerAddress, d.deserializerAddress}) {
        if (link && !devices_.count(*link)) {
            devices_[*link] = std::make_unique<BusDevice>(
                std::vector<uint8_t>(kRegisterSpaceBytes, 0), deviceFile(directory, *link));
        }
    }
    return true;
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
