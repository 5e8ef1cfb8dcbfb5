// The capture loop of the capture tool.
#include "capture_loop.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/select.h>
#include <sys/time.h>

#include "driver_control.h"
#include "io_methods.h"
#include "raw_output.h"
#include "sensor_table.h"

namespace {

constexpr time_t kFrameTimeoutSeconds = 12;
constexpr uint16_t kGainControlTable = 0xFF05;
constexpr unsigned kHalfBits = 16;

volatile std::sig_atomic_t interruptRequested = 0;

void onInterrupt(int)
{
    interruptRequested = 1;
}

long long nowMilliseconds()
{
    timeval tv;
    gettimeofday(&tv, nullptr);
    return static_cast<long long>(tv.tv_sec) * 1000 + tv.tv_usec / 1000;
}

// Waits until the node has a frame; false when interrupted.
bool waitForFrame(int descriptor)
{
    for (;;) {
        if (interrupted())
            return false;
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(descriptor, &fds);
        timeval tv{kFrameTimeoutSeconds, 0};
        const int r = select(descriptor + 1, &fds, nullptr, nullptr, &tv);
        if (r == -1) {
            if (errno == EINTR)
                continue;
            errno_exit("select");
        }
        if (r == 0) {
            std::fprintf(stderr, "select timeout\n");
            std::exit(EXIT_FAILURE);
        }
        return true;
    }
}

struct FrameClock {
    long long last = nowMilliseconds();
    long long lap()
    {
        const long long now = nowMilliseconds();
        const long long elapsed = now - last;
        last = now;
        return elapsed;
    }
};

void processFrame(const Frame &frame, unsigned long number, const SensorEntry &sensor,
                  RawOutput &output, FrameClock &clock)
{
    const long long elapsed = clock.lap();
    if (output.isOpen())
        output.appendFrame(frame.data, frame.bytes);
    std::printf("Sensor Frame Count - %u\n    Time ellapced : %lld\n", readFrameCounter(sensor),
                elapsed);
    std::printf("Captured Frame - %lu of %zu bytes captured.\n\n", number, frame.bytes);
}

} // namespace

void installInterruptHandler()
{
    struct sigaction action {
    };
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: the wait for a frame returns and sees the request.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
}

bool interrupted()
{
    return interruptRequested != 0;
}

uint32_t readFrameCounter(const SensorEntry &sensor)
{
    const auto slave = static_cast<uint8_t>(sensor.i2cAddress);
    const uint16_t address = sensor.frameCounter.address;
    switch (sensor.frameCounter.bytes) {
    case 1: {
        uint8_t b[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
        return i2c_read(slave, 1, b) == 1 ? b[0] : 0;
    }
    case 2:
        return i2c_read16(slave, address);
    default:
        return uint32_t{i2c_read16(slave, address)} << kHalfBits |
               i2c_read16(slave, static_cast<uint16_t>(address + 2));
    }
}

unsigned long captureFrames(CaptureDevice &device, const SensorEntry &sensor,
                            const CaptureSettings &settings, RawOutput &output)
{
    FrameClock clock;
    unsigned long captured = 0;
    while (captured < settings.frameCount) {
        if (!waitForFrame(device.descriptor()))
            break;
        const auto frame = device.dequeue();
        if (!frame)
            continue; // not ready after all (EAGAIN): wait again
        processFrame(*frame, captured, sensor, output, clock);
        device.requeue(*frame);
        ++captured;
        if (sensor.clock == ClockKind::FixedLine && captured < settings.frameCount)
            sensor_set_control(kGainControlTable, gainControlTable());
    }
    return captured;
}
