// Figures for the desktop side of the board link: register reads by name one at a time, a
// listing of every register of a large sensor in contiguous block reads, and grab-and-fetch of
// whole frames, all through libqrbtransport and the real board server. Run through
// run_remote_board.sh, which starts the server on a simulated board in a private network
// namespace and sets ZE_BOARD.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "sensor_data_generator.h"
#include "zentro.h"

namespace {

using zentro::bench::Figure;
using zentro::bench::timed;

constexpr double kTargetReadsPerSecond = 5000;
constexpr double kTargetListingMs = 100;
constexpr double kTargetFramesPerSecond = 10;
constexpr uint32_t kPixelBytes = 2;
// The simulated board identifies its sensor by this register, which the generated database
// lacks: it is added to the generated file.
constexpr const char *kChipVersionLine =
    "CHIP_VERSION_REG = {0x3000, CORE, 1, 0xFFFF, RO, 0x0C54, \"Chip version\" \"Model.\"}\n";

struct Options {
    std::string command;
    std::string path;
    std::string plugin;
    uint32_t count = 0;
    int rounds = 5;
};

// The camera of one open through libqrbtransport, closed at the end.
class BoardCamera
{
public:
    BoardCamera(const std::string &sensorData, const std::string &plugin)
    {
        const int result = ze_OpenCameras2(cameras_, &count_, sensorData.c_str(), ZE_TRANSPORT_DLL,
                                           plugin.c_str());
        if (result != 0 || count_ < 1 || cameras_[0]->sensor == nullptr) {
            std::fprintf(stderr, "cannot open the board camera (result %d, %d cameras)\n", result,
                         count_);
            std::exit(1);
        }
    }
    ~BoardCamera() { ze_CloseCameras2(cameras_, count_); }
    BoardCamera(const BoardCamera &) = delete;
    BoardCamera &operator=(const BoardCamera &) = delete;
    ze_camera_t *get() const { return cameras_[0]; }

private:
    ze_camera_t *cameras_[ZE_MAX_CAMERAS] = {};
    int count_ = 0;
};

[[noreturn]] void failed(const char *what, int result)
{
    std::fprintf(stderr, "%s failed with result %d\n", what, result);
    std::exit(1);
}

// Writes the generated sensor of @registers registers, with a chip version, to @path.
int writeSensor(const std::string &path, uint32_t registers)
{
    zentro::bench::DatabaseShape shape;
    shape.registers = registers;
    if (!zentro::bench::writeSensorDataFile(path, shape))
        failed("writing the sensor-data file", 1);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    std::string content = text.str();
    const auto section = content.find("[REGISTERS]\n");
    if (section == std::string::npos)
        failed("finding the register section", 1);
    content.insert(section + std::string("[REGISTERS]\n").size(), kChipVersionLine);
    std::ofstream(path, std::ios::trunc) << content;
    std::printf("wrote %s: %u registers and a chip version\n", path.c_str(), registers);
    return 0;
}

// Contiguous runs of the sensor's registers: (space id, first address, count).
struct Run {
    uint32_t space;
    uint32_t start;
    uint32_t count;
};

std::vector<Run> contiguousRuns(ze_camera_t *camera)
{
    const ze_sensor_t *sensor = camera->sensor;
    std::vector<const ze_reg_t *> regs;
    for (int32_t i = 0; i < sensor->regCount; ++i)
        regs.push_back(&sensor->regs[i]);
    std::sort(regs.begin(), regs.end(), [](const ze_reg_t *a, const ze_reg_t *b) {
        return a->addrSpaceId != b->addrSpaceId ? a->addrSpaceId < b->addrSpaceId
                                                : a->addr < b->addr;
    });
    std::vector<Run> runs;
    for (const ze_reg_t *reg : regs) {
        const uint32_t step =
            reg->addrSpace ? ze_GetSensorAddrIncrement(camera, reg->addrSpace->type) : 1;
        if (!runs.empty() && runs.back().space == reg->addrSpaceId) {
            Run &last = runs.back();
            const uint32_t next = last.start + last.count * step;
            if (reg->addr == next) {
                ++last.count;
                continue;
            }
            // A second register at an address the run already reads.
            if (reg->addr < next)
                continue;
        }
        runs.push_back({reg->addrSpaceId, reg->addr, 1});
    }
    return runs;
}

int benchRegisters(const Options &options)
{
    BoardCamera board(options.path, options.plugin);
    ze_camera_t *camera = board.get();
    const ze_sensor_t *sensor = camera->sensor;
    // Every read goes to the board.
    ze_setMode(camera, ZE_USE_REG_CACHE, 0);
    const uint32_t reads = options.count ? options.count : 5000;
    Figure single;
    for (int round = 0; round < options.rounds; ++round) {
        single.add(timed([&] {
            for (uint32_t i = 0; i < reads; ++i) {
                uint32_t value = 0;
                const char *name = sensor->regs[i % sensor->regCount].name;
                if (const int rc = ze_ReadSensorRegStr(camera, name, nullptr, &value); rc != 0)
                    failed("ze_ReadSensorRegStr", rc);
            }
        }));
    }
    std::printf("%u register reads by name, one at a time:\n", reads);
    single.print("  all reads");
    std::printf("  %.0f reads/s (median round; target %.0f/s or more)\n",
                reads / single.medianWallMs() * 1000, kTargetReadsPerSecond);

    const auto runs = contiguousRuns(camera);
    std::vector<uint32_t> values(static_cast<size_t>(sensor->regCount));
    Figure listing;
    for (int round = 0; round < options.rounds; ++round) {
        listing.add(timed([&] {
            uint32_t *into = values.data();
            for (const Run &run : runs) {
                if (const int rc =
                        ze_readSensorRegisters(camera, run.space, run.start, run.count, into);
                    rc != 0)
                    failed("ze_readSensorRegisters", rc);
                into += run.count;
            }
        }));
    }
    std::printf("all %d registers in %zu contiguous block reads:\n", sensor->regCount, runs.size());
    listing.print("  whole listing", kTargetListingMs);
    return 0;
}

int benchFrames(const Options &options)
{
    BoardCamera board(options.path, options.plugin);
    ze_camera_t *camera = board.get();
    if (ze_setMode(camera, ZE_SENSOR_RESET, 1) != 0 ||
        ze_setMode(camera, ZE_SENSOR_RESET, 0) != 0 || ze_startTransport(camera) != 0)
        failed("starting the board camera", 1);
    const ze_sensor_t *sensor = camera->sensor;
    std::vector<uint8_t> frame(size_t{sensor->imageWidth} * sensor->imageHeight * kPixelBytes);
    const uint32_t frames = options.count ? options.count : 30;
    const char *chunk = std::getenv("ZE_BOARD_CHUNK");
    Figure grabs;
    for (int round = 0; round < options.rounds; ++round) {
        grabs.add(timed([&] {
            for (uint32_t i = 0; i < frames; ++i) {
                if (const int rc = ze_grabFrame(camera, frame.data(), frame.size()); rc != 0)
                    failed("ze_grabFrame", rc);
            }
        }));
    }
    const double seconds = grabs.medianWallMs() / 1000;
    std::printf("grab and fetch of %u frames of %u x %u x %u bytes, chunk %s bytes:\n", frames,
                sensor->imageWidth, sensor->imageHeight, kPixelBytes, chunk ? chunk : "default");
    grabs.print("  all frames");
    std::printf("  %.1f frames/s, %.0f MB/s (median round; target %.0f frames/s or the board's "
                "frame rate)\n",
                frames / seconds, frames * double(frame.size()) / seconds / 1e6,
                kTargetFramesPerSecond);
    return 0;
}

bool parse(int argc, char **argv, Options &options)
{
    if (argc < 3)
        return false;
    options.command = argv[1];
    options.path = argv[2];
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--plugin")
            options.plugin = argv[i + 1];
        else if (option == "--count")
            options.count = static_cast<uint32_t>(std::strtoul(argv[i + 1], nullptr, 0));
        else if (option == "--rounds")
            options.rounds = std::max(1, std::atoi(argv[i + 1]));
        else
            return false;
    }
    return argc % 2 == 1;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s sensor FILE [--count REGISTERS]\n"
                     "       %s registers|frames SENSOR_DATA --plugin FILE [--count N] "
                     "[--rounds N]\n",
                     argv[0], argv[0]);
        return 2;
    }
    if (options.command == "sensor")
        return writeSensor(options.path, options.count ? options.count : 2000);
    if (options.command == "registers")
        return benchRegisters(options);
    if (options.command == "frames")
        return benchFrames(options);
    std::fprintf(stderr, "unknown command %s\n", options.command.c_str());
    return 2;
}
