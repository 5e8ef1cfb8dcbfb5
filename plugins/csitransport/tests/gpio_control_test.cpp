// GPIO_Control on the simulated GPIO chip: requests, levels, consumers and a line held elsewhere.
#include "gpio_control.h"

#include "sim_board.h"

#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <system_error>
#include <thread>

extern char **environ;

namespace {

using boardsim::testing::SimBoard;

class GpioControl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
    }
    // The gpio.state row of a line: level, direction, active-low, holder, consumer, last.
    std::string line(unsigned offset)
    {
        std::istringstream in(board_.readFile("gpio.state"));
        const std::string prefix = std::to_string(offset) + "\t";
        for (std::string row; std::getline(in, row);)
            if (row.rfind(prefix, 0) == 0)
                return row.substr(prefix.size());
        return "";
    }

    SimBoard board_;
};

TEST_F(GpioControl, OutputLineIsDrivenAndRecorded)
{
    GPIO_Control gpio("gpiochip1");
    gpio.SetLine(129);
    EXPECT_TRUE(gpio.LineSelected());
    EXPECT_FALSE(gpio.IsUsed());
    gpio.RequestOut(0);
    EXPECT_TRUE(gpio.IsRequested());
    EXPECT_TRUE(gpio.IsUsed());
    gpio.SetValue(1);
    EXPECT_EQ(gpio.GetValue(), 1);
    EXPECT_EQ(line(129), "1\tout\t0\t" + std::to_string(::getpid()) + "\tQRB_Server\tQRB_Server");
    gpio.Release();
    EXPECT_FALSE(gpio.LineSelected());
    EXPECT_EQ(line(129), "1\tout\t0\t0\t-\tQRB_Server");
}

TEST_F(GpioControl, InputLineReadsTheBoardLevel)
{
    board_.writeFile("gpio.state", "124\t1\tin\t0\t0\t-\t-\n");
    GPIO_Control gpio("gpiochip1");
    gpio.SetLine(124);
    gpio.RequestIn();
    EXPECT_EQ(gpio.GetValue(), 1);
    EXPECT_THROW(gpio.SetValue(0), std::system_error);
}

TEST_F(GpioControl, Rev2MarkerDrivesLine126High)
{
    GPIO_Control gpio("gpiochip1");
    gpio.SetQRBRev2();
    EXPECT_TRUE(gpio.IsRequested());
    EXPECT_EQ(line(126).substr(0, 6), "1\tout\t");
}

TEST_F(GpioControl, Rev2MarkerLeavesALineHeldByAnotherProcessAlone)
{
    char *const argv[] = {const_cast<char *>("gpioset"), const_cast<char *>("--mode=signal"),
                          const_cast<char *>("gpiochip1"), const_cast<char *>("126=0"), nullptr};
    pid_t holder = 0;
    const int spawned = ::posix_spawnp(&holder, "gpioset", nullptr, nullptr, argv, environ);
    if (spawned == ENOENT)
        GTEST_SKIP() << "gpioset is not installed (Debian package gpiod)";
    ASSERT_EQ(spawned, 0);
    for (int i = 0; i < 100 && line(126).find("gpioset") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    {
        GPIO_Control gpio("gpiochip1");
        gpio.SetQRBRev2();
        EXPECT_TRUE(gpio.IsUsed());
        EXPECT_FALSE(gpio.IsRequested());
    }
    EXPECT_EQ(line(126), "0\tout\t0\t" + std::to_string(holder) + "\tgpioset\tgpioset");
    ::kill(holder, SIGTERM);
    int status = 0;
    ::waitpid(holder, &status, 0);
}

TEST_F(GpioControl, SetChipChangesOnlyTheName)
{
    GPIO_Control gpio("gpiochip1");
    gpio.SetChip("gpiochip7");
    EXPECT_EQ(gpio.ChipName(), "gpiochip7");
    gpio.SetLine(130);
    gpio.RequestOut(1);
    EXPECT_EQ(line(130).substr(0, 6), "1\tout\t");
}

TEST_F(GpioControl, MissingChipAndLinesAreErrorsOfTheBinding)
{
    EXPECT_THROW(GPIO_Control("gpiochip0"), std::system_error);
    GPIO_Control gpio("gpiochip1");
    EXPECT_THROW(gpio.SetLine(160), std::out_of_range);
    EXPECT_THROW(gpio.GetValue(), std::logic_error);
}

} // namespace
