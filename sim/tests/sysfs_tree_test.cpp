// The board's devices as tools find them: sysfs entries, links and listings, and /dev scans.
#include "sim_board.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace {

using boardsim::testing::SimBoard;

class SysfsTree : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(boardsim::testing::simulatorLoaded()) << "run with libboardsim preloaded";
    }
    // Reads a whole file through the C library's stdio, as tools do; "" when it cannot.
    static std::string readText(const std::string &path)
    {
        FILE *f = std::fopen(path.c_str(), "r");
        if (f == nullptr)
            return {};
        std::string text;
        char chunk[256];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
            text.append(chunk, n);
        std::fclose(f);
        return text;
    }
    static std::string link(const std::string &path)
    {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
        return n < 0 ? std::string() : std::string(target, static_cast<size_t>(n));
    }
    static std::set<std::string> listing(const std::string &path)
    {
        std::set<std::string> names;
        DIR *dir = ::opendir(path.c_str());
        if (dir == nullptr)
            return names;
        while (const dirent *e = ::readdir(dir))
            if (e->d_name[0] != '.')
                names.insert(e->d_name);
        ::closedir(dir);
        return names;
    }
};

TEST_F(SysfsTree, CaptureNodeIsFoundFromItsDeviceNumber)
{
    SimBoard board;
    struct stat st {
    };
    ASSERT_EQ(::stat("/dev/video2", &st), 0);
    const std::string entry = "/sys/dev/char/" + std::to_string(major(st.st_rdev)) + ":" +
                              std::to_string(minor(st.st_rdev));
    EXPECT_EQ(entry, "/sys/dev/char/81:2");
    EXPECT_EQ(readText(entry + "/uevent"), "MAJOR=81\nMINOR=2\nDEVNAME=video2\n");
    EXPECT_EQ(readText(entry + "/dev"), "81:2\n");
    EXPECT_EQ(readText(entry + "/name"), "Camera link 2\n");
    ASSERT_EQ(::lstat(entry.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(link(entry), "../../devices/platform/csi-capture.2/video4linux/video2");
    char *resolved = ::realpath((entry + "/device").c_str(), nullptr);
    ASSERT_NE(resolved, nullptr);
    EXPECT_STREQ(resolved, "/sys/devices/platform/csi-capture.2");
    std::free(resolved);
    // The parent device has no media controller: nothing named media* below it.
    EXPECT_EQ(listing(entry + "/device"), (std::set<std::string>{"uevent", "video4linux"}));
    EXPECT_EQ(readText("/sys/class/video4linux/video2/name"), "Camera link 2\n");
}

TEST_F(SysfsTree, EntriesFollowTheBoardDescription)
{
    SimBoard board("video_nodes = 1 4\ni2c_buses = 2\ngpio_chip = gpiochip3\n");
    EXPECT_EQ(readText("/sys/dev/char/81:4/uevent"), "MAJOR=81\nMINOR=4\nDEVNAME=video4\n");
    struct stat st {
    };
    EXPECT_EQ(::stat("/sys/dev/char/81:0/uevent", &st), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(readText("/sys/class/i2c-dev/i2c-2/name"), "Board I2C adapter 2\n");
    EXPECT_EQ(readText("/sys/class/i2c-dev/i2c-8/dev"), "89:8\n"); // the EEPROM's bus
    EXPECT_EQ(readText("/sys/bus/gpio/devices/gpiochip3/dev"), "254:3\n");
    EXPECT_EQ(readText("/sys/dev/char/254:3/uevent"), "MAJOR=254\nMINOR=3\nDEVNAME=gpiochip3\n");
    EXPECT_EQ(::access("/sys/bus/gpio/devices/gpiochip1/dev", R_OK), -1);
}

TEST_F(SysfsTree, SysfsFilesCannotBeWritten)
{
    SimBoard board;
    EXPECT_EQ(::access("/sys/dev/char/81:0/uevent", R_OK), 0);
    EXPECT_EQ(::access("/sys/dev/char/81:0/uevent", W_OK), -1);
    EXPECT_EQ(std::fopen("/sys/dev/char/81:0/name", "w"), nullptr);
}

TEST_F(SysfsTree, DeviceDirectoryScanListsTheBoardsDevices)
{
    SimBoard board("video_nodes = 0 3\n");
    dirent **entries = nullptr;
    const int n = ::scandir(
        "/dev", &entries,
        [](const dirent *e) -> int {
            return std::strncmp(e->d_name, "video", 5) == 0 ||
                   std::strncmp(e->d_name, "gpiochip", 8) == 0 ||
                   std::strncmp(e->d_name, "i2c-", 4) == 0;
        },
        alphasort);
    ASSERT_GE(n, 0);
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) {
        names.emplace_back(entries[i]->d_name);
        EXPECT_EQ(entries[i]->d_type, DT_CHR);
        std::free(entries[i]);
    }
    std::free(entries);
    EXPECT_EQ(names, (std::vector<std::string>{"gpiochip1", "i2c-8", "video0", "video3"}));
}

TEST_F(SysfsTree, DeviceDirectoryListingEndsWithTheBoardsDevices)
{
    SimBoard board("video_nodes = 2\ni2c_buses = 4 8\n");
    const std::set<std::string> all = listing("/dev");
    for (const char *name : {"video2", "i2c-4", "i2c-8", "gpiochip1", "null"})
        EXPECT_EQ(all.count(name), 1u) << name;
    EXPECT_EQ(all.count("video0"), 0u);
    // Each listing is whole again, and other directories are left alone.
    EXPECT_EQ(listing("/dev"), all);
    EXPECT_EQ(listing("/sys/devices/platform/csi-capture.2"),
              (std::set<std::string>{"uevent", "video4linux"}));
}

} // namespace
