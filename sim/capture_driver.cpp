// The simulated capture driver's control channel.
#include "capture_driver.h"

#include "state_files.h"

#include <cerrno>
#include <cstdio>
#include <linux/videodev2.h>

namespace boardsim {
namespace {

constexpr uint64_t kBufferFlag = 0x10000;
constexpr unsigned kLengthShift = 32;
constexpr unsigned kAddressShift = 32;
constexpr uint64_t kSlaveMask = 0xFF;
constexpr uint8_t kMax7BitAddress = 0x7F;
constexpr uint32_t kMaxTransfer = 4096;
constexpr size_t kTableEntries = 15;

constexpr uint16_t kVersionFirst = 0xFF7F;
constexpr uint16_t kVersionLast = 0xFF77;
constexpr uint16_t kPropI2cAddress = 0xFF76;
constexpr uint16_t kPropPixelClock = 0xFF71;
constexpr uint16_t kPropLineLength = 0xFF6F;
constexpr uint16_t kPropI2cSpeedRead = 0xFF6B;
constexpr uint16_t kPropI2cSpeed = 0xFFF1;
constexpr uint16_t kPropSerializer = 0xFFF3;
constexpr uint16_t kPropDeserializer = 0xFFF4;
constexpr uint16_t kPropSensorAddress = 0xFFF5;
constexpr uint16_t kPropResetLine = 0xFFF6;
constexpr uint16_t kImageGroup = 0xFFF9;
constexpr uint16_t kSignalGroup = 0xFFFA;
constexpr uint16_t kFrameFormatTable = 0xFFFB;
constexpr uint16_t kStopTable = 0xFFFC;
constexpr uint16_t kStartTable = 0xFFFD;
constexpr uint16_t kEndMarker = 0xFFFF;
constexpr uint16_t kGroupFirst = 0xF000;

bool isTableId(uint16_t a)
{
    return (a >= 0xFF01 && a <= 0xFF05) || a == kFrameFormatTable || a == kStopTable ||
           a == kStartTable;
}

bool isSignalProperty(uint16_t p)
{
    return p == 0xF002 || p == 0xF003 || (p >= 0xF008 && p <= 0xF00B);
}

bool isImageProperty(uint16_t p)
{
    return p >= kGroupFirst && p <= 0xF004;
}
bool isFrameFormatProperty(uint16_t p)
{
    return p >= kGroupFirst && p <= 0xF005;
}

std::string hex(uint64_t v)
{
    char b[24];
    std::snprintf(b, sizeof b, "0x%04llX", static_cast<unsigned long long>(v));
    return b;
}

std::string bytesText(const uint8_t *data, size_t n)
{
    std::string out;
    char b[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, " %02x", data[i]);
        out += b;
    }
    return out;
}

} // namespace

std::optional<uint16_t> tableOfControl(uint32_t control)
{
    switch (control) {
    case 0x9A2002:
        return 0xFF01;
    case 0x9A200C:
        return 0xFF02;
    case 0x9A200B:
        return 0xFF03;
    case 0x9A200A:
        return 0xFF04;
    case 0x9A2009:
        return 0xFF05;
    default:
        return std::nullopt;
    }
}

CaptureDriver::CaptureDriver(CameraLink &link, std::string boardDirectory)
    : link_(link), directory_(std::move(boardDirectory))
{
}

void CaptureDriver::reset(const BoardDescription &description)
{
    state_.reset(description);
    reload();
}

void CaptureDriver::reload()
{
    std::string text;
    if (!directory_.empty() && readWholeFile(directory_ + "/driver.state", text))
        state_.deserialize(text);
    link_.adoptReset(state_.resetLine == 0);
}

void CaptureDriver::save() const
{
    if (!directory_.empty())
        replaceFile(directory_ + "/driver.state", state_.serialize());
}

void CaptureDriver::log(const std::string &line) const
{
    if (!directory_.empty())
        appendLine(directory_ + "/bus.log", line);
}

void CaptureDriver::setInputClock(uint32_t hertz)
{
    state_.inputClock = hertz;
    save();
    log("CLOCK " + std::to_string(hertz));
}

void CaptureDriver::failInputClock(const std::string &argument) const
{
    log("CLOCK " + argument + " FAILED");
}

int CaptureDriver::debugRegister(bool write, v4l2_dbg_register &r)
{
    if (r.match.type != V4L2_CHIP_MATCH_BRIDGE || r.match.addr != 0)
        return -EINVAL;
    if (r.reg == 0)
        return property(write, r);
    if (r.reg & kBufferFlag)
        return buffered(write, r);
    return direct(write, r);
}

int CaptureDriver::property(bool write, v4l2_dbg_register &r)
{
    const auto number = static_cast<uint16_t>(r.val >> kAddressShift);
    if (write) {
        const auto value = static_cast<uint32_t>(r.val);
        const int rc = writeProperty(number, value);
        log("S_PROPERTY " + hex(number) + " " + hex(value) + (rc < 0 ? " EINVAL" : ""));
        return rc;
    }
    uint32_t value = 0;
    const int rc = readProperty(number, value);
    if (rc == 0)
        r.val = value;
    log("G_PROPERTY " + hex(number) + " " + (rc < 0 ? std::string("EINVAL") : hex(value)));
    return rc;
}

int CaptureDriver::readProperty(uint16_t number, uint32_t &value) const
{
    if (number <= kVersionFirst && number >= kVersionLast) {
        value = static_cast<uint32_t>(state_.version[kVersionFirst - number]);
        return 0;
    }
    switch (number) {
    case kPropI2cAddress:
        value = state_.i2cAddress;
        return 0;
    case kPropPixelClock:
        value = state_.pixelClock;
        return 0;
    case kPropLineLength:
        value = state_.lineLength;
        return 0;
    case kPropI2cSpeedRead:
        value = state_.i2cSpeed;
        return 0;
    default:
        return -EINVAL;
    }
}

int CaptureDriver::writeProperty(uint16_t number, uint32_t value)
{
    switch (number) {
    case kPropI2cSpeed:
        state_.i2cSpeed = value;
        break;
    case kPropSerializer:
        state_.serializerAddress = value;
        break;
    case kPropDeserializer:
        state_.deserializerAddress = value;
        break;
    case kPropSensorAddress:
        if (value > kMax7BitAddress)
            return -EINVAL;
        state_.i2cAddress = static_cast<uint8_t>(value);
        break;
    case kPropResetLine:
        if (value > 1)
            return -EINVAL;
        state_.resetLine = value;
        link_.setReset(value == 0);
        break;
    case kImageGroup:
    case kSignalGroup:
        openGroup_ = number;
        pendingGroup_.clear();
        return 0;
    case kEndMarker:
        commitGroup();
        break;
    default:
        return groupProperty(number, value);
    }
    save();
    return 0;
}

int CaptureDriver::groupProperty(uint16_t number, uint32_t value)
{
    const bool accepted = (openGroup_ == kImageGroup && isImageProperty(number)) ||
                          (openGroup_ == kSignalGroup && isSignalProperty(number));
    if (!accepted)
        return -EINVAL;
    pendingGroup_[number] = value;
    return 0;
}

void CaptureDriver::commitGroup()
{
    for (const auto &[number, value] : pendingGroup_) {
        if (openGroup_ == kImageGroup) {
            state_.imageProperties[number - kGroupFirst] = value;
            if (number == 0xF002)
                state_.lineLength = value;
        } else {
            state_.signalProperties[number] = value;
            if (number == 0xF003)
                state_.pixelClock = value;
        }
    }
    openGroup_ = 0;
    pendingGroup_.clear();
}

int CaptureDriver::direct(bool write, v4l2_dbg_register &r)
{
    if (r.size != 2 || (r.reg & ~kSlaveMask) != 0 || r.reg > kMax7BitAddress)
        return -EINVAL;
    const auto slave = static_cast<uint8_t>(r.reg);
    const auto address = static_cast<uint16_t>(r.val >> kAddressShift);
    const auto data = static_cast<uint16_t>(r.val);
    const std::string what = hex(slave) + " " + hex(address);
    if (write && slave == state_.i2cAddress && tableWrite(address, data)) {
        log("S_REGISTER " + what + " " + hex(data) + " TABLE");
        return 0;
    }
    BusDevice *device = link_.answer(slave);
    if (device == nullptr) {
        log(std::string(write ? "S_REGISTER " : "G_REGISTER ") + what + " NACK");
        return -EREMOTEIO;
    }
    // The address goes on the wire in the device's own address width.
    if (!device->addressable(address)) {
        log(std::string(write ? "S_REGISTER " : "G_REGISTER ") + what + " EINVAL");
        return -EINVAL;
    }
    if (write) {
        device->write16(address, data);
        log("S_REGISTER " + what + " " + hex(data));
        return 0;
    }
    const uint16_t value = *device->read16(address);
    r.val = (r.val & ~uint64_t{0xFFFF}) | value;
    log("G_REGISTER " + what + " " + hex(value));
    return 0;
}

int CaptureDriver::buffered(bool write, v4l2_dbg_register &r)
{
    const uint64_t flagsAndSlave = r.reg & 0xFFFFFFFFull;
    const auto length = static_cast<uint32_t>(r.reg >> kLengthShift);
    const auto slave = static_cast<uint8_t>(r.reg & kSlaveMask);
    auto *buffer = reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(r.val));
    const unsigned addressBytes = r.size;
    if ((flagsAndSlave & ~(kBufferFlag | kSlaveMask)) != 0 || slave > kMax7BitAddress ||
        (addressBytes != 1 && addressBytes != 2) || buffer == nullptr || length == 0 ||
        length > kMaxTransfer || (write && length < addressBytes))
        return -EINVAL;
    const std::string what = hex(slave) + " size=" + std::to_string(addressBytes);
    BusDevice *device = link_.answer(slave);
    if (device == nullptr) {
        log(std::string(write ? "S_BUFFER " : "G_BUFFER ") + what + " NACK");
        return -EREMOTEIO;
    }
    const uint16_t start =
        addressBytes == 2 ? static_cast<uint16_t>(buffer[0] << 8 | buffer[1]) : buffer[0];
    if (!device->addressable(start)) {
        log(std::string(write ? "S_BUFFER " : "G_BUFFER ") + what + " " + hex(start) + " EINVAL");
        return -EINVAL;
    }
    if (write) {
        device->write(start, buffer + addressBytes, length - addressBytes);
        log("S_BUFFER " + what + " " + hex(start) +
            bytesText(buffer + addressBytes, length - addressBytes));
        return 0;
    }
    device->read(start, buffer, length);
    r.val = length;
    log("G_BUFFER " + what + " " + hex(start) + bytesText(buffer, length));
    return 0;
}

bool CaptureDriver::tableWrite(uint16_t address, uint16_t value)
{
    if (openTable_) {
        pendingTable_.push_back({address, value});
        if (address == kEndMarker || pendingTable_.size() == kTableEntries) {
            paddingLeft_ = static_cast<int>(kTableEntries - pendingTable_.size());
            commitTable();
        }
        return true;
    }
    // A table is taken as fifteen entries: zero entries after the end marker are padding.
    if (paddingLeft_ > 0 && address == 0 && value == 0) {
        --paddingLeft_;
        return true;
    }
    paddingLeft_ = 0;
    if (!isTableId(address))
        return false;
    openTable_ = address;
    pendingTable_.clear();
    return true;
}

void CaptureDriver::commitTable()
{
    const uint16_t id = *openTable_;
    openTable_.reset();
    std::vector<TableEntry> entries;
    for (const auto &e : pendingTable_) {
        if (e.address == kEndMarker)
            break;
        entries.push_back(e);
    }
    state_.tables[id] = entries;
    if (id == kFrameFormatTable) {
        for (const auto &e : entries)
            if (isFrameFormatProperty(e.address))
                state_.frameFormat[e.address - kGroupFirst] = e.value;
    } else if (id == kStopTable || id == kStartTable) {
        writeTableToSensor(entries);
    }
    save();
}

void CaptureDriver::writeTableToSensor(const std::vector<TableEntry> &entries)
{
    BusDevice *sensor = link_.answer(state_.i2cAddress);
    if (sensor == nullptr)
        return;
    // Entries the sensor's address width cannot reach are left out, as the driver would.
    for (const auto &e : entries)
        sensor->write16(e.address, e.value);
}

int CaptureDriver::applyControlTable(uint32_t control, int32_t value)
{
    const auto table = tableOfControl(control);
    if (!table)
        return -EINVAL;
    log("S_EXT_CTRL " + hex(control) + " " + std::to_string(value));
    if (value != 1)
        return 0;
    const auto it = state_.tables.find(*table);
    if (it != state_.tables.end())
        writeTableToSensor(it->second);
    ++state_.controlApplied[control];
    save();
    return 0;
}

} // namespace boardsim
