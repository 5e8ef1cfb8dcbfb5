// The identification groups: extra-descriptor, version-read and extra-serial tests, the
// version writes around them, reset pulses and OR_MATCH alternatives.
#include <vector>

#include "identify/identify_test_support.h"

namespace zentro::test {
namespace {

constexpr uint32_t kFuseAddr = 0x3002;
constexpr uint32_t kModeAddr = 0x3004;

// CHIP_VERSION_REG is followed by these: a fuse register and a mode register.
const std::string kFuseAndMode =
    "FUSE_ID = {0x3002, CORE, 1, 0xFFFF, RO, 0x00A0, \"Fuse\" \"\"}\n"
    "MODE_SELECT = {0x3004, CORE, 1, 0xFFFF, RW, 0x0000, \"Mode\" \"\"}\n";

Candidate withGroups(const std::string &optional)
{
    return {.chipVersion = 0x2222, .optional = optional, .registers = kFuseAndMode};
}

TEST_F(IdentifyTest, FailingGroupsRejectAFileEvenWhenALaterAddressWouldAnswer)
{
    sensorAt(0x20, 0x2222).set(kFuseAddr, 0x00B0);
    sensorAt(0x36, 0x2222).set(kFuseAddr, 0x00A0);
    Candidate candidate = withGroups("EXTRA_DESC_REG = FUSE_ID\nEXTRA_DESC_VAL = 0xC0\n");
    candidate.bases = {0x20, 0x36};
    add("a.sdat", candidate);
    EXPECT_EQ(identify(), SENSOR_DOES_NOT_MATCH);
    EXPECT_EQ(logged("No match because SHIP base addr/version reg/fuseID"), 1u);
    // Groups are tried at the first address whose chip version answers, never at another.
    for (const Transfer &entry : bus.transfers())
        EXPECT_NE(entry.where, 0x36u);
}

TEST_F(IdentifyTest, ExtraDescriptorPassesOnTheDefaultOrAListedValue)
{
    FakeDevice &device = sensorAt(0x20, 0x2222);
    add("a.sdat", withGroups("EXTRA_DESC_REG = FUSE_ID\nEXTRA_DESC_VAL = (0xB0 0xC0)\n"));
    device.set(kFuseAddr, 0x00A0); // the default
    EXPECT_EQ(identify(), CAMERA_SUCCESS);
    device.set(kFuseAddr, 0x00C0); // listed
    EXPECT_EQ(identify(), CAMERA_SUCCESS);
    device.set(kFuseAddr, 0x00D0);
    EXPECT_EQ(identify(), SENSOR_DOES_NOT_MATCH);
}

TEST_F(IdentifyTest, OrMatchGroupsAreAlternatives)
{
    sensorAt(0x20, 0x2222).set(kFuseAddr, 0x00C0);
    add("a.sdat", withGroups("EXTRA_DESC_REG = FUSE_ID\nEXTRA_DESC_VAL = 0xB0\n"
                             "OR_MATCH\nEXTRA_DESC_REG = FUSE_ID\nEXTRA_DESC_VAL = 0xC0\n"));
    EXPECT_EQ(identify(), CAMERA_SUCCESS);
}

TEST_F(IdentifyTest, VersionReadsSeeTheVersionWritesWhichAreUndoneWhateverTheOutcome)
{
    FakeDevice &device = sensorAt(0x20, 0x2222);
    device.set(kModeAddr, 0x0F01);
    device.set(kFuseAddr, 0x0055);
    // The fuse register reads as expected only while MODE_SELECT's low byte is 0x02; the
    // device does not model that, so the read value decides the outcome directly.
    const std::string optional = "VERSION_REG_WRITE = MODE_SELECT, 0x00FF, 0x02\n"
                                 "VERSION_REG_READ = FUSE_ID, 0x00FF, 0x55\n";
    add("a.sdat", withGroups(optional));
    EXPECT_EQ(identify(), CAMERA_SUCCESS);
    EXPECT_EQ(device.get(kModeAddr), 0x0F01u);
    const std::vector<std::pair<uint32_t, uint32_t>> expectedModeWrites = {{kModeAddr, 0x0F02},
                                                                           {kModeAddr, 0x0F01}};
    std::vector<std::pair<uint32_t, uint32_t>> modeWrites;
    for (const Transfer &entry : bus.transfers()) {
        if (!entry.isRead() && entry.addr == kModeAddr)
            modeWrites.emplace_back(entry.addr, entry.values.at(0));
    }
    // Identification writes and restores; part-number detection does the same for group 0.
    ASSERT_GE(modeWrites.size(), 2u);
    EXPECT_EQ(std::vector(modeWrites.begin(), modeWrites.begin() + 2), expectedModeWrites);

    device.set(kFuseAddr, 0x0066);
    EXPECT_EQ(identify(), SENSOR_DOES_NOT_MATCH);
    EXPECT_EQ(device.get(kModeAddr), 0x0F01u);
}

TEST_F(IdentifyTest, VersionReadOfARegisterTheFileLacksFails)
{
    sensorAt(0x20, 0x2222);
    add("a.sdat", withGroups("VERSION_REG_READ = NO_SUCH_REG, 0xFF, 0x01\n"));
    EXPECT_EQ(identify(), SENSOR_DOES_NOT_MATCH);
}

TEST_F(IdentifyTest, ExtraSerialWithDataSizeZeroPassesOnlyWhenNothingAnswers)
{
    sensorAt(0x20, 0x2222);
    add("a.sdat", withGroups("EXTRA_SERIAL_REG = 0x50, 0x00 : 8, 0xFF : 0, 0\n"));
    EXPECT_EQ(identify(), CAMERA_SUCCESS);
    bus.addDevice(0x50, 8, 8);
    EXPECT_EQ(identify(), SENSOR_DOES_NOT_MATCH);
}

TEST_F(IdentifyTest, ExtraSerialComparesWhatTheDeviceAnswers)
{
    sensorAt(0x20, 0x2222);
    bus.addDevice(0x50, 8, 8).set(0x10, 0x5A);
    add("a.sdat", withGroups("EXTRA_SERIAL_REG = 0x50, 0x10 : 8, 0xF0 : 8, (0x4 0x5)\n"));
    EXPECT_EQ(identify(), CAMERA_SUCCESS);
    bus.device(0x50).set(0x10, 0x7A);
    EXPECT_EQ(identify(), SENSOR_DOES_NOT_MATCH);
}

// A transport that records the sensor-reset pulses.
std::vector<uint32_t> gResets;
int recordingSetMode(ze_camera_t *camera, uint32_t mode, uint32_t value)
{
    if (mode == ZE_SENSOR_RESET)
        gResets.push_back(value);
    return _SetMode(camera, mode, value);
}

TEST_F(IdentifyTest, ResetIfPulsesTheResetAndAgainWhenTheGroupsFail)
{
    FakeDevice &device = sensorAt(0x20, 0x2222);
    camera->setMode = recordingSetMode;
    device.set(kModeAddr, 0x0001);
    add("a.sdat", withGroups("VERSION_REG_RESETIF = MODE_SELECT, 0x00FF, 0x00\n"
                             "EXTRA_DESC_REG = FUSE_ID\nEXTRA_DESC_VAL = 0xB0\n"));
    gResets.clear();
    EXPECT_EQ(identify(), SENSOR_DOES_NOT_MATCH);
    EXPECT_EQ(gResets, (std::vector<uint32_t>{1, 0, 1, 0}));

    // The field as expected: no pulse; the groups pass.
    device.set(kModeAddr, 0x0000);
    device.set(kFuseAddr, 0x00B0);
    gResets.clear();
    EXPECT_EQ(identify(), CAMERA_SUCCESS);
    EXPECT_TRUE(gResets.empty());
}

} // namespace
} // namespace zentro::test
