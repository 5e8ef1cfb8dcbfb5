// Internal helpers around the sensor record shared by the readers and lookup.
#ifndef ZENTRO_SENSOR_DATA_SENSOR_RECORD_H
#define ZENTRO_SENSOR_DATA_SENSOR_RECORD_H

#include <cstddef>

#include "zentro_camera.h"
#include "zentro_sensor.h"

namespace zentro {

// Frees what @sensor owns and refills every field with a fresh parse's start values;
// @fileName becomes the record's file name.
void resetSensorRecord(ze_sensor_t *sensor, const char *fileName);
// Frees one register array and the bitfields it owns.
void freeRegisters(ze_reg_t *regs, int32_t count);
// Frees an address-space table and its spaces.
void freeAddrSpaces(ze_addr_space_list_t *spaces);
// Frees a board-chip array with the registers it owns.
void freeChips(ze_chip_t *chips, int32_t count);
// Tells lookup that @camera's register array changed (its indexes are rebuilt).
void registersChanged(ze_camera_t *camera);
// Destroys and frees @camera's sensor record, with the register cache that described it;
// the camera is left without a sensor.
void releaseSensorRecord(ze_camera_t *camera);

// Copies @text into a fixed field of @size bytes, cut to fit and always terminated.
void copyText(char *field, size_t size, const char *text);
template <size_t N>
void copyText(char (&field)[N], const char *text)
{
    copyText(field, N, text);
}

} // namespace zentro

#endif // ZENTRO_SENSOR_DATA_SENSOR_RECORD_H
