// Far registers through the on-chip serial-bus master of the physical-port sensor families.
#include <cstdio>
#include <vector>

#include "registers/access.h"
#include "registers/far_regs.h"
#include "registers/lookup.h"

namespace {

constexpr uint32_t kByteBits = 8;
constexpr uint32_t kByteMask = 0xFF;
constexpr uint32_t kNarrowAddrBits = 8;
constexpr uint32_t kPolls = 100;
// Status bits: 0 ready/done, 1 and 3 errors, 2 not acknowledged.
constexpr uint32_t kReadyBit = 0x1;
constexpr uint32_t kErrorBits = 0x2 | 0x8;
constexpr uint32_t kNackBit = 0x4;
// Frame: a byte count below 0x80 continues with a read; 0x80 ends the transaction after
// the bytes written.
constexpr uint32_t kStopFlag = 0x80;
constexpr uint32_t kReadFlag = 0x1;
constexpr uint32_t kStart = 1;
constexpr uint32_t kStandbyBit = 0x1;

using Frame = std::vector<uint32_t>;

bool hasRegisters(ze_camera_t *camera)
{
    for (const char *name : {"I2C_MASTER_STATUS", "I2C_MASTER_CONTROL", "TXBUFFER_TOTAL_BYTE_COUNT",
                             "TXBUFFER_DATA_REGISTER_0"}) {
        if (!zentro::findSensorRegister(camera, name))
            return false;
    }
    return true;
}

// A sensor in standby has its bus master off.
bool inStandby(ze_camera_t *camera)
{
    uint32_t status = 0;
    return zentro::readNamedHardwareNolock(camera, "STANDBY_CONTROL_AND_STATUS", &status) ==
               CAMERA_SUCCESS &&
           (status & kStandbyBit);
}

// Appends @bits of @value, most significant byte first.
void appendBytes(Frame &frame, uint32_t value, uint32_t bits)
{
    for (uint32_t shift = bits; shift >= kByteBits; shift -= kByteBits)
        frame.push_back((value >> (shift - kByteBits)) & kByteMask);
}

uint32_t unitBytes(const zentro::FarTarget &target)
{
    return target.dataBits > kByteBits ? 2 : 1;
}

bool selectsSpace(const zentro::FarTarget &target)
{
    return target.selectAddr != 0 && target.addrBits == kNarrowAddrBits;
}

// Writes the space id to the far device's select register (a transaction of its own).
void appendSelect(Frame &frame, const zentro::FarTarget &target)
{
    const uint32_t idBits = target.dataBits > kByteBits ? 2 * kByteBits : kByteBits;
    frame.push_back(target.base);
    frame.push_back(kStopFlag | (1 + idBits / kByteBits - 1));
    frame.push_back(target.selectAddr & kByteMask);
    appendBytes(frame, target.spaceId, idBits);
}

Frame readFrame(const zentro::FarTarget &target, uint32_t addr, uint32_t bytes)
{
    Frame frame;
    uint32_t addrBits = target.addrBits;
    if (selectsSpace(target))
        appendSelect(frame, target);
    frame.push_back(target.base);
    frame.push_back(addrBits / kByteBits - 1);
    appendBytes(frame, addr, addrBits);
    frame.push_back(target.base | kReadFlag);
    frame.push_back(bytes - 1);
    return frame;
}

Frame writeFrame(const zentro::FarTarget &target, uint32_t addr, const uint32_t *units,
                 uint32_t count)
{
    Frame frame;
    if (selectsSpace(target))
        appendSelect(frame, target);
    const uint32_t bytes = count * unitBytes(target);
    frame.push_back(target.base);
    frame.push_back(kStopFlag | (target.addrBits / kByteBits + bytes - 1));
    appendBytes(frame, addr, target.addrBits);
    for (uint32_t i = 0; i < count; ++i)
        appendBytes(frame, units[i], unitBytes(target) * kByteBits);
    return frame;
}

std::string bufferName(const char *prefix, uint32_t index)
{
    char name[64];
    snprintf(name, sizeof(name), "%s%u", prefix, index);
    return name;
}

// Two frame bytes per 16-bit buffer register, the first in the high byte.
int loadFrame(ze_camera_t *camera, const Frame &frame)
{
    for (uint32_t i = 0; i < frame.size(); i += 2) {
        const uint32_t second = i + 1 < frame.size() ? frame[i + 1] : 0;
        const int result =
            zentro::writeNamedNolock(camera, bufferName("TXBUFFER_DATA_REGISTER_", i / 2).c_str(),
                                     (frame[i] << kByteBits) | second);
        if (result != CAMERA_SUCCESS)
            return result;
    }
    return CAMERA_SUCCESS;
}

int waitReady(ze_camera_t *camera, uint32_t *status)
{
    return zentro::pollNamed(
        camera, "I2C_MASTER_STATUS", kPolls,
        [](uint32_t value) { return (value & kReadyBit) != 0; }, status);
}

int runFrame(ze_camera_t *camera, const Frame &frame)
{
    uint32_t status = 0;
    int result = waitReady(camera, &status);
    if (result == CAMERA_SUCCESS)
        result = loadFrame(camera, frame);
    if (result == CAMERA_SUCCESS)
        result = zentro::writeNamedNolock(camera, "TXBUFFER_TOTAL_BYTE_COUNT",
                                          static_cast<uint32_t>(frame.size()) - 1);
    if (result == CAMERA_SUCCESS)
        result = zentro::writeNamedNolock(camera, "I2C_MASTER_CONTROL", kStart);
    if (result == CAMERA_SUCCESS)
        result = waitReady(camera, &status);
    if (result != CAMERA_SUCCESS)
        return result;
    if (status & kNackBit)
        return I2C_NACK_ERROR;
    return (status & kErrorBits) ? CAMERA_ERROR : CAMERA_SUCCESS;
}

int readAnswer(ze_camera_t *camera, const zentro::FarTarget &target, uint32_t count,
               uint32_t *units)
{
    const uint32_t bytes = count * unitBytes(target);
    std::vector<uint32_t> received;
    for (uint32_t i = 0; i < (bytes + 1) / 2; ++i) {
        uint32_t word = 0;
        const int result = zentro::readNamedHardwareNolock(
            camera, bufferName("RXBUFFER_DATA_REGISTER_", i + 1).c_str(), &word);
        if (result != CAMERA_SUCCESS)
            return result;
        received.push_back((word >> kByteBits) & kByteMask);
        received.push_back(word & kByteMask);
    }
    for (uint32_t i = 0; i < count; ++i) {
        units[i] = unitBytes(target) == 2 ? (received[2 * i] << kByteBits) | received[2 * i + 1]
                                          : received[i];
    }
    return CAMERA_SUCCESS;
}

} // namespace

namespace zentro {

int busMasterFarTransfer(ze_camera_t *camera, const FarTarget &target, uint32_t addr,
                         uint32_t count, uint32_t *units, bool write)
{
    if (!hasRegisters(camera))
        return CAMERA_ERROR;
    if (inStandby(camera)) {
        if (!write)
            std::fill(units, units + count, 0u);
        return CAMERA_SUCCESS;
    }
    if (count == 0)
        return CAMERA_SUCCESS;
    const Frame frame = write ? writeFrame(target, addr, units, count)
                              : readFrame(target, addr, count * unitBytes(target));
    const int result = runFrame(camera, frame);
    if (result != CAMERA_SUCCESS || write)
        return result;
    return readAnswer(camera, target, count, units);
}

} // namespace zentro
