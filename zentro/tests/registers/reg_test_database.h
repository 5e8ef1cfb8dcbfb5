// Hand-built register databases for the lookup tests, allocated as the readers allocate them.
#ifndef ZENTRO_TESTS_REGISTERS_REG_TEST_DATABASE_H
#define ZENTRO_TESTS_REGISTERS_REG_TEST_DATABASE_H

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "sensor_data/sensor_record.h"
#include "zentro.h"

namespace zentro::test {

struct BitfieldDef {
    const char *name;
    uint32_t mask;
    const char *externalName = "";
};

// One register; @space indexes the SpaceDef list (-1: the register has no space).
struct RegisterDef {
    std::string name;
    uint32_t addr = 0;
    std::vector<BitfieldDef> bitfields = {};
    std::string externalName = "";
    int space = -1;
};

struct SpaceDef {
    const char *name;
    uint32_t type;
    int32_t id;
    uint32_t farAddrSize = 8;
};

struct ChipDef {
    const char *name;
    std::vector<RegisterDef> regs;
};

inline ze_reg_t *makeRegisters(const std::vector<RegisterDef> &defs, ze_addr_space_t *spaces)
{
    auto *regs = static_cast<ze_reg_t *>(calloc(defs.size() + 1, sizeof(ze_reg_t)));
    for (size_t i = 0; i < defs.size(); ++i) {
        const RegisterDef &def = defs[i];
        ze_reg_t &reg = regs[i];
        copyText(reg.name, def.name.c_str());
        copyText(reg.externalName, def.externalName.c_str());
        reg.addr = def.addr;
        reg.mask = 0xFFFFFFFF;
        reg.span = 1;
        if (def.space >= 0) {
            reg.addrSpace = &spaces[def.space];
            reg.addrSpaceId = static_cast<uint32_t>(spaces[def.space].id);
        }
        reg.bitfieldCount = static_cast<int32_t>(def.bitfields.size());
        reg.bitfields =
            static_cast<ze_bitfield_t *>(calloc(def.bitfields.size() + 1, sizeof(ze_bitfield_t)));
        for (size_t b = 0; b < def.bitfields.size(); ++b) {
            copyText(reg.bitfields[b].name, def.bitfields[b].name);
            copyText(reg.bitfields[b].externalName, def.bitfields[b].externalName);
            reg.bitfields[b].mask = def.bitfields[b].mask;
        }
    }
    return regs;
}

// Gives @camera a fresh sensor record of type @sensorType holding @regs and, when @spaces
// is not empty, an address-space table (with @readSelect as its read-select address).
inline ze_sensor_t *installSensor(ze_camera_t *camera, const std::vector<RegisterDef> &regs,
                                  const std::vector<SpaceDef> &spaces = {}, uint32_t sensorType = 0,
                                  uint32_t readSelect = 0)
{
    ze_AllocSensor(camera);
    ze_sensor_t *sensor = camera->sensor;
    resetSensorRecord(sensor, "test.sdat");
    sensor->sensorType = sensorType;
    if (const char *name = ze_SensorTypeName(sensorType))
        copyText(sensor->name, name);
    if (!spaces.empty()) {
        sensor->addrSpaces =
            static_cast<ze_addr_space_list_t *>(calloc(1, sizeof(ze_addr_space_list_t)));
        sensor->addrSpaces->readSelectAddr = readSelect;
        sensor->addrSpaces->count = static_cast<int32_t>(spaces.size());
        sensor->addrSpaces->spaces =
            static_cast<ze_addr_space_t *>(calloc(spaces.size(), sizeof(ze_addr_space_t)));
        for (size_t i = 0; i < spaces.size(); ++i) {
            ze_addr_space_t &space = sensor->addrSpaces->spaces[i];
            copyText(space.name, spaces[i].name);
            space.type = spaces[i].type;
            space.id = spaces[i].id;
            space.farAddrSize = spaces[i].farAddrSize;
        }
    }
    sensor->regs = makeRegisters(regs, sensor->addrSpaces ? sensor->addrSpaces->spaces : nullptr);
    sensor->regCount = static_cast<int32_t>(regs.size());
    registersChanged(camera);
    return sensor;
}

// Gives @camera the board chips @chips (released by TestCamera).
inline void installChips(ze_camera_t *camera, const std::vector<ChipDef> &chips)
{
    freeChips(camera->boardChips, camera->boardChipCount);
    camera->boardChips = static_cast<ze_chip_t *>(calloc(chips.size() + 1, sizeof(ze_chip_t)));
    camera->boardChipCount = static_cast<int32_t>(chips.size());
    for (size_t i = 0; i < chips.size(); ++i) {
        copyText(camera->boardChips[i].name, chips[i].name);
        camera->boardChips[i].regs = makeRegisters(chips[i].regs, nullptr);
        camera->boardChips[i].regCount = static_cast<int32_t>(chips[i].regs.size());
    }
}

// A failure line of the log with the source position it names.
struct SourcedLine {
    int code;
    std::string message;
    std::string source;
    std::string function;
};

// Sends the log's error lines, with their source names, to a list for the scope of the
// object.
class SourcedLogCapture
{
public:
    SourcedLogCapture()
    {
        clear();
        ze_OpenErrorLogCallback(ZE_LOG_SEVERE | ZE_LOG_ERROR, record);
    }
    ~SourcedLogCapture() { ze_CloseErrorLog(); }
    SourcedLogCapture(const SourcedLogCapture &) = delete;
    SourcedLogCapture &operator=(const SourcedLogCapture &) = delete;

    std::vector<SourcedLine> lines() const
    {
        std::lock_guard<std::mutex> guard(lock());
        return store();
    }
    std::vector<std::string> messages() const
    {
        std::vector<std::string> texts;
        for (const SourcedLine &line : lines())
            texts.push_back(line.message);
        return texts;
    }
    void clear()
    {
        std::lock_guard<std::mutex> guard(lock());
        store().clear();
    }

private:
    static std::mutex &lock()
    {
        static std::mutex mutex;
        return mutex;
    }
    static std::vector<SourcedLine> &store()
    {
        static std::vector<SourcedLine> lines;
        return lines;
    }
    static void record(uint32_t, int code, const char *message, const char *source,
                       const char *function, int)
    {
        std::lock_guard<std::mutex> guard(lock());
        store().push_back(
            {code, message ? message : "", source ? source : "", function ? function : ""});
    }
};

} // namespace zentro::test

#endif // ZENTRO_TESTS_REGISTERS_REG_TEST_DATABASE_H
