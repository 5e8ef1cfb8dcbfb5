// Classification of how a sensor's on-chip microcontroller variables are reached.
#include <algorithm>
#include <array>

#include "camera/context.h"
#include "registers/lookup.h"
#include "zentro_reg.h"

namespace {

// Sensor type codes whose variables are mapped into the register space.
constexpr std::array<uint32_t, 19> kDirectTypes = {55,  61,  66,  68,  72,  75,  76,  79,  95, 99,
                                                   104, 115, 120, 127, 128, 129, 147, 152, 176};
constexpr std::array<uint32_t, 5> kAdvancedBaseTypes = {71, 103, 110, 111, 119};
constexpr std::array<uint32_t, 9> kWindowTypes = {16, 23, 37, 38, 39, 45, 47, 74, 106};
constexpr std::array<uint32_t, 4> kPhysicalTypes = {44, 46, 56, 62};
// The direct-style sensors and code 54 reach variables logically when not directly.
constexpr std::array<uint32_t, 20> kLogicalTypes = {
    54, 55, 61, 66, 68, 72, 75, 76, 79, 95, 99, 104, 115, 120, 127, 128, 129, 147, 152, 176};
// Sensors whose style is decided by the port registers their file describes.
constexpr std::array<uint32_t, 2> kGenericTypes = {0, 19};
constexpr uint32_t kLogicalFromVersion1Type = 54;
constexpr uint32_t kCommandType = 159;
constexpr uint32_t kFirstDirectVersion = 2;

template <size_t N>
bool listed(const std::array<uint32_t, N> &types, uint32_t type)
{
    return std::ranges::find(types, type) != types.end();
}

bool hasRegister(ze_camera_t *camera, const char *name)
{
    return ze_ExistsRegister(camera, name) != 0;
}

uint32_t genericDirectStyle(ze_camera_t *camera)
{
    if (hasRegister(camera, "MCU_VARIABLE_DATA0"))
        return ZE_MCU_STYLE_DIRECT;
    if (hasRegister(camera, "ADVANCED_BASE"))
        return ZE_MCU_STYLE_ADVANCED_BASE;
    return ZE_MCU_STYLE_NONE;
}

uint32_t genericPortStyle(ze_camera_t *camera)
{
    if (hasRegister(camera, "PHYSICAL_ADDR_ACCESS"))
        return ZE_MCU_STYLE_PHYSICAL;
    if (hasRegister(camera, "MCU_VARIABLE_DATA0"))
        return ZE_MCU_STYLE_LOGICAL;
    if (hasRegister(camera, "MCU_DATA_0"))
        return ZE_MCU_STYLE_WINDOW;
    return ZE_MCU_STYLE_NONE;
}

// Whether the application switched direct variable access off for this camera. The
// mode is kept per camera and starts at 1 (on) when the context is created.
bool directAccessSwitchedOff(const ze_camera_t *camera)
{
    return camera->context && zentro::storedMode(camera, ZE_DIRECT_VAR_ACCESS) == 0;
}

} // namespace

extern "C" {

ZE_API uint32_t ze_McuDirectStyle(ze_camera_t *camera)
{
    if (!camera || !camera->sensor || directAccessSwitchedOff(camera))
        return ZE_MCU_STYLE_NONE;
    const ze_sensor_t &sensor = *camera->sensor;
    const uint32_t type = sensor.sensorType;
    if (listed(kGenericTypes, type))
        return genericDirectStyle(camera);
    if (type == kLogicalFromVersion1Type)
        return sensor.sensorVersion >= kFirstDirectVersion ? ZE_MCU_STYLE_DIRECT
                                                           : ZE_MCU_STYLE_NONE;
    if (listed(kDirectTypes, type))
        return ZE_MCU_STYLE_DIRECT;
    if (listed(kAdvancedBaseTypes, type))
        return ZE_MCU_STYLE_ADVANCED_BASE;
    if (type == kCommandType)
        return ZE_MCU_STYLE_COMMAND;
    return ZE_MCU_STYLE_NONE;
}

ZE_API uint32_t ze_McuAddrStyle(ze_camera_t *camera)
{
    if (!camera || !camera->sensor)
        return ZE_MCU_STYLE_NONE;
    if (uint32_t direct = ze_McuDirectStyle(camera))
        return direct;
    const uint32_t type = camera->sensor->sensorType;
    if (listed(kGenericTypes, type))
        return genericPortStyle(camera);
    if (listed(kWindowTypes, type))
        return ZE_MCU_STYLE_WINDOW;
    if (listed(kPhysicalTypes, type))
        return ZE_MCU_STYLE_PHYSICAL;
    if (listed(kLogicalTypes, type))
        return ZE_MCU_STYLE_LOGICAL;
    if (type == kCommandType)
        return ZE_MCU_STYLE_COMMAND;
    return ZE_MCU_STYLE_NONE;
}

} // extern "C"
