/* The capture driver's control channel for the server and the capture tool. */
#ifndef DRIVER_CONTROL_H
#define DRIVER_CONTROL_H

#include "driver_protocol.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The open video device every operation works on, and its path. */
extern int fd;
extern const char *dev_name;

/* ioctl repeated while interrupted (EINTR); returns the ioctl's result. */
int xioctl(int fh, unsigned long request, void *arg);
/* Reports a failed request named s. A device that did not acknowledge (EREMOTEIO) prints
   "I2C device is not connected to the bus" and returns; any other error prints
   "<s> error <errno>, <text>" and ends the process with status 1. */
void errno_exit(const char *s);

/* Direct 16-bit register access at a 7-bit bus address. The read returns 0 on failure;
   the write returns 0, or -1 after a failure reported by errno_exit. */
uint16_t i2c_read16(uint8_t slave, uint16_t address);
int i2c_write16(uint8_t slave, uint16_t address, uint16_t value);
/* Buffered transfers with 16-bit register addresses. Read: buffer holds the register address
   (two bytes, high first) and receives length data bytes at its start; returns the bytes
   read (0 on failure). Write: buffer holds the address and the data, length bytes in all;
   returns 0 or -1. */
int i2c_read(uint8_t slave, uint32_t length, uint8_t *buffer);
int i2c_write(uint8_t slave, uint32_t length, uint8_t *buffer);

/* Driver properties: write returns 0 or -1; read returns the value (0 on failure). */
int sensor_config_prop(uint16_t property, uint32_t value);
uint32_t sensor_read_prop(uint16_t property);
/* Reads the nine driver versions into version and returns its text field. */
char *get_version(qrb_kernel_version *version);
/* Holds the sensor in reset for first seconds, then waits second seconds after releasing it. */
void sensor_gpio_reset(unsigned first, unsigned second);

/* Writes register table id (0xFF01 to 0xFF05, 0xFFFC, 0xFFFD): the table select and all
   15 entries. Returns 0, or -1 when a write failed. An unsupported id or a missing table
   ends the process with status 1. */
int config_driver_table(uint16_t id, const reg_16 *table);
/* Sets one property of a group; returns 0 or -1. A property outside the group's range ends
   the process with status 1. */
int update_frame_format_property(uint16_t property, uint32_t value);
int update_sensor_signal_property(uint16_t property, uint32_t value);
int update_sensor_image_property(uint16_t property, uint32_t value);
/* Writes control table id and applies it with its extended control; returns 0 or -1. */
int sensor_set_control(uint16_t id, const reg_16 *table);
/* Sets the preferred stride in bytes; returns 0 or -1. */
int sensor_set_stride(uint32_t stride);

#ifdef __cplusplus
}
#endif

#endif
