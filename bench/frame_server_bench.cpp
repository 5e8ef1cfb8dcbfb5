// Grabbing and fetching a 1920 x 1200 x 2-byte frame from a running board server whose
// camera is on the simulated board: the fetch alone (the frame server's own path) and grab
// plus fetch (bound by the sensor's frame rate), in MB/s.
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "server_link.h"

namespace {

using zentro::bench::expectSuccess;
using zentro::bench::fail;
using zentro::bench::Link;

constexpr in_port_t kCommandPort = 29824;
constexpr in_port_t kFramePort = 29825;
constexpr uint32_t kFrameBytes = 1920u * 1200u * 2u;
constexpr uint32_t kChunkBytes = 1u << 20;
constexpr int kDefaultRounds = 20;
constexpr int kSensorResetMode = 19;

// Opens the camera and makes it stream (a sensor reset, then the transport).
void startCamera()
{
    const Link command(kCommandPort);
    expectSuccess(command.call(R"({"api":"ze_OpenCameras2"})"), "open");
    for (int value : {1, 0})
        expectSuccess(command.call(R"({"api":"ze_setMode","deviceName":"camera0","mode":)" +
                                   std::to_string(kSensorResetMode) +
                                   ",\"val\":" + std::to_string(value) + "}"),
                      "sensor reset");
    expectSuccess(command.call(R"({"api":"ze_startTransport","deviceName":"camera0"})"), "start");
}

void grab(const Link &frames)
{
    expectSuccess(frames.call(R"({"api":"ze_grabFrame","deviceName":"camera0","bufferSize":)" +
                              std::to_string(kFrameBytes) + "}"),
                  "grab");
}

void fetch(const Link &frames, std::vector<char> &image)
{
    std::vector<char> chunk(kChunkBytes);
    for (uint32_t offset = 0; offset < kFrameBytes;) {
        frames.send(R"({"api":"bulkTransfer","deviceName":"camera0","offset":)" +
                    std::to_string(offset) + ",\"transferSize\":" + std::to_string(kChunkBytes) +
                    ",\"bufferSize\":" + std::to_string(kFrameBytes) + "}");
        const uint32_t n = frames.receive(chunk);
        if (n == 0)
            fail("image ended early");
        std::memcpy(image.data() + offset, chunk.data(), n);
        offset += n;
    }
}

double megabytesPerSecond(double bytes, double ms)
{
    return bytes / 1e6 / (ms / 1e3);
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : kDefaultRounds;
    if (rounds < 1) {
        std::fprintf(stderr, "usage: %s [rounds]\n", argv[0]);
        return 2;
    }
    startCamera();
    const Link frames(kFramePort);
    std::vector<char> image(kFrameBytes);
    std::vector<double> fetchRates, grabAndFetchRates;
    for (int round = 0; round < rounds; ++round) {
        const auto both = zentro::bench::timed([&] {
            grab(frames);
            fetch(frames, image);
        });
        grabAndFetchRates.push_back(megabytesPerSecond(kFrameBytes, both.wallMs));
        const auto again = zentro::bench::timed([&] { fetch(frames, image); });
        fetchRates.push_back(megabytesPerSecond(kFrameBytes, again.wallMs));
    }
    std::printf("fetch of a %u-byte frame in 1 MiB chunks x %d: median %.0f MB/s\n", kFrameBytes,
                rounds, zentro::bench::median(fetchRates));
    std::printf("grab + fetch x %d: median %.0f MB/s (%.1f frames/s)\n", rounds,
                zentro::bench::median(grabAndFetchRates),
                zentro::bench::median(grabAndFetchRates) * 1e6 / kFrameBytes);
    return 0;
}
