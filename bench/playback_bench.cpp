// Frame delivery from a raw recording of 1920 x 1200 two-byte frames with pacing off:
// bytes per second through ze_grabFrame, and the process's peak memory next to the
// recording's size. With --jpeg the recording holds JPEG images of 0.5 to 1.5 MB instead,
// whose boundaries the first pass over the recording scans for.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
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
    bool jpeg = false;
};

Options parse(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--jpeg")) {
            o.jpeg = true;
            continue;
        }
        if (i + 1 >= argc)
            break;
        if (!strcmp(argv[i], "--frames"))
            o.frames = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--grabs"))
            o.grabs = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--dir"))
            o.directory = argv[i + 1];
        ++i;
    }
    return o;
}

constexpr size_t kJpegSmallest = 512 * 1024;
constexpr size_t kJpegSizeSpread = 1024 * 1024;

// Frame @i: raw samples, or a JPEG image whose scan data never holds a marker.
void fillFrame(std::vector<uint8_t> &frame, int i, bool jpeg)
{
    if (!jpeg) {
        frame.assign(kFrameBytes, uint8_t(i));
        return;
    }
    static constexpr uint8_t kHeader[] = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x04,
                                          0x01, 0x02, 0xFF, 0xDA, 0x00, 0x02};
    frame.assign(kJpegSmallest + size_t(i) * 7919 % kJpegSizeSpread, uint8_t(1 + i % 200));
    std::copy(std::begin(kHeader), std::end(kHeader), frame.begin());
    frame[frame.size() - 2] = 0xFF;
    frame[frame.size() - 1] = 0xD9;
}

// Writes the recording and its description; the recording's size in bytes, 0 on failure.
uint64_t writeRecording(const std::string &raw, const std::string &info, const Options &o)
{
    FILE *out = fopen(raw.c_str(), "wb");
    if (!out)
        return 0;
    std::vector<uint8_t> frame;
    uint64_t total = 0;
    bool ok = true;
    for (int i = 0; i < o.frames && ok; ++i) {
        fillFrame(frame, i, o.jpeg);
        ok = fwrite(frame.data(), 1, frame.size(), out) == frame.size();
        total += frame.size();
    }
    ok = fclose(out) == 0 && ok;
    FILE *desc = fopen(info.c_str(), "w");
    if (!desc)
        return 0;
    fprintf(desc, "Width = %u\nHeight = %u\nImage Format = %s\nFrames = %d\nrate = 30\n", kWidth,
            kHeight, o.jpeg ? "JPEG" : "Bayer 12", o.frames);
    return fclose(desc) == 0 && ok ? total : 0;
}

struct Pass {
    int failed = 0;
    double bytes = 0;
    double seconds = 0;
};

// Grabs @grabs frames; the bytes delivered and the time it took.
Pass grabFrames(ze_camera_t *camera, std::vector<uint8_t> &buffer, int grabs)
{
    Pass pass;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < grabs; ++i) {
        pass.failed += ze_grabFrame(camera, buffer.data(), uint32_t(buffer.size())) != 0;
        ze_frame_info_t info{};
        ze_getFrameData(camera, &info);
        pass.bytes += info.bytesReturned;
    }
    pass.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return pass;
}

void report(const char *what, const Pass &pass, int grabs)
{
    printf("%s: %d frames (%d failed) in %.3f s: %.2f GB/s, %.0f frames/s\n", what, grabs,
           pass.failed, pass.seconds, pass.bytes / pass.seconds / 1e9, grabs / pass.seconds);
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
    const uint64_t recordingBytes = writeRecording(raw, info, o);
    if (recordingBytes == 0) {
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
        printf("recording: %d %s frames, %.2f GB\n", o.frames, o.jpeg ? "JPEG" : "raw",
               double(recordingBytes) / 1e9);
        // The first pass finds the boundaries of compressed frames; later passes know them.
        const int firstGrabs = std::min(o.frames, o.grabs);
        const Pass first = grabFrames(camera, buffer, firstGrabs);
        const Pass later = grabFrames(camera, buffer, o.grabs - firstGrabs);
        ze_stopTransport(camera);
        ze_CloseCameras2(cameras, count);
        report("first pass", first, firstGrabs);
        if (o.grabs > firstGrabs)
            report("later passes", later, o.grabs - firstGrabs);
        printf("peak resident memory: %.1f MB\n", double(peakRssKb()) / 1024);
        status = first.failed || later.failed ? 1 : 0;
    } else {
        fprintf(stderr, "cannot open the recording %s\n", raw.c_str());
    }
    unlink(raw.c_str());
    unlink(info.c_str());
    return status;
}
