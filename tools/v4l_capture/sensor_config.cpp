// Sensor configuration steps of the capture tool.
#include "sensor_config.h"

#include <cstdio>
#include <unistd.h>

#include "driver_control.h"
#include "link_chips.h"
#include "sensor_table.h"

namespace {

constexpr unsigned kResetHoldSeconds = 1;
constexpr unsigned kResetSettleSeconds = 2;
constexpr uint16_t kEmbeddedControl = 0x3040;
constexpr uint16_t kEmbeddedEnable = 0x3064;
constexpr uint16_t kEmbeddedTiming = 0x3342;
constexpr uint16_t kEmbeddedTimingValue = 0x2C2C;
constexpr uint16_t kMipiLaneRegister = 0x31AE;
constexpr uint16_t kMetaBits = 0x000C;  // bits 2 and 3
constexpr uint16_t kStatsBits = 0x0003; // bits 0 and 1
constexpr uint16_t kMetaEnable = 0x0100;
constexpr uint16_t kStatsEnable = 0x0080;

constexpr uint32_t kFixedLineLength = 1672;
constexpr uint32_t kFixedPixelClock = 270000000;
constexpr uint32_t kFixedPixelClockTwoLane = 135000000;
constexpr uint32_t kInputClockKhz = 27000;

void writeModeList(uint8_t slave, const reg_16 *list)
{
    for (size_t i = 0; i < kMaxModeEntries && list[i].addr != kModeEnd; ++i) {
        if (list[i].addr == kModeSleep)
            sleep(list[i].val);
        else
            i2c_write16(slave, list[i].addr, list[i].val);
    }
}

void setEmbeddedRows(const SensorEntry &sensor, unsigned meta, unsigned stats)
{
    if (meta != 0)
        std::printf("Embedded meta data  of %d rows is enable\n", meta);
    if (stats != 0)
        std::printf("Embedded stats data of %d rows is enable\n", stats);
    update_sensor_image_property(DRV_PROP_EMBEDDED_ROWS, meta + stats);
    const auto slave = static_cast<uint8_t>(sensor.i2cAddress);
    const uint16_t control = i2c_read16(slave, kEmbeddedControl);
    const uint16_t enable = i2c_read16(slave, kEmbeddedEnable);
    i2c_write16(slave, kEmbeddedControl, embeddedControl3040(control, meta, stats));
    i2c_write16(slave, kEmbeddedEnable, embeddedControl3064(enable, meta, stats));
    if (meta != 0 || stats != 0)
        i2c_write16(slave, kEmbeddedTiming, kEmbeddedTimingValue);
}

void setClocks(const SensorEntry &sensor, const std::string &device)
{
    switch (sensor.clock) {
    case ClockKind::None:
        return;
    case ClockKind::FixedLine:
        update_sensor_image_property(DRV_PROP_LINE_LENGTH_VALUE, kFixedLineLength);
        if (device == "/dev/video0" || device == "/dev/video3" || device == "/dev/video5")
            update_sensor_signal_property(DRV_PROP_PIXEL_CLOCK_VALUE, kFixedPixelClock);
        else if (device == "/dev/video1")
            update_sensor_signal_property(DRV_PROP_PIXEL_CLOCK_VALUE, kFixedPixelClockTwoLane);
        return;
    case ClockKind::InputClockThenLine:
        update_sensor_signal_property(DRV_PROP_LINE_LENGTH_VALUE, kInputClockKhz);
        [[fallthrough]];
    case ClockKind::LineAndPixelClock:
        update_sensor_image_property(DRV_PROP_LINE_LENGTH_VALUE, sensor.lineLength);
        update_sensor_image_property(DRV_PROP_PIXEL_FORMAT, sensor.pixelFormat);
        update_sensor_signal_property(DRV_PROP_PIXEL_CLOCK_VALUE, sensor.pixelClock);
        return;
    }
}

} // namespace

uint16_t embeddedControl3040(uint16_t old, unsigned meta, unsigned stats)
{
    uint16_t value = old;
    if (meta == 16)
        value = old | kMetaBits;
    else if (meta == 2 || meta == 4 || meta == 8)
        value = static_cast<uint16_t>((old & ~kMetaBits) | (meta == 4 ? 4 : meta == 8 ? 8 : 0));
    if (stats == 2 || stats == 4)
        value = static_cast<uint16_t>((value & ~kStatsBits) | (stats == 4 ? 1 : 0));
    return value;
}

uint16_t embeddedControl3064(uint16_t old, unsigned meta, unsigned stats)
{
    uint16_t value = old;
    if (meta != 0)
        value |= kMetaEnable;
    if (stats != 0)
        value |= kStatsEnable;
    return value;
}

void configureSensor(const SensorEntry &sensor, const CaptureSettings &settings)
{
    sensor_gpio_reset(kResetHoldSeconds, kResetSettleSeconds);
    if (const LinkPair *pair = selectLinkPair(settings.device, settings.linkGeneration))
        setUpLinkPair(*pair);
    config_driver_table(DRV_TABLE_STOP, sensor.stopTable);
    config_driver_table(DRV_TABLE_START, sensor.startTable);
    const reg_16 *modes = settings.device == "/dev/video1" ? twoLaneModeList() : sensor.modeList;
    std::printf("write mode values to senser registers - initiated\n");
    writeModeList(static_cast<uint8_t>(sensor.i2cAddress), modes);
    std::printf("write mode values to senser registers - success\n");
    for (uint16_t i = 0; i < 6; ++i)
        update_frame_format_property(static_cast<uint16_t>(DRV_FORMAT_PROP_FIRST + i),
                                     sensor.frameFormat[i]);
    if (!sensor.byteStyle())
        setEmbeddedRows(sensor, settings.metaRows, settings.statsRows);
    setClocks(sensor, settings.device);
    std::printf("Pixel Clock : = 0x%X\n", sensor_read_prop(DRV_PROP_PIXEL_CLOCK));
    if (!sensor.byteStyle())
        std::printf("MIPI Lane :: 0x31AE = 0x%X\n",
                    i2c_read16(static_cast<uint8_t>(sensor.i2cAddress), kMipiLaneRegister));
}
