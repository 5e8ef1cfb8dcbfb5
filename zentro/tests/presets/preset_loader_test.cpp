// Running preset sections: finding them, reading their lines, nesting, handlers and failures.
#include <chrono>
#include <string>

#include "camera/context.h"
#include "core/config.h"
#include "presets/preset_test_support.h"

namespace zentro::test {
namespace {

TEST_F(PresetTest, HeadersMatchTrimmedAndCaselessAndHiddenSectionsAreFound)
{
    EXPECT_EQ(run("[ Init ]\nREG = 0x3000, 0x0021\n[Hidden:Setup]\nREG = 0x3002, 0x0022\n"
                  "[Hidden: Spaced]\nREG = 0x3000, 0x0023\n",
                  "init"),
              INI_SUCCESS);
    EXPECT_EQ(reg("GAIN"), 0x21u);
    EXPECT_EQ(ze_LoadINIPreset(camera(), dir_.file("preset.ini").c_str(), "setup"), INI_SUCCESS);
    EXPECT_EQ(reg("EXPOSURE"), 0x22u);
    EXPECT_EQ(ze_LoadINIPreset(camera(), dir_.file("preset.ini").c_str(), "Spaced"), INI_SUCCESS);
    EXPECT_EQ(reg("GAIN"), 0x23u);
    // A name that says HIDDEN: is looked up only as it stands.
    EXPECT_EQ(ze_LoadINIPreset(camera(), dir_.file("preset.ini").c_str(), "Hidden:Init"),
              INI_LOAD_ERROR);
    EXPECT_TRUE(logged("Preset not found: Hidden:Init in "));
}

TEST_F(PresetTest, CommentsBlanksAndEmptyValuesAreSkippedWithoutMessages)
{
    EXPECT_EQ(run("[Test]\nREG = 0x3000, 0x1234 ; comment\nREG=0x3002,0x0042//x\n"
                  "no equals sign here\nREG =\n  SERIAL REG = 0x42, 0x01, 0x02\n"
                  "NOT_A_COMMAND = 1, 2\nSTATE = 3\n"),
              INI_SUCCESS);
    EXPECT_EQ(reg("GAIN"), 0x1234u);
    EXPECT_EQ(reg("EXPOSURE"), 0x42u);
    EXPECT_TRUE(log_.lines().empty()) << log_.messages().front();
}

TEST_F(PresetTest, EmptySectionSucceedsAndMissingOnesFail)
{
    EXPECT_EQ(run("[Test]\n[Other]\nREG = 0x3000, 1\n"), INI_SUCCESS);
    EXPECT_EQ(reg("GAIN"), 0x10u);
    EXPECT_EQ(run("[Other]\n", "Absent"), INI_LOAD_ERROR);
    EXPECT_TRUE(logged("Preset not found: Absent in " + dir_.file("preset.ini")));
    log_.clear();
    EXPECT_EQ(ze_LoadINIPreset(camera(), dir_.file("missing.ini").c_str(), "Test"), INI_LOAD_ERROR);
    EXPECT_TRUE(logged("Preset file not found: " + dir_.file("missing.ini")));
}

TEST_F(PresetTest, ScriptSectionsAreNeitherReadNorRun)
{
    const std::string path = preset("[Python:Run]\nREG = 0x3000, 1\n");
    EXPECT_EQ(ze_LoadINIPreset(camera(), path.c_str(), "Python:Run"), 0u);
    EXPECT_EQ(reg("GAIN"), 0x10u);
}

TEST_F(PresetTest, SectionsLargerThanTheFirstBufferAreReadWhole)
{
    std::string text = "[Test]\n";
    for (int i = 0; i < 3000; ++i)
        text += "LOG = line " + std::to_string(i) + " of a long section\n";
    text += "REG = 0x3000, 0x0777\n";
    ASSERT_GT(text.size(), 3 * 16384u);
    EXPECT_EQ(run(text), INI_SUCCESS);
    EXPECT_EQ(reg("GAIN"), 0x777u);
}

TEST_F(PresetTest, LoadRunsSectionsOfThisFileAndOfFilesBesideIt)
{
    preset("[Far]\nREG = 0x3002, 0x0055\n", "other.ini");
    EXPECT_EQ(run("[Test]\nLOAD = Near\nLOAD = other.ini, Far\n[Near]\nREG = 0x3000, 0x0044\n"),
              INI_SUCCESS);
    EXPECT_EQ(reg("GAIN"), 0x44u);
    EXPECT_EQ(reg("EXPOSURE"), 0x55u);
    // A nested section's failure does not stop its caller.
    EXPECT_EQ(run("[Test]\nLOAD = Missing\nREG = 0x3000, 0x0045\n"), INI_SUCCESS);
    EXPECT_EQ(reg("GAIN"), 0x45u);
    EXPECT_TRUE(logged("Preset not found: Missing"));
}

TEST_F(PresetTest, AChainSeventeenLevelsDeepRunsSixteenAndReportsOnce)
{
    std::string text;
    for (int level = 0; level <= 16; ++level) {
        text +=
            "[L" + std::to_string(level) + "]\nFIELD_WR = GAIN, " + std::to_string(level) + "\n";
        text += "LOAD = L" + std::to_string(level + 1) + "\n";
    }
    EXPECT_EQ(run(text, "L0"), INI_SUCCESS);
    EXPECT_EQ(reg("GAIN"), 15u);
    size_t reports = 0;
    for (const std::string &message : log_.messages())
        reports += message.find("Failed recursive call check") != std::string::npos;
    EXPECT_EQ(reports, 1u);
}

TEST_F(PresetTest, SectionsThatLoadThemselvesEndQuickly)
{
    const auto start = std::chrono::steady_clock::now();
    // Each level loads itself twice: without a bound this would run 2^16 sections.
    EXPECT_EQ(run("[Test]\nLOAD = Test\nLOAD = Test\n"), INI_SUCCESS);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(logged("Failed recursive call check"));
    EXPECT_TRUE(logged("Too many sections loaded by one preset"));
}

TEST_F(PresetTest, DevicesAndDirectoriesAreNotReadAsPresets)
{
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ze_LoadINIPreset(camera(), "/dev/zero", "Test"), INI_LOAD_ERROR);
    EXPECT_EQ(ze_LoadINIPreset(camera(), dir_.path().c_str(), "Test"), INI_LOAD_ERROR);
    EXPECT_EQ(run("[Test]\nLOAD = /dev/zero, Test\nLOAD = /dev/null, Test\n"), INI_SUCCESS);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(logged("Preset not found: Test in /dev/zero"));
}

TEST_F(PresetTest, OverlongNamesAndTokensAreRefusedWithMessages)
{
    const std::string longName(300, 'S');
    EXPECT_EQ(run("[Test]\nLOAD = " + longName + "\nREG = 0x3000, 0x" + std::string(300, '1') +
                  "\nREG = 0x3000, 0x0099\n"),
              INI_SUCCESS);
    EXPECT_TRUE(logged("Error parsing LOAD command"));
    EXPECT_TRUE(logged("Error parsing REG command"));
    EXPECT_EQ(reg("GAIN"), 0x99u);
    EXPECT_EQ(ze_LoadINIPreset(camera(), dir_.file("preset.ini").c_str(), longName.c_str()),
              INI_LOAD_ERROR);
    EXPECT_TRUE(logged("Preset file or section name too long"));
    // A physical line longer than a preset line holds does not crash or leak into commands.
    EXPECT_EQ(run("[Test]\nLOG = " + std::string(10000, 'x') + "\nREG = 0x3000, 0x0098\n"),
              INI_SUCCESS);
    EXPECT_EQ(reg("GAIN"), 0x98u);
}

TEST_F(PresetTest, ErrorMessagesCarryTheLineAndAreCut)
{
    run("[Test]\nREG = 0x3000\n");
    EXPECT_TRUE(logged("Error parsing REG command: REG=0x3000"));
    log_.clear();
    run("[Test]\nREG = 0x3000, 0xZZ\n");
    EXPECT_TRUE(logged("Invalid value in REG Command: REG=0x3000, 0xZZ"));
    EXPECT_EQ(ze_ini_error("Message", std::string(400, 'y').c_str()), INI_LOAD_ERROR);
    EXPECT_EQ(log_.lines().back().message.size(), 255u);
}

TEST_F(PresetTest, ErrorIfEndsTheSectionWithItsQuotedMessage)
{
    EXPECT_EQ(run("[Test]\nREG = 0x3000, 5\nERROR_IF = GAIN >= 4, \"Gain, too high\" \n"
                  "REG = 0x3002, 0x0099\n"),
              INI_SUCCESS);
    EXPECT_TRUE(logged("Gain, too high: ERROR_IF=GAIN >= 4, \"Gain, too high\""));
    EXPECT_EQ(reg("EXPOSURE"), 0x200u);
    log_.clear();
    EXPECT_EQ(run("[Test]\nERROR_IF = RESET_REGISTER, STREAM == 1, \"streaming\"\n"
                  "ERROR_IF = GAIN, ==1x\nERROR_IF = NOPE ==1, \"x\"\nERROR_IF = GAIN\n"
                  "REG = 0x3002, 0x0098\n"),
              INI_SUCCESS);
    EXPECT_TRUE(logged("Error parsing condition in ERROR_IF command"));
    EXPECT_TRUE(logged("Error reading register in ERROR_IF command"));
    EXPECT_TRUE(logged("Error parsing ERROR_IF command"));
    EXPECT_EQ(reg("EXPOSURE"), 0x98u);
}

TEST_F(PresetTest, IfFieldBranchesOnNamedRegistersAndBitfields)
{
    const std::string sections = "[Then]\nREG = 0x3002, 1\n[Else]\nREG = 0x3002, 2\n";
    run("[Test]\nFIELD_WR = RESET_REGISTER, TEST_MODE, 3\n"
        "IF_FIELD = RESET_REGISTER, TEST_MODE == 3, LOAD=Then, ELSELOAD=Else\n" +
        sections);
    EXPECT_EQ(reg("EXPOSURE"), 1u);
    run("[Test]\nIF_FIELD = GAIN<0x10, LOAD=Then, ELSELOAD=Else\n" + sections);
    EXPECT_EQ(reg("EXPOSURE"), 2u);
    run("[Test]\nIF_FIELD = GAIN, >=0x10, LOAD=Then\n" + sections);
    EXPECT_EQ(reg("EXPOSURE"), 1u);
    run("[Test]\nIF_FIELD = NOPE == 1, LOAD=Then\n" + sections);
    EXPECT_TRUE(logged("Error parsing IF_FIELD command"));
}

TEST_F(PresetTest, IfRegComparesMaskedValuesWithAnOptionalPage)
{
    const std::string sections = "[Then]\nREG = 0x3002, 1\n[Else]\nREG = 0x3002, 2\n";
    run("[Test]\nREG = 0x301A, 0x0300\nIF_REG = 0x301A, 0x0700, ==3, LOAD=Then, ELSELOAD=Else\n" +
        sections);
    EXPECT_EQ(reg("EXPOSURE"), 1u);
    run("[Test]\nIF_REG = 0, 0x301A, 0x0700, >3, LOAD=Then, ELSELOAD=Else\n" + sections);
    EXPECT_EQ(reg("EXPOSURE"), 2u);
    // The clauses may come in any order.
    run("[Test]\nIF_REG = 0x301A, 0x0700, ==3, ELSELOAD=Else, LOAD=Then\n" + sections);
    EXPECT_EQ(reg("EXPOSURE"), 1u);
    log_.clear();
    run("[Test]\nIF_REG = 0x301A, 0x0700, 3, LOAD=Then\nIF_REG = 0x301A, LOAD=Then\n" + sections);
    EXPECT_EQ(log_.messages().size(), 2u);
    EXPECT_TRUE(logged("Error parsing IFREG command"));
}

// Handlers see each line first; 260 and 261 take it, anything else hands it on.
uint32_t gSeenLines = 0;
uint32_t takeGainLines(ze_camera_t *, const char *key, const char *value)
{
    ++gSeenLines;
    if (std::string(key) == "REG" && std::string(value).find("0x3000") != std::string::npos)
        return 260;
    return INI_KEY_NOT_SUPPORTED;
}
uint32_t pluginTakesExposure(ze_camera_t *, const char *, const char *value)
{
    return std::string(value).find("0x3002") != std::string::npos ? 261 : 0;
}

TEST_F(PresetTest, PluginAndApplicationHandlersTakeLinesFirst)
{
    ASSERT_EQ(ze_SetIniCommandHandler(camera(), takeGainLines), CAMERA_SUCCESS);
    camera()->context->ops.iniFileCommand = pluginTakesExposure;
    gSeenLines = 0;
    EXPECT_EQ(run("[Test]\nREG = 0x3000, 0x0001\nREG = 0x3002, 0x0002\nREG = 0x301A, 0x0003\n"),
              INI_SUCCESS);
    EXPECT_EQ(reg("GAIN"), 0x10u);
    EXPECT_EQ(reg("EXPOSURE"), 0x200u);
    EXPECT_EQ(reg("RESET_REGISTER"), 3u);
    EXPECT_EQ(gSeenLines, 2u); // the plug-in took the second line before the application
    camera()->context->ops.iniFileCommand = nullptr;
    ASSERT_EQ(ze_SetIniCommandHandler(camera(), nullptr), CAMERA_SUCCESS);
    EXPECT_EQ(run("[Test]\nREG = 0x3000, 0x0001\n"), INI_SUCCESS);
    EXPECT_EQ(reg("GAIN"), 1u);
    ze_camera_t bare{}; // no context record
    EXPECT_EQ(ze_SetIniCommandHandler(&bare, takeGainLines), CAMERA_ERROR);
    EXPECT_EQ(ze_SetIniCommandHandler(nullptr, takeGainLines), CAMERA_ERROR);
}

TEST_F(PresetTest, TheDataByteOrderModeIsRestoredAndOthersStaySet)
{
    ze_setMode(camera(), ZE_REG_DATA_LE, 1);
    run("[Test]\nSERIAL_REG = 0x42, 0x10, 0x20, 16:8\n");
    uint32_t value = 0;
    ze_getMode(camera(), ZE_REG_DATA_LE, &value);
    EXPECT_EQ(value, 1u);
    ze_getMode(camera(), ZE_REG_ADDR_SIZE, &value);
    EXPECT_EQ(value, 16u);
    ze_getMode(camera(), ZE_REG_DATA_SIZE, &value);
    EXPECT_EQ(value, 8u);
}

TEST_F(PresetTest, SdatAndLogWorkWithoutACamera)
{
    const std::string path = preset("[zentro]\nSDAT = " + dir_.file("default.sdat") + "  \n");
    EXPECT_EQ(ze_LoadINIPreset(nullptr, path.c_str(), "zentro"), INI_SUCCESS);
    EXPECT_EQ(defaultSensorFile(), dir_.file("default.sdat"));
    setDefaultSensorFile("");
    FileLog file;
    EXPECT_EQ(ze_LoadINIPreset(nullptr,
                               preset("[Test]\nLOG = hello from a preset\nREG = 1, 2\n").c_str(),
                               "Test"),
              INI_SUCCESS);
    EXPECT_EQ(file.occurrences("hello from a preset"), 1u);
}

TEST_F(PresetTest, NoSectionMeansTheDefaultInitialisation)
{
    const std::string path = preset("[Tavo Initialization]\nREG = 0x3000, 0x0031\n");
    EXPECT_EQ(ze_LoadINIPreset(camera(), path.c_str(), nullptr), INI_SUCCESS);
    EXPECT_EQ(reg("GAIN"), 0x31u);
    EXPECT_EQ(ze_LoadINIPreset(camera(), path.c_str(), ""), INI_SUCCESS);
}

TEST_F(PresetTest, LoadSectionChecksTheDepthItIsGiven)
{
    const std::string path = preset("[Test]\nREG = 0x3000, 0x0032\n");
    EXPECT_EQ(_LoadSection(camera(), path.c_str(), "Test", 15), INI_SUCCESS);
    EXPECT_EQ(_LoadSection(camera(), path.c_str(), "Test", 16), INI_LOAD_ERROR);
    EXPECT_TRUE(logged("Failed recursive call check"));
    EXPECT_EQ(_LoadSection(camera(), nullptr, "Test", 0), INI_LOAD_ERROR);
}

} // namespace
} // namespace zentro::test
