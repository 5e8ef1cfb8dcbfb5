// The helper table handed to plug-ins: its slots in their order, and the pointer a plug-in
// keeps.
#include <algorithm>
#include <cstdio>

#include <gtest/gtest.h>

#include "transport/helper_table.h"
#include "transport/plugin_test_support.h"

namespace {

using zentro::test::LogCapture;
using zentro::test::PluginCameras;
using zentro::test::PluginTrace;
using zentro::test::TempDir;
using zentro::test::writeFile;
namespace plugin = zentro::test::plugin;

// The address of a library function as an untyped pointer, to compare slots of any type.
template <class Fn>
const void *address(Fn function)
{
    return reinterpret_cast<const void *>(function);
}

TEST(HelperTable, HoldsTheLibrarysFunctionsInTheirSlots)
{
    // Plug-ins index the table as an array of pointers.
    const auto *slots = reinterpret_cast<const void *const *>(&zentro::pluginHelpers());
    const void *expected[ZE_PLUGIN_HELPER_SLOTS] = {
        address(_getSensor),
        address(_updateImageType),
        address(ze_Errorlog),
        address(ze_Msglog),
        address(_SetMode),
        address(_GetMode),
        address(_SetContext),
        address(_GetContext),
        address(_UpdateFrameSize),
        address(_unSwizzleBuffer1),
        address(_mergeDeepBayer1),
        address(_readReg),
        address(_parseBoardConfigFile),
        address(_currentLogTypes),
        address(ze_getErrorMessage),
        address(osal_sleep),
        address(ze_Home),
        address(_freeBoardData),
        address(_getSerdes),
    };
    for (int slot = 0; slot < ZE_PLUGIN_HELPER_SLOTS; ++slot)
        EXPECT_EQ(slots[slot], expected[slot]) << "slot " << slot;
}

TEST(HelperTable, EveryCameraHandsThePluginTheSameTable)
{
    PluginTrace trace;
    PluginCameras cameras(plugin::multi);
    ASSERT_EQ(cameras.size(), 3u);
    char table[32];
    snprintf(table, sizeof(table), "%p", static_cast<const void *>(&zentro::pluginHelpers()));
    // Three cameras and the refused fourth.
    EXPECT_EQ(trace.lines("SetHelpersDLL"),
              std::vector<std::string>(4, std::string("SetHelpersDLL ") + table));
}

// A sensor-data file of a 16-bit sensor at 0x20 whose chip version is @chipVersion.
std::string sensorFile(uint32_t chipVersion)
{
    char version[16];
    snprintf(version, sizeof(version), "0x%X", chipVersion);
    return "[CHIP_DESCRIPTOR]\nSENSORNAME = \"" + std::string(ze_SensorTypeName(201)) +
           "\"\nWIDTH = 64\nHEIGHT = 32\nIMAGE_TYPE = BAYER\nBITS_PER_CLOCK = 10\n"
           "CLOCKS_PER_PIXEL = 1\nSHIP_BASE_ADDRESS = 0x20\n[END]\n[OPTIONAL]\nSDAT_VERSION = 2\n"
           "REG_ADDR_SIZE = 16\nREG_DATA_SIZE = 16\n[END]\n[REGISTERS]\n"
           "CHIP_VERSION_REG = {0x3000, CORE, 1, 0xFFFF, RO, " +
           version + ", \"Chip version\" \"\"}\n[END]\n";
}

// The test plug-in's register at 0x3000 reads 0xA000 (0xA000 + address modulo 256).
TEST(HelperTable, APluginIdentifiesItsSensorThroughTheFirstSlot)
{
    TempDir sensors;
    writeFile(sensors.file("a_other.sdat"), sensorFile(0x1111));
    writeFile(sensors.file("b_attached.sdat"), sensorFile(0xA000));
    PluginTrace trace;
    PluginCameras cameras(plugin::identifying, sensors.path());
    ASSERT_EQ(cameras.size(), 1u) << cameras.result;
    ASSERT_NE(cameras[0]->sensor, nullptr);
    EXPECT_EQ(cameras[0]->sensor->fileName, sensors.file("b_attached.sdat"));
    // Identification read the chip version through the plug-in's register entry point.
    const std::vector<std::string> reads = trace.lines("ReadRegistersDLL");
    EXPECT_NE(std::find(reads.begin(), reads.end(),
                        "ReadRegistersDLL bus 0x20 at 0x3000 count 1 addr 16 data 16"),
              reads.end());
}

TEST(HelperTable, ASensorThatNoFileMatchesRefusesThePluginsCamera)
{
    TempDir sensors;
    writeFile(sensors.file("other.sdat"), sensorFile(0x1111));
    LogCapture log;
    PluginTrace trace;
    PluginCameras cameras(plugin::identifying, sensors.path());
    EXPECT_EQ(cameras.result, SENSOR_DOES_NOT_MATCH);
    EXPECT_EQ(cameras.size(), 0u);
    EXPECT_TRUE(log.contains("DLL_Transport_OpenCameras failed on specific file"));
    EXPECT_TRUE(trace.lines("CloseCameraDLL").empty());
}

} // namespace
