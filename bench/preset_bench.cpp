// Figures for running presets on a null camera: a section of 10,000 register and bitfield
// writes by name, and sections of 1 MB and 2 MB read and run whole (the second shows that the
// cost grows with the size, not faster).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "bench_camera.h"
#include "bench_timing.h"
#include "sensor_data_generator.h"
#include "zentro.h"

namespace {

using zentro::bench::DatabaseShape;
using zentro::bench::Figure;
using zentro::bench::NullCamera;
using zentro::bench::timed;

constexpr double kWritesTargetMs = 50;
constexpr double kMegabyteTargetMs = 200;
constexpr size_t kMegabyte = 1u << 20;

struct Options {
    uint32_t registers = 2000;
    uint32_t writes = 10000;
    int repetitions = 5;
};

// Writes a section "[Writes]" of @lines lines, alternately a whole register and a bitfield,
// spread over the registers; at least @minimumBytes bytes when that is given.
bool writePreset(const std::string &path, const DatabaseShape &shape, uint32_t lines,
                 size_t minimumBytes = 0)
{
    std::ofstream out(path);
    out << "[Writes]\n";
    size_t bytes = 0;
    for (uint32_t i = 0; i < lines || bytes < minimumBytes; ++i) {
        const uint32_t reg = uint32_t((uint64_t(i) * 7919) % shape.registers);
        std::string line = "FIELD_WR = " + zentro::bench::registerName(reg) + ", ";
        if (i % 2 == 0)
            line += zentro::bench::bitfieldName(reg, i % shape.bitfieldsPerRegister) + ", 1";
        else
            line += std::to_string(i & 0xFFFF);
        line += "   ; line " + std::to_string(i) + "\n";
        out << line;
        bytes += line.size();
    }
    return bool(out);
}

Figure runSection(ze_camera_t *camera, const std::string &path, int repetitions, long &failures)
{
    Figure figure;
    for (int round = 0; round < repetitions; ++round)
        figure.add(timed(
            [&] { failures += ze_LoadINIPreset(camera, path.c_str(), "Writes") != INI_SUCCESS; }));
    return figure;
}

bool parseOptions(int argc, char **argv, Options &options)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const long value = strtol(argv[i + 1], nullptr, 10);
        if (value <= 0)
            return false;
        if (name == "--registers")
            options.registers = uint32_t(value);
        else if (name == "--writes")
            options.writes = uint32_t(value);
        else if (name == "--repetitions")
            options.repetitions = int(value);
        else
            return false;
    }
    return argc % 2 == 1;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        fprintf(stderr, "usage: %s [--registers N] [--writes N] [--repetitions N]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path scratch =
        std::filesystem::temp_directory_path() / ("preset_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(scratch);
    DatabaseShape shape;
    shape.registers = options.registers;
    const std::string sensor = (scratch / "zx0300.sdat").string();
    const std::string writes = (scratch / "writes.ini").string();
    const std::string oneMb = (scratch / "one_mb.ini").string();
    const std::string twoMb = (scratch / "two_mb.ini").string();
    int status = 1;
    if (zentro::bench::writeSensorDataFile(sensor, shape) &&
        writePreset(writes, shape, options.writes) && writePreset(oneMb, shape, 0, kMegabyte) &&
        writePreset(twoMb, shape, 0, 2 * kMegabyte)) {
        NullCamera camera(sensor);
        if (camera.get()) {
            ze_startTransport(camera.get());
            long failures = 0;
            // The first run builds the name index; that is the database's figure.
            ze_LoadINIPreset(camera.get(), writes.c_str(), "Writes");
            printf("%u registers, preset sections on a null camera:\n", options.registers);
            char title[96];
            snprintf(title, sizeof(title), "  %u writes by name", options.writes);
            runSection(camera.get(), writes, options.repetitions, failures)
                .print(title, kWritesTargetMs);
            runSection(camera.get(), oneMb, options.repetitions, failures)
                .print("  1 MB section", kMegabyteTargetMs);
            runSection(camera.get(), twoMb, options.repetitions, failures).print("  2 MB section");
            printf("failed runs: %ld\n", failures);
            status = failures == 0 ? 0 : 1;
        } else {
            fprintf(stderr, "cannot open a null camera on %s\n", sensor.c_str());
        }
    } else {
        fprintf(stderr, "cannot write the files in %s\n", scratch.c_str());
    }
    std::filesystem::remove_all(scratch);
    return status;
}
