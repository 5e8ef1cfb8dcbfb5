/* Register access: raw bus transfers, sensor registers by record, name or address, indirect
 * registers, MCU variables, special-function registers and far registers. */
#ifndef ZENTRO_REG_ACCESS_H
#define ZENTRO_REG_ACCESS_H

#include <stdint.h>

#include "zentro_camera.h"
#include "zentro_export.h"
#include "zentro_sensor.h"

ZE_BEGIN_DECLS

/*
 * Conventions of this header. Every function returns a result code of the error table
 * (0 CAMERA_SUCCESS). An absent camera, or an absent output where one is needed, gives
 * CAMERA_ERROR. Read functions leave 0 in every value they could not read. Except for the
 * four raw functions, each takes the camera's register lock for its whole duration, so no
 * other thread changes the selected address space or an MCU address window between the
 * steps of one access. Successful accesses keep the register cache (zentro_cache.h) up to
 * date; reads consult it as the calling thread's ZE_USE_REG_CACHE says (0 hardware only,
 * 1 cache first, 2 cache only: a register without a cached value gives CAMERA_ERROR).
 * Writes always reach the hardware. A transfer the bus does not acknowledge
 * (I2C_NACK_ERROR) is repeated up to ZE_NACK_RETRIES more times; other failures are
 * returned as the transport gave them. Registers handed in belong to the caller (the
 * camera's own database, or a record of the caller's).
 */

/* ---- Raw access at a serial-bus address ----
 * Call the camera's register operation with the calling thread's ZE_REG_ADDR_SIZE,
 * ZE_REG_DATA_SIZE and ZE_REG_DATA_LE; no register lock. CAMERA_NOT_SUPPORTED when the
 * camera has no such operation. */
ZE_API int ze_readRegister(ze_camera_t *camera, uint32_t bus_addr, uint32_t reg_addr,
                           uint32_t *value);
ZE_API int ze_writeRegister(ze_camera_t *camera, uint32_t bus_addr, uint32_t reg_addr,
                            uint32_t value);
ZE_API int ze_readRegisters(ze_camera_t *camera, uint32_t bus_addr, uint32_t start, uint32_t count,
                            uint32_t *values);
ZE_API int ze_writeRegisters(ze_camera_t *camera, uint32_t bus_addr, uint32_t start, uint32_t count,
                             uint32_t *values);

/* ---- Sensor registers ----
 * One register of any address space: plain registers (address-space switching and
 * multi-unit spans), indirect registers, MCU variables, special-function registers and
 * far registers. A register without a usable path gives CAMERA_ERROR. */
ZE_API int ze_ReadSensorReg(ze_camera_t *camera, ze_reg_t *reg, uint32_t *value);
ZE_API int ze_WriteSensorReg(ze_camera_t *camera, ze_reg_t *reg, uint32_t value);
/*
 * @count registers in order. @values (and @results, which may be NULL) are cleared first;
 * each register's own result goes to @results, a failed register reads (and, for writes,
 * leaves in @values) 0, an absent entry of @regs is skipped. A write-only register is read
 * from the cache without a transfer. Returns the result of the last register attempted.
 */
ZE_API int ze_ReadSensorRegs(ze_camera_t *camera, uint32_t count, ze_reg_t **regs, uint32_t *values,
                             int *results);
ZE_API int ze_WriteSensorRegs(ze_camera_t *camera, uint32_t count, ze_reg_t **regs,
                              uint32_t *values, int *results);
/*
 * By register name and bitfield name (NULL or "" for the whole register). Reading a
 * bitfield gives its value shifted down to bit 0; writing one reads the register (from the
 * cache only on sensors with 8-bit register addresses), replaces the bitfield's bits and
 * writes the result. An unknown register or bitfield is logged and gives CAMERA_ERROR.
 */
ZE_API int ze_ReadSensorRegStr(ze_camera_t *camera, const char *reg_name, const char *bitfield_name,
                               uint32_t *value);
ZE_API int ze_WriteSensorRegStr(ze_camera_t *camera, const char *reg_name,
                                const char *bitfield_name, uint32_t value);
/*
 * ze_ReadSensorRegStr with the calling thread's ZE_USE_REG_CACHE set to @cache_mode for the
 * read (handed to plug-ins). Returns the value; 0 when it cannot be read (the failure is
 * logged as for ze_ReadSensorRegStr).
 */
ZE_API uint32_t _readReg(ze_camera_t *camera, const char *reg_name, const char *bitfield_name,
                         uint32_t cache_mode);
/* @count names (a NULL @bitfield_names means no bitfields); per-entry results as
 * ze_ReadSensorRegs; returns the last entry's result. */
ZE_API int ze_ReadSensorRegsStr(ze_camera_t *camera, uint32_t count, const char **reg_names,
                                const char **bitfield_names, uint32_t *values, int *results);
ZE_API int ze_WriteSensorRegsStr(ze_camera_t *camera, uint32_t count, const char **reg_names,
                                 const char **bitfield_names, uint32_t *values, int *results);
/*
 * By address in an address space of @space_type (ZE_SPACE_...) accepting @space_value. The
 * database register at that address is used when its size is @bytes x 8 bits (or @bytes is
 * 0); otherwise a temporary register of @bytes bytes is made for the access (which the
 * cache cannot hold: with ZE_USE_REG_CACHE 2 it gives CAMERA_ERROR).
 */
ZE_API int ze_ReadSensorRegAddr(ze_camera_t *camera, uint32_t space_type, uint32_t space_value,
                                uint32_t addr, uint32_t bytes, uint32_t *value);
ZE_API int ze_WriteSensorRegAddr(ze_camera_t *camera, uint32_t space_type, uint32_t space_value,
                                 uint32_t addr, uint32_t bytes, uint32_t value);
ZE_API int ze_ReadSensorRegsAddr(ze_camera_t *camera, uint32_t count, const uint32_t *space_types,
                                 const uint32_t *space_values, const uint32_t *addrs,
                                 const uint32_t *bytes, uint32_t *values, int *results);
ZE_API int ze_WriteSensorRegsAddr(ze_camera_t *camera, uint32_t count, const uint32_t *space_types,
                                  const uint32_t *space_values, const uint32_t *addrs,
                                  const uint32_t *bytes, uint32_t *values, int *results);

/* ---- Indirect registers ----
 * Through INDIRECT_ADDR (or INDIRECT_ADDRESS) and INDIRECT_DATA (or INDIRECT_READ /
 * INDIRECT_WRITE); CAMERA_ERROR when the sensor lacks them. ze_ReadInds reads @count
 * consecutive indirect addresses, going on after a failure, and returns the last failure. */
ZE_API int ze_ReadInd(ze_camera_t *camera, uint32_t addr, uint32_t *value);
ZE_API int ze_WriteInd(ze_camera_t *camera, uint32_t addr, uint32_t value);
ZE_API int ze_ReadInds(ze_camera_t *camera, uint32_t addr, uint32_t count, uint32_t *values);

/* ---- Sizes and address steps ---- */
/* Bits of @reg's whole value (32 without register). */
ZE_API uint32_t ze_dataSize(ze_camera_t *camera, const ze_reg_t *reg);
/* 1 when @reg's units are little-endian (a far register: its far space decides). */
ZE_API uint32_t ze_dataLE(ze_camera_t *camera, const ze_reg_t *reg);
/* The byte order of the device at @bus_addr: the sensor's at its ship base address, else
 * that of the board chip whose active base address it is, else 0. */
ZE_API uint32_t ze_shipDataLE(ze_camera_t *camera, uint32_t bus_addr);
/* Bytes needed for @mask: 1 below 256, 2 below 65536, else 4. */
ZE_API uint32_t ze_varMaskToIs8(uint32_t mask);
/* Address step between consecutive data units at @bus_addr in spaces of @space_type. */
ZE_API uint32_t ze_GetAddrIncrement(ze_camera_t *camera, uint32_t bus_addr, uint32_t space_type);
/* The step for the calling thread's ZE_REG_DATA_SIZE. */
ZE_API uint32_t ze_GetAddrIncrementDataSize(ze_camera_t *camera, uint32_t bus_addr,
                                            uint32_t space_type);
/* The step of the sensor's own registers in spaces of @space_type. */
ZE_API uint32_t ze_GetSensorAddrIncrement(ze_camera_t *camera, uint32_t space_type);

/* ---- MCU variables ----
 * Variable (@driver, @offset) of @bytes bytes (1, 2 or 4; 0 means 2), through the
 * transport's system-register operations when it has them, else through the port
 * registers of the sensor's MCU style (ze_McuAddrStyle); CAMERA_ERROR for a style without
 * ports or a missing port register. Multi forms step the offset by @bytes. A single write
 * is stored in the cache; a burst write, of any count, marks the written range stale
 * instead (also when it fails part-way: the device may hold some of the new values). */
ZE_API int ze_ReadVar(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t bytes,
                      uint32_t *value);
ZE_API int ze_ReadVars(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t count,
                       uint32_t bytes, uint32_t *values);
ZE_API int ze_WriteVar(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t bytes,
                       uint32_t value);
ZE_API int ze_WriteVarBurst(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t count,
                            uint32_t bytes, const uint32_t *values);

/* ---- Special-function registers ----
 * SFR @addr (up to 32 bits) in page @page (0 to 3), by the same ladder and with the same
 * cache rules as MCU variables. */
ZE_API int ze_ReadSfr(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t bytes,
                      uint32_t *value);
ZE_API int ze_ReadSfrs(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t count,
                       uint32_t bytes, uint32_t *values);
ZE_API int ze_WriteSfr(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t bytes,
                       uint32_t value);
ZE_API int ze_WriteSfrBurst(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t count,
                            uint32_t bytes, const uint32_t *values);

/* ---- Far registers ----
 * Registers of a far sub-device (spaces ZE_SPACE_FAR1 / ZE_SPACE_FAR2), through the
 * transport's far-register operation or the sensor family's own mechanism. With far
 * access switched off (ZE_ALLOW_FAR_ACCESS 0) values read 0 without bus traffic; a far
 * base address missing from the allow-list gives I2C_NACK_ERROR; a sensor family without
 * a mechanism gives CAMERA_ERROR. */
ZE_API int ze_ReadFarReg(ze_camera_t *camera, ze_reg_t *reg, uint32_t *value);
/* @count units from the far register at @addr; CAMERA_ERROR when none is there. */
ZE_API int ze_ReadFarRegs(ze_camera_t *camera, uint32_t space_type, uint32_t space_value,
                          uint32_t addr, uint32_t count, uint32_t *values);
ZE_API int ze_WriteFarReg(ze_camera_t *camera, ze_reg_t *reg, uint32_t value);
/* Finds the far devices that answer (sensor families with a DMA far bus) and allows only
 * those; other sensors allow every address. Returns 0. */
ZE_API int ze_ProbeFarBus(ze_camera_t *camera);

ZE_END_DECLS

#endif /* ZENTRO_REG_ACCESS_H */
