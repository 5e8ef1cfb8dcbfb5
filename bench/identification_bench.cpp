// Figures for sensor identification: a directory of candidate sensor-data files of about
// 1,000 registers each, one of which describes the sensor on the (fake) bus. Candidates
// are of three kinds: another chip version at the sensor's address, a sensor at an
// address where nothing answers, and a sensor with 8-bit register addresses.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_timing.h"
#include "support/fake_bus.h"
#include "support/test_support.h"
#include "zentro.h"

namespace {

using zentro::bench::Figure;
using zentro::bench::timed;

constexpr double kTargetMs = 300;
constexpr uint32_t kSensorBus = 0x20;
constexpr uint32_t kSilentBus = 0x36;
constexpr uint32_t kChipVersionAddr = 0x3000;
constexpr uint32_t kMatchingVersion = 0x2C54;

struct Options {
    int candidates = 300;
    int registers = 1000;
    int repetitions = 7;
};

bool parseOptions(int argc, char **argv, Options &options)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const int value = std::max(1, atoi(argv[i + 1]));
        if (option == "--candidates")
            options.candidates = value;
        else if (option == "--registers")
            options.registers = value;
        else if (option == "--repetitions")
            options.repetitions = value;
        else
            return false;
    }
    return argc % 2 == 1;
}

std::string hex(uint32_t value)
{
    char text[16];
    snprintf(text, sizeof(text), "0x%X", value);
    return text;
}

// A sensor-data file whose CHIP_VERSION_REG comes first, as in real files.
std::string candidateText(int index, uint32_t chipVersion, uint32_t base, uint32_t addrBits,
                          int registers)
{
    std::string text = "[CHIP_DESCRIPTOR]\nSENSORNAME = \"ZX0201\"\nWIDTH = 1920\nHEIGHT = 1080\n"
                       "IMAGE_TYPE = BAYER\nBITS_PER_CLOCK = 10\nCLOCKS_PER_PIXEL = 1\n"
                       "SHIP_BASE_ADDRESS = " +
                       hex(base) + "\n[END]\n[OPTIONAL]\nSDAT_VERSION = 2\nREG_ADDR_SIZE = " +
                       std::to_string(addrBits) + "\nREG_DATA_SIZE = 16\nPART_NUMBER = \"ZB" +
                       std::to_string(index) + "\"\n[END]\n[REGISTERS]\n";
    const uint32_t firstAddr = addrBits == 8 ? 0x00 : kChipVersionAddr;
    text += "CHIP_VERSION_REG = {" + hex(firstAddr) + ", CORE, 1, 0xFFFF, RO, " + hex(chipVersion) +
            ", \"Chip version\" \"\"}\n";
    for (int r = 1; r < registers; ++r) {
        const std::string name = "BLOCK" + std::to_string(r / 50) + "_REG_" + std::to_string(r);
        const uint32_t addr = addrBits == 8 ? (r & 0xFF) : kChipVersionAddr + 2 * r;
        text += name + " = {" + hex(addr) + ", CORE, 1, 0xFFFF, RW, 0x0, \"" + name +
                "\" \"What the register does\"}\n"
                "    {ENABLE, 0x0001, RW, \"Enable\" \"\"}\n"
                "    {LEVEL, 0x00F0, RW, \"Level\" \"\"}\n";
    }
    return text + "[END]\n";
}

// Writes the candidates: the matching file sorts last, so every other one is rejected first.
std::string writeCandidates(const std::filesystem::path &directory, const Options &options)
{
    for (int i = 0; i < options.candidates; ++i) {
        const bool matching = i == options.candidates - 1;
        uint32_t version = 0x1000 + static_cast<uint32_t>(i);
        uint32_t base = kSensorBus;
        uint32_t addrBits = 16;
        if (matching)
            version = kMatchingVersion;
        else if (i % 3 == 1)
            base = kSilentBus;
        else if (i % 3 == 2)
            addrBits = 8;
        char name[32];
        snprintf(name, sizeof(name), "zx%04d.sdat", i);
        zentro::test::writeFile((directory / name).string(),
                                candidateText(i, version, base, addrBits, options.registers));
    }
    char last[32];
    snprintf(last, sizeof(last), "ZB%d", options.candidates - 1);
    return last;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        fprintf(stderr, "usage: %s [--candidates N] [--registers N] [--repetitions N]\n", argv[0]);
        return 2;
    }
    zentro::test::TempDir scratch;
    const std::filesystem::path directory = scratch.path();
    const std::string expected = writeCandidates(directory, options);
    printf("sensor identification: %d candidate files of %d registers, the last one matches\n",
           options.candidates, options.registers);

    Figure identification;
    Figure oneFullRead;
    long failures = 0;
    for (int round = 0; round < options.repetitions; ++round) {
        zentro::test::TestCamera camera;
        zentro::test::FakeBus bus;
        bus.install(camera);
        bus.addDevice(kSensorBus, 16, 16).set(kChipVersionAddr, kMatchingVersion);
        identification.add(timed([&] { failures += _getSensor(camera, scratch.path().c_str()); }));
        failures += !camera->sensor || expected != camera->sensor->partNumber;
        // What a candidate would cost if it were read whole.
        const std::string first = (directory / "zx0000.sdat").string();
        oneFullRead.add(timed([&] {
            failures += ze_ParseSensorFile(camera, first.c_str(), camera->sensor) != PARSE_SUCCESS;
        }));
    }
    identification.print("identification", kTargetMs);
    oneFullRead.print("one candidate read whole");
    const double perRejected = identification.medianWallMs() / (options.candidates - 1);
    printf("per rejected candidate: %.3f ms (a whole read: %.3f ms)\n", perRejected,
           oneFullRead.medianWallMs());
    if (failures != 0) {
        fprintf(stderr, "%ld identifications or reads failed\n", failures);
        return 1;
    }
    return 0;
}
