// Figures for the XML sensor-data reader: reading the generated 20,000-register database in
// its XML form, and the same database in its text form for comparison.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

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

constexpr double kXmlParseTargetMs = 300;

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

bool sameBitfield(const ze_bitfield_t &a, const ze_bitfield_t &b)
{
    return strcmp(a.name, b.name) == 0 && a.mask == b.mask && a.access == b.access &&
           strcmp(a.displayName, b.displayName) == 0 && strcmp(a.detail, b.detail) == 0;
}

bool sameRegister(const ze_reg_t &a, const ze_reg_t &b)
{
    if (strcmp(a.name, b.name) != 0 || a.addr != b.addr || a.addrSpaceId != b.addrSpaceId ||
        a.span != b.span || a.mask != b.mask || a.access != b.access ||
        a.defaultValue != b.defaultValue || strcmp(a.displayName, b.displayName) != 0 ||
        strcmp(a.detail, b.detail) != 0 || a.bitfieldCount != b.bitfieldCount)
        return false;
    for (int32_t i = 0; i < a.bitfieldCount; ++i) {
        if (!sameBitfield(a.bitfields[i], b.bitfields[i]))
            return false;
    }
    return true;
}

// Both loads must hold the generated database, register by register.
bool agree(const ze_sensor_t *xml, const ze_sensor_t *text, uint32_t registers)
{
    if (xml->regCount != static_cast<int32_t>(registers) || text->regCount != xml->regCount) {
        fprintf(stderr, "read %d registers from XML and %d from text, expected %u\n", xml->regCount,
                text->regCount, registers);
        return false;
    }
    if (strcmp(xml->name, text->name) != 0 || xml->width != text->width ||
        xml->height != text->height || xml->imageType != text->imageType ||
        xml->regAddrSize != text->regAddrSize || xml->regDataSize != text->regDataSize) {
        fprintf(stderr, "the XML and text sensor descriptions differ\n");
        return false;
    }
    for (int32_t i = 0; i < xml->regCount; ++i) {
        if (!sameRegister(xml->regs[i], text->regs[i])) {
            fprintf(stderr, "register %d differs: XML %s, text %s\n", i, xml->regs[i].name,
                    text->regs[i].name);
            return false;
        }
    }
    return true;
}

double megabytes(const std::string &path)
{
    return static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    DatabaseOptions options;
    if (!parseDatabaseOptions(argc, argv, options)) {
        fprintf(stderr, "usage: %s [--registers N] [--repetitions N] [--keep DIR]\n", argv[0]);
        return 2;
    }
    std::filesystem::path scratch;
    std::filesystem::path dir = options.keep;
    if (dir.empty()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zentro-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            perror("mkdtemp");
            return 1;
        }
        scratch = dir = pattern;
    } else {
        std::filesystem::create_directories(dir);
    }
    const std::string xmlPath = (dir / "zx0300.xsdat").string();
    const std::string textPath = (dir / "zx0300.sdat").string();
    if (!zentro::bench::writeXmlSensorDataFile(xmlPath, options.shape) ||
        !zentro::bench::writeSensorDataFile(textPath, options.shape)) {
        fprintf(stderr, "cannot write the generated files in %s\n", dir.c_str());
        return 1;
    }
    printf("register database: %u registers x %u bitfields, %.1f MB XML, %.1f MB text\n",
           options.shape.registers, options.shape.bitfieldsPerRegister, megabytes(xmlPath),
           megabytes(textPath));

    Figure xmlParse, textParse;
    for (int round = 0; round < options.repetitions; ++round) {
        BenchCamera xmlCamera, textCamera;
        Duration xmlReading, textReading;
        if (!readDatabase(xmlCamera.get(), xmlPath, &xmlReading) ||
            !readDatabase(textCamera.get(), textPath, &textReading))
            return 1;
        if (!agree(xmlCamera.sensor(), textCamera.sensor(), options.shape.registers))
            return 1;
        xmlParse.add(xmlReading);
        textParse.add(textReading);
    }
    printf("%d rounds, each on freshly read files; both loads agree register by register\n",
           options.repetitions);
    xmlParse.print("XML parse (ze_ParseSensorFile)", kXmlParseTargetMs);
    textParse.print("text parse, for comparison");
    if (!scratch.empty())
        std::filesystem::remove_all(scratch);
    return 0;
}
