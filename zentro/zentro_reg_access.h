// Internal register access: transfers with NACK retry, the "Nolock" operations that expect
// the register lock to be held, RAM aliases and the direct-access state.
#ifndef ZENTRO_REG_ACCESS_INTERNAL_H
#define ZENTRO_REG_ACCESS_INTERNAL_H

#include <cstdint>

#include "include/zentro_reg_access.h"
#include "zentro_camera.h"
#include "zentro_context.h"
#include "zentro_errors.h"
#include "zentro_sensor.h"

namespace zentro {

inline constexpr uint32_t kCacheModeOff = 0;
inline constexpr uint32_t kCacheModeFirst = 1;
inline constexpr uint32_t kCacheModeOnly = 2;
// System-register kinds of the transport's system-register operations.
inline constexpr uint32_t kSystemKindMcu = 1;
inline constexpr uint32_t kSystemKindSfr = 2;

// ---- Transfers (zentro_reg_transfer.cpp) ----
// Each calls the matching operation of @camera's context, CAMERA_NOT_SUPPORTED without one,
// and repeats it while it answers I2C_NACK_ERROR, at most ZE_NACK_RETRIES more times. A
// failed read leaves its values 0.
int transferReadRegister(ze_camera_t *camera, uint32_t busAddr, uint32_t addr, uint32_t *value);
int transferWriteRegister(ze_camera_t *camera, uint32_t busAddr, uint32_t addr, uint32_t value);
int transferReadRegisters(ze_camera_t *camera, uint32_t busAddr, uint32_t start, uint32_t count,
                          uint32_t *values);
int transferWriteRegisters(ze_camera_t *camera, uint32_t busAddr, uint32_t start, uint32_t count,
                           uint32_t *values);
int transferReadSensorRegisters(ze_camera_t *camera, uint32_t space, uint32_t start, uint32_t count,
                                uint32_t *values);
int transferWriteSensorRegisters(ze_camera_t *camera, uint32_t space, uint32_t start,
                                 uint32_t count, uint32_t *values);
int transferReadSystemRegisters(ze_camera_t *camera, uint32_t kind, uint32_t id, uint32_t start,
                                uint32_t bits, uint32_t count, uint32_t *values);
int transferWriteSystemRegisters(ze_camera_t *camera, uint32_t kind, uint32_t id, uint32_t start,
                                 uint32_t bits, uint32_t count, uint32_t *values);
int transferSendCommand(ze_camera_t *camera, uint32_t a, uint32_t b, uint32_t c, uint32_t d,
                        uint32_t e, uint32_t f, uint32_t g);

// Sets the calling thread's ZE_USE_REG_CACHE for the lifetime of the object.
class ScopedCacheMode
{
public:
    ScopedCacheMode(ze_camera_t *camera, uint32_t mode);
    ~ScopedCacheMode();
    ScopedCacheMode(const ScopedCacheMode &) = delete;
    ScopedCacheMode &operator=(const ScopedCacheMode &) = delete;

private:
    ze_thread_settings_t &settings_;
    uint32_t saved_;
};

// Sets the calling thread's raw-transfer widths and byte order for the object's lifetime.
class ScopedTransferFormat
{
public:
    ScopedTransferFormat(ze_camera_t *camera, uint32_t addrBits, uint32_t dataBits,
                         uint32_t littleEndian);
    ~ScopedTransferFormat();
    ScopedTransferFormat(const ScopedTransferFormat &) = delete;
    ScopedTransferFormat &operator=(const ScopedTransferFormat &) = delete;

private:
    ze_thread_settings_t &settings_;
    ze_thread_settings_t saved_;
};

// ---- Address-space switching (zentro_reg_space_switch.cpp) ----
// Selects space @id on the sensor for the following reads (@forWrite false) or writes,
// unless the cached selection says it is selected already. Nothing without a select
// register. Returns the select write's result (0 when none was needed).
int switchAddrSpace(ze_camera_t *camera, uint32_t id, bool forWrite);

// True for the MCU and SFR kinds, near and far: values of 1, 2 or 4 bytes (zentro_reg_sizes.cpp).
bool isVariableSpaceType(uint32_t type);

// ---- Single registers (zentro_reg_access.cpp) ----
uint32_t spaceTypeOf(const ze_reg_t *reg);
uint32_t spaceIdOf(const ze_reg_t *reg);
bool isNullCamera(ze_camera_t *camera);
bool isFileCamera(ze_camera_t *camera);
// Reads or writes one register of any space, cache rules included (the core of every public
// register operation). A failed read leaves the value 0.
int readRegNolock(ze_camera_t *camera, ze_reg_t *reg, uint32_t *value);
int writeRegNolock(ze_camera_t *camera, ze_reg_t *reg, uint32_t value);
// The hardware, whatever the thread's cache mode (polling, data ports).
int readRegHardwareNolock(ze_camera_t *camera, ze_reg_t *reg, uint32_t *value);
// By name: a register the sensor lacks gives CAMERA_ERROR without a log entry.
int readNamedNolock(ze_camera_t *camera, const char *name, uint32_t *value);
int readNamedHardwareNolock(ze_camera_t *camera, const char *name, uint32_t *value);
int writeNamedNolock(ze_camera_t *camera, const char *name, uint32_t value);
// Bitfield forms, as ze_ReadSensorRegStr and ze_WriteSensorRegStr (lookups are logged).
int readRegStrNolock(ze_camera_t *camera, const char *regName, const char *bitfieldName,
                     uint32_t *value);
int writeRegStrNolock(ze_camera_t *camera, const char *regName, const char *bitfieldName,
                      uint32_t value);
// A plain sensor register's units through the sensor-register transfers (no cache).
int readPlainUnitsNolock(ze_camera_t *camera, const ze_reg_t *reg, uint32_t *value);
int writePlainUnitsNolock(ze_camera_t *camera, const ze_reg_t *reg, uint32_t value);
// Plain registers at @addr of the sensor's bus address with the sensor's address width,
// @dataBits per value and the sensor's byte order (MCU variables mapped into registers).
int readDirectNolock(ze_camera_t *camera, uint32_t addr, uint32_t dataBits, uint32_t count,
                     uint32_t *values);
int writeDirectNolock(ze_camera_t *camera, uint32_t addr, uint32_t dataBits, uint32_t count,
                      uint32_t *values);

// ---- Direct-access state (zentro_reg_access.cpp) ----
ze_common_context::DirectAccessState &directAccessState(ze_camera_t *camera);
// Follows a successful plain access of a register that controls MCU addressing.
void trackDirectAccess(ze_camera_t *camera, const ze_reg_t *reg, uint32_t value, bool written);
// Re-reads ACCESS_CTL_STAT or ADVANCED_BASE from the hardware when the MCU style uses one.
void refreshDirectAccessState(ze_camera_t *camera);

// ---- RAM aliases (zentro_ram_alias.cpp) ----
struct RamAlias {
    ze_reg_t *target = nullptr; // the MCU variable or SFR the register stands for
    uint32_t style = 0;         // MCU style of the alias; 0 when the register is none
};
// The alias of a REG-space register; no target for registers in any other space.
RamAlias resolveRamAlias(ze_camera_t *camera, const ze_reg_t *reg);

// ---- MCU variables and SFRs (zentro_mcu_vars.cpp, zentro_mcu_sfr.cpp) ----
int readVarsNolock(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t count,
                   uint32_t bytes, uint32_t *values);
int readVarNolock(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t bytes,
                  uint32_t *value);
int writeVarsNolock(ze_camera_t *camera, uint32_t driver, uint32_t offset, uint32_t count,
                    uint32_t bytes, const uint32_t *values);
int readSfrsNolock(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t count,
                   uint32_t bytes, uint32_t *values);
int readSfrNolock(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t bytes,
                  uint32_t *value);
int writeSfrsNolock(ze_camera_t *camera, uint32_t page, uint32_t addr, uint32_t count,
                    uint32_t bytes, const uint32_t *values);
// Bytes of an MCU or SFR value; 0 means 2.
inline uint32_t varBytes(uint32_t bytes)
{
    return bytes == 0 ? 2 : bytes;
}
// One value of @bytes bytes through data port register @port under MCU style @style (two
// transfers of the port, high half first, for 4 bytes; the high byte of the unit for 1 byte on
// style 54). The port register's cache entry follows.
int readPortData(ze_camera_t *camera, const ze_reg_t *port, uint32_t style, uint32_t bytes,
                 uint32_t *value);
int writePortData(ze_camera_t *camera, const ze_reg_t *port, uint32_t style, uint32_t bytes,
                  uint32_t value);
// Runs @count single-value accesses at @addr stepping by @bytes: values already done stay,
// the failing one and later ones are 0 (reads).
template <class Access>
int forEachValue(uint32_t addr, uint32_t count, uint32_t bytes, uint32_t *values, Access access)
{
    for (uint32_t i = 0; i < count; ++i) {
        const int result = access(addr + i * bytes, values[i]);
        if (result != 0) {
            for (uint32_t j = i; j < count; ++j)
                values[j] = 0;
            return result;
        }
    }
    return 0;
}
// The stored value of the register at (@spaceType, @spaceValue, @addr) whatever its
// flags (a camera without hardware); 0 when there is none.
uint32_t storedValueAt(ze_camera_t *camera, uint32_t spaceType, uint32_t spaceValue, uint32_t addr);
// Clears the byte-access bitfield that sensor type 54 version 1 leaves set after 1-byte
// accesses through @portName.
void clearByteAccess(ze_camera_t *camera, uint32_t bytes, const char *portName,
                     const char *bitfieldName);

// ---- Indirect registers (zentro_reg_indirect.cpp) ----
int readIndNolock(ze_camera_t *camera, uint32_t addr, uint32_t *value);
int writeIndNolock(ze_camera_t *camera, uint32_t addr, uint32_t value);

// ---- Far registers (zentro_far_regs.cpp) ----
// @count units of far register @reg; a register of span n reads n units.
int readFarUnitsNolock(ze_camera_t *camera, const ze_reg_t *reg, uint32_t addr, uint32_t count,
                       uint32_t *units);
int readFarRegNolock(ze_camera_t *camera, const ze_reg_t *reg, uint32_t *value);
int writeFarRegNolock(ze_camera_t *camera, const ze_reg_t *reg, uint32_t value);
// The far device a register lives on, from its far space.
struct FarTarget {
    uint32_t base;     // 8-bit serial-bus address
    uint32_t addrBits; // far register address width
    uint32_t dataBits; // far unit width
    uint32_t spaceType;
    uint32_t spaceId;
    uint32_t selectAddr; // the far device's space-select register, 0 for none
};
// The sensor families' own far mechanisms (zentro_far_dma.cpp, zentro_far_bus_master.cpp):
// @count units at @addr, read into or written from @units.
int dmaFarTransfer(ze_camera_t *camera, const FarTarget &target, uint32_t addr, uint32_t count,
                   uint32_t *units, bool write);
int busMasterFarTransfer(ze_camera_t *camera, const FarTarget &target, uint32_t addr,
                         uint32_t count, uint32_t *units, bool write);
// Polls register @name (from the hardware) at most @attempts times until @done accepts
// its value; CAMERA_TIMEOUT when it never does. The last value read goes to @last.
template <class Done>
int pollNamed(ze_camera_t *camera, const char *name, uint32_t attempts, Done done,
              uint32_t *last = nullptr)
{
    for (uint32_t i = 0; i < attempts; ++i) {
        uint32_t value = 0;
        const int result = readNamedHardwareNolock(camera, name, &value);
        if (result != 0)
            return result;
        if (last)
            *last = value;
        if (done(value))
            return 0;
    }
    return CAMERA_TIMEOUT;
}

// ---- Batch modes of ze_ReadSensorRegs (zentro_reg_batch.cpp) ----
// Whether @reg is deferred to a batch read on this sensor.
bool deferredToBatch(ze_camera_t *camera, const ze_reg_t *reg);
// Reads the deferred registers (indexes into the caller's arrays); results at their places.
int readBatchNolock(ze_camera_t *camera, ze_reg_t **regs, const uint32_t *positions, uint32_t count,
                    uint32_t *values, int *results);

// ---- Sizes (zentro_reg_sizes.cpp) ----
// Address bits of registers in spaces of @spaceType.
uint32_t addrSizeOfSpace(ze_camera_t *camera, uint32_t spaceType);

} // namespace zentro

#endif // ZENTRO_REG_ACCESS_INTERNAL_H
