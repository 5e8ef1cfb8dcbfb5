// SAVE_REGS and SAVE_IMAGE on a null camera: numbered files beside the preset, dumps that load
// back as presets.
#include <filesystem>
#include <string>

#include "presets/preset_test_support.h"

namespace zentro::test {
namespace {

TEST_F(PresetTest, SaveRegsWritesAPresetOfReadableRegisters)
{
    run("[Test]\nREG = 0x3000, 0x0077\nSAVE_REGS = dump.ini, G*, RESET*\n");
    EXPECT_EQ(
        readFile(dir_.file("dump0000.ini")),
        "[Saved Registers  G*, RESET*]\nFIELD_WR= GAIN, 0x77\nFIELD_WR= RESET_REGISTER, 0x10D8\n");
    log_.clear();
    run("[Test]\nSAVE_REGS = all.ini\n");
    const std::string all = readFile(dir_.file("all0000.ini"));
    EXPECT_NE(all.find("FIELD_WR= STATUS, 0x3"), std::string::npos);
    EXPECT_EQ(all.find("COMMAND"), std::string::npos); // write-only registers are not dumped
    EXPECT_TRUE(log_.lines().empty());
}

TEST_F(PresetTest, ADumpLoadedAsAPresetWritesEveryRegisterBack)
{
    run("[Test]\nREG = 0x3000, 0x0123\nREG = 0x3002, 0x0456\nSAVE_REGS = state.ini, GAIN, "
        "EXPOSURE\n");
    run("[Test]\nREG = 0x3000, 0\nREG = 0x3002, 0\n");
    EXPECT_EQ(ze_LoadINIPreset(camera(), dir_.file("state0000.ini").c_str(),
                               "Saved Registers  GAIN, EXPOSURE"),
              INI_SUCCESS);
    EXPECT_EQ(reg("GAIN"), 0x123u);
    EXPECT_EQ(reg("EXPOSURE"), 0x456u);
}

TEST_F(PresetTest, SaveRegsNumbersAfterTheExistingDumps)
{
    for (int i = 0; i < 5; ++i)
        writeFile(dir_.file("dump000" + std::to_string(i) + ".txt"), "old");
    run("[Test]\nSAVE_REGS = dump.txt, GAIN\n");
    EXPECT_EQ(readFile(dir_.file("dump0004.txt")), "old");
    EXPECT_NE(readFile(dir_.file("dump0005.txt")).find("FIELD_WR= GAIN"), std::string::npos);
}

TEST_F(PresetTest, SaveRegsReportsMissingNamesAndUnwritableFiles)
{
    run("[Test]\nSAVE_REGS = , GAIN\nSAVE_REGS = " + dir_.file("no/such/dir/d.txt") + "\n");
    EXPECT_TRUE(logged("No filename in SAVE_REGS command"));
    EXPECT_TRUE(logged("SAVE_REGS couldn't open file"));
}

TEST_F(PresetTest, SaveImageWritesOneGrabToEveryNamedFile)
{
    run("[Test]\nSAVE_IMAGE = a.raw, debug, b.raw\nSAVE_IMAGE = a.raw\n");
    const size_t frame = camera()->sensor->imageBytes;
    EXPECT_EQ(std::filesystem::file_size(dir_.file("a0000.raw")), frame);
    EXPECT_EQ(std::filesystem::file_size(dir_.file("b0000.raw")), frame);
    EXPECT_EQ(std::filesystem::file_size(dir_.file("a0001.raw")), frame);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("debug0000")));
    EXPECT_EQ(readFile(dir_.file("a0001.raw")), std::string(frame, '\x05'));
}

TEST_F(PresetTest, ConfinedResultFilesStayBesideThePreset)
{
    ScopedPresetLimits limits({.confineFiles = true});
    TempDir elsewhere;
    run("[Test]\nSAVE_REGS = " + elsewhere.file("x.txt") +
        "\nSAVE_IMAGE = ../y.raw\nSAVE_REGS = ok.txt\n");
    EXPECT_FALSE(std::filesystem::exists(elsewhere.file("x0000.txt")));
    EXPECT_TRUE(logged("Result file must be a plain name in SAVE_REGS"));
    EXPECT_TRUE(logged("Result file must be a plain name in SAVE_IMAGE"));
    EXPECT_TRUE(std::filesystem::exists(dir_.file("ok0000.txt")));
    preset("[Far]\nREG = 0x3000, 0x0042\n", "beside.ini");
    run("[Test]\nLOAD = " + dir_.file("beside.ini") + ", Far\nLOAD = beside.ini, Far\n");
    EXPECT_TRUE(logged("Preset file must be a plain name in LOAD"));
    EXPECT_EQ(reg("GAIN"), 0x42u);
}

TEST_F(PresetTest, FrameGrabsAreBoundedByThePresetLimits)
{
    ScopedPresetLimits limits({.maxFrameGrabs = 1});
    run("[Test]\nSAVE_IMAGE = one.raw\nSAVE_IMAGE = two.raw\n");
    EXPECT_TRUE(std::filesystem::exists(dir_.file("one0000.raw")));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("two0000.raw")));
    EXPECT_TRUE(logged("Too many frames grabbed by one preset"));
}

} // namespace
} // namespace zentro::test
