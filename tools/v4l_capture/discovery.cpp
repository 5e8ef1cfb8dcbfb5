// Sensor discovery over the sensor table, and the bus check.
#include "discovery.h"

#include <cstdio>
#include <cstdlib>

#include "driver_control.h"
#include "sensor_table.h"

namespace {

constexpr uint16_t kCheckRegister = 0x3002;
constexpr uint32_t kWideReadBytes = 100;
constexpr uint32_t kCheckReadBytes = 8;
constexpr uint32_t kAddressBytes = 2;

// Puts a 16-bit register address at the start of a transfer buffer.
void setAddress(uint8_t *buffer, uint16_t address)
{
    buffer[0] = static_cast<uint8_t>(address >> 8);
    buffer[1] = static_cast<uint8_t>(address);
}

int readAt(uint8_t slave, uint16_t address, uint32_t length, uint8_t *buffer)
{
    setAddress(buffer, address);
    return i2c_read(slave, length, buffer);
}

void printCheckRegister(uint8_t slave)
{
    uint8_t b[kAddressBytes + 2] = {};
    const int n = readAt(slave, kCheckRegister, 2, b);
    std::fprintf(stderr, "i2c_read %d bytes of 2 bytes requested  byte at 0x3002 :: 0x%x%x\n", n,
                 b[0], b[1]);
}

void printCheckRegisters(uint8_t slave)
{
    uint8_t b[kCheckReadBytes + kAddressBytes] = {};
    const int n = readAt(slave, kCheckRegister, kCheckReadBytes, b);
    std::fprintf(stderr,
                 "i2c_read %d bytes of 8 bytes requested byte at 0x3002 :: 0x%x%x, 0x%x%x, "
                 "0x%x%x, 0x%x%x\n",
                 n, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
}

bool chipIdMatches(const SensorEntry &e)
{
    const uint32_t driverAddress = sensor_read_prop(DRV_PROP_I2C_ADDRESS);
    if (driverAddress != e.i2cAddress) {
        sensor_config_prop(DRV_PROP_SENSOR_ADDRESS, e.i2cAddress);
        std::printf("I2C changed from 0x%X to 0x%X\n", driverAddress,
                    sensor_read_prop(DRV_PROP_I2C_ADDRESS));
    }
    // An absent device reads as 0 after the not-connected message: a mismatch.
    return i2c_read16(static_cast<uint8_t>(e.i2cAddress), e.chipIdRegister) == e.chipId;
}

} // namespace

DetectedSensor discoverSensor(unsigned metaRows, unsigned statsRows)
{
    auto &table = sensorTable();
    for (size_t i = 0; i < table.size() && table[i].chipIdRegister != kTableEnd; ++i) {
        SensorEntry &e = table[i];
        if (!chipIdMatches(e))
            continue;
        e.frameFormat[1] = static_cast<uint16_t>(e.frameFormat[1] + metaRows + statsRows);
        std::printf("%s sensor detected\n", e.name);
        return {static_cast<uint8_t>(i), static_cast<uint8_t>(e.i2cAddress)};
    }
    // Without a sensor nothing below has a table entry to work with.
    std::fprintf(stderr, "Sensor not detected\n");
    std::exit(EXIT_FAILURE);
}

void busCheck(const SensorEntry &sensor)
{
    const auto slave = static_cast<uint8_t>(sensor.i2cAddress);
    uint8_t wide[kWideReadBytes + kAddressBytes] = {};
    int n = readAt(slave, sensor.chipIdRegister, 1, wide);
    std::fprintf(stderr, "i2c_read %d byte of  1 byte requested byte at 0x%X :: 0x%x\n", n,
                 sensor.chipIdRegister, wide[0]);
    n = readAt(slave, sensor.chipIdRegister, kWideReadBytes, wide);
    std::fprintf(stderr, "i2c_read %d bytes of 100 bytes requested at 0x%X\n", n,
                 sensor.chipIdRegister);
    for (uint32_t i = 0; i < kWideReadBytes; ++i)
        std::fprintf(stderr, "[0x%X]=0x%X, ", sensor.chipIdRegister + i, wide[i]);
    std::fprintf(stderr, "\b\n");
    if (sensor.byteStyle())
        return;
    printCheckRegister(slave);
    uint8_t one[] = {0x30, 0x02, 0x03, 0x54};
    i2c_write(slave, sizeof one, one);
    printCheckRegister(slave);
    printCheckRegisters(slave);
    uint8_t four[] = {0x30, 0x02, 0x02, 0x62, 0x05, 0x42, 0x03, 0x12, 0x06, 0xC2};
    i2c_write(slave, sizeof four, four);
    printCheckRegisters(slave);
}
