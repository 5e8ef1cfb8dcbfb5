// What identification's tests share: register fields, reads by name and on the serial bus,
// the address-space selection kept across reads, the absent-address map and reset pulses.
#ifndef ZENTRO_IDENTIFY_PROBE_ACCESS_H
#define ZENTRO_IDENTIFY_PROBE_ACCESS_H

#include <cstdint>

#include "sensor_data/ident_data.h"
#include "zentro_camera.h"
#include "zentro_sensor.h"

namespace zentro {

// The bits of @value under @mask shifted down to bit 0; 0 for a zero mask.
uint32_t fieldOf(uint32_t value, uint32_t mask);
// @value with its @mask bits replaced by @field (shifted up to the mask's lowest bit).
uint32_t withField(uint32_t value, uint32_t mask, uint32_t field);
// True when @field is one of the @count @values.
bool isOneOf(uint32_t field, const uint32_t *values, int32_t count);

// Reads register @name of the camera's sensor from the bus. CAMERA_ERROR, without a log
// line, when the sensor has no such register; @reg (when given) receives the record.
int readRegisterNamed(ze_camera_t *camera, const char *name, uint32_t *value,
                      ze_reg_t **reg = nullptr);
// Reads one register at (@test.base, @test.regAddr) with the test's address and data sizes
// (16 bits when none is given) and byte order; the calling thread's raw-transfer settings
// are restored afterwards.
int readSerialRegister(ze_camera_t *camera, const IdentSerialTest &test, uint32_t *value);

// True when probes skip bus address @address: a read there was not acknowledged in this
// identification. Nothing counts as absent while the serial bus is routed to SPI.
bool isAddressAbsent(ze_camera_t *camera, uint32_t address);
// Notes that nothing acknowledged at @address (8-bit addresses only).
void markAddressAbsent(ze_camera_t *camera, uint32_t address);

// Pulses the sensor's reset line: ZE_SENSOR_RESET 1, then 0.
void pulseSensorReset(ze_camera_t *camera);

// Keeps the sensor's address-space (page) selection across reads and writes that may
// switch it: the pages selected when constructed are selected again when destroyed.
class SpaceSelectionKeeper
{
public:
    explicit SpaceSelectionKeeper(ze_camera_t *camera);
    ~SpaceSelectionKeeper();
    SpaceSelectionKeeper(const SpaceSelectionKeeper &) = delete;
    SpaceSelectionKeeper &operator=(const SpaceSelectionKeeper &) = delete;

private:
    ze_camera_t *camera_;
    uint32_t read_;
    uint32_t write_;
};

} // namespace zentro

#endif // ZENTRO_IDENTIFY_PROBE_ACCESS_H
