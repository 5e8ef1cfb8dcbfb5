// GPIO line events of the simulated chip: edges made here and in other processes, flags, limits.
#include "sim_board.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/gpio.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using boardsim::testing::SimBoard;

constexpr uint32_t kLine = 21;
constexpr int kWaitMs = 2000;

class GpioLineEvents : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
        chip_ = ::open("/dev/gpiochip1", O_RDWR);
        ASSERT_GE(chip_, 0);
    }
    void TearDown() override
    {
        for (int fd : open_)
            ::close(fd);
        ::close(chip_);
    }
    // An event descriptor, or the negative errno.
    int watch(uint32_t eventFlags, uint32_t handleFlags = GPIOHANDLE_REQUEST_INPUT,
              uint32_t line = kLine)
    {
        gpioevent_request req{};
        req.lineoffset = line;
        req.handleflags = handleFlags;
        req.eventflags = eventFlags;
        std::strcpy(req.consumer_label, "watcher");
        if (::ioctl(chip_, GPIO_GET_LINEEVENT_IOCTL, &req) != 0)
            return -errno;
        open_.push_back(req.fd);
        return req.fd;
    }
    static int drive(int chip, const std::vector<int> &levels)
    {
        gpiohandle_request req{};
        req.lineoffsets[0] = kLine;
        req.lines = 1;
        req.flags = GPIOHANDLE_REQUEST_OUTPUT;
        if (::ioctl(chip, GPIO_GET_LINEHANDLE_IOCTL, &req) != 0)
            return -errno;
        for (int level : levels) {
            gpiohandle_data data{};
            data.values[0] = static_cast<uint8_t>(level);
            if (::ioctl(req.fd, GPIOHANDLE_SET_LINE_VALUES_IOCTL, &data) != 0)
                return -errno;
        }
        ::close(req.fd);
        return 0;
    }
    // Reads until count events came or nothing comes for a while.
    static std::vector<gpioevent_data> events(int fd, size_t count)
    {
        std::vector<gpioevent_data> out;
        while (out.size() < count) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, kWaitMs) != 1)
                break;
            gpioevent_data e{};
            if (::read(fd, &e, sizeof e) != static_cast<ssize_t>(sizeof e))
                break;
            out.push_back(e);
        }
        return out;
    }
    static std::vector<uint32_t> ids(const std::vector<gpioevent_data> &list)
    {
        std::vector<uint32_t> out;
        for (const auto &e : list)
            out.push_back(e.id);
        return out;
    }

    SimBoard board_;
    int chip_ = -1;
    std::vector<int> open_;
};

constexpr uint32_t kRising = GPIOEVENT_EVENT_RISING_EDGE;
constexpr uint32_t kFalling = GPIOEVENT_EVENT_FALLING_EDGE;

TEST_F(GpioLineEvents, EdgesMadeInThisProcessAreSeenInOrder)
{
    const int fd = watch(GPIOEVENT_REQUEST_BOTH_EDGES);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(drive(chip_, {1, 0, 0, 1}), 0); // the repeated 0 is no edge
    const auto got = events(fd, 3);
    EXPECT_EQ(ids(got), (std::vector<uint32_t>{kRising, kFalling, kRising}));
    ASSERT_EQ(got.size(), 3u);
    EXPECT_GT(got[0].timestamp, 0u);
    EXPECT_LE(got[1].timestamp, got[2].timestamp);
    gpiohandle_data level{};
    ASSERT_EQ(::ioctl(fd, GPIOHANDLE_GET_LINE_VALUES_IOCTL, &level), 0);
    EXPECT_EQ(level.values[0], 1);
}

TEST_F(GpioLineEvents, EdgesMadeByAnotherProcessAreSeen)
{
    const int fd = watch(GPIOEVENT_REQUEST_BOTH_EDGES);
    ASSERT_GE(fd, 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const int chip = ::open("/dev/gpiochip1", O_RDWR);
        ::_exit(chip >= 0 && drive(chip, {1, 0, 1}) == 0 ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ids(events(fd, 3)), (std::vector<uint32_t>{kRising, kFalling, kRising}));
}

TEST_F(GpioLineEvents, EventFlagsChooseEdgesOfTheLogicalLevel)
{
    const int rising = watch(GPIOEVENT_REQUEST_RISING_EDGE);
    const int activeLowRising = watch(GPIOEVENT_REQUEST_RISING_EDGE,
                                      GPIOHANDLE_REQUEST_INPUT | GPIOHANDLE_REQUEST_ACTIVE_LOW);
    ASSERT_GE(rising, 0);
    ASSERT_GE(activeLowRising, 0);
    ASSERT_EQ(drive(chip_, {1, 0, 1, 0}), 0);
    EXPECT_EQ(ids(events(rising, 2)), (std::vector<uint32_t>{kRising, kRising}));
    // Active low: the line going low is the logical level rising.
    EXPECT_EQ(ids(events(activeLowRising, 2)), (std::vector<uint32_t>{kRising, kRising}));
    gpiohandle_data level{};
    ASSERT_EQ(::ioctl(activeLowRising, GPIOHANDLE_GET_LINE_VALUES_IOCTL, &level), 0);
    EXPECT_EQ(level.values[0], 1) << "the line is low";
}

TEST_F(GpioLineEvents, UnreadEventsAreBoundedAndReadWhole)
{
    const int fd = watch(GPIOEVENT_REQUEST_BOTH_EDGES);
    ASSERT_GE(fd, 0);
    std::vector<int> levels;
    for (int i = 0; i < 40; ++i)
        levels.push_back((i + 1) % 2);
    ASSERT_EQ(drive(chip_, levels), 0);
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, kWaitMs), 1);
    ::usleep(100000); // let the watcher take in every change
    gpioevent_data small[1];
    EXPECT_EQ(::read(fd, small, sizeof small[0] - 1), -1);
    EXPECT_EQ(errno, EINVAL);
    gpioevent_data all[64];
    const ssize_t n = ::read(fd, all, sizeof all);
    EXPECT_EQ(n, static_cast<ssize_t>(16 * sizeof(gpioevent_data)));
    EXPECT_EQ(all[0].id, kRising);
    EXPECT_EQ(all[15].id, kFalling);
    ASSERT_EQ(::fcntl(fd, F_SETFL, O_NONBLOCK), 0);
    EXPECT_EQ(::read(fd, all, sizeof all), -1);
    EXPECT_EQ(errno, EAGAIN);
}

TEST_F(GpioLineEvents, InvalidRequestsAreRefused)
{
    EXPECT_EQ(watch(GPIOEVENT_REQUEST_BOTH_EDGES, GPIOHANDLE_REQUEST_OUTPUT), -EINVAL);
    EXPECT_EQ(watch(GPIOEVENT_REQUEST_BOTH_EDGES, GPIOHANDLE_REQUEST_INPUT, 160), -EINVAL);
    EXPECT_EQ(watch(0x10), -EINVAL);
    EXPECT_EQ(watch(GPIOEVENT_REQUEST_BOTH_EDGES, GPIOHANDLE_REQUEST_OPEN_DRAIN), -EINVAL);
}

} // namespace
