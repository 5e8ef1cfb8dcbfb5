// The simulated board: its description, devices and open descriptors, and path routing.
#pragma once

#include "board_description.h"
#include "camera_link.h"
#include "capture_driver.h"
#include "eeprom.h"
#include "fd_table.h"
#include "gpio_lines.h"
#include "sysfs_tree.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace boardsim {

// Per video node state that outlives one open descriptor (as in a driver).
struct VideoNodeState {
    NodeFormat format;
    uint32_t stride = 0;                  // preferred stride control, bytes; 0 = none
    std::map<uint32_t, int32_t> controls; // last values of the table-apply controls
    const void *bufferOwner = nullptr;    // the open file that holds the node's buffers
    std::array<int, 4> priorities{};      // open files of this process per access priority
};

class Board
{
public:
    // error: why the description could not be read; the board then has no devices.
    Board(std::string directory, BoardDescription description, std::string error);
    ~Board() = delete; // boards live until the process ends: descriptors may outlast anything

    // The board of the current ZE_SIM_DIR. A new board is built when ZE_SIM_DIR has changed
    // and no descriptor of the previous one is open. Never null.
    static Board &current();
    // The board that owns descriptors now, or null when none was built (lock-free).
    static Board *active();
    static FdTable *fdTable();

    // Paths the board stands in for (a cheap check that allocates nothing).
    static bool isBoardPath(const char *path);

    // Opens a board path: a descriptor, or a negative errno.
    int open(const char *path, int flags);
    // stat() of a board path (lstat() when follow is false): 0 or a negative errno.
    int stat(const char *path, struct stat &st, bool follow = true);
    // The file that stands for a board path below /sys/ (the path itself when the board has
    // no such entry), so that sysfs is read, listed and resolved by the C library itself.
    std::string sysfsPath(const char *path) const;
    // A path of the sysfs tree given back as the /sys/ path it stands for.
    std::string sysfsOrigin(const std::string &path) const { return sysfs_.unredirect(path); }
    void fillDeviceStat(dev_t device, struct stat &st) const;
    // The names of the board's device files in /dev (video0, i2c-8, gpiochip1, ...).
    std::vector<std::string> deviceNames() const;

    // Registers a descriptor made by a device (line handles); false when the table is full.
    bool adopt(int fd, std::shared_ptr<FakeFile> file);

    std::mutex mutex;
    std::condition_variable frameReady;

    const BoardDescription &description() const { return description_; }
    const std::string &directory() const { return directory_; }
    // False when the description could not be read: the board then has no devices.
    bool usable() const { return usable_; }
    CameraLink link;
    CaptureDriver driver;
    std::unique_ptr<Eeprom> eeprom;
    std::unique_ptr<GpioLines> gpio;
    std::map<int, VideoNodeState> videoNodes;

private:
    int openTextFile(const std::string &contents, const char *name, int flags);
    bool hasVideoNode(int index) const;
    bool hasI2cBus(int bus) const;

    std::string requested_; // ZE_SIM_DIR as it was when the board was built
    std::string directory_;
    BoardDescription description_;
    bool usable_ = true;
    SysfsTree sysfs_;
};

// Device numbers of the simulated character devices.
constexpr unsigned kVideoMajor = 81;
constexpr unsigned kI2cMajor = 89;
constexpr unsigned kGpioMajor = 254;

} // namespace boardsim
