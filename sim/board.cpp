// Building the simulated board and routing board paths to its devices.
#include "board.h"

#include "gpio_chip_file.h"
#include "i2c_adapter_file.h"
#include "real_functions.h"
#include "state_files.h"
#include "video_node_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace boardsim {
namespace {

constexpr const char *kDescriptionFile = "/board.conf";
constexpr const char *kVideoPrefix = "/dev/video";
constexpr const char *kI2cPrefix = "/dev/i2c-";
constexpr const char *kGpioPrefix = "/dev/gpiochip";
constexpr const char *kSysfsRoot = "/sys/";
// sysfs folders that hold entries of the board's devices.
constexpr const char *kSysfsPrefixes[] = {"/sys/dev/char/", "/sys/class/", "/sys/bus/gpio/",
                                          "/sys/devices/platform/"};
constexpr const char *kSerialNumberPath = "/proc/device-tree/serial-number";
constexpr mode_t kDeviceMode = 0660;
constexpr mode_t kTextFileMode = 0444;

std::mutex g_switchMutex;
std::atomic<Board *> g_board{nullptr};
std::atomic<FdTable *> g_table{nullptr};
std::vector<Board *> *g_retired = nullptr; // kept reachable: earlier boards of the process

bool startsWith(const char *s, const char *prefix)
{
    return std::strncmp(s, prefix, std::strlen(prefix)) == 0;
}

// A decimal number that is the whole rest of the text; -1 otherwise.
int trailingNumber(const char *text)
{
    if (*text == '\0' || std::strlen(text) > 3)
        return -1;
    int n = 0;
    for (const char *p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return -1;
        n = n * 10 + (*p - '0');
    }
    return n;
}

void report(const std::string &message)
{
    const std::string line = "boardsim: " + message + "\n";
    [[maybe_unused]] ssize_t n = real::write(STDERR_FILENO, line.data(), line.size());
}

std::string absoluteDirectory(const std::string &directory, std::string &error)
{
    if (directory.empty())
        return {};
    char resolved[PATH_MAX];
    if (::realpath(directory.c_str(), resolved) == nullptr) {
        error = "board directory " + directory + ": " + std::strerror(errno);
        return {};
    }
    return resolved;
}

bool readDescription(const std::string &directory, BoardDescription &out, std::string &error)
{
    if (directory.empty())
        return true;
    const std::string path = directory + kDescriptionFile;
    std::string text;
    if (!readWholeFile(path, text)) {
        text = defaultBoardDescriptionText(kDefaultSensorData);
        if (!replaceFile(path, text)) {
            error = "cannot write " + path + ": " + std::strerror(errno);
            return false;
        }
    }
    std::vector<std::string> problems;
    out = parseBoardDescription(text, problems);
    for (const auto &p : problems)
        error += (error.empty() ? "" : "\n") + path + ": " + p;
    return problems.empty();
}

Board *buildBoard(const std::string &requested)
{
    std::string error;
    const std::string directory = absoluteDirectory(requested, error);
    BoardDescription description;
    const bool described = error.empty() && readDescription(directory, description, error);
    return new Board(directory, description, described ? std::string() : error);
}

// A fork while another thread holds a board lock would leave the child's lock held forever:
// the locks are taken around the fork and the child forgets the parent's threads.
void beforeFork()
{
    g_switchMutex.lock();
    if (Board *b = g_board.load())
        b->mutex.lock();
}

void afterForkInParent()
{
    if (Board *b = g_board.load())
        b->mutex.unlock();
    g_switchMutex.unlock();
}

void afterForkInChild()
{
    if (Board *b = g_board.load()) {
        if (FdTable *table = g_table.load())
            table->forEach([](FakeFile &file) { file.afterFork(); });
        b->mutex.unlock();
    }
    g_switchMutex.unlock();
}

} // namespace

Board::Board(std::string directory, BoardDescription description, std::string error)
    : driver(link, directory), directory_(std::move(directory)),
      description_(std::move(description))
{
    // A board whose description is wrong has no devices at all, rather than guessed ones.
    if (!error.empty() || !link.build(description_, directory_, error) ||
        !sysfs_.build(description_, directory_, error)) {
        report(error);
        usable_ = false;
        return;
    }
    driver.reset(description_);
    std::vector<uint8_t> contents(description_.eepromSize, 0xFF);
    const auto record = serialNumberRecord(description_.boardSerial, description_.moduleSerial);
    std::copy(record.begin(), record.begin() + std::min(record.size(), contents.size()),
              contents.begin());
    eeprom =
        std::make_unique<Eeprom>(std::move(contents), directory_, description_.eepromFailAtByte);
    gpio = std::make_unique<GpioLines>(description_.gpioLines, directory_);
}

Board &Board::current()
{
    std::lock_guard<std::mutex> guard(g_switchMutex);
    if (g_table.load() == nullptr) {
        g_table.store(new FdTable);
        ::pthread_atfork(beforeFork, afterForkInParent, afterForkInChild);
    }
    const char *env = std::getenv("ZE_SIM_DIR");
    const std::string requested = env ? env : "";
    Board *board = g_board.load();
    if (board != nullptr) {
        if (board->requested_ == requested || g_table.load()->openCount() > 0)
            return *board;
        if (g_retired == nullptr)
            g_retired = new std::vector<Board *>;
        g_retired->push_back(board);
    }
    board = buildBoard(requested);
    board->requested_ = requested;
    g_board.store(board);
    return *board;
}

Board *Board::active()
{
    return g_board.load(std::memory_order_acquire);
}

FdTable *Board::fdTable()
{
    return g_table.load(std::memory_order_acquire);
}

bool Board::isBoardPath(const char *path)
{
    if (path == nullptr || path[0] != '/')
        return false;
    if (path[1] == 'd')
        return startsWith(path, kVideoPrefix) || startsWith(path, kI2cPrefix) ||
               startsWith(path, kGpioPrefix);
    if (path[1] == 's') {
        for (const char *prefix : kSysfsPrefixes)
            if (startsWith(path, prefix))
                return true;
        return false;
    }
    if (path[1] == 'p')
        return std::strcmp(path, kSerialNumberPath) == 0;
    return false;
}

bool Board::hasVideoNode(int index) const
{
    for (int n : description_.videoNodes)
        if (n == index)
            return true;
    return false;
}

bool Board::hasI2cBus(int bus) const
{
    for (int n : description_.i2cBuses)
        if (n == bus)
            return true;
    return bus == description_.eepromBus;
}

std::string Board::sysfsPath(const char *path) const
{
    return sysfs_.owns(path) ? sysfs_.redirect(path) : std::string(path);
}

bool Board::adopt(int fd, std::shared_ptr<FakeFile> file)
{
    return fdTable()->insert(fd, std::move(file));
}

int Board::openTextFile(const std::string &contents, const char *name, int flags)
{
    if ((flags & O_ACCMODE) != O_RDONLY)
        return -EACCES;
    const int fd = makeMemoryFile(name, contents, flags);
    return fd >= 0 ? fd : -errno;
}

int Board::open(const char *path, int flags)
{
    if (startsWith(path, kSysfsRoot)) {
        // The board's attributes are read-only, as sysfs files without a store method are.
        const bool writing = (flags & O_ACCMODE) != O_RDONLY || (flags & (O_TRUNC | O_CREAT));
        if (sysfs_.owns(path) && writing)
            return -EACCES;
        const int rc = real::open(sysfsPath(path).c_str(), flags, 0);
        return rc >= 0 ? rc : -errno;
    }
    if (!usable_)
        return -ENODEV;
    const std::string chipPath = "/dev/" + description_.gpioChip;
    if (std::strcmp(path, kSerialNumberPath) == 0) {
        if (description_.moduleSerial.empty())
            return -ENOENT;
        // Device-tree strings carry their terminating NUL.
        return openTextFile(description_.moduleSerial + std::string(1, '\0'), "serial-number",
                            flags);
    }
    std::shared_ptr<FakeFile> file;
    const int evFlags = EFD_SEMAPHORE | ((flags & O_NONBLOCK) ? EFD_NONBLOCK : 0) |
                        ((flags & O_CLOEXEC) ? EFD_CLOEXEC : 0);
    UniqueFd fd(::eventfd(0, evFlags));
    if (!fd.valid())
        return -errno;
    if (startsWith(path, kVideoPrefix)) {
        const int index = trailingNumber(path + std::strlen(kVideoPrefix));
        if (!hasVideoNode(index))
            return -ENOENT;
        link.reload();
        driver.reload();
        file = std::make_shared<VideoNodeFile>(*this, index, fd.get());
    } else if (startsWith(path, kI2cPrefix)) {
        const int bus = trailingNumber(path + std::strlen(kI2cPrefix));
        if (bus < 0 || !hasI2cBus(bus))
            return -ENOENT;
        file = std::make_shared<I2cAdapterFile>(*this, bus);
    } else if (chipPath == path) {
        file = std::make_shared<GpioChipFile>(*this);
    } else {
        return -ENOENT;
    }
    if (!adopt(fd.get(), file))
        return -EMFILE;
    return fd.release();
}

std::vector<std::string> Board::deviceNames() const
{
    std::vector<std::string> names;
    if (!usable_)
        return names;
    for (int n : description_.videoNodes)
        names.push_back("video" + std::to_string(n));
    for (int bus : description_.i2cBuses)
        names.push_back("i2c-" + std::to_string(bus));
    const auto &buses = description_.i2cBuses;
    if (std::find(buses.begin(), buses.end(), description_.eepromBus) == buses.end())
        names.push_back("i2c-" + std::to_string(description_.eepromBus));
    names.push_back(description_.gpioChip);
    return names;
}

void Board::fillDeviceStat(dev_t device, struct stat &st) const
{
    std::memset(&st, 0, sizeof st);
    st.st_mode = S_IFCHR | kDeviceMode;
    st.st_rdev = device;
    st.st_nlink = 1;
    st.st_blksize = 4096;
    st.st_dev = makedev(0, 5);
    st.st_ino = static_cast<ino_t>(device);
}

int Board::stat(const char *path, struct stat &st, bool follow)
{
    if (startsWith(path, kSysfsRoot)) {
        const std::string file = sysfsPath(path);
        const int rc = follow ? real::stat(file.c_str(), &st) : real::lstat(file.c_str(), &st);
        return rc == 0 ? 0 : -errno;
    }
    if (!usable_)
        return -ENOENT;
    if (startsWith(path, kVideoPrefix)) {
        const int index = trailingNumber(path + std::strlen(kVideoPrefix));
        if (!hasVideoNode(index))
            return -ENOENT;
        fillDeviceStat(makedev(kVideoMajor, static_cast<unsigned>(index)), st);
        return 0;
    }
    if (startsWith(path, kI2cPrefix)) {
        const int bus = trailingNumber(path + std::strlen(kI2cPrefix));
        if (bus < 0 || !hasI2cBus(bus))
            return -ENOENT;
        fillDeviceStat(makedev(kI2cMajor, static_cast<unsigned>(bus)), st);
        return 0;
    }
    if ("/dev/" + description_.gpioChip == path) {
        const int chip = std::atoi(description_.gpioChip.c_str() + std::strlen("gpiochip"));
        fillDeviceStat(makedev(kGpioMajor, static_cast<unsigned>(chip)), st);
        return 0;
    }
    const bool serial =
        std::strcmp(path, kSerialNumberPath) == 0 && !description_.moduleSerial.empty();
    if (serial) {
        std::memset(&st, 0, sizeof st);
        st.st_mode = S_IFREG | kTextFileMode;
        st.st_nlink = 1;
        st.st_size = static_cast<off_t>(description_.moduleSerial.size() + 1);
        return 0;
    }
    return -ENOENT;
}

} // namespace boardsim
