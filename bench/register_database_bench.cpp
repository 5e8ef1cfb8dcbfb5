// Figures for the register database: reading a large sensor-data file and looking up every
// register by name, by external name and by address, and every bitfield.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_camera.h"
#include "bench_options.h"
#include "bench_timing.h"
#include "sensor_data_generator.h"
#include "zentro.h"
#include "zentro_sensor_data.h"

namespace {

using zentro::bench::BenchCamera;
using zentro::bench::DatabaseOptions;
using zentro::bench::DatabaseShape;
using zentro::bench::Duration;
using zentro::bench::Figure;
using zentro::bench::timed;

constexpr double kParseTargetMs = 150;
constexpr double kNameLookupTargetMs = 20;

std::string externalName(uint32_t index)
{
    return "EXT_" + zentro::bench::registerName(index);
}

// Everything looked up, prepared before the clock runs.
struct Queries {
    explicit Queries(const DatabaseShape &shape) : fields(shape.bitfieldsPerRegister)
    {
        for (uint32_t i = 0; i < shape.registers; ++i) {
            names.push_back(zentro::bench::registerName(i));
            externals.push_back(externalName(i));
            addresses.push_back(zentro::bench::registerAddress(i));
            for (uint32_t f = 0; f < fields; ++f)
                bitfields.push_back(zentro::bench::bitfieldName(i, f));
        }
    }
    uint32_t fields;
    std::vector<std::string> names, externals, bitfields;
    std::vector<uint32_t> addresses;
};

bool readDatabase(ze_camera_t *camera, const std::string &path, Duration *duration)
{
    int code = 0;
    *duration = timed([&] { code = ze_ParseSensorFile(camera, path.c_str(), nullptr); });
    if (code != PARSE_SUCCESS) {
        fprintf(stderr, "ze_ParseSensorFile(%s) returned %d (%s)\n", path.c_str(), code,
                ze_getErrorMessage(code));
        return false;
    }
    return true;
}

// External names exist only in XML files: give every parsed register one, before any
// lookup builds the index.
void nameExternally(ze_sensor_t *sensor)
{
    for (int32_t i = 0; i < sensor->regCount; ++i)
        snprintf(sensor->regs[i].externalName, sizeof(sensor->regs[i].externalName), "%s",
                 externalName(static_cast<uint32_t>(i)).c_str());
}

struct LookupFigures {
    Figure byName, byExternalName, bitfields, nameTotal, byAddress;
};

// One round of lookups; @failures counts answers that are not the expected record.
void lookUpEverything(ze_camera_t *camera, const Queries &queries, LookupFigures &figures,
                      long &failures)
{
    ze_reg_t *regs = camera->sensor->regs;
    const size_t count = queries.names.size();
    Duration byName = timed([&] {
        for (size_t i = 0; i < count; ++i)
            failures += ze_FindRegister(camera, queries.names[i].c_str()) != &regs[i];
    });
    Duration byExternal = timed([&] {
        for (size_t i = 0; i < count; ++i)
            failures += ze_FindRegister(camera, queries.externals[i].c_str()) != &regs[i];
    });
    Duration bitfields = timed([&] {
        for (size_t i = 0; i < count; ++i) {
            for (uint32_t f = 0; f < queries.fields; ++f) {
                const std::string &bitfield = queries.bitfields[i * queries.fields + f];
                failures += ze_FindBitfield(camera, queries.names[i].c_str(), bitfield.c_str()) !=
                            &regs[i].bitfields[f];
            }
        }
    });
    Duration byAddress = timed([&] {
        for (size_t i = 0; i < count; ++i)
            failures +=
                ze_FindRegisterAddr(camera, queries.addresses[i], 0, ZE_SPACE_REG) != &regs[i];
    });
    figures.byName.add(byName);
    figures.byExternalName.add(byExternal);
    figures.bitfields.add(bitfields);
    figures.nameTotal.add(byName + byExternal + bitfields);
    figures.byAddress.add(byAddress);
}

void printLookups(const char *title, const LookupFigures &figures)
{
    printf("%s\n", title);
    figures.byName.print("  every register by name");
    figures.byExternalName.print("  every register by external name");
    figures.bitfields.print("  every bitfield (ze_FindBitfield)");
    figures.nameTotal.print("  the three passes together", kNameLookupTargetMs);
    figures.byAddress.print("  every register by address");
}

} // namespace

int main(int argc, char **argv)
{
    DatabaseOptions options;
    if (!parseDatabaseOptions(argc, argv, options)) {
        fprintf(stderr, "usage: %s [--registers N] [--repetitions N] [--keep FILE]\n", argv[0]);
        return 2;
    }
    std::filesystem::path scratch;
    std::string path = options.keep;
    if (path.empty()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zentro-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            perror("mkdtemp");
            return 1;
        }
        scratch = pattern;
        path = (scratch / "zx0300.sdat").string();
    }
    bool written = false;
    Duration writing =
        timed([&] { written = zentro::bench::writeSensorDataFile(path, options.shape); });
    if (!written) {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    printf("register database: %u registers x %u bitfields, %.1f MB text, written in %.0f ms\n",
           options.shape.registers, options.shape.bitfieldsPerRegister,
           static_cast<double>(std::filesystem::file_size(path)) / 1e6, writing.wallMs);

    const Queries queries(options.shape);
    Figure parse;
    LookupFigures first, again;
    long failures = 0;
    for (int round = 0; round < options.repetitions; ++round) {
        BenchCamera camera;
        Duration reading;
        if (!readDatabase(camera.get(), path, &reading))
            return 1;
        parse.add(reading);
        if (camera.get()->sensor->regCount != static_cast<int32_t>(options.shape.registers)) {
            fprintf(stderr, "read %d registers, expected %u\n", camera.get()->sensor->regCount,
                    options.shape.registers);
            return 1;
        }
        nameExternally(camera.get()->sensor);
        lookUpEverything(camera.get(), queries, first, failures);
        lookUpEverything(camera.get(), queries, again, failures);
    }
    printf("%d rounds, each on a freshly read file\n", options.repetitions);
    parse.print("parse (ze_ParseSensorFile)", kParseTargetMs);
    printLookups("first lookups (the index is built by the first one):", first);
    printLookups("the same lookups again:", again);
    if (!scratch.empty())
        std::filesystem::remove_all(scratch);
    if (failures) {
        fprintf(stderr, "%ld lookups gave the wrong record\n", failures);
        return 1;
    }
    return 0;
}
