// The sensors the capture tool knows: identification, mode registers, driver tables, formats.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "driver_protocol.h"

// Mode register lists: (register, value) pairs written in order; kModeSleep sleeps value
// seconds, kModeEnd ends the list.
constexpr uint16_t kModeSleep = 0xFFFE;
constexpr uint16_t kModeEnd = 0xFFFF;
constexpr size_t kMaxModeEntries = 6144;

// The chip-id register of the sensors of the other register style (8-bit registers behind
// 16-bit addresses, a one-byte frame counter).
constexpr uint16_t kByteStyleChipIdRegister = 0x0016;
// The chip-id register value that ends the table.
constexpr uint16_t kTableEnd = 0xFFFF;
constexpr size_t kSensorTableSize = 255;
constexpr uint8_t kNoSensor = 255;

// How a sensor's clocks are set up (clock settings of the configuration).
enum class ClockKind {
    None,
    // Image 0xF002 = 1672 and a pixel clock that depends on the video node; gain table per frame.
    FixedLine,
    // Signal 0xF002 = 27000, then line length and pixel clock.
    InputClockThenLine,
    // Line length and pixel clock only.
    LineAndPixelClock,
};

// Where the sensor keeps its frame counter and how wide it is (1, 2 or 4 bytes; 4 bytes are
// two 16-bit registers, high half first).
struct FrameCounter {
    uint16_t address;
    unsigned bytes;
};

struct SensorEntry {
    char name[8];
    uint16_t i2cAddress; // 7-bit
    uint16_t chipIdRegister;
    uint16_t chipId;
    const reg_16 *modeList;
    const reg_16 *startTable; // driver table 0xFFFD
    const reg_16 *stopTable;  // driver table 0xFFFC
    uint16_t frameFormat[6];  // width, height, frame rate, then 0xF003 to 0xF005
    uint32_t pixelFormat;
    FrameCounter frameCounter;
    ClockKind clock;
    uint32_t lineLength; // for the line-length clock kinds
    uint32_t pixelClock;

    uint16_t width() const { return frameFormat[0]; }
    uint16_t height() const { return frameFormat[1]; }
    uint16_t frameRate() const { return frameFormat[2]; }
    bool byteStyle() const { return chipIdRegister == kByteStyleChipIdRegister; }
};

// The table, searched in index order up to the first entry whose chip-id register is kTableEnd.
// Mutable: discovery adds the embedded-data rows to the detected sensor's height.
std::array<SensorEntry, kSensorTableSize> &sensorTable();

// The two-lane full-resolution 30 frames-per-second list used on /dev/video1.
const reg_16 *twoLaneModeList();
// The gain table applied after each frame to the sensors of ClockKind::FixedLine.
const reg_16 *gainControlTable();

// Significant bits of the samples of a Bayer pixel format (12 for formats it does not know).
unsigned sampleBits(uint32_t pixelFormat);
