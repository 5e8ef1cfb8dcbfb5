// The client's parts on their own: parsing, value conversions, JSON, block reads.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include <gtest/gtest.h>
#include <zentro.h>

#include "arguments.h"
#include "cli_error.h"
#include "atomic_file.h"
#include "image_writers.h"
#include "install_paths.h"
#include "json_writer.h"
#include "preset_sections.h"
#include "register_batch.h"
#include "value_text.h"

namespace zcli {
namespace {

// Runs @action and returns the exit status of the CliError it throws (-1 when none).
template <class Action>
int statusOf(Action action)
{
    try {
        action();
    } catch (const CliError &error) {
        return error.status();
    }
    return -1;
}

GlobalOptions parseLine(std::vector<std::string> words)
{
    words.insert(words.begin(), "zentro");
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    return parseGlobalOptions(static_cast<int>(argv.size()), argv.data());
}

TEST(JsonWriter, NestsEscapesAndWritesNumbersThatReadBack)
{
    JsonWriter out;
    out.beginObject()
        .field("text", "a\"b\\c\n\x01")
        .key("list")
        .beginArray()
        .value(uint32_t{1})
        .value(-2)
        .value(0.1)
        .value(true)
        .null()
        .endArray()
        .field("empty", std::string())
        .field("nan", 0.0 / 0.0)
        .endObject();
    EXPECT_EQ(out.text(),
              "{\"text\":\"a\\\"b\\\\c\\n\\u0001\",\"list\":[1,-2,0.1,true,null],\"empty\":\"\","
              "\"nan\":null}");
}

TEST(GlobalOptions, AreAcceptedBeforeAndAfterTheCommand)
{
    const GlobalOptions options = parseLine({"get", "--json", "--null=x.sdat", "REG", "--help"});
    EXPECT_EQ(options.command, "get");
    EXPECT_EQ(options.nullFile, "x.sdat");
    EXPECT_TRUE(options.json);
    EXPECT_FALSE(options.help); // a command's --help is the command's
    EXPECT_EQ(options.args, (std::vector<std::string>{"REG", "--help"}));

    const GlobalOptions board = parseLine({"--board", "10.1.1.1:4000", "run", "--", "ls", "-l"});
    EXPECT_EQ(board.board, "10.1.1.1:4000");
    EXPECT_EQ(board.args, (std::vector<std::string>{"--", "ls", "-l"}));

    EXPECT_EQ(statusOf([] { parseLine({"--null", "a", "--board", "b", "info"}); }), kExitUsage);
    EXPECT_EQ(statusOf([] { parseLine({"--board"}); }), kExitUsage);
    EXPECT_EQ(statusOf([] { parseLine({"--board="}); }), kExitUsage);
    EXPECT_EQ(statusOf([] { parseLine({"--frob", "info"}); }), kExitUsage);
}

TEST(CommandArgs, TakeLongAndShortFormsWithTheirValues)
{
    constexpr OptionDefinition definitions[] = {{"count", 'n', true}, {"list", 'l', false}};
    const ParsedArgs parsed =
        parseCommandArgs({"-n5", "a", "--list", "--", "-x"}, definitions, "grab");
    EXPECT_EQ(parsed.value("count", ""), "5");
    EXPECT_TRUE(parsed.has("list"));
    EXPECT_EQ(parsed.operands(), (std::vector<std::string>{"a", "-x"}));
    EXPECT_EQ(parseCommandArgs({"--count=7"}, definitions, "grab").value("count", ""), "7");
    EXPECT_EQ(parseCommandArgs({"-n", "8"}, definitions, "grab").value("count", ""), "8");
    EXPECT_TRUE(parseCommandArgs({"-h"}, definitions, "grab").has("help"));

    EXPECT_EQ(statusOf([&] { parseCommandArgs({"--count"}, definitions, "grab"); }), kExitUsage);
    EXPECT_EQ(statusOf([&] { parseCommandArgs({"--list=1"}, definitions, "grab"); }), kExitUsage);
    EXPECT_EQ(statusOf([&] { parseCommandArgs({"-q"}, definitions, "grab"); }), kExitUsage);
}

TEST(CommandArgs, UnsignedNumbersAreWholeAndBounded)
{
    EXPECT_EQ(parseUnsigned("0x1F", "n", 100), 31u);
    EXPECT_EQ(parseUnsigned("100", "n", 100), 100u);
    for (const char *bad : {"101", "", "-1", "1.5", "0x", "12a", "99999999999999999999999"})
        EXPECT_EQ(statusOf([&] { parseUnsigned(bad, "n", 100); }), kExitUsage) << bad;
}

TEST(ValueText, ReadsEachDataTypeAsTheLibraryStoresIt)
{
    struct Case {
        ValueFormat format;
        const char *text;
        uint32_t raw;
    };
    const Case cases[] = {
        {{ZE_DATATYPE_HEX, 0xFFFF}, "10", 0x10}, // hex registers take hex digits
        {{ZE_DATATYPE_HEX, 0xFFFF}, "0xBEEF", 0xBEEF},
        {{ZE_DATATYPE_UNSIGNED, 0xFF}, "10", 10},
        {{ZE_DATATYPE_UNSIGNED, 0xFF}, "0x10", 16},
        {{ZE_DATATYPE_SIGNED, 0xFF}, "-1", 0xFF},
        {{ZE_DATATYPE_SIGNED, 0xFF}, "-128", 0x80},
        {{ZE_DATATYPE_SIGNMAG, 0xFFFF}, "-5", 0x8005},
        {{ZE_DATATYPE_UFIXED1 + 2, 0xFFFF}, "1.5", 12},
        {{ZE_DATATYPE_FLOAT16, 0xFFFF}, "1.0", 0x0010},
        {{ZE_DATATYPE_FLOAT16, 0xFFFF}, "-2", 0x8011},
        {{ZE_DATATYPE_FLOAT, 0xFFFFFFFF}, "1", 0x3F800000},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parseValue(c.format, c.text, "R"), c.raw) << c.text;
    EXPECT_EQ(valueText({ZE_DATATYPE_FLOAT, 0xFFFFFFFF}, 0x3F800000u), "1.0");
}

TEST(ValueText, RefusesWhatTheTypeOrWidthCannotHold)
{
    struct Case {
        ValueFormat format;
        const char *text;
    };
    const Case cases[] = {
        {{ZE_DATATYPE_HEX, 0xFF}, "100"},
        {{ZE_DATATYPE_HEX, 0xFF}, "xyz"},
        {{ZE_DATATYPE_UNSIGNED, 0xFF}, "256"},
        {{ZE_DATATYPE_UNSIGNED, 0xFF}, "0x100"},
        {{ZE_DATATYPE_SIGNED, 0xFF}, "128"},
        {{ZE_DATATYPE_SIGNED, 0xFF}, "-129"},
        {{ZE_DATATYPE_SIGNED, 0xFF}, "1-2"},
        {{ZE_DATATYPE_UFIXED1 + 7, 0xFFFF}, "-0.5"},
        {{ZE_DATATYPE_UFIXED1 + 7, 0xFFFF}, "256.5"},
        {{ZE_DATATYPE_FLOAT16, 0xFFFF}, "70000"},
        {{ZE_DATATYPE_FLOAT16, 0xFFFF}, "1e-9"},
        {{ZE_DATATYPE_FLOAT, 0xFFFFFFFF}, "inf"},
        {{ZE_DATATYPE_FLOAT16 + 1, 0xFFFF}, "1"},
        {{ZE_DATATYPE_UNSIGNED, 0xFF, 2, 9}, "10"},
        {{ZE_DATATYPE_UNSIGNED, 0xFF, 2, 9}, "1"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(statusOf([&] { parseValue(c.format, c.text, "R"); }), kExitUsage) << c.text;
    EXPECT_EQ(parseValue({ZE_DATATYPE_UNSIGNED, 0xFF, 2, 9}, "9", "R"), 9u);
}

TEST(ValueText, FieldsAndHexWidthsFollowTheMask)
{
    EXPECT_EQ(fieldValue(0xABCD, 0x0F00), 0xBu);
    EXPECT_EQ(fieldValue(0xABCD, 0), 0u);
    EXPECT_EQ(hexText(0x1F, 0xFF), "0x1F");
    EXPECT_EQ(hexText(0x1F, 0xFFF), "0x001F");
    EXPECT_EQ(hexText(0x1F, 0x1FFFF), "0x0000001F");
}

TEST(RawRecording, DescriptionSitsBesideTheFrames)
{
    EXPECT_EQ(RawRecording::infoPath("out/frames.raw"), "out/frames_info.txt");
    EXPECT_EQ(RawRecording::infoPath("a.b/frames"), "a.b/frames_info.txt");
}

// A fresh folder of the test's own, removed with everything in it.
class TemporaryFolder
{
public:
    TemporaryFolder()
    {
        char pattern[] = "/tmp/zentro_parts_XXXXXX";
        path_ = ::mkdtemp(pattern) ? pattern : "";
    }
    ~TemporaryFolder() { std::filesystem::remove_all(path_); }
    const std::string &path() const { return path_; }
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(path_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string path_;
};

TEST(AtomicFile, AppearsOnlyWhenCommittedAndLeavesNothingOtherwise)
{
    TemporaryFolder folder;
    const std::string target = folder.path() + "/image.png";
    {
        AtomicFile abandoned(target);
        abandoned.write("half", 4);
        EXPECT_EQ(folder.entries().size(), 1u); // only the temporary name
    }
    EXPECT_TRUE(folder.entries().empty());
    std::ofstream(target) << "old";
    {
        AtomicFile file(target);
        file.write("new contents", 12);
        std::ifstream before(target);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(before), {}), "old");
        file.commit();
    }
    std::ifstream after(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(after), {}), "new contents");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"image.png"});
    EXPECT_EQ(statusOf([] { AtomicFile("/nonexistent/folder/x.png"); }), kExitFailed);
}

TEST(InstallPaths, ThePluginFolderOfTheEnvironmentComesFirst)
{
    TemporaryFolder folder;
    std::ofstream(folder.path() + "/libqrbtransport.so") << "";
    ::setenv("ZE_PLUGIN_DIR", folder.path().c_str(), 1);
    EXPECT_EQ(findNetworkPlugin(), folder.path() + "/libqrbtransport.so");
    ::unsetenv("ZE_PLUGIN_DIR");
    EXPECT_NE(findNetworkPlugin(), folder.path() + "/libqrbtransport.so");
}

TEST(PresetSections, AreReadInFileOrderWithHiddenOnesMarked)
{
    char name[] = "/tmp/zentro_sections_XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    std::ofstream(name) << "; comment [not a section]\n  [ First ]  \nKEY=1\n[Hidden: Helper]\n"
                           "[Second] ; note\n[broken\n";
    const std::vector<PresetSection> sections = readPresetSections(name);
    ::unlink(name);
    ASSERT_EQ(sections.size(), 3u);
    EXPECT_EQ(sections[0].name, "First");
    EXPECT_TRUE(sections[1].hidden);
    EXPECT_EQ(sections[2].name, "Second");
    EXPECT_EQ(findPresetSection(sections, "second"), &sections[2]);
    EXPECT_EQ(findPresetSection(sections, "third"), nullptr);
    EXPECT_EQ(statusOf([] { readPresetSections("/nonexistent/x.ini"); }), kExitUsage);
}

class RegisterBatch : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override
    {
        const std::string file = std::string(SAMPLE_SENSOR_DIR) + "/" + GetParam();
        ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
        int count = 0;
        ASSERT_EQ(ze_OpenCameras2(cameras, &count, file.c_str(), ZE_TRANSPORT_NUL, ""), 0);
        camera_ = cameras[0];
        ASSERT_EQ(ze_startTransport(camera_), 0);
    }
    void TearDown() override { ze_CloseCameras2(&camera_, 1); }

    ze_camera_t *camera_ = nullptr;
};

// Block reads give every register the value a read of it alone gives, in fewer requests.
TEST_P(RegisterBatch, GivesTheValuesOfSingleReadsInFewerRequests)
{
    std::vector<ze_reg_t *> regs;
    for (int32_t i = 0; i < camera_->sensor->regCount; ++i)
        regs.push_back(&camera_->sensor->regs[i]);
    // Values the defaults do not hold, so that a misplaced unit shows.
    for (ze_reg_t *reg : regs)
        if (reg->access == ZE_ACCESS_RW &&
            (!reg->addrSpace || reg->addrSpace->type == ZE_SPACE_REG))
            ze_WriteSensorReg(camera_, reg, (reg->addr * 2654435761u) & reg->mask);
    const std::vector<RegisterReading> readings = readRegisters(camera_, regs);
    ASSERT_EQ(readings.size(), regs.size());
    for (size_t i = 0; i < regs.size(); ++i) {
        if (regs[i]->access == ZE_ACCESS_WO) {
            EXPECT_EQ(readings[i].result, CAMERA_NOT_SUPPORTED);
            continue;
        }
        uint32_t alone = 0;
        ASSERT_EQ(ze_ReadSensorReg(camera_, regs[i], &alone), CAMERA_SUCCESS) << regs[i]->name;
        EXPECT_EQ(readings[i].result, CAMERA_SUCCESS) << regs[i]->name;
        EXPECT_EQ(readings[i].value, alone) << regs[i]->name;
    }
    EXPECT_GT(lastBlockReadCount(), 0u);
    EXPECT_LT(lastBlockReadCount(), regs.size() / 2);
}

INSTANTIATE_TEST_SUITE_P(SampleSensors, RegisterBatch,
                         ::testing::Values("zx0201.sdat", "zx0042.sdat", "zx0016.xsdat"));

} // namespace
} // namespace zcli
