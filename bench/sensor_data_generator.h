// Writes large synthetic sensor-data files, text and XML, for the register-database benchmark.
#ifndef ZENTRO_BENCH_SENSOR_DATA_GENERATOR_H
#define ZENTRO_BENCH_SENSOR_DATA_GENERATOR_H

#include <cstdint>
#include <string>

namespace zentro::bench {

// Shape of a generated file.
struct DatabaseShape {
    uint32_t registers = 20000;
    uint32_t bitfieldsPerRegister = 4;
};

// Name of register @index of a generated file ("AE_CTRL_0", "AWB_CTRL_0", ...): unique,
// built the way the generator builds it so that a benchmark can look every one up.
std::string registerName(uint32_t index);
// Name of bitfield @field of register @index (unique within the register).
std::string bitfieldName(uint32_t index, uint32_t field);
// Mask of bitfield @field of every register.
uint32_t bitfieldMask(uint32_t field);
// Address of register @index, in the file's one REG space.
uint32_t registerAddress(uint32_t index);
// Default value of register @index.
uint32_t registerDefault(uint32_t index);

// Writes a format-version 2 text sensor-data file of @shape to @path: descriptor,
// optional section, one address space and the registers with display names, details and
// bitfields. Returns false when the file cannot be written.
bool writeSensorDataFile(const std::string &path, const DatabaseShape &shape);

// Writes the same database as writeSensorDataFile in the XML form (".xsdat"): the same
// sensor, space, register and bitfield names, values and texts.
bool writeXmlSensorDataFile(const std::string &path, const DatabaseShape &shape);

} // namespace zentro::bench

#endif // ZENTRO_BENCH_SENSOR_DATA_GENERATOR_H
