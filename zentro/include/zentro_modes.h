/* Mode numbers: the numbered settings of a camera read and set with ze_getMode/ze_setMode. */
#ifndef ZENTRO_MODES_H
#define ZENTRO_MODES_H

#include <stdint.h>

#include "zentro_camera.h"
#include "zentro_export.h"

/* Modes 8, 9, 10, 26, 27, 45, 112, 115 and 120 or more are not used; 93, 108 and 111 have
 * no name. */
enum ze_mode {
    ZE_ERROR_CHECK_MODE = 0,
    ZE_REG_ADDR_SIZE = 1,
    ZE_REG_DATA_SIZE = 2,
    ZE_USE_REG_CACHE = 3,
    ZE_SW_UNSWIZZLE_MODE = 4,
    ZE_UNSWIZZLE_MODE = 5,
    ZE_SW_UNSWIZZLE_DEFAULT = 6,
    ZE_DATA_IS_SWIZZLED = 7,
    ZE_ERROR_LOG_TYPE = 11,
    ZE_SPOOF_SIZE = 12,
    ZE_SPOOF_SUPPORTED = 13,
    ZE_HW_BUFFERING = 14,
    ZE_OUTPUT_CLOCK_FREQ = 15,
    ZE_ALLOW_FAR_ACCESS = 16,
    ZE_PIXCLK_POLARITY = 17,
    ZE_SENSOR_POWER = 18,
    ZE_SENSOR_RESET = 19,
    ZE_SHIP_SPEED = 20,
    ZE_DIRECT_VAR_ACCESS = 21,
    ZE_XDMA_LOGICAL = 22,
    ZE_XDMA_PHY_A15 = 23,
    ZE_XDMA_PHY_REGION = 24,
    ZE_HW_FRAME_COUNT = 25,
    ZE_SENSOR_SHUTDOWN = 28,
    ZE_XDMA_ADV_BASE = 29,
    ZE_PIXCLK_FREQ = 30,
    ZE_SIMUL_REG_FRAMEGRAB = 31,
    ZE_DETECT_FRAME_SIZE = 32,
    ZE_BITS_PER_CLOCK = 33,
    ZE_CLOCKS_PER_PIXEL = 34,
    ZE_RX_TYPE = 35,
    ZE_RX_LANES = 36,
    ZE_RX_BIT_DEPTH = 37,
    ZE_RX_MODE = 38,
    ZE_RX_CLASS = 39,
    ZE_RX_SYNC_CODE = 40,
    ZE_RX_EMBEDDED_DATA = 41,
    ZE_RX_VIRTUAL_CHANNEL = 42,
    ZE_RX_MSB_FIRST = 43,
    ZE_HDMI_MODE = 44,
    ZE_MEM_CAPTURE = 46,
    ZE_MEM_CAPTURE_PROGRESS = 47,
    ZE_MEM_CAPTURE_MB = 48,
    ZE_STEREO_MODE = 49,
    ZE_HW_FRAME_COUNT_MASK = 50,
    ZE_GRABFRAME_TIMEOUT = 51,
    ZE_HW_FRAME_TIME = 52,
    ZE_LSB_ALIGNED = 53,
    ZE_NACK_RETRIES = 54,
    ZE_RX_CCIR656 = 55,
    ZE_RX_INTERLACED = 56,
    ZE_MEM_CAPTURE_CYCLE = 57,
    ZE_TRIGGER0_HIGH_WIDTH = 58,
    ZE_TRIGGER0_LOW_WIDTH = 59,
    ZE_TRIGGER = 60,
    ZE_OUTPUT_PORT = 61,
    ZE_PIXEL_PACK = 62,
    ZE_PARITY = 63,
    ZE_GPIO = 64,
    ZE_FAR_BROADCAST = 65,
    ZE_EXTCLK_FREQ = 66,
    ZE_RX_PHY_SELECT = 67,
    ZE_MEM_CAPTURE_TRIGGER = 68,
    ZE_RESET_IMAGE_FIFO = 69,
    ZE_MIDDLE_12 = 70,
    ZE_BITSLIP_PROCEDURE = 71,
    ZE_DESCRAM = 72,
    ZE_DESCRAM_RNO = 73,
    ZE_DESCRAM_REF_ROWS = 74,
    ZE_RX_WIDTH = 75,
    ZE_SPI_REG_ACCESS = 76,
    ZE_SHIP_TO_SPI = 77,
    ZE_TRIGGER1_HIGH_WIDTH = 78,
    ZE_TRIGGER1_LOW_WIDTH = 79,
    ZE_TRIGGER2_HIGH_WIDTH = 80,
    ZE_TRIGGER2_LOW_WIDTH = 81,
    ZE_SENDCOMMAND_TIMEOUT = 82,
    ZE_LOCK_SLAVE_IDS = 83,
    ZE_MEM_BUFFERING = 84,
    ZE_TRIGGER_COUNT = 85,
    ZE_TRIGGER_INVERT = 86,
    ZE_TRIGGER_ENABLE = 87,
    ZE_TRIGGER_SELECT = 88,
    ZE_REG_DATA_LE = 89,
    ZE_RESERVE_SHIP_ADDR = 90,
    ZE_ALL_GPIO = 91,
    ZE_KORT = 92,
    ZE_SPI_SPEED = 94,
    ZE_RX_VCDT_DEMUX = 95,
    ZE_FLASH_DELAY_ENABLE = 96,
    ZE_FLASH_DELAY_INPUT = 97,
    ZE_FLASH_DELAY_IINVERT = 98,
    ZE_FLASH_DELAY_OUTPUT = 99,
    ZE_FLASH_DELAY_OINVERT = 100,
    ZE_FLASH_DELAY_TIME = 101,
    ZE_FLASH_DELAY_WIDTH = 102,
    ZE_SENSOR_MAX_BIT_RATE = 103,
    ZE_ACMP0_SHIP_ADDR = 104,
    ZE_ACMP_ALLOW_SHORT = 105,
    ZE_TRIGGER_CLOCK_FREQ = 106,
    ZE_ACMP_IGNORE_CRC = 107,
    ZE_RX_VCDT_IDS = 109,
    ZE_ACMP2_SHIP_ADDR = 110,
    ZE_RX_MAX_BIT_RATE = 113,
    ZE_TALVE = 114,
    ZE_OBU = 116,
    ZE_SER_SHIP_ADDR = 117,
    ZE_DES_SHIP_ADDR = 118,
    ZE_RX_DESKEW = 119,
};

/* One past the highest mode number. */
#define ZE_MODE_LIMIT 120

ZE_BEGIN_DECLS

/*
 * Sets @mode of @camera to @value through the camera's setMode slot, or through the
 * library's setter (_SetMode) when the slot is empty. After a successful slot call the
 * register cache is invalidated when ZE_SENSOR_POWER is set to 0 or ZE_SENSOR_RESET to a
 * non-zero value. Returns the slot's or the setter's code; 1 without a camera or context.
 */
ZE_API int ze_setMode(ze_camera_t *camera, uint32_t mode, uint32_t value);

/*
 * Reads @mode of @camera into @value through the camera's getMode slot, or through the
 * library's getter (_GetMode) when the slot is empty. Returns the code of the one called;
 * 1 without a camera, context or @value.
 */
ZE_API int ze_getMode(ze_camera_t *camera, uint32_t mode, uint32_t *value);

/*
 * The library's own mode setter (also handed to plug-ins). Per-thread modes go to the
 * calling thread's settings record and to the camera's per-camera copy; per-camera and
 * shared modes to the common context (and the shared context). Returns 0; 16 for modes
 * only a transport implements and for unknown modes (these logged as "unrecognized mode
 * in setMode()"); 1 without a camera or context, for the read-only ZE_SPOOF_SUPPORTED and
 * for modes kept in the shared context when the camera has none.
 */
ZE_API int _SetMode(ze_camera_t *camera, uint32_t mode, uint32_t value);

/*
 * The library's own mode getter (also handed to plug-ins). Returns 0 with the value in
 * @value; 16 for modes only a transport implements and unknown modes (these logged as
 * "unrecognized mode in getMode()"), leaving @value unchanged; 1 without a camera, context
 * or @value, or for modes kept in the shared context when the camera has none.
 */
ZE_API int _GetMode(ze_camera_t *camera, uint32_t mode, uint32_t *value);

/*
 * Finds the number of the mode named @name. Names compare case-insensitively, either
 * whole ("ZE_REG_ADDR_SIZE") or without their "ZE_" prefix ("reg_addr_size"). Returns 0
 * with the number in @mode, or 1 (nothing written) for an unknown or absent name.
 */
ZE_API int ze_FindMode(const char *name, uint32_t *mode);

/* The name of @mode ("ZE_..."); NULL for numbers without a name. The text is static. */
ZE_API const char *ze_GetModeName(uint32_t mode);

/* The family flags: the values of ZE_KORT, ZE_TALVE and ZE_OBU; 0 without a camera. */
ZE_API uint32_t ze_IsKORT(ze_camera_t *camera);
ZE_API uint32_t ze_IsTALVE(ze_camera_t *camera);
ZE_API uint32_t ze_IsOBU(ze_camera_t *camera);

ZE_END_DECLS

#endif /* ZENTRO_MODES_H */
