// The simulated capture driver's control channel: registers, properties, groups, tables.
#pragma once

#include "camera_link.h"
#include "driver_state.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

struct v4l2_dbg_register;

namespace boardsim {

// Extended controls of the camera class that apply a stored register table.
constexpr uint32_t kControlClassCamera = 0x9A0000;
constexpr uint32_t kPreferredStrideControl = 0x9A206E;
std::optional<uint16_t> tableOfControl(uint32_t control);

class CaptureDriver
{
public:
    CaptureDriver(CameraLink &link, std::string boardDirectory);

    void reset(const BoardDescription &description);
    // Takes what another process told the driver (the driver outlives processes).
    void reload();
    DriverState &state() { return state_; }
    void save() const;

    // VIDIOC_DBG_G_REGISTER / VIDIOC_DBG_S_REGISTER; 0 or a negative errno.
    int debugRegister(bool write, v4l2_dbg_register &request);
    // A table-apply control set to 1: the stored table's registers go to the sensor.
    int applyControlTable(uint32_t control, int32_t value);
    void log(const std::string &line) const;
    // The board's sensor clock script: records the sensor's input clock (Hz), or logs a failed
    // run with the argument it was given.
    void setInputClock(uint32_t hertz);
    void failInputClock(const std::string &argument) const;

private:
    int property(bool write, v4l2_dbg_register &r);
    int direct(bool write, v4l2_dbg_register &r);
    int buffered(bool write, v4l2_dbg_register &r);
    int writeProperty(uint16_t property, uint32_t value);
    int readProperty(uint16_t property, uint32_t &value) const;
    int groupProperty(uint16_t property, uint32_t value);
    void commitGroup();
    // Table traffic on the table address; true when the write was taken by the driver.
    bool tableWrite(uint16_t address, uint16_t value);
    void commitTable();
    void writeTableToSensor(const std::vector<TableEntry> &entries);

    CameraLink &link_;
    std::string directory_;
    DriverState state_;
    uint16_t openGroup_ = 0;
    std::map<uint16_t, uint32_t> pendingGroup_;
    std::optional<uint16_t> openTable_;
    std::vector<TableEntry> pendingTable_;
    int paddingLeft_ = 0;
};

} // namespace boardsim
