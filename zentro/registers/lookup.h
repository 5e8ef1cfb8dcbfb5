// Internal helpers of register lookup, shared with register access and the cache.
#ifndef ZENTRO_REGISTERS_LOOKUP_H
#define ZENTRO_REGISTERS_LOOKUP_H

#include <cstdint>
#include <functional>
#include <optional>

#include "core/log.h"
#include "zentro_camera.h"
#include "zentro_sensor.h"

// Source named in the log lines of lookup failures.
#define ZE_REG_LOG_SOURCE "zentro_reg"

// Logs a lookup failure of the public function @function under CAMERA_ERROR.
#define ZE_REG_LOGF(function, ...)                                                                 \
    zentro::errorlogf(CAMERA_ERROR, ZE_LEVEL_FROM_TABLE, ZE_REG_LOG_SOURCE, (function), __LINE__,  \
                      __VA_ARGS__)

namespace zentro {

// Array imagers select sub-array spaces by a bit mask of space ids.
bool isArrayImager(const ze_sensor_t *sensor);

// The number a text begins with, read as the %i conversion does (blanks first, a sign,
// decimal, 0x hexadecimal or 0 octal); nothing when it does not begin with one. @rest,
// when given, receives the text behind the number.
std::optional<uint32_t> leadingNumber(const char *text, const char **rest = nullptr);
// The number when the whole text is one (blanks may follow it), else nothing.
std::optional<uint32_t> wholeNumber(const char *text);

// Index of the first sensor register named @name (or with that external name), -1 when
// none. Silent.
int32_t findSensorRegisterIndex(ze_camera_t *camera, const char *name);
// Index of the first sensor register at @addr that @accept takes, -1 when none.
int32_t findSensorRegisterAt(ze_camera_t *camera, uint32_t addr,
                             const std::function<bool(const ze_reg_t &)> &accept);
// The sensor register named @name, or nullptr. Silent.
ze_reg_t *findSensorRegister(ze_camera_t *camera, const char *name);
// The bitfield of @reg named @name (name, external name, then mask by number), or
// nullptr. Silent.
ze_bitfield_t *findBitfieldOf(ze_reg_t *reg, const char *name);

// Whether @space is of @type and takes @value as its id under the lookup-by-address
// rules; @mcuStyle is the sensor's MCU address style (needed for MCU and SFR spaces).
bool spaceAcceptsValue(const ze_sensor_t *sensor, const ze_addr_space_t &space, uint32_t type,
                       uint32_t value, uint32_t mcuStyle);

} // namespace zentro

#endif // ZENTRO_REGISTERS_LOOKUP_H
