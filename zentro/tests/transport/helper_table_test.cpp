// The helper table handed to plug-ins: its slots in their order, and the pointer a plug-in
// keeps.
#include <cstdio>

#include <gtest/gtest.h>

#include "transport/helper_table.h"
#include "transport/plugin_test_support.h"

namespace {

using zentro::test::PluginCameras;
using zentro::test::PluginTrace;
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
        nullptr, // _getSensor: filled when identification lands
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

} // namespace
