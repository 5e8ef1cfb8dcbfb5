// A recording fake serial bus behind a test camera's transport-level register slots.
#ifndef ZENTRO_TESTS_SUPPORT_FAKE_BUS_H
#define ZENTRO_TESTS_SUPPORT_FAKE_BUS_H

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "zentro_camera.h"

namespace zentro::test {

class TempDir;

// What the value of a failed read holds: the library must not pass it on.
inline constexpr uint32_t kFailedReadJunk = 0xDEADBEEF;

// One device on the bus: its register file and how it misbehaves. Configure it before
// traffic from other threads starts; during traffic the bus serialises every access.
struct FakeDevice {
    uint32_t addrBits = 16;
    uint32_t dataBits = 16;
    // A register that selects the page of every other address (it answers in every page).
    std::optional<uint32_t> pageSelectAddr;
    uint32_t page = 0;
    // A device that never answers: every transfer is not acknowledged.
    bool answers = true;
    // The next this many transfers are not acknowledged.
    uint32_t nacksLeft = 0;
    // (page, address) -> value; an absent register reads 0.
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> registers;
    // Address -> values its next reads answer, in order, before the register file does.
    std::map<uint32_t, std::deque<uint32_t>> scripts;
    // (system kind: 1 MCU variable, 2 SFR; driver or page id; address) -> value.
    std::map<std::tuple<uint32_t, uint32_t, uint32_t>, uint32_t> systemRegisters;

    uint32_t get(uint32_t addr, uint32_t inPage = 0) const;
    void set(uint32_t addr, uint32_t value, uint32_t inPage = 0);
    // The next reads of @addr answer @values in turn (a status that reads busy, then done).
    void script(uint32_t addr, std::vector<uint32_t> values);
    // Address step between consecutive data units of one multiple transfer.
    uint32_t unitStep() const;
};

// The transport-level operations a transfer came through.
enum class TransferKind {
    Read,        // readRegister
    Write,       // writeRegister
    ReadMany,    // readRegisters
    WriteMany,   // writeRegisters
    ReadSensor,  // readSensorRegisters
    WriteSensor, // writeSensorRegisters
    ReadSystem,  // readSystemRegisters
    WriteSystem, // writeSystemRegisters
};

// One transfer as the bus saw it.
struct Transfer {
    TransferKind kind;
    uint32_t where; // bus address; the space id for sensor-register transfers; the driver or
                    // page id for system-register transfers
    uint32_t addr;
    uint32_t count;
    std::vector<uint32_t> values; // written, or answered (junk after a failure)
    int result;
    uint32_t systemKind; // system-register transfers: 1 MCU variable, 2 SFR
    uint32_t systemBits; // system-register transfers: bits of each value
    // The calling thread's ZE_REG_ADDR_SIZE, ZE_REG_DATA_SIZE and ZE_REG_DATA_LE.
    uint32_t addrSize;
    uint32_t dataSize;
    uint32_t dataLE;

    bool isRead() const;
};

// Which optional transport-level slots the bus fills. Without its own sensor-register
// operations the camera gets the library's defaults, which select the address space and
// transfer at the sensor's bus address, as the plug-in loader gives a plug-in.
struct FakeBusSlots {
    bool sensorRegisters = false;
    bool systemRegisters = false;
};

// Devices by bus address and a log of every transfer. A transfer to an address without a
// device is not acknowledged. Must outlive the traffic of every camera it is installed on.
class FakeBus
{
public:
    FakeDevice &addDevice(uint32_t busAddr, uint32_t addrBits, uint32_t dataBits);
    // The device of @camera's sensor at its ship base address, with the sensor's widths and
    // page-select register, holding every register's default value (power-up state).
    FakeDevice &addSensorDevice(ze_camera_t *camera);
    FakeDevice &device(uint32_t busAddr);

    // Fills @camera's transport-level slots with this bus and its camera-level register
    // slots with the library's generic operations.
    void install(ze_camera_t *camera, FakeBusSlots slots = {});
    // The bus installed on @camera, or nullptr.
    static FakeBus *of(ze_camera_t *camera);

    std::vector<Transfer> transfers() const;
    // Transfers of one kind only.
    std::vector<Transfer> transfers(TransferKind kind) const;
    void clearLog();

    // Entry points of the transport-level slots.
    int transfer(ze_camera_t *camera, TransferKind kind, uint32_t where, uint32_t addr,
                 uint32_t count, uint32_t *values);
    int systemTransfer(ze_camera_t *camera, TransferKind kind, uint32_t systemKind, uint32_t id,
                       uint32_t addr, uint32_t bits, uint32_t count, uint32_t *values);

private:
    // The device a transfer reaches, or nullptr when none answers (the NACK count spent).
    FakeDevice *acknowledging(uint32_t busAddr);
    void record(const ze_thread_settings_t &settings, Transfer entry, const uint32_t *values);

    mutable std::mutex mutex_;
    std::map<uint32_t, FakeDevice> devices_;
    std::vector<Transfer> log_;
};

// Writes @text as @name in @dir, reads it into @camera's sensor record and builds its
// register cache. Returns ze_ParseSensorFile's result.
int loadSensorText(ze_camera_t *camera, const TempDir &dir, const std::string &text,
                   const std::string &name = "sensor.sdat");
// The same for a sensor-data file that exists.
int loadSensorFile(ze_camera_t *camera, const std::string &path);

// Descriptor, options and address spaces of a sensor on bus address 0x90 with 8-bit
// addresses, 16-bit data and two pages (CORE id 0, IFP id 1); tests add their REGISTERS
// section, with ADDR_SPACE_SEL at 0xF0 as the page select.
extern const char *const kPagedSensorHead;

} // namespace zentro::test

#endif // ZENTRO_TESTS_SUPPORT_FAKE_BUS_H
