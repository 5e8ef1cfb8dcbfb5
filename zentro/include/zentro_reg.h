/* Lookup in the register database: registers, bitfields and chips by name, address or pattern. */
#ifndef ZENTRO_REG_H
#define ZENTRO_REG_H

#include <stdint.h>

#include "zentro_camera.h"
#include "zentro_export.h"
#include "zentro_sensor.h"

ZE_BEGIN_DECLS

/*
 * Chip indexes: ZE_CHIP_SENSOR selects the sensor's own registers, 0 to
 * boardChipCount - 1 a board chip; ZE_CHIP_NONE is ze_FindChip's answer that no
 * such chip exists.
 */
#define ZE_CHIP_SENSOR (-1)
#define ZE_CHIP_NONE (-2)

/* How the variables of the sensor's on-chip microcontroller are reached. */
#define ZE_MCU_STYLE_NONE 0u
#define ZE_MCU_STYLE_WINDOW 16u        /* MCU_ADDRESS and MCU_DATA_0, 8-bit offsets */
#define ZE_MCU_STYLE_PHYSICAL 44u      /* MCU_ADDRESS and MCU_DATA_0, 10-bit offsets */
#define ZE_MCU_STYLE_LOGICAL 54u       /* LOGICAL_ADDRESS_ACCESS and MCU_VARIABLE_DATA0 */
#define ZE_MCU_STYLE_DIRECT 55u        /* mapped into the register space from 0x8000 */
#define ZE_MCU_STYLE_ADVANCED_BASE 71u /* ADVANCED_BASE window at 0xE000 to 0xEFFF */
#define ZE_MCU_STYLE_COMMAND 159u      /* the transport's system-register operations */

/*
 * All names compare case-insensitively. Registers and bitfields handed out belong
 * to the camera's sensor record (or board chip) and stay valid until its register
 * array changes (a new sensor file, a far-sensor merge). A failed lookup that the
 * description below says "logs" writes CAMERA_ERROR to the library's log with the
 * source "zentro_reg"; an absent camera or an absent or empty name never logs.
 *
 * Lookups of sensor registers by name, external name and address, and of their
 * bitfields by name, are answered from an index the library builds on first use.
 * An application may edit the name, external name or address of a register, or the
 * name or external name of a bitfield, in place: the index never hands out a record
 * that no longer carries the name or address asked for, and a name or address it
 * does not know is looked for in the records themselves, so an edited record is
 * found by its new name or address and no longer by its old one (such a lookup
 * scans the array once and the index is then built again). One case is left to the
 * application: after an edit that gives a register a name or address that a later
 * register also answers to, lookups may go on returning the later one.
 */

/*
 * The sensor register whose name, or non-empty external name, is @name; the first
 * in array order when several carry it. NULL when there is none, logged as
 * "Can't find register <name>".
 */
ZE_API ze_reg_t *ze_FindRegister(ze_camera_t *camera, const char *name);

/* 1 when ze_FindRegister would find @name, else 0. Never logs. */
ZE_API int ze_ExistsRegister(ze_camera_t *camera, const char *name);

/*
 * A register of the sensor (@chip ZE_CHIP_SENSOR, as ze_FindRegister) or of board
 * chip @chip. In a chip only names count (no external names); when none matches and
 * @name begins with a number ("0x3000", "12"), the first chip register at that
 * address is taken. Any other @chip finds nothing. Logs "Can't find register <name>".
 */
ZE_API ze_reg_t *ze_FindRegister2(ze_camera_t *camera, int32_t chip, const char *name);

/* 1 when ze_FindRegister2 would find the register, else 0. Never logs. */
ZE_API int ze_ExistsRegister2(ze_camera_t *camera, int32_t chip, const char *name);

/*
 * Bitfield @bitfield_name of the sensor register @reg_name. A bitfield matches on
 * its name or non-empty external name; when none does and the whole name is a
 * number ("0x00F0", blanks after it allowed), the first bitfield with that mask is
 * taken. NULL on failure, logged as "Can't find bitfield <register>::<bitfield>",
 * or as "Can't find register <register>" when @bitfield_name is empty.
 */
ZE_API ze_bitfield_t *ze_FindBitfield(ze_camera_t *camera, const char *reg_name,
                                      const char *bitfield_name);

/* 1 when ze_FindBitfield would find the bitfield, else 0. Never logs. */
ZE_API int ze_ExistsBitfield(ze_camera_t *camera, const char *reg_name, const char *bitfield_name);

/*
 * ze_FindBitfield for the register that ze_FindRegister2 finds in @chip (the
 * sensor for ZE_CHIP_SENSOR). Only that place is searched. Logs as ze_FindBitfield.
 */
ZE_API ze_bitfield_t *ze_FindBitfield2(ze_camera_t *camera, int32_t chip, const char *reg_name,
                                       const char *bitfield_name);

/* 1 when ze_FindBitfield2 would find the bitfield, else 0. Never logs. */
ZE_API int ze_ExistsBitfield2(ze_camera_t *camera, int32_t chip, const char *reg_name,
                              const char *bitfield_name);

/* Bitfield @bitfield_name of @reg, found as by ze_FindBitfield; NULL on failure (logged). */
ZE_API ze_bitfield_t *ze_Bitfield(ze_reg_t *reg, const char *bitfield_name);

/*
 * The mask of bitfield @bitfield_name of @reg. A name that finds no bitfield but is
 * a whole number is itself the mask ("0x0F0" works as an unnamed bitfield).
 * Otherwise 0, logged as by ze_FindBitfield.
 */
ZE_API uint32_t ze_BitfieldMask(ze_reg_t *reg, const char *bitfield_name);

/* ze_BitfieldMask of the sensor register @reg_name; 0 (logged) when it does not exist. */
ZE_API uint32_t ze_FindBitfieldMask(ze_camera_t *camera, const char *reg_name,
                                    const char *bitfield_name);

/*
 * The first sensor register from index *@position on (0 when @position is NULL)
 * whose name (not external name) matches @pattern: "?" matches one character, "*"
 * any run of characters. Each segment after a "*" is placed at its leftmost fit
 * without backtracking, so "*AB" does not match "xABAB". On a match *@position is
 * set behind the register, so repeated calls enumerate every match once, in array
 * order; otherwise it is left unchanged. NULL when nothing matches. Never logs.
 */
ZE_API ze_reg_t *ze_FindRegisterWildcard(ze_camera_t *camera, const char *pattern,
                                         int32_t *position);

/*
 * The first sensor register at @addr whose address space is absent, or is of
 * @space_type and accepts @space_value (its id must equal @space_value for REG
 * spaces when the sensor has a read-select register, MCU spaces unless the MCU
 * style is COMMAND, SFR spaces unless it is WINDOW, PHYSICAL or ADVANCED_BASE,
 * FAR1 and FAR2 spaces with far addresses of 8 bits or fewer, and the far MCU and
 * SFR kinds always). An array imager that finds nothing for a non-zero
 * @space_value is searched again with 0. NULL when nothing fits. Never logs.
 */
ZE_API ze_reg_t *ze_FindRegisterAddr(ze_camera_t *camera, uint32_t addr, uint32_t space_value,
                                     uint32_t space_type);

/*
 * ZE_CHIP_SENSOR for an absent or empty @name and for the sensor's name or part
 * number; otherwise the index of the first board chip named @name, else ZE_CHIP_NONE
 * (also for an absent camera).
 */
ZE_API int32_t ze_FindChip(ze_camera_t *camera, const char *name);

/*
 * The sensor's direct MCU-variable style: ZE_MCU_STYLE_DIRECT, _ADVANCED_BASE,
 * _COMMAND or ZE_MCU_STYLE_NONE. NONE when mode ZE_DIRECT_VAR_ACCESS is 0 or the
 * camera has no sensor.
 */
ZE_API uint32_t ze_McuDirectStyle(ze_camera_t *camera);

/* The sensor's MCU-variable style (ZE_MCU_STYLE_...): the direct style when there is
 * one, else the port-register style of its sensor type; NONE without a sensor. */
ZE_API uint32_t ze_McuAddrStyle(ze_camera_t *camera);

/*
 * Joins @span units of @unit_bits bits each into one value: little-endian puts unit
 * 0 lowest, big-endian highest. Bits of a unit beyond @unit_bits are ignored. A span
 * of 0 or 1 gives units[0] itself; NULL @units gives 0.
 */
ZE_API uint32_t _packValueBySpan(const uint32_t *units, uint32_t unit_bits, uint32_t little_endian,
                                 uint32_t span);

/*
 * Splits @value into @span units of @unit_bits bits each, the inverse of
 * _packValueBySpan. A span of 0 or 1 stores @value itself in units[0]. @units
 * must hold at least max(1, @span) entries.
 */
ZE_API void _unpackValueBySpan(uint32_t *units, uint32_t value, uint32_t unit_bits,
                               uint32_t little_endian, uint32_t span);

ZE_END_DECLS

#endif /* ZENTRO_REG_H */
