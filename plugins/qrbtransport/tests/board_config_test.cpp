// Where the plug-in finds its board: INI lookup, ".cam" files of the working directory that
// name the plug-in, ZE_BOARD, and the time-out variable.
#include "board_config.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace zentro::qrb {
namespace {

namespace fs = std::filesystem;

TEST(IniValue, FindsKeysOfTheNamedSectionWhateverTheirCase)
{
    const std::string text = "; comment\n[Other]\nBOARD_ADDRESS=wrong\n"
                             "[ transport ]\r\n  board_address = 10.0.0.2:4000  \r\n# x = y\n"
                             "DLL_NAME=libqrbtransport.so\n";
    EXPECT_EQ(iniValue(text, "TRANSPORT", "BOARD_ADDRESS"), "10.0.0.2:4000");
    EXPECT_EQ(iniValue(text, "TRANSPORT", "dll_name"), "libqrbtransport.so");
    EXPECT_EQ(iniValue(text, "OTHER", "BOARD_ADDRESS"), "wrong");
    EXPECT_FALSE(iniValue(text, "TRANSPORT", "# x"));
    EXPECT_FALSE(iniValue(text, "NONE", "BOARD_ADDRESS"));
    EXPECT_FALSE(iniValue("BOARD_ADDRESS=outside\n", "TRANSPORT", "BOARD_ADDRESS"));
}

// Runs each test in a fresh working directory with ZE_BOARD unset.
class ConfiguredBoard : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previous_ = fs::current_path();
        directory_ = fs::path(::testing::TempDir()) /
                     ("qrb_config_" + std::to_string(::getpid()) + "_" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(directory_);
        fs::current_path(directory_);
        ::unsetenv(kBoardEnvironment);
        ::unsetenv(kTimeoutEnvironment);
    }
    void TearDown() override
    {
        fs::current_path(previous_);
        fs::remove_all(directory_);
        ::unsetenv(kBoardEnvironment);
        ::unsetenv(kTimeoutEnvironment);
    }
    static void writeCam(const std::string &name, const std::string &text)
    {
        std::ofstream(name) << text;
    }

    fs::path previous_;
    fs::path directory_;
};

TEST_F(ConfiguredBoard, NothingConfiguredGivesNoAddress)
{
    EXPECT_EQ(configuredBoard("/opt/plugins/libqrbtransport.so").text, "");
    ::setenv(kBoardEnvironment, "", 1);
    EXPECT_EQ(configuredBoard("/opt/plugins/libqrbtransport.so").text, "");
}

TEST_F(ConfiguredBoard, EnvironmentNamesTheBoard)
{
    ::setenv(kBoardEnvironment, "192.168.55.1:4000", 1);
    const BoardSetting setting = configuredBoard("libqrbtransport.so");
    EXPECT_EQ(setting.text, "192.168.55.1:4000");
    EXPECT_EQ(setting.source, "ZE_BOARD");
}

TEST_F(ConfiguredBoard, CamFileThatNamesThePluginWinsOverTheEnvironment)
{
    ::setenv(kBoardEnvironment, "from-env", 1);
    writeCam("a_other.cam", "[TRANSPORT]\nDLL_NAME=libother.so\nBOARD_ADDRESS=other\n");
    writeCam("b_board.CAM",
             "[TRANSPORT]\nDLL_NAME=Plugins/libqrbtransport.so\nBOARD_ADDRESS=from-cam:5000\n");
    const BoardSetting setting = configuredBoard("/usr/lib/zentro/plugins/libqrbtransport.so");
    EXPECT_EQ(setting.text, "from-cam:5000");
    EXPECT_EQ(setting.source, "b_board.CAM");
}

TEST_F(ConfiguredBoard, CamFileWithoutAnAddressLeavesTheEnvironment)
{
    ::setenv(kBoardEnvironment, "from-env", 1);
    writeCam("board.cam", "[TRANSPORT]\nDLL_NAME=libqrbtransport.so\nBOARD_ADDRESS=\n");
    EXPECT_EQ(configuredBoard("libqrbtransport.so").text, "from-env");
}

TEST_F(ConfiguredBoard, TimeoutVariableSetsBothBoundsWhenItIsAPositiveNumber)
{
    EXPECT_EQ(configuredTimeouts().io, Timeouts{}.io);
    ::setenv(kTimeoutEnvironment, "250", 1);
    EXPECT_EQ(configuredTimeouts().io, std::chrono::milliseconds(250));
    EXPECT_EQ(configuredTimeouts().connect, std::chrono::milliseconds(250));
    for (const char *bad : {"0", "-5", "12ms", ""}) {
        ::setenv(kTimeoutEnvironment, bad, 1);
        EXPECT_EQ(configuredTimeouts().io, Timeouts{}.io) << bad;
    }
}

} // namespace
} // namespace zentro::qrb
