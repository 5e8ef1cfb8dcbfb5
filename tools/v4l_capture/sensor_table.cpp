// The capture tool's sensor table and register lists.
#include "sensor_table.h"

#include <linux/videodev2.h>

namespace {

constexpr uint16_t kEnd = kModeEnd;

// ZX0201: 1920 x 1200, 12-bit, four lanes, 30 frames per second (74.25 MHz pixel clock,
// 2200 x 1125 total), streaming on.
constexpr reg_16 kZx0201Mode[] = {
    {0x3100, 0x0000}, {0x3102, 0x0000}, {0x3104, 0x077F}, {0x3106, 0x04AF}, {0x3108, 0x0780},
    {0x310A, 0x04B0}, {0x310C, 0x0000}, {0x3112, 0x0898}, {0x3110, 0x0465}, {0x3300, 0x0C0C},
    {0x3304, 0x002C}, {0x3302, 0x0014}, {0x3010, 0x001C}, {kEnd, 0},
};
// The same on two lanes: a longer line keeps 30 frames per second within the lane rate.
constexpr reg_16 kTwoLaneMode[] = {
    {0x3100, 0x0000}, {0x3102, 0x0000}, {0x3104, 0x077F}, {0x3106, 0x04AF}, {0x3108, 0x0780},
    {0x310A, 0x04B0}, {0x310C, 0x0000}, {0x3112, 0x0898}, {0x3110, 0x0465}, {0x3300, 0x0C0C},
    {0x3304, 0x002C}, {0x3302, 0x0012}, {0x3010, 0x001C}, {kEnd, 0},
};
constexpr reg_16 kZx0201Start[16] = {{0x3010, 0x001C}, {kEnd, 0}};
constexpr reg_16 kZx0201Stop[16] = {{0x3010, 0x0018}, {kEnd, 0}};

// The 0x3000-style sensors of the family: window, timing, data format, streaming.
constexpr reg_16 kZx0231Mode[] = {
    {0x0100, 0x0000}, {0x3004, 0x0000}, {0x3006, 0x0000}, {0x3008, 0x077F}, {0x300A, 0x0437},
    {0x300C, 0x0688}, {0x300E, 0x0465}, {0x31AE, 0x0204}, {0x0100, 0x0001}, {kEnd, 0},
};
constexpr reg_16 kZx0234Mode[] = {
    {0x0100, 0x0000}, {0xFFFE, 0},      {0x3004, 0x0000}, {0x3006, 0x0000},
    {0x3008, 0x07FF}, {0x300A, 0x05FF}, {0x300C, 0x0866}, {0x300E, 0x0640},
    {0x31AE, 0x0204}, {0x0100, 0x0001}, {kEnd, 0},
};
constexpr reg_16 kZx0290Mode[] = {
    {0x0100, 0x0000}, {0x3004, 0x0000}, {0x3006, 0x0000}, {0x3008, 0x04FF}, {0x300A, 0x02CF},
    {0x300C, 0x0802}, {0x300E, 0x02EE}, {0x31AE, 0x0202}, {0x0100, 0x0001}, {kEnd, 0},
};
constexpr reg_16 kZx0820Mode[] = {
    {0x0100, 0x0000}, {0x3004, 0x0000}, {0x3006, 0x0000}, {0x3008, 0x0EFF}, {0x300A, 0x086F},
    {0x300C, 0x2310}, {0x300E, 0x08CA}, {0x31AE, 0x0204}, {0x0100, 0x0001}, {kEnd, 0},
};
constexpr reg_16 kFamilyStart[16] = {{0x0100, 0x0001}, {kEnd, 0}};
constexpr reg_16 kFamilyStop[16] = {{0x0100, 0x0000}, {kEnd, 0}};

// ZX0477: 8-bit registers behind 16-bit addresses; 1920 x 1080, 10-bit, streaming on.
constexpr reg_16 kZx0477Mode[] = {
    {0x0100, 0x0000}, {0x0340, 0x0465}, {0x0342, 0x0898}, {0x0344, 0x0000}, {0x0346, 0x0000},
    {0x0348, 0x077F}, {0x034A, 0x0437}, {0x0112, 0x0A0A}, {0x0100, 0x0100}, {kEnd, 0},
};
constexpr reg_16 kZx0477Start[16] = {{0x0100, 0x0100}, {kEnd, 0}};
constexpr reg_16 kZx0477Stop[16] = {{0x0100, 0x0000}, {kEnd, 0}};

// Analog and digital gain steps the FixedLine sensors get after each frame.
constexpr reg_16 kGainTable[16] = {{0x3060, 0x000B}, {0x305E, 0x0080}, {kEnd, 0}};

constexpr uint32_t kBayer12 = V4L2_PIX_FMT_SGRBG12;
constexpr uint32_t kBayer10 = V4L2_PIX_FMT_SGRBG10;
constexpr FrameCounter kWordCounter32{0x2000, 4};

std::array<SensorEntry, kSensorTableSize> makeTable()
{
    std::array<SensorEntry, kSensorTableSize> t{};
    // The simulated board's default sensor comes first.
    t[0] = {"ZX0201",
            0x10,
            0x3000,
            0x0C54,
            kZx0201Mode,
            kZx0201Start,
            kZx0201Stop,
            {1920, 1200, 30, 1, 1, 0},
            kBayer12,
            {0x303A, 2},
            ClockKind::None,
            0,
            0};
    t[1] = {"ZX0231",
            0x10,
            0x3000,
            0x0C31,
            kZx0231Mode,
            kFamilyStart,
            kFamilyStop,
            {1920, 1080, 30, 1, 1, 0},
            kBayer12,
            kWordCounter32,
            ClockKind::FixedLine,
            1672,
            0};
    t[2] = {"ZX0234",
            0x10,
            0x3000,
            0x0C34,
            kZx0234Mode,
            kFamilyStart,
            kFamilyStop,
            {2048, 1536, 30, 1, 1, 0},
            kBayer12,
            kWordCounter32,
            ClockKind::InputClockThenLine,
            2150,
            657000000};
    t[3] = {"ZX0290",
            0x10,
            0x3000,
            0x0C90,
            kZx0290Mode,
            kFamilyStart,
            kFamilyStop,
            {1280, 720, 60, 1, 1, 0},
            kBayer12,
            kWordCounter32,
            ClockKind::LineAndPixelClock,
            2050,
            148500000};
    t[4] = {"ZX0820",
            0x10,
            0x3000,
            0x0D20,
            kZx0820Mode,
            kFamilyStart,
            kFamilyStop,
            {3840, 2160, 30, 1, 1, 0},
            kBayer12,
            kWordCounter32,
            ClockKind::LineAndPixelClock,
            8976,
            960000000};
    t[5] = {"ZX0477",
            0x36,
            kByteStyleChipIdRegister,
            0x0477,
            kZx0477Mode,
            kZx0477Start,
            kZx0477Stop,
            {1920, 1080, 30, 1, 1, 0},
            kBayer10,
            {0x0005, 1},
            ClockKind::None,
            0,
            0};
    for (size_t i = 6; i < t.size(); ++i)
        t[i].chipIdRegister = kTableEnd;
    return t;
}

} // namespace

std::array<SensorEntry, kSensorTableSize> &sensorTable()
{
    static std::array<SensorEntry, kSensorTableSize> table = makeTable();
    return table;
}

const reg_16 *twoLaneModeList()
{
    return kTwoLaneMode;
}

const reg_16 *gainControlTable()
{
    return kGainTable;
}

unsigned sampleBits(uint32_t pixelFormat)
{
    switch (pixelFormat) {
    case V4L2_PIX_FMT_SGRBG8:
        return 8;
    case V4L2_PIX_FMT_SGRBG10:
        return 10;
    case V4L2_PIX_FMT_SGRBG16:
        return 16;
    default:
        return 12;
    }
}
