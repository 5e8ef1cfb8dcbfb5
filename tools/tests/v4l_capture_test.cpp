// The capture tool on the simulated board: discovery, link chips, I/O methods, raw files.
#include <csignal>
#include <thread>

#include <gtest/gtest.h>

#include "capture_checks.h"
#include "sim_board.h"
#include "tool_runner.h"

namespace {

using boardsim::testing::SimBoard;
using namespace tooltest;

constexpr const char *kTool = V4L_CAPTURE_PATH;
constexpr const char *kSmallBoard = "width = 320\nheight = 200\n";
const RawLayout kSmallLayout{320, 200, 640, 12};

ToolResult capture(const SimBoard &board, std::vector<std::string> args)
{
    args.insert(args.begin(), kTool);
    return runTool(args, board.directory());
}

bool contains(const std::string &text, const std::string &needle)
{
    return text.find(needle) != std::string::npos;
}

void expectConsecutive(const std::vector<uint32_t> &numbers, size_t count)
{
    ASSERT_EQ(numbers.size(), count);
    for (size_t i = 1; i < numbers.size(); ++i)
        EXPECT_EQ(numbers[i], numbers[i - 1] + 1) << "frame " << i;
}

// Printed counters follow the frames: rising, and never behind the frame they belong to.
void expectCountersFollowFrames(const std::string &out, size_t frames)
{
    const auto counts = printedFrameCounts(out);
    ASSERT_EQ(counts.size(), frames) << out;
    for (size_t i = 0; i < counts.size(); ++i) {
        EXPECT_GE(counts[i], i);
        EXPECT_LT(counts[i], i + 100u);
        if (i > 0) {
            EXPECT_GT(counts[i], counts[i - 1]);
        }
    }
}

TEST(CaptureToolUsage, HelpGoesToStandardOutputAndSucceeds)
{
    SimBoard board;
    const auto r = capture(board, {"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, "Version 1.3")) << r.out;
    EXPECT_TRUE(contains(r.out, "-d | --device name   Video device name [/dev/video0]"));
    EXPECT_TRUE(contains(r.out, "-c | --count number  Number of frames to grab [1]"));
    EXPECT_TRUE(r.err.empty());
}

TEST(CaptureToolUsage, ValuesOutsideTheirChoicesPrintTheUsageOnTheErrorStream)
{
    SimBoard board;
    for (const std::vector<std::string> &args : {std::vector<std::string>{"-e", "3"},
                                                 {"--stats", "8"},
                                                 {"-g", "4"},
                                                 {"--bogus"},
                                                 {"-c", "2", "stray"}}) {
        const auto r = capture(board, args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_TRUE(contains(r.err, "Version 1.3")) << args[0];
        EXPECT_TRUE(r.out.empty()) << args[0];
    }
    EXPECT_TRUE(board.readFile("bus.log").empty()) << "the device was touched";
}

TEST(CaptureToolUsage, NumberOutOfRangeIsNamedInTheError)
{
    SimBoard board;
    const auto r = capture(board, {"-c", "99999999999999999999"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "99999999999999999999 error 34, Numerical result out of range"))
        << r.err;
}

TEST(CaptureToolDevice, MissingOrWrongDevicesAndOutputsFailBeforeAnyTraffic)
{
    SimBoard board;
    auto r = capture(board, {"-d", "/dev/video9"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot identify '/dev/video9': 2, No such file or directory\n");
    const std::string plain = board.path("plain");
    writeWholeFile(plain, "x");
    r = capture(board, {"-d", plain});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, plain + " is no devicen\n");
    r = capture(board, {"-o", board.path("missing/frames.raw")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Cannot open '" + board.path("missing/frames.raw") + "': 2"));
    EXPECT_TRUE(board.readFile("bus.log").empty());
}

TEST(CaptureToolRun, DefaultRunFindsTheBoardSensorAndGrabsOneFrame)
{
    SimBoard board;
    const auto r = capture(board, {});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Version :: jetpack_35_4_1_kernel_5_10_120_release_2_1_0\n"));
    EXPECT_TRUE(contains(r.out, "Default I2C bus rate  :: 400000\n"));
    EXPECT_TRUE(contains(r.out, "I2C bus rate changed by user app :: 1000000\n"));
    EXPECT_TRUE(contains(r.out, "ZX0201 sensor detected\n"));
    EXPECT_TRUE(contains(r.out, "Captured Frame - 0 of 4608000 bytes captured.\n\n"));
    EXPECT_FALSE(contains(r.out, "Captured Frame - 1 "));
    EXPECT_TRUE(contains(r.err, "i2c_read 1 byte of  1 byte requested byte at 0x3000 :: 0xc\n"));
    EXPECT_TRUE(contains(r.err, "[0x3000]=0xC, [0x3001]=0x54, "));
    const auto state = board.driverState();
    EXPECT_EQ(state.at("i2c_speed"), "1000000");
    // The mode list reached the sensor and the frame format the driver.
    const auto log = board.readFile("bus.log");
    EXPECT_TRUE(contains(log, "S_REGISTER 0x0010 0x3104 0x077F"));
    EXPECT_TRUE(contains(log, "S_REGISTER 0x0010 0x3010 0x001C"));
    EXPECT_TRUE(contains(state.at("table.0xFFFD"), "0x3010:0x001C")) << state.at("table.0xFFFD");
    EXPECT_TRUE(contains(state.at("table.0xFFFC"), "0x3010:0x0018"));
    EXPECT_EQ(state.at("frame_format"), "1920 1200 30 1 1 0");
}

TEST(CaptureToolRun, BoardWithoutAKnownSensorStops)
{
    SimBoard board("sensor_address = 0x20\n");
    const auto r = capture(board, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "I2C device is not connected to the bus\n"));
    EXPECT_TRUE(contains(r.err, "Sensor not detected\n"));
    EXPECT_TRUE(contains(r.out, "I2C changed from 0x10 to 0x36\n")) << r.out;
    EXPECT_FALSE(contains(r.out, "sensor detected"));
}

// A sensor of the table on a board of its own: a sensor-data file with its chip id and counter.
struct TableSensor {
    const char *name;
    uint8_t address;
    uint16_t chipIdRegister;
    uint16_t chipId;
    bool byteRegisters;
};

void PrintTo(const TableSensor &s, std::ostream *os)
{
    *os << s.name;
}

std::string sensorFile(const TableSensor &s)
{
    char text[1024];
    const char *counter =
        s.byteRegisters ? "FRAME_COUNT = {0x0005, REG, 1, 0xFF, RO, 0, \"Frames\" \"\"}"
                        : "FRAME_COUNT = {0x2000, REG, 2, 0xFFFFFFFF, RO, 0, \"Frames\" \"\"}";
    std::snprintf(text, sizeof text,
                  "[CHIP_DESCRIPTOR]\nSENSORNAME = \"%s\"\nWIDTH = 320\nHEIGHT = 200\n[END]\n"
                  "[OPTIONAL]\nSDAT_VERSION = 2\nREG_ADDR_SIZE = 16\nREG_DATA_SIZE = %d\n[END]\n"
                  "[REGISTERS]\nCHIP_VERSION_REG = {0x%04X, REG, %d, 0xFFFF, RO, 0x%04X, "
                  "\"Chip version\" \"\"}\n%s\n[END]\n",
                  s.name, s.byteRegisters ? 8 : 16, s.chipIdRegister, s.byteRegisters ? 2 : 1,
                  s.chipId, counter);
    return text;
}

class CaptureToolDiscovery : public ::testing::TestWithParam<TableSensor>
{
};

TEST_P(CaptureToolDiscovery, FindsTheSensorTheBoardCarriesAndReadsItsFrameCounter)
{
    const TableSensor &s = GetParam();
    char conf[256];
    std::snprintf(conf, sizeof conf,
                  "sensor_data = sensor.sdat\nsensor_address = 0x%02X\nwidth = 320\n"
                  "height = 200\nbit_depth = %d\n",
                  s.address, s.byteRegisters ? 10 : 12);
    SimBoard board(conf);
    board.writeFile("sensor.sdat", sensorFile(s));
    const auto r = capture(board, {"-c", "4", "-o", board.path("frames.raw")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, std::string(s.name) + " sensor detected\n")) << r.out;
    expectCountersFollowFrames(r.out, 4);
    std::string problem;
    const auto numbers = frameNumbers(board.readFile("frames.raw"),
                                      {320, 200, 640, s.byteRegisters ? 10u : 12u}, problem);
    EXPECT_EQ(problem, "");
    expectConsecutive(numbers, 4);
    EXPECT_TRUE(
        contains(board.readFile("frames_info.txt"), s.byteRegisters ? "BAYER-10" : "BAYER-12"));
}

INSTANTIATE_TEST_SUITE_P(EveryTableSensor, CaptureToolDiscovery,
                         ::testing::Values(TableSensor{"ZX0231", 0x10, 0x3000, 0x0C31, false},
                                           TableSensor{"ZX0234", 0x10, 0x3000, 0x0C34, false},
                                           TableSensor{"ZX0290", 0x10, 0x3000, 0x0C90, false},
                                           TableSensor{"ZX0820", 0x10, 0x3000, 0x0D20, false},
                                           TableSensor{"ZX0477", 0x36, 0x0016, 0x0477, true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(CaptureToolClocks, FixedLineSensorGetsItsClocksAndTheGainTableAfterEachFrameButTheLast)
{
    SimBoard board("sensor_data = sensor.sdat\nwidth = 320\nheight = 200\n");
    board.writeFile("sensor.sdat", sensorFile({"ZX0231", 0x10, 0x3000, 0x0C31, false}));
    const auto r = capture(board, {"-c", "3"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto state = board.driverState();
    EXPECT_EQ(state.at("image"), "0 0 1672 0 0");
    EXPECT_EQ(state.at("pixel_clock"), "270000000");
    EXPECT_EQ(state.at("control.0x9A2009"), "2");
    EXPECT_TRUE(contains(state.at("table.0xFF05"), "0x3060:0x000B"));
}

TEST(CaptureToolLinks, SerializerPairsOfBothGenerationsAreCheckedAndInitialised)
{
    SimBoard board("link_chips = 2\nwidth = 320\nheight = 200\n");
    auto r = capture(board, {"-d", "/dev/video5"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Discovered serializer :: MAX9295\n"));
    EXPECT_TRUE(contains(r.out, "Discovered deserializer :: MAX9296\n"));
    auto log = board.readFile("bus.log");
    EXPECT_TRUE(contains(log, "S_PROPERTY 0xFFF3 0x0040"));
    EXPECT_TRUE(contains(log, "S_PROPERTY 0xFFF4 0x0048"));
    EXPECT_TRUE(contains(log, "S_BUFFER 0x0040 size=2 0x0331 33")) << log;
    EXPECT_TRUE(contains(log, "S_BUFFER 0x0048 size=2 0x0010 21"));

    SimBoard gen3("link_chips = 3\nwidth = 320\nheight = 200\n");
    r = capture(gen3, {"-d", "/dev/video4", "-g", "3"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Discovered serializer :: MAX96793\n"));
    EXPECT_TRUE(contains(r.out, "Discovered deserializer :: MAX96792\n"));
    log = gen3.readFile("bus.log");
    EXPECT_TRUE(contains(log, "S_BUFFER 0x0042 size=2 0x0002 43")) << log;
    EXPECT_TRUE(contains(log, "S_BUFFER 0x004A size=2 0x0010 31"));
}

TEST(CaptureToolLinks, MissingOrOtherSerializerEndsTheRunBeforeTheSensorIsProgrammed)
{
    SimBoard none("width = 320\nheight = 200\n");
    auto r = capture(none, {"-d", "/dev/video5"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Desired serializer not found MAX9295::addr[0xD] = 0x0\n"))
        << r.err;
    EXPECT_TRUE(none.registerWrites().empty());

    SimBoard other("link_chips = 3\nwidth = 320\nheight = 200\n");
    r = capture(other, {"-d", "/dev/video5", "-g", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Desired serializer not found MAX9295::addr[0xD] = 0xB7\n"));
    EXPECT_TRUE(other.registerWrites().empty());
    EXPECT_FALSE(contains(other.readFile("bus.log"), "S_BUFFER 0x0040"));
}

class CaptureToolIo : public ::testing::TestWithParam<const char *>
{
};

TEST_P(CaptureToolIo, RawFileHoldsWholeTestPatternFramesAndItsDescription)
{
    SimBoard board(kSmallBoard);
    const auto r = capture(board, {GetParam(), "-c", "5", "-o", board.path("frames.raw")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string raw = board.readFile("frames.raw");
    EXPECT_EQ(raw.size(), 5 * kSmallLayout.frameBytes());
    std::string problem;
    expectConsecutive(frameNumbers(raw, kSmallLayout, problem), 5);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(board.readFile("frames_info.txt"),
              "//\tWidth          = 320\n//\tHeight         = 200\n"
              "//\tImage Format   = Bayer 12\n//\tFrames         = 5\n"
              "//\tFrame rate     = 30 frames per second\n\n"
              "[Raw Image Format]\nIMAGE= 320, 200, BAYER-12\n");
    EXPECT_TRUE(contains(r.out, "Captured Frame - 4 of 128000 bytes captured."));
}

INSTANTIATE_TEST_SUITE_P(EveryMethod, CaptureToolIo, ::testing::Values("-m", "-r", "-u"),
                         [](const auto &info) {
                             return std::string(info.param[1] == 'm'   ? "Mmap"
                                                : info.param[1] == 'r' ? "Read"
                                                                       : "UserPointer");
                         });

TEST(CaptureToolRaw, HundredFramesKeepTheFrameRateWithoutDroppingOne)
{
    SimBoard board(kSmallBoard);
    const auto r = capture(board, {"-c", "100", "-o", board.path("run.raw")});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string problem;
    const auto numbers = frameNumbers(board.readFile("run.raw"), kSmallLayout, problem);
    EXPECT_EQ(problem, "");
    expectConsecutive(numbers, 100);
    EXPECT_TRUE(contains(board.readFile("run_info.txt"), "//\tFrames         = 100\n"));
}

TEST(CaptureToolRaw, FormatFromTheTableWithEmbeddedRows)
{
    SimBoard board;
    const auto r =
        capture(board, {"-f", "-s", "-e", "2", "-t", "4", "-c", "2", "-o", board.path("meta.raw")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Embedded meta data  of 2 rows is enable\n"));
    EXPECT_TRUE(contains(r.out, "Embedded stats data of 4 rows is enable\n"));
    const RawLayout layout{1920, 1206, 3840, 12};
    const std::string raw = board.readFile("meta.raw");
    EXPECT_EQ(raw.size(), 2 * layout.frameBytes());
    std::string problem;
    expectConsecutive(frameNumbers(raw, layout, problem), 2);
    EXPECT_EQ(problem, "");
    EXPECT_TRUE(contains(board.readFile("meta_info.txt"), "IMAGE= 1920, 1206, BAYER-12\n"));
    const auto state = board.driverState();
    EXPECT_EQ(state.at("image"), "0 0 0 0 6");
    EXPECT_EQ(state.at("frame_format"), "1920 1206 30 1 1 0");
    const auto log = board.readFile("bus.log");
    EXPECT_TRUE(contains(log, "S_REGISTER 0x0010 0x3040 0x0001")) << "stats 4, meta 2";
    EXPECT_TRUE(contains(log, "S_REGISTER 0x0010 0x3064 0x0180"));
    EXPECT_TRUE(contains(log, "S_REGISTER 0x0010 0x3342 0x2C2C"));
    // A width that is a multiple of 32 keeps the driver's stride.
    EXPECT_TRUE(contains(r.err, "apply preferred stride[0x9a206e] = 0 - initiated"));
}

TEST(CaptureToolRaw, LostDeviceEndsTheRunWithTheFramesSoFarDescribed)
{
    // Frames far apart, so that each good frame is written before the node fails.
    SimBoard board(std::string(kSmallBoard) + "frame_rate = 5\nfail_after_frames = 3\n");
    writeWholeFile(board.path("lost_info.txt"), "stale");
    const auto r = capture(board, {"-c", "10", "-o", board.path("lost.raw")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "VIDIOC_DQBUF error 5, Input/output error\n")) << r.err;
    const std::string raw = board.readFile("lost.raw");
    EXPECT_EQ(raw.size(), 3 * kSmallLayout.frameBytes());
    EXPECT_TRUE(contains(board.readFile("lost_info.txt"), "//\tFrames         = 3\n"));
    std::string problem;
    expectConsecutive(frameNumbers(raw, kSmallLayout, problem), 3);
}

TEST(CaptureToolRaw, InterruptLeavesWholeFramesAndAMatchingDescription)
{
    SimBoard board(kSmallBoard);
    ToolProcess tool({kTool, "-c", "100000", "-o", board.path("cut.raw")}, "", board.directory());
    // Bounded wait for the capture to be under way.
    for (int i = 0; i < 1500 && !contains(tool.outputSoFar(), "Captured Frame - 10 "); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(::kill(tool.pid(), SIGINT), 0);
    const auto r = tool.wait();
    EXPECT_EQ(r.status, 130) << r.err;
    const std::string raw = board.readFile("cut.raw");
    ASSERT_EQ(raw.size() % kSmallLayout.frameBytes(), 0u);
    const size_t frames = raw.size() / kSmallLayout.frameBytes();
    EXPECT_GE(frames, 11u);
    EXPECT_TRUE(contains(r.err, "Capture interrupted after " + std::to_string(frames) + " frames"));
    EXPECT_TRUE(contains(board.readFile("cut_info.txt"),
                         "//\tFrames         = " + std::to_string(frames) + "\n"));
    std::string problem;
    expectConsecutive(frameNumbers(raw, kSmallLayout, problem), frames);
    EXPECT_EQ(problem, "");
}

} // namespace
