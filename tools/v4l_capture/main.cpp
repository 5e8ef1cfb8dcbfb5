// v4l_capture: brings a camera up on the board without the library and captures raw frames.
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "capture_loop.h"
#include "discovery.h"
#include "driver_control.h"
#include "io_methods.h"
#include "options.h"
#include "raw_output.h"
#include "sensor_config.h"
#include "sensor_table.h"

namespace {

constexpr uint32_t kBusRate = 1000000;
constexpr unsigned kBusRateSettleSeconds = 3;
// The shell's status for a program stopped by SIGINT: the capture was cut short.
constexpr int kInterruptedStatus = 128 + 2;

void setBusRate()
{
    qrb_kernel_version version{};
    std::printf("Version :: %s\n", get_version(&version));
    std::printf("Default I2C bus rate  :: %d\n", sensor_read_prop(DRV_PROP_I2C_SPEED_READ));
    sensor_config_prop(DRV_PROP_I2C_SPEED, kBusRate);
    std::printf("I2C bus rate changed by user app :: %d\n",
                sensor_read_prop(DRV_PROP_I2C_SPEED_READ));
    sleep(kBusRateSettleSeconds);
}

RawDescription describe(const FrameGeometry &g, const SensorEntry &sensor)
{
    constexpr uint32_t kBytesPerSample = 2;
    return {g.bytesPerLine / kBytesPerSample, g.height, sampleBits(g.pixelFormat),
            sensor.frameRate(), g.imageBytes};
}

} // namespace

int main(int argc, char **argv)
{
    const CaptureSettings settings = parseOptions(argc, argv);
    RawOutput output;
    if (!settings.output.empty())
        output.open(settings.output);
    installInterruptHandler();

    CaptureDevice device;
    device.open(settings.device);
    setBusRate();
    const DetectedSensor detected = discoverSensor(settings.metaRows, settings.statsRows);
    const SensorEntry &sensor = sensorTable()[detected.index];
    busCheck(sensor);
    configureSensor(sensor, settings);

    const FrameGeometry geometry = device.init(sensor, settings);
    if (output.isOpen())
        output.describe(describe(geometry, sensor));
    unsigned long captured = 0;
    if (!interrupted()) {
        device.start();
        captured = captureFrames(device, sensor, settings, output);
        device.stop();
    }
    device.close();
    output.finish();
    std::printf("\n");
    if (interrupted()) {
        std::fprintf(stderr, "Capture interrupted after %lu frames\n", captured);
        return kInterruptedStatus;
    }
    return EXIT_SUCCESS;
}
