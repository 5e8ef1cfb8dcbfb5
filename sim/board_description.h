// The board description: which devices the simulated board has, read from its description file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace boardsim {

struct BoardDescription {
    std::vector<int> videoNodes{0, 1, 2, 3, 4, 5};
    // Camera link: the sensor and optional link devices on the capture driver's bus.
    uint8_t sensorAddress = 0x10;
    // Sensor-data file giving the sensor's register defaults (relative names are looked up in
    // the board directory); empty = the default board's sensor file.
    std::string sensorData;
    uint32_t width = 1920;
    uint32_t height = 1200;
    uint32_t bitDepth = 12;
    uint16_t frameCounterRegister = 0x303A;
    // Whether the description names the frame counter; without it the sensor-data file's
    // FRAME_COUNT register counts (else frameCounterRegister).
    bool frameCounterGiven = false;
    uint32_t frameRate = 30;
    uint32_t maxBuffers = 8;
    // Capture faults for tests: frames a stream gets before the sensor stops sending, or
    // before the node fails as a lost device does; none = never.
    std::optional<uint32_t> stallAfterFrames;
    std::optional<uint32_t> failAfterFrames;
    std::optional<uint8_t> serializerAddress;
    std::optional<uint8_t> deserializerAddress;
    // Serializer/deserializer pairs of the camera links of video4 and video5, of link
    // generation 2 or 3 (link_chips.h); none = no such chips.
    std::optional<uint32_t> linkGeneration;
    // Capture driver.
    std::array<int32_t, 9> driverVersion{35, 4, 1, 5, 10, 120, 2, 1, 0};
    uint32_t pixelClock = 74250000;
    uint32_t lineLength = 2200;
    uint32_t i2cSpeed = 400000;
    // The board script that sets the sensor input clock fails (for tests of its callers).
    bool clockScriptFails = false;
    // Board peripherals.
    std::vector<int> i2cBuses{8};
    int eepromBus = 8;
    uint8_t eepromAddress = 0x50;
    uint32_t eepromSize = 4096;
    // EEPROM fault for tests: the data byte of this number (from 1) that a process writes, and
    // every one after it, is not acknowledged; none = never.
    std::optional<uint32_t> eepromFailAtByte;
    std::string boardSerial = "QRB2000001";
    std::string moduleSerial = "1421223012345";
    std::string gpioChip = "gpiochip1";
    uint32_t gpioLines = 160;
    std::string gpioLabel = "board-gpio";
};

// Parses the text of a description file. Every problem is appended to errors as
// "line N: ..."; the returned description is only meaningful when errors stays empty.
BoardDescription parseBoardDescription(const std::string &text, std::vector<std::string> &errors);

// The description file of the default board, with a comment per key; its sensor follows the
// sensor-data file sensorData.
std::string defaultBoardDescriptionText(const std::string &sensorData);

} // namespace boardsim
