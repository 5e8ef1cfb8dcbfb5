// Register entry points: registers of any device on the sensor's bus, by the camera's register
// address and data widths.
#include "entry_points.h"

#include <cstdio>
#include <optional>

#include "zentro_errors.h"
#include "zentro_modes.h"

namespace {

constexpr int kNoAcknowledge = -121; // the device did not answer
constexpr uint32_t kBits8 = 8, kBits16 = 16, kBits32 = 32;
constexpr uint32_t kByteMask = 0xFF, kWordMask = 0xFFFF;
constexpr uint32_t kMax16BitAddress = 0xFFFF, kMax8BitAddress = 0xFF;

// One register access on the device the camera's context points at.
struct Access {
    DeviceContext &context;
    V4L2_Camera &device;
    uint32_t addressBits;
    uint32_t dataBits;

    // Addresses from one value to the next: 16-bit addresses count bytes, while a device with
    // 8-bit addresses and 16-bit data holds a whole register at every address.
    uint32_t step() const
    {
        if (addressBits == kBits8 && dataBits == kBits16)
            return 1;
        return dataBits / kBits8;
    }
};

int resultOf(int64_t transfer)
{
    if (transfer == kNoAcknowledge)
        return I2C_NACK_ERROR;
    return transfer < 0 ? CAMERA_ERROR : CAMERA_SUCCESS;
}

bool isDataWidth(uint32_t bits)
{
    return bits == kBits8 || bits == kBits16 || bits == kBits32;
}

// Registers @first to @last exist in the address width (the driver carries 16-bit addresses).
bool addressesFit(const Access &a, uint64_t first, uint64_t last)
{
    const uint64_t highest = a.addressBits == kBits8 ? kMax8BitAddress : kMax16BitAddress;
    return first <= last && last <= highest;
}

// Points the device at @busAddress unless a stream is running (the access then goes to the
// device already addressed) and reads the widths; none when the camera cannot be reached or
// a width is not set.
std::optional<Access> prepare(ze_camera_t *camera, uint32_t busAddress)
{
    DeviceContext *c = deviceContext(camera);
    if (c == nullptr)
        return std::nullopt;
    V4L2_Camera &device = *c->device;
    if (busAddress != c->busAddress && !device.IsStreaming()) {
        device.SetI2CAddress(static_cast<uint8_t>(busAddress));
        c->busAddress = busAddress;
    }
    uint32_t addressBits = 0, dataBits = 0;
    g_helper->getMode(camera, ZE_REG_ADDR_SIZE, &addressBits);
    g_helper->getMode(camera, ZE_REG_DATA_SIZE, &dataBits);
    if (addressBits == 0 || dataBits == 0)
        return std::nullopt;
    return Access{*c, device, addressBits, dataBits};
}

int64_t writeByte(const Access &a, uint32_t address, uint32_t value)
{
    const auto byte = static_cast<uint8_t>(value);
    if (a.addressBits == kBits8)
        return a.device.WriteSensor(static_cast<uint8_t>(address), byte);
    return a.device.WriteSensor(static_cast<uint16_t>(address), byte);
}

int64_t readByte(const Access &a, uint32_t address)
{
    const int rc = a.addressBits == kBits8 ? a.device.ReadSensor8(static_cast<uint8_t>(address))
                                           : a.device.ReadSensor8(static_cast<uint16_t>(address));
    return rc < 0 ? int64_t{rc} : int64_t{rc & static_cast<int>(kByteMask)};
}

int64_t writeOne(const Access &a, uint32_t address, uint32_t value)
{
    const auto at = static_cast<uint16_t>(address);
    switch (a.dataBits) {
    case kBits8:
        return writeByte(a, address, value);
    case kBits16:
        return a.device.WriteSensor(at, static_cast<uint16_t>(value));
    default:
        return a.device.WriteSensor(at, value);
    }
}

int64_t readOne(const Access &a, uint32_t address)
{
    const auto at = static_cast<uint16_t>(address);
    switch (a.dataBits) {
    case kBits8:
        return readByte(a, address);
    case kBits16: {
        const int rc = a.device.ReadSensor16(at);
        return rc < 0 ? int64_t{rc} : int64_t{rc & static_cast<int>(kWordMask)};
    }
    default:
        return a.device.ReadSensor32(at);
    }
}

// 8-bit registers are written two at a time (first byte high); an odd last byte is written
// alone at its own address.
int writeBytes(const Access &a, uint32_t start, uint32_t count, const uint32_t *values)
{
    uint32_t i = 0;
    for (; i + 1 < count; i += 2) {
        const auto pair =
            static_cast<uint16_t>((values[i] & kByteMask) << kBits8 | (values[i + 1] & kByteMask));
        if (const int rc = resultOf(a.device.WriteSensor(static_cast<uint16_t>(start + i), pair)))
            return rc;
    }
    return i < count ? resultOf(writeByte(a, start + i, values[i])) : CAMERA_SUCCESS;
}

int readBytes(const Access &a, uint32_t start, uint32_t count, uint32_t *values)
{
    uint32_t i = 0;
    for (; i + 1 < count; i += 2) {
        const int rc = a.device.ReadSensor16(static_cast<uint16_t>(start + i));
        if (rc < 0)
            return resultOf(rc);
        values[i] = static_cast<uint32_t>(rc) >> kBits8 & kByteMask;
        values[i + 1] = static_cast<uint32_t>(rc) & kByteMask;
    }
    if (i < count) {
        const int64_t rc = readByte(a, start + i);
        if (rc < 0)
            return resultOf(rc);
        values[i] = static_cast<uint32_t>(rc);
    }
    return CAMERA_SUCCESS;
}

int writeMany(const Access &a, uint32_t start, uint32_t count, const uint32_t *values)
{
    if (a.dataBits == kBits8 && count > 1)
        return writeBytes(a, start, count, values);
    for (uint32_t i = 0; i < count; ++i)
        if (const int rc = resultOf(writeOne(a, start + i * a.step(), values[i])))
            return rc;
    return CAMERA_SUCCESS;
}

int readMany(const Access &a, uint32_t start, uint32_t count, uint32_t *values)
{
    if (a.dataBits == kBits8 && count > 1)
        return readBytes(a, start, count, values);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t address = start + i * a.step();
        const int64_t rc = readOne(a, address);
        if (rc < 0)
            return resultOf(rc);
        values[i] = static_cast<uint32_t>(rc);
        if (a.dataBits == kBits32)
            std::printf("r32: 0x%04X = 0x%08X (Data size: %u)\n", address, values[i], a.dataBits);
    }
    return CAMERA_SUCCESS;
}

// The whole register range of @count values from @start fits the address width.
bool rangeFits(const Access &a, uint32_t start, uint32_t count)
{
    return count > 0 && addressesFit(a, start, uint64_t{start} + uint64_t{count} * a.step() - 1);
}

// Runs @body on a prepared access with a supported data width; 1 otherwise.
template <class Body>
int withAccess(ze_camera_t *camera, uint32_t busAddress, const char *unsupported, Body &&body)
{
    const std::optional<Access> access = prepare(camera, busAddress);
    if (!access)
        return CAMERA_ERROR;
    if (!isDataWidth(access->dataBits)) {
        if (unsupported != nullptr)
            std::printf(unsupported, access->dataBits);
        return CAMERA_ERROR;
    }
    return body(*access);
}

constexpr const char *kWriteUnsupported = "Data Size %d not supported!\n";
constexpr const char *kReadUnsupported = "Data size %d not supported!\n";

} // namespace

CSI_EXPORT int ReadRegisterDLL(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr,
                               uint32_t *value)
{
    if (value == nullptr)
        return CAMERA_ERROR;
    return guardedEntry("ReadRegisterDLL", [&]() -> int {
        return withAccess(camera, busAddr, nullptr, [&](const Access &a) -> int {
            if (!rangeFits(a, regAddr, 1))
                return CAMERA_ERROR;
            const int64_t rc = readOne(a, regAddr);
            if (rc >= 0)
                *value = static_cast<uint32_t>(rc);
            return resultOf(rc);
        });
    });
}

CSI_EXPORT int WriteRegisterDLL(ze_camera_t *camera, uint32_t busAddr, uint32_t regAddr,
                                uint32_t value)
{
    return guardedEntry("WriteRegisterDLL", [&]() -> int {
        return withAccess(camera, busAddr, kWriteUnsupported, [&](const Access &a) -> int {
            return rangeFits(a, regAddr, 1) ? resultOf(writeOne(a, regAddr, value)) : CAMERA_ERROR;
        });
    });
}

CSI_EXPORT int ReadRegistersDLL(ze_camera_t *camera, uint32_t busAddr, uint32_t start,
                                uint32_t count, uint32_t *values)
{
    if (count == 0)
        return CAMERA_SUCCESS;
    if (values == nullptr)
        return CAMERA_ERROR;
    return guardedEntry("ReadRegistersDLL", [&]() -> int {
        return withAccess(camera, busAddr, kReadUnsupported, [&](const Access &a) -> int {
            return rangeFits(a, start, count) ? readMany(a, start, count, values) : CAMERA_ERROR;
        });
    });
}

CSI_EXPORT int WriteRegistersDLL(ze_camera_t *camera, uint32_t busAddr, uint32_t start,
                                 uint32_t count, uint32_t *values)
{
    if (count == 0 || values == nullptr)
        return CAMERA_ERROR;
    return guardedEntry("WriteRegistersDLL", [&]() -> int {
        return withAccess(camera, busAddr, kWriteUnsupported, [&](const Access &a) -> int {
            return rangeFits(a, start, count) ? writeMany(a, start, count, values) : CAMERA_ERROR;
        });
    });
}

CSI_EXPORT int WriteSensorRegistersDLL(ze_camera_t *camera, uint32_t, uint32_t start,
                                       uint32_t count, uint32_t *values)
{
    if (count == 0 || values == nullptr || camera == nullptr || camera->sensor == nullptr)
        return CAMERA_ERROR;
    return guardedEntry("WriteSensorRegistersDLL", [&]() -> int {
        const int rc = withAccess(
            camera, camera->sensor->shipBaseAddr, kWriteUnsupported, [&](const Access &a) -> int {
                return rangeFits(a, start, count) ? writeMany(a, start, count, values)
                                                  : CAMERA_ERROR;
            });
        // The sensor's own writes report plain failure, whatever the bus said.
        return rc == CAMERA_SUCCESS ? CAMERA_SUCCESS : CAMERA_ERROR;
    });
}
