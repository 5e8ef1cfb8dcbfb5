// Register layout and defaults of a simulated sensor, read from a text sensor-data file.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace boardsim {

// How a device lays out its registers on the bus.
struct RegisterGeometry {
    unsigned addressBits = 16; // 8 or 16: the register address on the wire
    unsigned dataBytes = 2;    // 1, 2 or 4: one register's width

    // Bytes behind one register address: sensors with 8-bit addresses and wider registers are
    // word-addressed, all others byte-addressed.
    unsigned unitBytes() const { return addressBits == 8 ? dataBytes : 1; }
    uint32_t addressCount() const { return addressBits == 8 ? 0x100 : 0x10000; }
    size_t pageBytes() const { return size_t{addressCount()} * unitBytes(); }
};

// A register of the file, placed in the device's register file.
struct SensorRegister {
    std::string name;
    uint32_t page = 0;
    uint32_t address = 0;
    unsigned bytes = 2; // span × register width, at most 4
    uint32_t defaultValue = 0;
    bool readOnly = false;
};

// The register that selects the page of every register below its own address (its value is
// the page number); it and the registers above it answer in every page.
struct PageSelect {
    uint32_t address = 0;
};

// The most pages a device keeps (page numbers are the ids of the file's register spaces).
constexpr uint32_t kMaxPages = 256;

struct SensorDefaults {
    RegisterGeometry geometry;
    std::optional<PageSelect> pageSelect;
    uint32_t pageCount = 1;
    // The registers of plain register spaces, in file order.
    std::vector<SensorRegister> registers;

    // The default register file: pageCount pages of geometry.pageBytes(), big-endian values.
    std::vector<uint8_t> image() const;
    // The first register of the file (in file order) with that name or at that address.
    const SensorRegister *find(const std::string &name) const;
    const SensorRegister *findAt(uint32_t address) const;
};

// Collects what a sensor-data reader finds: sizes, address spaces and registers. Registers of
// spaces that are not plain registers (MCU variables, SFRs, far devices), and addresses the
// sensor's address width cannot reach, are left out.
class SensorLayoutBuilder
{
public:
    void setAddressSize(long long bits);
    void setDataSize(long long bits);
    // type: the space's type word (any word but MCU, SFR, MEM, IND and FAR... means registers).
    void addSpace(const std::string &name, const std::string &type, long long id);
    void addRegister(const std::string &name, long long address, const std::string &space,
                     long long span, const std::string &access, long long value);
    SensorDefaults finish();

private:
    struct Space {
        bool plain = true;
        uint32_t id = 0;
    };
    struct NoCase {
        bool operator()(const std::string &a, const std::string &b) const;
    };

    SensorDefaults out_;
    std::map<std::string, Space, NoCase> spaces_;
    std::optional<Space> firstSpace_;
};

// Reads the register layout and defaults of a sensor-data file, text or XML. Malformed lines
// or elements are skipped; false with a message when the file cannot be read.
bool loadSensorDefaults(const std::string &path, SensorDefaults &out, std::string &error);
// The same from the contents of such a file.
SensorDefaults parseSensorDefaults(const std::string &contents);
// The same from the contents of an XML sensor-data file.
SensorDefaults parseSensorDefaultsXml(const std::string &contents);

} // namespace boardsim
