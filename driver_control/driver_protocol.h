/* Numbers of the capture driver's control channel: requests, properties, tables, controls. */
#ifndef DRIVER_PROTOCOL_H
#define DRIVER_PROTOCOL_H

#include <stdint.h>

/* One entry of a driver register table: register address and value. */
typedef struct reg_16 {
    uint16_t addr;
    uint16_t val;
} reg_16;

/* Driver versions; version holds "jetpack_%d_%d_%d_kernel_%d_%d_%d_release_%d_%d_%d". */
typedef struct qrb_kernel_version {
    int32_t jetpack_major;
    int32_t jetpack_minor;
    int32_t jetpack_patch;
    int32_t kernel_major;
    int32_t kernel_minor;
    int32_t kernel_patch;
    int32_t release_major;
    int32_t release_minor;
    int32_t release_patch;
    char version[128];
} qrb_kernel_version;

/* Debug-register request encoding. */
#define DRV_BUFFER_FLAG 0x10000ULL /* reg: buffered I2C transfer */
#define DRV_LENGTH_SHIFT 32        /* reg: transfer length */
#define DRV_ADDRESS_SHIFT 32       /* val: register or property number */
#define DRV_SLAVE_MASK 0xFFULL     /* reg: 7-bit bus address */
#define DRV_REGISTER_SIZE 2        /* size: 16-bit register address */
#define DRV_REGISTER8_SIZE 1       /* size: 8-bit register address */
#define DRV_RESULT_MASK 0xFFFFULL  /* val after a buffered read: bytes read */
#define DRV_I2C_NACK 121           /* EREMOTEIO: the device did not acknowledge */

/* Driver properties. */
#define DRV_PROP_VERSION_FIRST 0xFF7F /* nine version numbers, 0xFF7F down to 0xFF77 */
#define DRV_PROP_VERSION_COUNT 9
#define DRV_PROP_I2C_ADDRESS 0xFF76
#define DRV_PROP_PIXEL_CLOCK 0xFF71
#define DRV_PROP_LINE_LENGTH 0xFF6F
#define DRV_PROP_I2C_SPEED_READ 0xFF6B
#define DRV_PROP_I2C_SPEED 0xFFF1
#define DRV_PROP_SERIALIZER 0xFFF3
#define DRV_PROP_DESERIALIZER 0xFFF4
#define DRV_PROP_SENSOR_ADDRESS 0xFFF5
#define DRV_PROP_RESET_LINE 0xFFF6

/* Property groups and register tables. */
#define DRV_GROUP_IMAGE 0xFFF9
#define DRV_GROUP_SIGNAL 0xFFFA
#define DRV_TABLE_FRAME_FORMAT 0xFFFB
#define DRV_TABLE_STOP 0xFFFC
#define DRV_TABLE_START 0xFFFD
#define DRV_TABLE_CONTROL_FIRST 0xFF01
#define DRV_TABLE_CONTROL_LAST 0xFF05
#define DRV_END_MARKER 0xFFFF
#define DRV_TABLE_ENTRIES 15

#define DRV_FORMAT_PROP_FIRST 0xF000
#define DRV_FORMAT_PROP_LAST 0xF005
#define DRV_IMAGE_PROP_FIRST 0xF000
#define DRV_IMAGE_PROP_LAST 0xF004
#define DRV_PROP_WIDTH 0xF000
#define DRV_PROP_HEIGHT 0xF001
#define DRV_PROP_LINE_LENGTH_VALUE 0xF002
#define DRV_PROP_PIXEL_FORMAT 0xF003
#define DRV_PROP_EMBEDDED_ROWS 0xF004
#define DRV_PROP_PIXEL_CLOCK_VALUE 0xF003

/* Extended controls (camera class). */
#define DRV_CONTROL_CLASS_MASK 0xFFF0000
#define DRV_CONTROL_STRIDE 0x9A206E

/* The extended control that applies control table id (0xFF01 to 0xFF05); 0 for other ids. */
static inline unsigned drv_table_control(unsigned id)
{
    static const unsigned controls[] = {0x9A2002, 0x9A200C, 0x9A200B, 0x9A200A, 0x9A2009};
    if (id < DRV_TABLE_CONTROL_FIRST || id > DRV_TABLE_CONTROL_LAST)
        return 0;
    return controls[id - DRV_TABLE_CONTROL_FIRST];
}

#endif
