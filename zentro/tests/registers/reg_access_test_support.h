// Helpers of the register-access tests: sensor texts of any type code and a camera on a fake bus.
#ifndef ZENTRO_TESTS_REGISTERS_REG_ACCESS_TEST_SUPPORT_H
#define ZENTRO_TESTS_REGISTERS_REG_ACCESS_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "camera/context.h"
#include "registers/cache.h"
#include "support/fake_bus.h"
#include "support/test_support.h"
#include "zentro.h"

namespace zentro::test {

// A sensor-data text for sensor type @typeCode with the given widths, address spaces and
// register lines (each a whole "NAME = {...}" line).
inline std::string sensorText(uint32_t typeCode, uint32_t addrBits, uint32_t dataBits,
                              const std::string &spaces, const std::string &registers,
                              const std::string &optional = "")
{
    std::string text = "[CHIP_DESCRIPTOR]\nSENSORNAME = \"";
    text += ze_SensorTypeName(typeCode);
    text += "\"\nWIDTH = 64\nHEIGHT = 32\nIMAGE_TYPE = BAYER\nBITS_PER_CLOCK = 10\n"
            "CLOCKS_PER_PIXEL = 1\nSHIP_BASE_ADDRESS = 0x20\n[END]\n[OPTIONAL]\n"
            "SDAT_VERSION = 2\nREG_ADDR_SIZE = " +
            std::to_string(addrBits) + "\nREG_DATA_SIZE = " + std::to_string(dataBits) + "\n" +
            optional + "[END]\n";
    if (!spaces.empty())
        text += "[ADDR_SPACE]\n" + spaces + "[END]\n";
    return text + "[REGISTERS]\n" + registers + "[END]\n";
}

inline constexpr uint32_t kTestSensorBus = 0x20;

// A camera with a sensor read from a text, on a fake bus whose sensor device holds every
// register's default.
class BusCamera : public ::testing::Test
{
protected:
    // Loads @text and puts the sensor on the bus; @slots as FakeBus::install.
    FakeDevice &load(const std::string &text, FakeBusSlots slots = {})
    {
        EXPECT_EQ(loadSensorText(camera, dir, text), PARSE_SUCCESS);
        initGlobalContext(camera);
        bus.install(camera, slots);
        FakeDevice &device = bus.addSensorDevice(camera);
        bus.clearLog();
        return device;
    }
    ze_reg_t *reg(const char *name) { return ze_FindRegister(camera, name); }
    void setCacheMode(uint32_t mode) { threadSettings(camera).useRegCache = mode; }
    // Transfers other than the page selects: what an access itself moved.
    std::vector<Transfer> transfersBeyond(uint32_t selectAddr) const
    {
        std::vector<Transfer> moved;
        for (const Transfer &entry : bus.transfers()) {
            if (entry.addr != selectAddr)
                moved.push_back(entry);
        }
        return moved;
    }
    uint32_t readValue(const char *name, const char *bitfield = "")
    {
        uint32_t value = 0xBAD;
        EXPECT_EQ(ze_ReadSensorRegStr(camera, name, bitfield, &value), CAMERA_SUCCESS) << name;
        return value;
    }

    TempDir dir;
    TestCamera camera;
    FakeBus bus;
};

// The address and value of every write in @log, in order.
inline std::vector<std::pair<uint32_t, uint32_t>> writesIn(const std::vector<Transfer> &log)
{
    std::vector<std::pair<uint32_t, uint32_t>> writes;
    for (const Transfer &entry : log) {
        if (entry.isRead())
            continue;
        // Units of one transfer follow at the sensor's address step.
        const uint32_t step = entry.addrSize == 16 && entry.dataSize == 16 ? 2 : 1;
        for (uint32_t i = 0; i < entry.values.size(); ++i)
            writes.emplace_back(entry.addr + i * step, entry.values[i]);
    }
    return writes;
}

// The addresses of every read in @log, in order.
inline std::vector<uint32_t> readsIn(const std::vector<Transfer> &log)
{
    std::vector<uint32_t> reads;
    for (const Transfer &entry : log) {
        if (entry.isRead())
            reads.push_back(entry.addr);
    }
    return reads;
}

} // namespace zentro::test

#endif // ZENTRO_TESTS_REGISTERS_REG_ACCESS_TEST_SUPPORT_H
