// The per-camera common context and the per-device shared context.
#ifndef ZENTRO_CAMERA_CONTEXT_H
#define ZENTRO_CAMERA_CONTEXT_H

#include <cstdint>
#include <memory>

#include "osal/locks.h"
#include "sensor_data/ident_data.h"
#include "zentro_camera.h"
#include "zentro_modes.h"
#include "zentro_presets.h"

namespace zentro {
class RegisterIndex;
} // namespace zentro
struct ze_reg_cache_entry;

// Values every user of one physical device must see alike. Plain values only.
struct ze_shared_context {
    uint32_t initialised; // 0 in a fresh block, 0xFFFFFFFF once filled
    uint32_t modes[ZE_MODE_LIMIT];
    uint32_t spoofWidth;
    uint32_t spoofHeight;
    uint32_t hwBuffering;
};
typedef struct ze_shared_context ze_shared_context_t;

// Transport-level operation slots, filled by the transport that opened the camera.
struct ze_transport_ops {
    ze_sensor_registers_op_t readSensorRegisters;
    ze_sensor_registers_op_t writeSensorRegisters;
    ze_read_register_op_t readRegister;
    ze_write_register_op_t writeRegister;
    ze_registers_op_t readRegisters;
    ze_registers_op_t writeRegisters;
    int (*setNotifyCallback)(ze_camera_t *camera, void *callback, void *user);
    int (*enableDeviceNotification)(ze_camera_t *camera, void *window);
    int (*matchDevChangeMsg)(ze_camera_t *camera, void *message);
    // Offered each preset line; 260 or 261 means the transport consumed it.
    uint32_t (*iniFileCommand)(ze_camera_t *camera, const char *key, const char *value);
    int (*getDeviceName)(ze_camera_t *camera, char *name, uint32_t size);
    int (*disableDeviceNotification)(ze_camera_t *camera);
    int (*readSystemRegisters)(ze_camera_t *camera, uint32_t a, uint32_t b, uint32_t start,
                               uint32_t extra, uint32_t count, uint32_t *values);
    int (*writeSystemRegisters)(ze_camera_t *camera, uint32_t a, uint32_t b, uint32_t start,
                                uint32_t extra, uint32_t count, uint32_t *values);
    int (*sendCommand)(ze_camera_t *camera, uint32_t a, uint32_t b, uint32_t c, uint32_t d,
                       uint32_t e, uint32_t f, uint32_t g);
    ze_grab_frame_op_t grabFrame;
    int (*sendAcmp0Message)(ze_camera_t *camera, const uint8_t *message, uint32_t size,
                            uint8_t *reply, uint32_t replySize);
};

// Characters of a far sub-device name that are kept.
inline constexpr int kFarNameSize = 64;

struct ze_common_context {
    // Locks: created when the context is finished (zentro::initGlobalContext).
    std::unique_ptr<zentro::CriticalSection> regLock;
    std::unique_ptr<zentro::CriticalSection> grabLock;
    uint32_t simultaneousGrab = 1;

    // Stored values of the per-camera and shared modes, by mode number.
    uint32_t modes[ZE_MODE_LIMIT] = {};
    // What a thread without a settings table of its own uses.
    ze_thread_settings_t cameraSettings = {};

    ze_transport_ops ops = {};
    // The application's preset command handler (ze_SetIniCommandHandler); none by default.
    ze_ini_command_handler_t iniCommandHandler = nullptr;
    // The transport's own record (the null transport's path, a plug-in's record); owned by
    // the transport.
    void *transportRecord = nullptr;
    // A plug-in's per-camera device context (context item 4); the library never reads it.
    void *deviceContext = nullptr;
    // Unique per context in this process: tells a thread's settings record of this camera
    // from one left behind by a closed camera that had the same address.
    uint64_t serial = 0;

    char driverInfo[ZE_TEXT_SIZE] = {};
    char serdesPartNumber[ZE_TEXT_SIZE] = {};

    char regLockName[ZE_TEXT_SIZE] = {};
    char grabLockName[ZE_TEXT_SIZE] = {};
    char sharedName[ZE_TEXT_SIZE] = {};
    void *sharedHandle = nullptr;
    ze_shared_context_t *shared = nullptr;

    zentro::IdentData ident = {};
    uint32_t sdatVersion = 1; // format version of the sensor-data file being read
    char farNames[2][kFarNameSize] = {};

    // Name and address index of the sensor's registers (filled on first lookup).
    std::unique_ptr<zentro::RegisterIndex> registerIndex;

    // The register cache (registers/cache.cpp): one entry per register of the sensor.
    struct RegisterCache {
        ze_reg_cache_entry *entries = nullptr;
        int32_t count = 0;
        void *handle = nullptr; // the named memory block; none for ordinary memory
        bool followsSensor = false;
    };
    RegisterCache regCache;

    // Register access through the MCU port registers and far sub-devices
    // (registers/access.h). The direct-access state follows the registers that control MCU
    // addressing; kUnknown marks a value not seen since the cache was last invalidated. The
    // far allow-list holds one bit per 7-bit serial-bus address (index = address / 2) and
    // starts with every address allowed; probing the far bus narrows it. The far-register
    // operations are a transport's own way to far devices (none by default).
    struct DirectAccessState {
        static constexpr uint32_t kUnknown = 0xFFFFFFFFu;
        uint32_t logical = kUnknown; // 1 logical, 0 physical addressing
        uint32_t page = kUnknown;    // ACCESS_CTL_STAT bits 6 and 7, as 0 to 3
        uint32_t bit0 = kUnknown;    // ACCESS_CTL_STAT bit 0
        uint32_t advancedBase = kUnknown;
        void invalidate() { *this = DirectAccessState(); }
    };
    DirectAccessState directAccess;
    struct FarAllowList {
        static constexpr uint32_t kWords = 4;
        uint32_t bits[kWords] = {~0u, ~0u, ~0u, ~0u};
        void allow(uint32_t busAddr) { bits[(busAddr >> 1) / 32 % kWords] |= bit(busAddr); }
        void forbid(uint32_t busAddr) { bits[(busAddr >> 1) / 32 % kWords] &= ~bit(busAddr); }
        bool allows(uint32_t busAddr) const
        {
            return (bits[(busAddr >> 1) / 32 % kWords] & bit(busAddr)) != 0;
        }
        void setAll(bool allowed)
        {
            for (uint32_t &word : bits)
                word = allowed ? ~0u : 0u;
        }
        static uint32_t bit(uint32_t busAddr) { return 1u << ((busAddr >> 1) % 32); }
    };
    FarAllowList farAllowList;
    int (*readFarRegisters)(ze_camera_t *camera, uint32_t farBase, uint32_t addr, uint32_t addrBits,
                            uint32_t dataBits, uint32_t count, uint32_t *values) = nullptr;
    int (*writeFarRegisters)(ze_camera_t *camera, uint32_t farBase, uint32_t addr,
                             uint32_t addrBits, uint32_t dataBits, uint32_t count,
                             uint32_t *values) = nullptr;

    ze_common_context();
    ~ze_common_context();
    ze_common_context(const ze_common_context &) = delete;
    ze_common_context &operator=(const ze_common_context &) = delete;
};

namespace zentro {

// Finishes @camera's context after its transport opened it or a sensor file was read:
// device name, locks and shared context; then adopts the shared values.
void initGlobalContext(ze_camera_t *camera);
// Lets go of @camera's shared context (the next initGlobalContext makes it again).
void releaseSharedContext(ze_camera_t *camera);

// The stored value of a per-camera or shared mode (the shared context wins when present).
uint32_t storedMode(const ze_camera_t *camera, uint32_t mode);
// Stores a per-camera or shared mode value in the common and the shared context.
void setStoredMode(ze_camera_t *camera, uint32_t mode, uint32_t value);
// The register-access settings the calling thread uses for @camera: its record in the
// thread's table (created on demand), else the camera's own copy.
ze_thread_settings_t &threadSettings(ze_camera_t *camera);
// Removes @camera's record from the calling thread's table, moving later records forward.
void forgetThreadSettings(const ze_camera_t *camera);
// True while the calling thread has a settings table.
bool hasThreadTable();

} // namespace zentro

#endif // ZENTRO_CAMERA_CONTEXT_H
