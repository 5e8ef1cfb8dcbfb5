// Figures for register access by name on a null camera: whole-register reads answered by
// the register cache and bitfield writes, on a large and a ten times smaller sensor file.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_camera.h"
#include "bench_timing.h"
#include "sensor_data_generator.h"
#include "zentro.h"

namespace {

using zentro::bench::DatabaseShape;
using zentro::bench::Duration;
using zentro::bench::Figure;
using zentro::bench::NullCamera;
using zentro::bench::timed;

constexpr double kReadTargetMs = 500;
constexpr double kWriteTargetMs = 500;
constexpr uint32_t kCacheFirst = 1;
constexpr uint32_t kRegisterMask = 0xFFFF; // every generated register is 16 bits wide

struct Options {
    uint32_t largeRegisters = 20000;
    uint32_t smallRegisters = 2000;
    uint32_t reads = 1000000;
    uint32_t writes = 100000;
    int repetitions = 5;
};

// One bitfield write of the run: register, field and value, chosen before the clock runs.
struct FieldWrite {
    uint32_t reg;
    uint32_t field;
    std::string fieldName;
    uint32_t value;
};

uint32_t lowestBit(uint32_t mask)
{
    return static_cast<uint32_t>(__builtin_ctz(mask));
}

// The names the benchmark passes and the register values it expects to read back.
class Workload
{
public:
    explicit Workload(const DatabaseShape &shape)
    {
        for (uint32_t i = 0; i < shape.registers; ++i) {
            names_.push_back(zentro::bench::registerName(i));
            expected_.push_back(i & kRegisterMask); // the generator's default value
        }
        for (uint32_t f = 0; f < shape.bitfieldsPerRegister; ++f)
            fieldMasks_.push_back(zentro::bench::bitfieldMask(f));
    }

    // @count bitfield writes to the first @spread registers, each far from the one before,
    // so that no lookup is helped by the previous one.
    std::vector<FieldWrite> fieldWrites(uint32_t count, uint32_t spread) const
    {
        constexpr uint32_t kRegisterStride = 7919;
        std::vector<FieldWrite> writes;
        for (uint32_t w = 0; w < count; ++w) {
            const uint32_t reg = uint32_t((uint64_t(w) * kRegisterStride) % spread);
            const uint32_t field = w % fieldMasks_.size();
            writes.push_back({reg, field, zentro::bench::bitfieldName(reg, field), w * 3 + 1});
        }
        return writes;
    }

    // Reads @count registers by name in file order over the first @spread registers,
    // wrapping around; @failures counts failed reads and values other than the last written.
    Duration readAll(ze_camera_t *camera, uint32_t count, uint32_t spread, long &failures) const
    {
        return timed([&] {
            for (uint32_t i = 0; i < count; ++i) {
                const size_t index = i % spread;
                uint32_t value = 0;
                const int result = ze_ReadSensorRegStr(camera, names_[index].c_str(), "", &value);
                failures += result != CAMERA_SUCCESS || value != expected_[index];
            }
        });
    }

    Duration writeFields(ze_camera_t *camera, const std::vector<FieldWrite> &writes, long &failures)
    {
        const Duration duration = timed([&] {
            for (const FieldWrite &write : writes)
                failures +=
                    ze_WriteSensorRegStr(camera, names_[write.reg].c_str(), write.fieldName.c_str(),
                                         write.value) != CAMERA_SUCCESS;
        });
        for (const FieldWrite &write : writes)
            remember(write);
        return duration;
    }

private:
    void remember(const FieldWrite &write)
    {
        const uint32_t mask = fieldMasks_[write.field];
        uint32_t &value = expected_[write.reg];
        value = (value & ~mask) | ((write.value << lowestBit(mask)) & mask);
    }

    std::vector<std::string> names_;
    std::vector<uint32_t> expected_;
    std::vector<uint32_t> fieldMasks_;
};

// Accesses spread over the whole file, and over only as many registers as the small file
// has: the second pair separates the work per access from the memory the records span.
struct Figures {
    Figure reads, writes, nearReads, nearWrites;
};

// Generates a file of @registers registers in @scratch and times the runs on it.
bool measure(const std::filesystem::path &scratch, uint32_t registers, const Options &options,
             Figures &figures, long &failures)
{
    DatabaseShape shape;
    shape.registers = registers;
    const std::string path = (scratch / ("zx0300_" + std::to_string(registers) + ".sdat")).string();
    if (!zentro::bench::writeSensorDataFile(path, shape)) {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    NullCamera camera(path);
    if (!camera.get()) {
        fprintf(stderr, "cannot open a null camera on %s\n", path.c_str());
        return false;
    }
    ze_startTransport(camera.get());
    ze_setMode(camera.get(), ZE_USE_REG_CACHE, kCacheFirst);
    Workload workload(shape);
    const uint32_t near = std::min(registers, options.smallRegisters);
    const std::vector<FieldWrite> writes = workload.fieldWrites(options.writes, registers);
    const std::vector<FieldWrite> nearWrites = workload.fieldWrites(options.writes, near);
    // The first lookup builds the name index; that is the database's figure, not this one.
    workload.readAll(camera.get(), registers, registers, failures);
    for (int round = 0; round < options.repetitions; ++round) {
        figures.reads.add(workload.readAll(camera.get(), options.reads, registers, failures));
        figures.writes.add(workload.writeFields(camera.get(), writes, failures));
        figures.nearReads.add(workload.readAll(camera.get(), options.reads, near, failures));
        figures.nearWrites.add(workload.writeFields(camera.get(), nearWrites, failures));
    }
    // Every register once more, after the last writes.
    workload.readAll(camera.get(), registers, registers, failures);
    return true;
}

double nsPerAccess(const Figure &figure, uint32_t accesses)
{
    return figure.medianWallMs() * 1e6 / accesses;
}

void report(uint32_t registers, const Options &options, const Figures &figures)
{
    char title[96];
    printf("%u registers:\n", registers);
    snprintf(title, sizeof(title), "  %u reads by name (cache first)", options.reads);
    figures.reads.print(title, kReadTargetMs);
    snprintf(title, sizeof(title), "  %u bitfield writes by name", options.writes);
    figures.writes.print(title, kWriteTargetMs);
    printf("  per access: read %.0f ns, bitfield write %.0f ns\n",
           nsPerAccess(figures.reads, options.reads), nsPerAccess(figures.writes, options.writes));
    if (registers > options.smallRegisters) {
        printf("  within the first %u registers: read %.0f ns, bitfield write %.0f ns\n",
               options.smallRegisters, nsPerAccess(figures.nearReads, options.reads),
               nsPerAccess(figures.nearWrites, options.writes));
    }
}

// Cost per access on the large file relative to the small one.
void compare(const Options &options, const Figures &large, const Figures &small)
{
    const auto ratio = [](const Figure &a, const Figure &b) {
        return a.medianWallMs() / b.medianWallMs();
    };
    printf("cost per access, %u against %u registers: reads x%.2f, bitfield writes x%.2f\n",
           options.largeRegisters, options.smallRegisters, ratio(large.reads, small.reads),
           ratio(large.writes, small.writes));
    printf("  the same within %u registers of each file: reads x%.2f, bitfield writes x%.2f\n",
           options.smallRegisters, ratio(large.nearReads, small.reads),
           ratio(large.nearWrites, small.writes));
}

bool parseOptions(int argc, char **argv, Options &options)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const uint32_t value = static_cast<uint32_t>(strtoul(argv[i + 1], nullptr, 0));
        if (option == "--registers")
            options.largeRegisters = value;
        else if (option == "--small")
            options.smallRegisters = value;
        else if (option == "--reads")
            options.reads = value;
        else if (option == "--writes")
            options.writes = value;
        else if (option == "--repetitions")
            options.repetitions = static_cast<int>(value);
        else
            return false;
    }
    return argc % 2 == 1 && options.largeRegisters > 0 && options.smallRegisters > 0 &&
           options.reads > 0 && options.writes > 0 && options.repetitions > 0;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        fprintf(stderr,
                "usage: %s [--registers N] [--small N] [--reads N] [--writes N] "
                "[--repetitions N]\n",
                argv[0]);
        return 2;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "zentro-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path scratch = pattern;
    long failures = 0;
    Figures large, small;
    const bool measured = measure(scratch, options.largeRegisters, options, large, failures) &&
                          measure(scratch, options.smallRegisters, options, small, failures);
    std::filesystem::remove_all(scratch);
    if (!measured)
        return 1;
    printf("register access on a null camera, %d rounds each, median of the rounds\n",
           options.repetitions);
    report(options.largeRegisters, options, large);
    report(options.smallRegisters, options, small);
    compare(options, large, small);
    if (failures) {
        fprintf(stderr, "%ld accesses failed or read a value other than the one written\n",
                failures);
        return 1;
    }
    return 0;
}
