/* Sensor identification: finding the sensor-data file of the attached sensor. */
#ifndef ZENTRO_IDENTIFY_H
#define ZENTRO_IDENTIFY_H

#include <stdint.h>

#include "zentro_camera.h"
#include "zentro_export.h"

ZE_BEGIN_DECLS

/*
 * Identifies the sensor attached to @camera and loads its sensor-data file into the
 * camera's sensor record. @sensor_path names one file (read without tests) or a
 * directory, whose ".sdat" and ".xsdat" files are tried in the order of their names,
 * in three passes (16-bit register addresses or wider; 8-bit non-SoC sensors; 8-bit
 * SoC sensors); the first file whose chip version and identification tests the sensor
 * passes is loaded. Candidates are read only as far as needed to reject them, and bus
 * addresses that did not answer are not probed again. Returns 0 on success and for an
 * absent or empty path (the camera then has no sensor), 1 when the camera cannot read
 * sensor registers or the search was cancelled (ze_CancelProbe), 7 when a named file
 * cannot be read, 8 when no file matches.
 */
ZE_API int _getSensor(ze_camera_t *camera, const char *sensor_path);

/*
 * Picks the part number, product variant, version name and minor version that the
 * identification lists of the loaded sensor file name, and looks the part number up
 * in "familyList.txt" (the "bin" directory below the home) for the family name and
 * features. Returns 0.
 */
ZE_API int ze_DetectPartNumber(ze_camera_t *camera);

/*
 * Makes @addr the sensor's serial-bus base address. Bit 0x100 routes the serial bus to
 * SPI (mode ZE_SHIP_TO_SPI). The register cache is invalidated when the address
 * changes or is an SPI address. Returns 0, or CAMERA_ERROR without a sensor.
 */
ZE_API int ze_SetSensorBaseAddr(ze_camera_t *camera, uint32_t addr);

/*
 * Finds the base address at which the sensor answers with the chip version of its
 * CHIP_VERSION_REG: the current one, else the file's base addresses in order. Returns 0
 * when one answers (it is then the sensor's base address), 1 otherwise (the base address
 * and SPI routing are then as before).
 */
ZE_API int ze_DetectSensorBaseAddr(ze_camera_t *camera);

ZE_END_DECLS

#endif /* ZENTRO_IDENTIFY_H */
