// Frame delivery from a raw recording of 1920 x 1200 two-byte frames with pacing off:
// bytes per second through ze_grabFrame, and the process's peak memory next to the
// recording's size.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "zentro.h"

namespace {

constexpr uint32_t kWidth = 1920;
constexpr uint32_t kHeight = 1200;
constexpr size_t kFrameBytes = size_t(kWidth) * kHeight * 2;

struct Options {
    int frames = 100; // frames in the recording
    int grabs = 1000; // frames delivered (the recording loops)
    std::string directory = "/tmp";
};

Options parse(int argc, char **argv)
{
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--frames"))
            o.frames = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--grabs"))
            o.grabs = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--dir"))
            o.directory = argv[i + 1];
    }
    return o;
}

bool writeRecording(const std::string &raw, const std::string &info, int frames)
{
    FILE *out = fopen(raw.c_str(), "wb");
    if (!out)
        return false;
    std::vector<uint8_t> frame(kFrameBytes);
    bool ok = true;
    for (int i = 0; i < frames && ok; ++i) {
        memset(frame.data(), i & 0xFF, frame.size());
        ok = fwrite(frame.data(), 1, frame.size(), out) == frame.size();
    }
    ok = fclose(out) == 0 && ok;
    FILE *desc = fopen(info.c_str(), "w");
    if (!desc)
        return false;
    fprintf(desc, "Width = %u\nHeight = %u\nImage Format = Bayer 12\nFrames = %d\nrate = 30\n",
            kWidth, kHeight, frames);
    return fclose(desc) == 0 && ok;
}

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char **argv)
{
    const Options o = parse(argc, argv);
    const std::string base = o.directory + "/playback_bench_" + std::to_string(getpid());
    const std::string raw = base + ".raw";
    const std::string info = base + "_info.txt";
    if (!writeRecording(raw, info, o.frames)) {
        fprintf(stderr, "cannot write the recording %s\n", raw.c_str());
        return 1;
    }
    ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
    int count = 0;
    int status = 1;
    if (ze_OpenCameras2(cameras, &count, raw.c_str(), ZE_TRANSPORT_RAW, "") == 0 && count == 1) {
        ze_camera_t *camera = cameras[0];
        ze_setMode(camera, ZE_HW_FRAME_TIME, 0);
        ze_startTransport(camera);
        std::vector<uint8_t> buffer(kFrameBytes);
        const auto start = std::chrono::steady_clock::now();
        int failed = 0;
        for (int i = 0; i < o.grabs; ++i)
            failed += ze_grabFrame(camera, buffer.data(), uint32_t(buffer.size())) != 0;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ze_stopTransport(camera);
        ze_CloseCameras2(cameras, count);
        const double bytes = double(kFrameBytes) * o.grabs;
        printf("recording: %d frames of %zu bytes (%.2f GB)\n", o.frames, kFrameBytes,
               double(kFrameBytes) * o.frames / 1e9);
        printf("delivered %d frames (%d failed) in %.3f s: %.2f GB/s, %.0f frames/s\n", o.grabs,
               failed, seconds, bytes / seconds / 1e9, o.grabs / seconds);
        printf("peak resident memory: %.1f MB\n", double(peakRssKb()) / 1024);
        status = failed ? 1 : 0;
    } else {
        fprintf(stderr, "cannot open the recording %s\n", raw.c_str());
    }
    unlink(raw.c_str());
    unlink(info.c_str());
    return status;
}
