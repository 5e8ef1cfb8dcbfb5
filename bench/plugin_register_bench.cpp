// Figures for register writes by name through the board plug-in on the simulated board: the
// library's lookup, the plug-in's register entry point and the capture driver's control
// channel, as a client's register writes travel on the board. Run through
// run_plugin_register.sh, which preloads the simulated board.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "zentro.h"

namespace {

using zentro::bench::Figure;
using zentro::bench::timed;

constexpr double kTargetWritesPerSecond = 50000;
// Writable 16-bit registers of the simulated board's sensor.
const char *const kRegisters[] = {"COARSE_INTEGRATION_TIME", "ANALOG_GAIN", "DIGITAL_GAIN_GREENR",
                                  "EXTRA_DELAY"};
constexpr uint32_t kValueMask = 0x7F; // within every register's mask

struct Options {
    std::string plugin;
    std::string sensorData;
    uint32_t writes = 100000;
    int repetitions = 5;
};

bool parse(int argc, char **argv, Options &options)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const char *value = argv[i + 1];
        if (option == "--plugin")
            options.plugin = value;
        else if (option == "--sensor-data")
            options.sensorData = value;
        else if (option == "--writes")
            options.writes = static_cast<uint32_t>(std::strtoul(value, nullptr, 0));
        else if (option == "--repetitions")
            options.repetitions = std::max(1, std::atoi(value));
        else
            return false;
    }
    return argc % 2 == 1 && !options.plugin.empty() && !options.sensorData.empty() &&
           options.writes > 0;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s --plugin FILE --sensor-data DIR [--writes N] "
                     "[--repetitions N]\n",
                     argv[0]);
        return 2;
    }
    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
    int count = 0;
    const int opened = ze_OpenCameras2(cameras, &count, options.sensorData.c_str(),
                                       ZE_TRANSPORT_DLL, options.plugin.c_str());
    if (opened != CAMERA_SUCCESS || count == 0) {
        std::fprintf(stderr, "cannot open the board camera through %s (result %d)\n",
                     options.plugin.c_str(), opened);
        return 1;
    }
    ze_camera_t *camera = cameras[0];
    int failures = 0;
    Figure writes;
    for (int round = 0; round < options.repetitions; ++round) {
        writes.add(timed([&] {
            for (uint32_t i = 0; i < options.writes; ++i) {
                const char *name = kRegisters[i % std::size(kRegisters)];
                failures += ze_WriteSensorRegStr(camera, name, nullptr, i & kValueMask) != 0;
            }
        }));
    }
    ze_CloseCameras2(cameras, count);
    const double ms = writes.medianWallMs();
    std::printf("%u register writes by name through the plug-in, %d rounds\n", options.writes,
                options.repetitions);
    writes.print("writes");
    std::printf("%-38s %.0f writes/s (best %.0f)   (target >= %.0f writes/s)\n", "rate",
                ms > 0 ? options.writes / (ms / 1e3) : 0,
                writes.bestWallMs() > 0 ? options.writes / (writes.bestWallMs() / 1e3) : 0,
                kTargetWritesPerSecond);
    if (failures != 0)
        std::printf("%d writes failed\n", failures);
    return failures == 0 ? 0 : 1;
}
