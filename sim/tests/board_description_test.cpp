// Reading board description files: defaults, numbers, lists and every kind of mistake.
#include "board_description.h"

#include <gtest/gtest.h>

namespace {

using boardsim::BoardDescription;
using boardsim::parseBoardDescription;

BoardDescription parse(const std::string &text, std::vector<std::string> &errors)
{
    return parseBoardDescription(text, errors);
}

TEST(BoardDescription, DefaultTextDescribesTheDefaultBoard)
{
    std::vector<std::string> errors;
    const auto d = parse(boardsim::defaultBoardDescriptionText("/opt/sensor data/a.sdat"), errors);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(d.videoNodes, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(d.sensorAddress, 0x10);
    EXPECT_EQ(d.sensorData, "/opt/sensor data/a.sdat");
    EXPECT_EQ(d.frameCounterRegister, 0x303A);
    EXPECT_EQ(d.width, 1920u);
    EXPECT_EQ(d.height, 1200u);
    EXPECT_EQ(d.bitDepth, 12u);
    EXPECT_EQ(d.eepromBus, 8);
    EXPECT_EQ(d.eepromAddress, 0x50);
    EXPECT_EQ(d.gpioChip, "gpiochip1");
    EXPECT_EQ(d.gpioLines, 160u);
    EXPECT_FALSE(d.serializerAddress.has_value());
    EXPECT_FALSE(d.stallAfterFrames.has_value());
    EXPECT_FALSE(d.failAfterFrames.has_value());
    EXPECT_FALSE(d.linkGeneration.has_value());
    EXPECT_FALSE(d.eepromFailAtByte.has_value());
}

TEST(BoardDescription, LinkChipsTakeAGenerationAndEepromFaultsAByteNumber)
{
    std::vector<std::string> errors;
    auto d = parse("link_chips = 3\neeprom_fail_at_byte = 0x14\n", errors);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(d.linkGeneration, 3u);
    EXPECT_EQ(d.eepromFailAtByte, 20u);
    d = parse("link_chips = 1\neeprom_fail_at_byte = 0\nlink_chips = none\n", errors);
    const std::vector<std::string> expected = {
        "line 1: link_chips: expected a link generation (2 or 3) or \"none\"",
        "line 2: eeprom_fail_at_byte: expected a byte number or \"never\""};
    EXPECT_EQ(errors, expected);
    EXPECT_FALSE(d.linkGeneration.has_value());
}

TEST(BoardDescription, CaptureFaultsTakeAFrameCountOrNever)
{
    std::vector<std::string> errors;
    auto d = parse("stall_after_frames = 0\nfail_after_frames = 0x10\n", errors);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(d.stallAfterFrames, 0u);
    EXPECT_EQ(d.failAfterFrames, 16u);
    d = parse("stall_after_frames = 3\nstall_after_frames = never\nfail_after_frames = soon\n",
              errors);
    EXPECT_FALSE(d.stallAfterFrames.has_value());
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "line 3: fail_after_frames: expected a frame count or \"never\""}));
}

TEST(BoardDescription, NumbersTakeAnyCBaseAndCommentsAreIgnored)
{
    std::vector<std::string> errors;
    const auto d =
        parse("# a board\n  sensor_address = 0x36   # hex\nwidth=0100\n"
              "height = 720\nserializer_address = 64\n\ndriver_version = 1 2 3 4 5 6 7 8 9\n",
              errors);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(d.sensorAddress, 0x36);
    EXPECT_EQ(d.width, 64u); // octal
    EXPECT_EQ(d.height, 720u);
    EXPECT_EQ(d.serializerAddress, 64);
    EXPECT_EQ(d.driverVersion[8], 9);
}

TEST(BoardDescription, EveryMistakeIsReportedWithItsLine)
{
    std::vector<std::string> errors;
    parse("colour = blue\nwidth 12\nbit_depth = 20\nsensor_address = 0x80\n"
          "video_nodes = 0 x\ndriver_version = 1 2\ngpio_chip = ../etc\nboard_serial =\n"
          "frame_rate = -5\neeprom_size = 99999999999999999999\n",
          errors);
    const std::vector<std::string> expected = {
        "line 1: unknown key \"colour\"",
        "line 2: expected \"key = value\"",
        "line 3: bit_depth: expected a number from 8 to 16",
        "line 4: sensor_address: expected a number from 1 to 127",
        "line 5: video_nodes: expected numbers from 0 to 5",
        "line 6: driver_version: expected nine numbers",
        "line 7: gpio_chip: expected gpiochipN with N from 0 to 255",
        "line 8: board_serial: expected a text of 1 to 99 characters",
        "line 9: frame_rate: expected a number from 1 to 1000",
        "line 10: eeprom_size: expected a number from 256 to 65536",
    };
    ASSERT_GE(errors.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(errors[i], expected[i]);
}

TEST(BoardDescription, SensorDataIsKeptAsWrittenAndMayNotBeEmpty)
{
    std::vector<std::string> errors;
    EXPECT_EQ(parse("sensor_data = sensors/a.sdat\n", errors).sensorData, "sensors/a.sdat");
    EXPECT_TRUE(errors.empty());
    parse("sensor_data =\nchip_version = 0x0C54\n", errors);
    const std::vector<std::string> expected = {
        "line 1: sensor_data: expected a text of 1 to 4095 characters",
        "line 2: unknown key \"chip_version\""};
    EXPECT_EQ(errors, expected);
}

} // namespace
