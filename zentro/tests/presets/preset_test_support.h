// What the preset tests share: a null camera on a small sensor, preset files in a scratch
// directory, and a camera on the recording fake bus.
#ifndef ZENTRO_TESTS_PRESETS_PRESET_TEST_SUPPORT_H
#define ZENTRO_TESTS_PRESETS_PRESET_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <string>

#include "camera/camera_test_support.h"
#include "presets/limits.h"
#include "support/fake_bus.h"
#include "support/test_support.h"
#include "zentro.h"

namespace zentro::test {

// A 16-bit sensor with a few registers and bitfields, for null cameras.
inline std::string writePresetSensor(const TempDir &dir)
{
    const std::string path = dir.file("preset_sensor.sdat");
    writeFile(path, R"([CHIP_DESCRIPTOR]
SENSORNAME = "ZX0201"
WIDTH = 64
HEIGHT = 32
IMAGE_TYPE = BAYER
BITS_PER_CLOCK = 10
CLOCKS_PER_PIXEL = 1
SHIP_BASE_ADDRESS = 0x20
[END]
[OPTIONAL]
SDAT_VERSION = 2
REG_ADDR_SIZE = 16
REG_DATA_SIZE = 16
[END]
[REGISTERS]
GAIN = {0x3000, REG, 1, 0xFFFF, RW, 0x0010, "Gain" ""}
EXPOSURE = {0x3002, REG, 1, 0xFFFF, RW, 0x0200, "Exposure" ""}
RESET_REGISTER = {0x301A, REG, 1, 0xFFFF, RW, 0x10D8, "Reset" ""}
    {STREAM, 0x0004, RW, "Stream" ""}
    {LOCK_REG, 0x0008, RW, "Lock" ""}
    {TEST_MODE, 0x0700, RW, "Test mode" ""}
STATUS = {0x3040, REG, 1, 0xFFFF, RO, 0x0003, "Status" ""}
COMMAND = {0x3042, REG, 1, 0xFFFF, WO, 0x0000, "Command" ""}
[END]
)");
    return path;
}

// A null camera on the preset sensor, a scratch directory for preset files, and the log.
class PresetTest : public ::testing::Test
{
protected:
    // Starting the null camera loads the registers' default values.
    void SetUp() override { ASSERT_EQ(ze_startTransport(camera()), CAMERA_SUCCESS); }
    ze_camera_t *camera() { return cameras_[0]; }

    // Writes @text as @name in the scratch directory; returns its path.
    std::string preset(const std::string &text, const std::string &name = "preset.ini")
    {
        const std::string path = dir_.file(name);
        writeFile(path, text);
        return path;
    }
    // Writes @text and runs its @section on the camera.
    uint32_t run(const std::string &text, const std::string &section = "Test")
    {
        return ze_LoadINIPreset(camera(), preset(text).c_str(), section.c_str());
    }
    // The register's value by name (read from the device, not the cache).
    uint32_t reg(const char *name, const char *field = nullptr)
    {
        uint32_t value = 0;
        EXPECT_EQ(ze_ReadSensorRegStr(camera(), name, field, &value), CAMERA_SUCCESS) << name;
        return value;
    }
    bool logged(const std::string &text) const { return log_.contains(text); }

    TempDir dir_;
    NullCameras cameras_{writePresetSensor(dir_)};
    LogCapture log_;
};

// Keeps the preset limits of a test and restores the defaults after.
class ScopedPresetLimits
{
public:
    explicit ScopedPresetLimits(const presets::PresetLimits &limits)
    {
        presets::setPresetLimits(limits);
    }
    ~ScopedPresetLimits() { presets::setPresetLimits({}); }
    ScopedPresetLimits(const ScopedPresetLimits &) = delete;
    ScopedPresetLimits &operator=(const ScopedPresetLimits &) = delete;
};

// Two pages selected at 0xF0, 8-bit addresses, 16-bit data, on the fake bus at 0x90.
inline const std::string kPagedPresetSensor = std::string(kPagedSensorHead) + R"([REGISTERS]
GAIN = {0x04, CORE, 1, 0xFFFF, RW, 0x0010, "Gain" ""}
    {COARSE, 0x00F0, RW, "Coarse" ""}
TINT = {0x04, IFP, 1, 0xFFFF, RW, 0x0777, "Tint" ""}
STATUS = {0x30, CORE, 1, 0xFFFF, RW, 0x0000, "Status" ""}
    {BUSY, 0x0004, RW, "Busy" ""}
ADDR_SPACE_SEL = {0xF0, CORE, 1, 0x0003, RW, 0x0000, "Page select" ""}
[END]
)";

// A camera on the recording fake bus with the paged sensor at 0x90.
class BusPresetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(loadSensorText(camera, dir, kPagedPresetSensor), PARSE_SUCCESS);
        bus.install(camera);
        sensor = &bus.addSensorDevice(camera);
    }
    uint32_t run(const std::string &text, const std::string &section = "Test")
    {
        const std::string path = dir.file("bus.ini");
        writeFile(path, text);
        bus.clearLog();
        return ze_LoadINIPreset(camera, path.c_str(), section.c_str());
    }

    TempDir dir;
    TestCamera camera;
    FakeBus bus;
    FakeDevice *sensor = nullptr;
    LogCapture log;
};

} // namespace zentro::test

#endif // ZENTRO_TESTS_PRESETS_PRESET_TEST_SUPPORT_H
