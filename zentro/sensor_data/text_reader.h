// Internals of the text sensor-data reader shared by its section readers.
#ifndef ZENTRO_SENSOR_DATA_TEXT_READER_H
#define ZENTRO_SENSOR_DATA_TEXT_READER_H

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "sensor_data/early_identity_check.h"
#include "sensor_data/ident_data.h"
#include "sensor_data/lexer.h"
#include "zentro_camera.h"
#include "zentro_sensor.h"

namespace zentro {

// Sensor type codes the reader gives special treatment.
inline constexpr uint32_t kTypeNoFarMerge = 110;    // far files add no spaces or registers
inline constexpr uint32_t kTypeNarrowFarSkip = 159; // drops 8-bit single-unit far registers
inline constexpr uint32_t kTypeFilePlayback = 36;   // a camera that plays back a file
inline constexpr uint32_t kTypeMiddle12 = 133;      // starts with ZE_MIDDLE_12 on

// True when @code is one of @codes (tables of sensor type codes).
template <size_t N>
bool isOneOf(const std::array<uint32_t, N> &codes, uint32_t code)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// True when @sensor describes a system-on-chip sensor (decided by its type code).
bool isSocSensor(const ze_sensor_t *sensor);

// Resets the identification data of the camera's context for a new file, keeping the
// probe state and the absent-address map, which belong to the running search.
void resetIdentification(ze_camera_t *camera);

// State of one read of a text sensor-data file.
struct SensorFileReader {
    ze_camera_t *camera;
    ze_sensor_t *sensor;
    LineReader lines;

    bool descriptorRead = false;
    // Room in the sensor's address-space table and index of its names (lower case, first
    // of equal names wins).
    int32_t spaceCapacity = 0;
    std::unordered_map<std::string, int32_t> spaceIndex;
    // Room in the register array, the register taking bitfields and its bitfield room.
    int32_t regCapacity = 0;
    ze_reg_t *openRegister = nullptr;
    int32_t bitfieldCapacity = 0;
    // Lower-case names of the registers read so far.
    std::unordered_set<std::string> registerNames;
    // What the early identity check waits for.
    bool chipVersionSeen = false;
    bool spaceSelectSeen = false;

    SensorFileReader(ze_camera_t *camera, ze_sensor_t *sensor, std::string_view text)
        : camera(camera), sensor(sensor), lines(text)
    {
    }

    // Logs @text as a syntax error of the current line under @code; returns @code.
    int syntaxError(int code, std::string_view text, const char *source = __builtin_FILE(),
                    const char *function = __builtin_FUNCTION(), int line = __builtin_LINE());
    // The next line of the current section, skipping comments and blank lines. False at
    // the section's "[END]" or at the end of the file.
    bool nextSectionLine(size_t limit, std::string_view &line);
};

// Section readers. Each reads up to and including its "[END]" (or the end of the file) and
// returns PARSE_SUCCESS or the code that fails the file.
int readDescriptorSection(SensorFileReader &reader);
int readOptionalSection(SensorFileReader &reader);
int readAddrSpaceSection(SensorFileReader &reader);
int readRegisterSection(SensorFileReader &reader);
int readSubdeviceSection(SensorFileReader &reader);

// Derived descriptor values (bits per pixel, pixel and image bytes, refined image type) and
// the early rejects that follow a good descriptor section.
int finishDescriptor(SensorFileReader &reader);

// The early reject of a file whose register address size the running search does not want.
int rejectUnwantedAddrSize(const IdentData &ident, const ze_sensor_t *sensor);

// Records @reg's address as a select address when its name is the sensor's read- or
// write-select register; with @narrowOnly the near read and write selects are recorded only
// for 8-bit register addresses (the text form's rule).
void recordSelectAddress(SensorFileReader &reader, const ze_reg_t &reg, bool narrowOnly);
// The early identity check a stored register may trigger while a candidate file is read.
// Returns PARSE_SUCCESS, or SENSOR_DOES_NOT_MATCH (logged) when the attached sensor differs.
int runEarlyIdentityCheck(SensorFileReader &reader, const ze_reg_t &reg);

// The steps that close a good read: global context, initial modes and version name.
// Returns PARSE_SUCCESS.
int finishSensorFile(ze_camera_t *camera, ze_sensor_t *sensor);

// Index of the address space named @name (case-insensitive), -1 when the table lacks it.
int32_t findAddrSpace(const SensorFileReader &reader, std::string_view name);
// Gives the sensor's address-space array room for @room spaces (at least its count) and
// points its registers at their spaces in the moved array. False when memory runs out (the
// table is then unchanged).
bool resizeAddrSpaces(ze_sensor_t *sensor, int32_t room);

// True while a far sub-device file is being read (its SUBDEVICES section is ignored: one
// level of nesting only).
bool insideFarRead();

// The kind of an address-space type word (REG for any word not in the table).
ze_addr_space_type_t addrSpaceTypeFromWord(std::string_view word);
bool isFar1Space(ze_addr_space_type_t type);
bool isFar2Space(ze_addr_space_type_t type);

} // namespace zentro

#endif // ZENTRO_SENSOR_DATA_TEXT_READER_H
