// The camera link's I2C bus behind the capture driver: the sensor and optional link devices.
#pragma once

#include "board_description.h"
#include "bus_device.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace boardsim {

// The sensor-data file of the default board's sensor: the sample of the source tree.
inline constexpr const char *kDefaultSensorData = BOARDSIM_DEFAULT_SENSOR_DATA;

class CameraLink
{
public:
    // Builds the devices; false with a message when the sensor's register defaults cannot be read.
    bool build(const BoardDescription &description, const std::string &boardDirectory,
               std::string &error);

    // The device that acknowledges a 7-bit address, or nullptr (no device, or sensor in reset).
    BusDevice *answer(uint8_t address);
    BusDevice &sensor() { return *devices_.at(sensorAddress_); }
    // The sensor's frame counter register follows frame number n (truncated to its width).
    void countFrame(uint32_t n);
    // The sensor's reset line: while held, the sensor does not answer; on release it comes
    // back with its default register values.
    void setReset(bool held);
    bool resetHeld() const { return resetHeld_; }
    // Takes the line's state from another process, which has already reset the registers.
    void adoptReset(bool held);
    void reload();

private:
    struct CounterRegister {
        uint32_t page = 0;
        uint32_t address = 0;
        unsigned bytes = 2;
    };
    bool findFrameCounter(const BoardDescription &d, const SensorDefaults &defaults,
                          const std::string &path, std::string &error);

    std::map<uint8_t, std::unique_ptr<BusDevice>> devices_;
    std::optional<CounterRegister> frameCounter_;
    uint8_t sensorAddress_ = 0;
    bool resetHeld_ = false;
};

} // namespace boardsim
