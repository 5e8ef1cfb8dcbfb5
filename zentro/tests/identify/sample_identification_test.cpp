// The sample sensor library of sensor_data/ identified on the fake bus, with the family
// list of the repository's home layout.
#include <cstdlib>

#include "identify/identify_test_support.h"

namespace zentro::test {
namespace {

// The library decides its home once per process: the repository's layout is the home of
// this test program from its start.
const bool kRepositoryIsHome = setenv("ZE_HOME", ZENTRO_SOURCE_DIR, 1) == 0;

// Identifies the sensors of sensor_data/ with the repository as home, the bus holding
// what @populate puts on it; returns "<file> <part number> | <family>" or the result code.
template <class Populate>
std::string identifySamples(Populate populate)
{
    EXPECT_TRUE(kRepositoryIsHome);
    EXPECT_STREQ(ze_Home(), ZENTRO_SOURCE_DIR);
    return runInChild([&] {
        TestCamera camera;
        FakeBus bus;
        bus.install(camera);
        populate(bus);
        const int result = _getSensor(camera, ZENTRO_SOURCE_DIR "/sensor_data");
        if (result != CAMERA_SUCCESS)
            return "result " + std::to_string(result);
        const std::string file = camera->sensor->fileName;
        return file.substr(file.rfind('/') + 1) + " " + camera->sensor->partNumber + " | " +
               camera->sensor->familyName;
    });
}

TEST(SampleIdentification, TheSixteenBitSensorIsFoundInTheFirstPass)
{
    EXPECT_EQ(
        identifySamples([](FakeBus &bus) { bus.addDevice(0x20, 16, 16).set(0x3000, 0x0C54); }),
        "zx0201.sdat ZX0201 | ZX02 megapixel Bayer");
}

TEST(SampleIdentification, TheEightBitSensorIsFoundByItsRevisionInTheSecondPass)
{
    auto zx0042 = [](uint32_t revision) {
        return [revision](FakeBus &bus) {
            FakeDevice &device = bus.addDevice(0x6C, 8, 8);
            device.set(0x00, 0x9A);
            device.set(0x01, 0x42);
            device.set(0x02, revision);
        };
    };
    EXPECT_EQ(identifySamples(zx0042(0x21)), "zx0042.sdat ZX0042 | ZX00 small-format Bayer");
    // A revision the file does not know is not that sensor.
    EXPECT_EQ(identifySamples(zx0042(0x31)), "result 8");
}

TEST(SampleIdentification, NothingOnTheBusMatchesNothing)
{
    EXPECT_EQ(identifySamples([](FakeBus &) {}), "result 8");
}

} // namespace
} // namespace zentro::test
