// Transfers through the camera context's operations with NACK retry, and the scoped
// per-thread cache mode and transfer format that the register operations switch to.
#ifndef ZENTRO_REGISTERS_TRANSFER_H
#define ZENTRO_REGISTERS_TRANSFER_H

#include <cstdint>

#include "zentro_camera.h"

namespace zentro {

inline constexpr uint32_t kCacheModeOff = 0;
inline constexpr uint32_t kCacheModeFirst = 1;
inline constexpr uint32_t kCacheModeOnly = 2;
// System-register kinds of the transport's system-register operations.
inline constexpr uint32_t kSystemKindMcu = 1;
inline constexpr uint32_t kSystemKindSfr = 2;

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

} // namespace zentro

#endif // ZENTRO_REGISTERS_TRANSFER_H
