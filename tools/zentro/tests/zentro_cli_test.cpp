// The zentro program on null cameras and recordings: texts, JSON, exit statuses and files.
#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

#include "cli_fixture.h"
#include "test_images.h"

namespace clitest {
namespace {

using tooltest::ToolResult;

constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kNoCamera = 3;

class ZentroCli : public ZentroTest
{
protected:
    std::string zx0201() const { return sample("zx0201.sdat"); }
    std::string zx0016() const { return sample("zx0016.xsdat"); }
    ToolResult onNull(const std::string &file, std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--null", file});
        return zentro(args);
    }
};

TEST_F(ZentroCli, HelpListsEveryCommandAndEachCommandHasItsOwnHelp)
{
    const ToolResult general = zentro({"--help"});
    EXPECT_EQ(general.status, 0);
    const std::vector<std::string> commands = {"info",     "regs", "get",     "set",
                                               "preset",   "mode", "grab",    "upload",
                                               "download", "run",  "versions"};
    for (const std::string &command : commands) {
        EXPECT_NE(general.out.find("  " + command + " "), std::string::npos) << command;
        const ToolResult own = zentro({command, "--help"});
        EXPECT_EQ(own.status, 0) << command;
        EXPECT_NE(own.out.find("Usage: zentro [CAMERA] [--json] " + command), std::string::npos);
        EXPECT_NE(own.out.find("2  usage error"), std::string::npos) << command;
        EXPECT_NE(own.out.find("Example: zentro"), std::string::npos) << command;
    }
    EXPECT_NE(general.out.find("3  no camera"), std::string::npos);
    const ToolResult version = zentro({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("zentro ", 0), 0u);
}

TEST_F(ZentroCli, BadCommandLinesAreUsageErrors)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"--nonsense", "info"},
        {"--null"},
        {"--null", zx0201(), "--recording", "x.raw", "info"},
        {"--null", zx0201(), "get"},
        {"--null", zx0201(), "get", "A", "B"},
        {"--null", zx0201(), "regs", "--bogus"},
        {"--null", zx0201(), "set", "COARSE_INTEGRATION_TIME"},
        {"--null", zx0201(), "grab", "-n"},
        {"--null", zx0201(), "grab", "-n", "0"},
        {"--null", zx0201(), "grab", "-n", "ten"},
        {"--null", zx0201(), "grab", "--format", "bmp"},
        {"--null", zx0201(), "mode"},
        {"--null", zx0201(), "mode", "no_such_mode"},
        {"--null", zx0201(), "mode", "use_reg_cache", "-1"},
        {"--null", zx0201(), "upload", "a", "b"},
    };
    for (const auto &args : bad) {
        const ToolResult result = zentro(args);
        std::string line;
        for (const auto &a : args)
            line += a + " ";
        EXPECT_EQ(result.status, kUsage) << line << result.err;
        EXPECT_EQ(result.err.rfind("zentro: ", 0), 0u) << line << result.err;
        EXPECT_EQ(result.out, "") << line;
    }
}

TEST_F(ZentroCli, WithoutACameraOptionZeBoardIsNeeded)
{
    const ToolResult result = zentro({"info"});
    EXPECT_EQ(result.status, kUsage);
    EXPECT_NE(result.err.find("--board ADDRESS"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("ZE_BOARD"), std::string::npos) << result.err;
}

TEST_F(ZentroCli, CamerasThatCannotOpenSayWhyWithTheLibrarysMessage)
{
    const ToolResult missing = onNull(path("missing.sdat"), {"info"});
    EXPECT_EQ(missing.status, kNoCamera);
    EXPECT_NE(missing.err.find("File does not exist"), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("missing.sdat"), std::string::npos) << missing.err;

    tooltest::writeWholeFile(path("lonely.raw"), std::string(64, 'x'));
    const ToolResult noInfo = zentro({"--recording", path("lonely.raw"), "info"});
    EXPECT_EQ(noInfo.status, kNoCamera);
    EXPECT_NE(noInfo.err.find("cannot open the recording"), std::string::npos) << noInfo.err;

    // No plug-in where the client looks for one: no camera, and no traffic was attempted.
    const ToolResult board = zentro({"--board", "127.0.0.1:9", "info"}, {"ZE_PLUGIN_DIR=" + dir_});
    EXPECT_NE(board.status, 0);
    EXPECT_NE(board.status, kUsage);
}

TEST_F(ZentroCli, InfoDescribesTheSensorInTextAndJson)
{
    const ToolResult text = onNull(zx0201(), {"info"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("Sensor        ZX0201\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Image type    Bayer 12\n"), std::string::npos);
    EXPECT_NE(text.out.find("1920 x 1200"), std::string::npos);
    EXPECT_NE(text.out.find("Null device, no driver"), std::string::npos);

    const QJsonObject info = zentroJson({"--null", zx0201(), "info"});
    const QJsonObject sensor = info["sensor"].toObject();
    EXPECT_EQ(sensor["name"].toString(), "ZX0201");
    EXPECT_EQ(sensor["partNumber"].toString(), "ZX0201");
    EXPECT_EQ(sensor["imageWidth"].toInt(), 1920);
    EXPECT_EQ(sensor["imageHeight"].toInt(), 1200);
    EXPECT_EQ(sensor["bitsPerPixel"].toInt(), 12);
    EXPECT_EQ(sensor["imageBytes"].toInt(), 1920 * 1200 * 2);
    EXPECT_EQ(sensor["imageType"].toString(), "Bayer 12");
    EXPECT_TRUE(sensor["sensorDataFile"].toString().endsWith("zx0201.sdat"));
    EXPECT_EQ(info["camera"].toObject()["transport"].toString(), "NUL");
    EXPECT_EQ(info["modes"].toObject()["ZE_BITS_PER_CLOCK"].toInt(), 12);
}

TEST_F(ZentroCli, RegsListsMatchingRegistersWithValuesAndBitfields)
{
    const ToolResult text = onNull(zx0201(), {"regs", "revision*"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("REVISION_NUMBER"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("18 (0x12)"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find(".SILICON_REV"), std::string::npos);
    EXPECT_EQ(text.out.find("CHIP_VERSION_REG"), std::string::npos);

    const QJsonObject all = zentroJson({"--null", zx0201(), "regs"});
    const QJsonArray regs = all["registers"].toArray();
    EXPECT_EQ(all["count"].toInt(), regs.size());
    EXPECT_GT(regs.size(), 40);
    bool sawRevision = false;
    for (const auto &entry : regs) {
        const QJsonObject reg = entry.toObject();
        if (reg["name"].toString() != "REVISION_NUMBER")
            continue;
        sawRevision = true;
        EXPECT_EQ(reg["address"].toInt(), 0x3002);
        EXPECT_EQ(reg["value"].toInt(), 0x12);
        EXPECT_EQ(reg["access"].toString(), "RO");
        const QJsonArray fields = reg["bitfields"].toArray();
        ASSERT_EQ(fields.size(), 2);
        EXPECT_EQ(fields[0].toObject()["name"].toString(), "SILICON_REV");
        EXPECT_EQ(fields[0].toObject()["value"].toInt(), 1);
        EXPECT_EQ(fields[1].toObject()["value"].toInt(), 2);
    }
    EXPECT_TRUE(sawRevision);

    const ToolResult none = onNull(zx0201(), {"regs", "NO_SUCH_*"});
    EXPECT_EQ(none.status, kFailed);
    EXPECT_NE(none.err.find("no register matches NO_SUCH_*"), std::string::npos);
}

TEST_F(ZentroCli, GetAndSetUseTheDataTypeOfTheRegister)
{
    const ToolResult get = onNull(zx0201(), {"get", "revision_number.silicon_rev"});
    ASSERT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(get.out, "REVISION_NUMBER.SILICON_REV = 1 (0x01)\n");

    const ToolResult hex = onNull(zx0201(), {"set", "COARSE_INTEGRATION_TIME=0x300"});
    ASSERT_EQ(hex.status, 0) << hex.err;
    EXPECT_EQ(hex.out, "COARSE_INTEGRATION_TIME now = 768 (0x0300)\n");

    // A bitfield is written into its register, the other bits kept.
    const QJsonObject field =
        zentroJson({"--null", zx0201(), "set", "RESET_MODE_CTRL.STREAM_ON=1"});
    EXPECT_EQ(field["register"].toString(), "RESET_MODE_CTRL");
    EXPECT_EQ(field["bitfield"].toString(), "STREAM_ON");
    EXPECT_EQ(field["value"].toInt(), 1);

    // Fixed point by its number, within the range of the sensor-data file.
    const QJsonObject gain = zentroJson({"--null", zx0016(), "set", "DIGITAL_GAIN=2.5"});
    EXPECT_EQ(gain["value"].toInt(), 0x140);
    EXPECT_EQ(gain["text"].toString(), "2.500");
    const QJsonObject matrix = zentroJson({"--null", zx0016(), "set", "CCM_RR=-1.5"});
    EXPECT_EQ(matrix["value"].toInt(), 0x680);
    EXPECT_DOUBLE_EQ(matrix["number"].toDouble(), -1.5);
}

TEST_F(ZentroCli, ValuesTheRegisterCannotHoldAreRefused)
{
    struct Case {
        std::string file;
        std::string assignment;
        std::string why;
    };
    const std::vector<Case> cases = {
        {zx0201(), "COARSE_INTEGRATION_TIME=70000", "out of range (unsigned, 0 to 65535)"},
        {zx0201(), "COARSE_INTEGRATION_TIME=0x10000", "wider than"},
        {zx0201(), "COARSE_INTEGRATION_TIME=-1", "unsigned"},
        {zx0201(), "COARSE_INTEGRATION_TIME=12.5", "not a whole number"},
        {zx0201(), "COARSE_INTEGRATION_TIME=ten", "not a whole number"},
        {zx0201(), "COARSE_INTEGRATION_TIME=", "no value given"},
        {zx0201(), "RESET_MODE_CTRL.SYNC_MODE=4", "out of range (unsigned, 0 to 3)"},
        {zx0016(), "DIGITAL_GAIN=0.5", "outside the range 1.000 to 7.992"},
        {zx0016(), "CCM_RR=9", "out of range (fixed8, -4 to 3.99609375)"},
        {zx0016(), "DIGITAL_GAIN=1e999", "not a number"},
    };
    for (const Case &c : cases) {
        const ToolResult result = onNull(c.file, {"set", c.assignment});
        EXPECT_EQ(result.status, kUsage) << c.assignment;
        EXPECT_NE(result.err.find(c.why), std::string::npos) << c.assignment << ": " << result.err;
        EXPECT_EQ(result.out, "");
    }
    const ToolResult readOnly = onNull(zx0201(), {"set", "CHIP_VERSION_REG=1"});
    EXPECT_EQ(readOnly.status, kFailed);
    EXPECT_NE(readOnly.err.find("CHIP_VERSION_REG is read-only"), std::string::npos);
    const ToolResult unknown = onNull(zx0201(), {"get", "NO_SUCH_REG"});
    EXPECT_EQ(unknown.status, kUsage);
    EXPECT_NE(unknown.err.find("unknown register NO_SUCH_REG"), std::string::npos);
    const ToolResult noField = onNull(zx0201(), {"get", "REVISION_NUMBER.NOPE"});
    EXPECT_EQ(noField.status, kUsage);
    EXPECT_NE(noField.err.find("register REVISION_NUMBER has no bitfield NOPE"), std::string::npos);
}

TEST_F(ZentroCli, JsonErrorsAreOneDocumentToo)
{
    const QJsonObject error = zentroJson({"--null", zx0201(), "get", "NO_SUCH_REG"}, kUsage);
    EXPECT_EQ(error["exitStatus"].toInt(), kUsage);
    EXPECT_EQ(error["error"].toString(), "unknown register NO_SUCH_REG");
}

TEST_F(ZentroCli, PresetListsSectionsWithoutTouchingTheCameraAndRunsOne)
{
    const std::string file = preset("zx0201.ini");
    // Listing needs no camera at all.
    const ToolResult list = zentro({"preset", file});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("Tavo Initialization  (default)\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("1080p 30fps\n"), std::string::npos);
    EXPECT_EQ(list.out.find("Hidden:"), std::string::npos);

    const QJsonObject sections = zentroJson({"preset", file});
    const QJsonArray all = sections["sections"].toArray();
    ASSERT_FALSE(all.isEmpty());
    EXPECT_EQ(all[0].toObject()["name"].toString(), "Tavo Initialization");
    bool sawHidden = false;
    for (const auto &s : all)
        sawHidden |= s.toObject()["hidden"].toBool();
    EXPECT_TRUE(sawHidden);

    const ToolResult run = onNull(zx0201(), {"preset", file, "1080P 30FPS"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Ran \"1080p 30fps\""), std::string::npos) << run.out;

    const ToolResult missing = onNull(zx0201(), {"preset", file, "No Such Section"});
    EXPECT_EQ(missing.status, kUsage);
    EXPECT_NE(missing.err.find("has no section \"No Such Section\""), std::string::npos);
    const ToolResult noFile = onNull(zx0201(), {"preset", path("none.ini"), "x"});
    EXPECT_EQ(noFile.status, kUsage);
    EXPECT_NE(noFile.err.find("cannot read the preset file"), std::string::npos);
}

TEST_F(ZentroCli, ModesAreReadSetAndListedByName)
{
    const ToolResult set = onNull(zx0201(), {"mode", "use_reg_cache", "1"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "ZE_USE_REG_CACHE = 1\n");
    const QJsonObject read = zentroJson({"--null", zx0201(), "mode", "ZE_BITS_PER_CLOCK"});
    EXPECT_EQ(read["mode"].toString(), "ZE_BITS_PER_CLOCK");
    EXPECT_EQ(read["number"].toInt(), 33);
    EXPECT_EQ(read["value"].toInt(), 12);

    const QJsonObject list = zentroJson({"--null", zx0201(), "mode", "--list"});
    const QJsonArray modes = list["modes"].toArray();
    EXPECT_GT(modes.size(), 100);
    EXPECT_EQ(modes[1].toObject()["name"].toString(), "ZE_REG_ADDR_SIZE");
    const ToolResult text = onNull(zx0201(), {"mode", "-l"});
    EXPECT_NE(text.out.find(" 33 ZE_BITS_PER_CLOCK"), std::string::npos);
}

class ZentroGrab : public ZentroCli
{
};

TEST_F(ZentroGrab, PngIsSixteenBitGreyScaledWithSignificantBits)
{
    const std::string recording = writeRecording("rec", 8, 4, 12, 2);
    const ToolResult result = zentro({"--recording", recording, "grab", "-n", "2", "-o", "shots"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "shots/frame_0000.png: frame 0, 64 bytes\n"
                          "shots/frame_0001.png: frame 1, 64 bytes\n");
    for (uint32_t frame = 0; frame < 2; ++frame) {
        const DecodedImage image =
            readPng(path("shots/frame_000" + std::to_string(frame) + ".png"));
        ASSERT_TRUE(image.ok);
        EXPECT_EQ(image.width, 8u);
        EXPECT_EQ(image.height, 4u);
        EXPECT_EQ(image.depth, 16);
        EXPECT_TRUE(image.grey);
        EXPECT_EQ(image.significantBits, 12);
        for (uint32_t i = 0; i < 32; ++i)
            ASSERT_EQ(image.samples[i], recordedSample(frame, i, 12) << 4) << i;
    }
    // Only the finished files: no temporary names left behind.
    EXPECT_EQ(folderEntries(path("shots")),
              (std::vector<std::string>{"frame_0000.png", "frame_0001.png"}));
}

TEST_F(ZentroGrab, EightBitFramesGiveEightBitPng)
{
    const std::string recording = writeRecording("rec8", 6, 2, 8, 1);
    ASSERT_EQ(zentro({"--recording", recording, "grab", "-o", "."}).status, 0);
    const DecodedImage image = readPng(path("frame_0000.png"));
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.depth, 8);
    EXPECT_EQ(image.significantBits, 0);
    for (uint32_t i = 0; i < 12; ++i)
        EXPECT_EQ(image.samples[i], recordedSample(0, i, 8));
}

TEST_F(ZentroGrab, TiffKeepsTheSensorValues)
{
    const std::string recording = writeRecording("rec", 8, 4, 10, 1);
    const QJsonObject result =
        zentroJson({"--recording", recording, "grab", "--format", "tiff", "-o", "t"});
    const QJsonArray frames = result["frames"].toArray();
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(frames[0].toObject()["file"].toString(), "t/frame_0000.tiff");
    EXPECT_EQ(frames[0].toObject()["bytes"].toInt(), 64);
    EXPECT_TRUE(result["recording"].isNull());
    const DecodedImage image = readTiff(path("t/frame_0000.tiff"));
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.depth, 16);
    EXPECT_TRUE(image.grey);
    EXPECT_EQ(image.significantBits, 10);
    for (uint32_t i = 0; i < 32; ++i)
        ASSERT_EQ(image.samples[i], recordedSample(0, i, 10)) << i;
}

TEST_F(ZentroGrab, RawRecordingPlaysBackByteForByte)
{
    const std::string original = writeRecording("rec", 16, 8, 12, 3);
    const ToolResult first =
        zentro({"--recording", original, "grab", "-n", "3", "--format", "raw", "-o", "copy"});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.out.find("copy/frames.raw: 3 frames, described in copy/frames_info.txt"),
              std::string::npos)
        << first.out;
    EXPECT_EQ(readFile(path("copy/frames.raw")), readFile(original));
    EXPECT_NE(readFile(path("copy/frames_info.txt")).find("Frames         = 3"), std::string::npos);

    // The copy is itself a recording the library plays: the same frames again.
    const ToolResult second = zentro({"--recording", path("copy/frames.raw"), "grab", "-n", "3",
                                      "--format", "raw", "-o", "again"});
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(readFile(path("again/frames.raw")), readFile(original));
    const QJsonObject info = zentroJson({"--recording", path("copy/frames.raw"), "info"});
    EXPECT_EQ(info["sensor"].toObject()["imageType"].toString(), "Bayer 12");
    EXPECT_EQ(info["sensor"].toObject()["imageWidth"].toInt(), 16);
}

TEST_F(ZentroGrab, NullCameraFramesAndRefusedFormats)
{
    const ToolResult png = onNull(zx0201(), {"grab", "-o", "n"});
    ASSERT_EQ(png.status, 0) << png.err;
    const DecodedImage image = readPng(path("n/frame_0000.png"));
    ASSERT_TRUE(image.ok);
    EXPECT_EQ(image.width, 1920u);
    EXPECT_EQ(image.height, 1200u);
    // The null camera fills its frames with bytes of 5: samples 0x0505, scaled by 16.
    EXPECT_EQ(image.samples[0], (0x0505u << 4) & 0xFFFF);

    // YCbCr frames are no greyscale image: refused, nothing written.
    const ToolResult ycbcr = onNull(zx0016(), {"grab", "-o", "y"});
    EXPECT_EQ(ycbcr.status, kFailed);
    EXPECT_NE(ycbcr.err.find("frames of image type YCbCr are not greyscale (use --format raw)"),
              std::string::npos)
        << ycbcr.err;
    const ToolResult raw = onNull(zx0016(), {"grab", "-o", "y", "--format", "raw"});
    EXPECT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(readFile(path("y/frames.raw")).size(), 1280u * 960 * 2);

    tooltest::writeWholeFile(path("plain"), "a file");
    const ToolResult notFolder = onNull(zx0201(), {"grab", "-o", "plain"});
    EXPECT_EQ(notFolder.status, kFailed);
    EXPECT_NE(notFolder.err.find("plain is not a folder"), std::string::npos);
}

} // namespace
} // namespace clitest
