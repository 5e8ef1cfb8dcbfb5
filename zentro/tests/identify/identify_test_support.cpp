// Helpers of the identification tests: candidate sensor-data files and a camera whose
// transport is the fake bus.
#include "identify/identify_test_support.h"

#include <algorithm>
#include <cstdio>

namespace zentro::test {

namespace {

std::string hex(uint32_t value)
{
    char text[16];
    snprintf(text, sizeof(text), "0x%X", value);
    return text;
}

} // namespace

std::string Candidate::text() const
{
    std::string list;
    for (uint32_t base : bases)
        list += (list.empty() ? "" : " ") + hex(base);
    return "[CHIP_DESCRIPTOR]\nSENSORNAME = \"" + std::string(ze_SensorTypeName(type)) +
           "\"\nWIDTH = 64\nHEIGHT = 32\nIMAGE_TYPE = BAYER\nBITS_PER_CLOCK = 10\n"
           "CLOCKS_PER_PIXEL = 1\nSHIP_BASE_ADDRESS = (" +
           list +
           ")\n[END]\n[OPTIONAL]\nSDAT_VERSION = 2\nREG_ADDR_SIZE = " + std::to_string(addrBits) +
           "\nREG_DATA_SIZE = 16\n" + optional + "[END]\n[REGISTERS]\nCHIP_VERSION_REG = {" +
           hex(chipVersionAddr(addrBits)) + ", CORE, 1, 0xFFFF, RO, " + hex(chipVersion) +
           ", \"Chip version\" \"\"}\n" + registers + "[END]\n";
}

void IdentifyTest::SetUp()
{
    bus.install(camera);
    *ze_CancelProbe() = 0;
}

void IdentifyTest::TearDown()
{
    *ze_CancelProbe() = 0;
}

void IdentifyTest::add(const std::string &name, const Candidate &candidate)
{
    writeFile(dir.file(name), candidate.text());
}

FakeDevice &IdentifyTest::sensorAt(uint32_t base, uint32_t chipVersion, uint32_t addrBits)
{
    FakeDevice &device = bus.addDevice(base, addrBits, 16);
    device.set(chipVersionAddr(addrBits), chipVersion);
    return device;
}

size_t IdentifyTest::transfersAt(uint32_t base) const
{
    const std::vector<Transfer> log = bus.transfers();
    return static_cast<size_t>(std::count_if(
        log.begin(), log.end(), [base](const Transfer &t) { return t.where == base; }));
}

} // namespace zentro::test
