// Power commands and the sensor clock script, run by a program on the simulated board through
// system(), popen(), the exec family and posix_spawn, are answered by the board; other commands
// run. Every power command name resolves to a recording fake of the test's own first, so that
// a failed interception records a run instead of reaching the machine.
#include "sim_board.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using boardsim::testing::SimBoard;

constexpr const char *kPowerCommands[] = {"shutdown", "reboot", "poweroff", "halt"};
constexpr const char *kClockScript = "/opt/board/scripts/set_input_sensor_clock.py";

std::string readAll(FILE *stream)
{
    std::string text;
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, stream) != nullptr)
        text += chunk;
    return text;
}

// The exit status a child ended with, or -1 when it did not end normally.
int exitStatus(pid_t child)
{
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Runs argv in a forked child with execvp; the child's exit status.
int forkExec(std::vector<const char *> argv)
{
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execvp(argv[0], const_cast<char *const *>(argv.data()));
        ::_exit(127);
    }
    return exitStatus(child);
}

class BoardCommands : public ::testing::Test
{
protected:
    void SetUp() override { startBoard(""); }
    void TearDown() override
    {
        ::setenv("PATH", savedPath_.c_str(), 1);
        board_.reset();
    }

    void startBoard(const std::string &description)
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
        board_ = std::make_unique<SimBoard>(description);
        installFakes();
    }

    // Recording fakes of the power commands and python3 come first in PATH.
    void installFakes()
    {
        const std::string bin = board_->path("bin");
        std::filesystem::create_directory(bin);
        for (const char *name : {"shutdown", "reboot", "poweroff", "halt", "python3"}) {
            const std::string fake = bin + "/" + name;
            std::ofstream(fake) << "#!/bin/sh\necho \"" << name << " $*\" >> " << spy() << "\n";
            std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
        }
        const char *path = std::getenv("PATH");
        savedPath_ = path ? path : "/usr/bin:/bin";
        ::setenv("PATH", (bin + ":" + savedPath_).c_str(), 1);
        for (const char *name : kPowerCommands) {
            FILE *lookup = ::popen((std::string("command -v ") + name).c_str(), "r");
            ASSERT_NE(lookup, nullptr);
            EXPECT_EQ(readAll(lookup), bin + "/" + name + "\n");
            ::pclose(lookup);
        }
    }

    std::string spy() const { return board_->path("spy.log"); }
    bool fakeRan() const { return std::filesystem::exists(spy()); }
    std::string powerLog() const { return board_->readFile("power.log"); }

    std::unique_ptr<SimBoard> board_;
    std::string savedPath_;
};

TEST_F(BoardCommands, SystemRecordsPowerCommandsWithoutRunningThem)
{
    EXPECT_EQ(::system("shutdown -h now"), 0);
    EXPECT_EQ(::system("reboot"), 0);
    EXPECT_EQ(::system("  poweroff --force"), 0);
    const std::string after = "halt -p; echo after > " + board_->path("halted");
    EXPECT_EQ(::system(after.c_str()), 0);
    EXPECT_EQ(powerLog(), "shutdown -h now\nreboot\n  poweroff --force\n" + after + "\n");
    EXPECT_FALSE(fakeRan());
    EXPECT_FALSE(std::filesystem::exists(board_->path("halted")));
}

TEST_F(BoardCommands, PopenOfAPowerCommandGivesAnEmptyStreamAndSuccess)
{
    FILE *reader = ::popen("shutdown -r now", "r");
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(readAll(reader), "");
    EXPECT_EQ(::pclose(reader), 0);
    FILE *writer = ::popen("halt", "we");
    ASSERT_NE(writer, nullptr);
    EXPECT_GE(std::fputs("ignored\n", writer), 0);
    EXPECT_EQ(::pclose(writer), 0);
    EXPECT_EQ(::popen("reboot", "x"), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(powerLog(), "shutdown -r now\nhalt\n");
    EXPECT_FALSE(fakeRan());
}

TEST_F(BoardCommands, AnExecOfAPowerCommandEndsTheProcessWithSuccess)
{
    EXPECT_EQ(forkExec({"poweroff", "--force"}), 0);
    // The file that runs decides, whatever its directory.
    const std::string fake = board_->path("bin/reboot");
    EXPECT_EQ(forkExec({fake.c_str()}), 0);
    // A shell given the command line, and a shell that reaches it inside a longer one.
    EXPECT_EQ(forkExec({"sh", "-c", "halt -p"}), 0);
    EXPECT_EQ(forkExec({"sh", "-c", "true && shutdown -h now"}), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/bin/sh", "sh", "-c", "reboot -f", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    EXPECT_EQ(exitStatus(child), 0);
    EXPECT_EQ(powerLog(), "poweroff --force\n" + fake + "\nhalt -p\nshutdown -h now\nreboot -f\n");
    EXPECT_FALSE(fakeRan());
}

TEST_F(BoardCommands, PosixSpawnOfAPowerCommandGivesAChildThatSucceeds)
{
    const char *argv[] = {"shutdown", "-h", "+1", nullptr};
    pid_t child = 0;
    ASSERT_EQ(
        ::posix_spawnp(&child, "shutdown", nullptr, nullptr, const_cast<char **>(argv), environ),
        0);
    EXPECT_EQ(exitStatus(child), 0);
    EXPECT_EQ(powerLog(), "shutdown -h +1\n");
    EXPECT_FALSE(fakeRan());
}

TEST_F(BoardCommands, WithoutABoardDirectoryPowerCommandsAreDropped)
{
    ::unsetenv("ZE_SIM_DIR");
    EXPECT_EQ(::system("shutdown -h now"), 0);
    EXPECT_EQ(forkExec({"halt"}), 0);
    EXPECT_FALSE(std::filesystem::exists(board_->path("power.log")));
    EXPECT_FALSE(fakeRan());
}

TEST_F(BoardCommands, TheClockScriptRecordsTheSensorInputClock)
{
    EXPECT_EQ(::system((std::string("python3 ") + kClockScript + " 27000000").c_str()), 0);
    EXPECT_EQ(board_->driverState()["input_clock"], "27000000");
    EXPECT_EQ(forkExec({"python3", kClockScript, "24000000"}), 0);
    EXPECT_EQ(board_->driverState()["input_clock"], "24000000");
    EXPECT_EQ(board_->busLog(), (std::vector<std::string>{"CLOCK 27000000", "CLOCK 24000000"}));
    EXPECT_FALSE(fakeRan());
}

TEST_F(BoardCommands, AMalformedFrequencyFailsTheClockScript)
{
    for (const char *argument : {"27MHz", "", "27000000 1", "-5", "0", "4294967296"}) {
        const std::string line = std::string("python3 ") + kClockScript + " " + argument;
        const int status = ::system(line.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << line;
        EXPECT_EQ(WEXITSTATUS(status), 1) << line;
    }
    EXPECT_EQ(board_->driverState().count("input_clock"), 0u);
    EXPECT_EQ(board_->busLog().front(), "CLOCK 27MHz FAILED");
    EXPECT_FALSE(fakeRan());
}

TEST_F(BoardCommands, ABoardWhoseClockScriptFailsRecordsNoClock)
{
    board_.reset();
    startBoard("clock_script = fail\n");
    const std::string line = std::string("python3 ") + kClockScript + " 27000000";
    FILE *script = ::popen(line.c_str(), "r");
    ASSERT_NE(script, nullptr);
    EXPECT_EQ(readAll(script), "");
    EXPECT_EQ(::pclose(script), W_EXITCODE(1, 0));
    EXPECT_EQ(board_->driverState().count("input_clock"), 0u);
    EXPECT_EQ(board_->busLog(), (std::vector<std::string>{"CLOCK 27000000 FAILED"}));
}

TEST_F(BoardCommands, OrdinaryCommandsRunUnchanged)
{
    const std::string file = board_->path("ran");
    EXPECT_EQ(::system(("echo ran > " + file).c_str()), 0);
    EXPECT_EQ(board_->readFile("ran"), "ran\n");
    FILE *echo = ::popen("echo hello", "r");
    ASSERT_NE(echo, nullptr);
    EXPECT_EQ(readAll(echo), "hello\n");
    EXPECT_EQ(::pclose(echo), 0);
    EXPECT_EQ(forkExec({"sh", "-c", "exit 3"}), 3);
    // A script that only shares its interpreter with the clock script runs as well.
    EXPECT_EQ(::system(("python3 " + board_->path("other.py") + " 1").c_str()), 0);
    EXPECT_EQ(board_->readFile("spy.log"), "python3 " + board_->path("other.py") + " 1\n");
    EXPECT_FALSE(std::filesystem::exists(board_->path("power.log")));
}

} // namespace
