// Writing the board's sysfs entries and mapping sysfs paths into them.
#include "sysfs_tree.h"

#include "board.h"
#include "real_functions.h"
#include "state_files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <unistd.h>

namespace boardsim {
namespace {

namespace fs = std::filesystem;

constexpr const char *kSysPrefix = "/sys/";
constexpr const char *kCaptureDevice = "csi-capture";
constexpr const char *kI2cController = "i2c-bus";
constexpr const char *kGpioController = "gpio-controller";
// Class directories the board fills in whole when the machine has none of its own.
constexpr const char *kClassDirectories[] = {"class/video4linux", "class/i2c-dev"};

std::string uevent(unsigned major, unsigned minor, const std::string &name)
{
    return "MAJOR=" + std::to_string(major) + "\nMINOR=" + std::to_string(minor) +
           "\nDEVNAME=" + name + "\n";
}

using Entries = std::vector<SysfsTree::Entry>;

void addFile(Entries &out, std::string path, std::string text)
{
    out.push_back({std::move(path), std::move(text), false});
}

void addLink(Entries &out, std::string path, std::string target)
{
    out.push_back({std::move(path), std::move(target), true});
}

// One character device: its class directory below the parent device, and the links to it.
struct CharDevice {
    std::string parent;   // below devices/platform
    std::string subclass; // class name, and the folder below the parent
    std::string name;     // videoN, i2c-N, gpiochipN
    unsigned major;
    unsigned minor;
};

// Where the device's own folder sits, relative to /sys.
std::string deviceFolder(const CharDevice &d)
{
    const std::string parent = "devices/platform/" + d.parent;
    return d.subclass.empty() ? parent + "/" + d.name : parent + "/" + d.subclass + "/" + d.name;
}

// The "../" steps from a folder at depth (components below /sys) back to /sys.
std::string upTo(size_t depth)
{
    std::string up;
    for (size_t i = 0; i < depth; ++i)
        up += "../";
    return up;
}

size_t depthOf(const std::string &path)
{
    return static_cast<size_t>(std::count(path.begin(), path.end(), '/')) + 1;
}

void addCharDevice(Entries &out, const CharDevice &d, const std::string &displayName)
{
    const std::string folder = deviceFolder(d);
    addFile(out, folder + "/dev", deviceNumberText(d.major, d.minor) + "\n");
    addFile(out, folder + "/uevent", uevent(d.major, d.minor, d.name));
    if (!displayName.empty())
        addFile(out, folder + "/name", displayName + "\n");
    const std::string top = upTo(depthOf(folder));
    addLink(out, folder + "/device", top + "devices/platform/" + d.parent);
    const std::string charPath = "dev/char/" + deviceNumberText(d.major, d.minor);
    addLink(out, charPath, upTo(depthOf(charPath) - 1) + folder);
    if (!d.subclass.empty()) {
        const std::string classPath = "class/" + d.subclass + "/" + d.name;
        addLink(out, classPath, upTo(depthOf(classPath) - 1) + folder);
        addLink(out, folder + "/subsystem", top + "class/" + d.subclass);
    }
}

void addPlatformDevice(Entries &out, const std::string &name, const std::string &driver)
{
    addFile(out, "devices/platform/" + name + "/uevent",
            "DRIVER=" + driver + "\nMODALIAS=platform:" + driver + "\n");
}

// The anchor of an entry: the part of its path that no machine's sysfs has, and below which
// the board answers for everything.
std::string anchorOf(const std::string &path)
{
    const size_t components = path.rfind("bus/", 0) == 0 ? 4 : 3;
    size_t end = 0;
    for (size_t i = 0; i < components && end != std::string::npos; ++i)
        end = path.find('/', end == 0 ? 0 : end + 1);
    return end == std::string::npos ? path : path.substr(0, end);
}

std::string treeDigest(const Entries &entries)
{
    std::string all;
    for (const auto &e : entries)
        all += e.path + (e.link ? "->" : "=") + e.text + '\n';
    char hex[32];
    std::snprintf(hex, sizeof hex, "%016zx", std::hash<std::string>{}(all));
    return hex;
}

bool writeTree(const std::string &root, const Entries &entries, std::error_code &ec)
{
    for (const auto &e : entries) {
        const fs::path path = fs::path(root) / e.path;
        fs::create_directories(path.parent_path(), ec);
        if (ec)
            return false;
        if (e.link) {
            fs::create_symlink(e.text, path, ec);
            if (ec)
                return false;
        } else if (!replaceFile(path.string(), e.text)) {
            ec = std::error_code(errno, std::generic_category());
            return false;
        }
    }
    return true;
}

// The temporary tree of a board kept in memory goes with the process that made it (not with
// its forked children).
std::string *g_temporaryTree = nullptr;
pid_t g_temporaryTreeOwner = 0;

void removeTemporaryTree()
{
    if (g_temporaryTree != nullptr && ::getpid() == g_temporaryTreeOwner) {
        std::error_code ec;
        fs::remove_all(*g_temporaryTree, ec);
    }
}

std::string makeTemporaryDirectory()
{
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/boardsim-sysfs.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        return {};
    if (g_temporaryTree == nullptr) {
        g_temporaryTree = new std::string;
        g_temporaryTreeOwner = ::getpid();
        std::atexit(removeTemporaryTree);
    } else {
        removeTemporaryTree();
    }
    *g_temporaryTree = pattern;
    return pattern;
}

bool startsWithPath(const char *path, const std::string &prefix)
{
    const size_t n = prefix.size();
    return std::strncmp(path, prefix.c_str(), n) == 0 && (path[n] == '\0' || path[n] == '/');
}

} // namespace

std::string deviceNumberText(unsigned major, unsigned minor)
{
    return std::to_string(major) + ":" + std::to_string(minor);
}

std::vector<SysfsTree::Entry> SysfsTree::entriesOf(const BoardDescription &d)
{
    Entries out;
    for (int n : d.videoNodes) {
        const std::string parent = std::string(kCaptureDevice) + "." + std::to_string(n);
        addPlatformDevice(out, parent, kCaptureDevice);
        const auto minor = static_cast<unsigned>(n);
        addCharDevice(out, {parent, "video4linux", "video" + std::to_string(n), kVideoMajor, minor},
                      "Camera link " + std::to_string(n));
        addFile(out,
                deviceFolder({parent, "video4linux", "video" + std::to_string(n), 0, 0}) + "/index",
                "0\n");
    }
    std::vector<int> buses = d.i2cBuses;
    if (std::find(buses.begin(), buses.end(), d.eepromBus) == buses.end())
        buses.push_back(d.eepromBus);
    for (int bus : buses) {
        const std::string adapter = "i2c-" + std::to_string(bus);
        const std::string parent = std::string(kI2cController) + "." + std::to_string(bus);
        addPlatformDevice(out, parent, kI2cController);
        const std::string adapterName = "Board I2C adapter " + std::to_string(bus);
        addFile(out, "devices/platform/" + parent + "/" + adapter + "/name", adapterName + "\n");
        // The character device is named after its adapter, as i2c-dev names it.
        addCharDevice(
            out,
            {parent + "/" + adapter, "i2c-dev", adapter, kI2cMajor, static_cast<unsigned>(bus)},
            adapterName);
    }
    const int chip = std::atoi(d.gpioChip.c_str() + std::strlen("gpiochip"));
    addPlatformDevice(out, kGpioController, kGpioController);
    const CharDevice gpio{kGpioController, "", d.gpioChip, kGpioMajor, static_cast<unsigned>(chip)};
    addCharDevice(out, gpio, "");
    const std::string busLink = "bus/gpio/devices/" + d.gpioChip;
    addLink(out, busLink, upTo(depthOf(busLink) - 1) + deviceFolder(gpio));
    return out;
}

bool SysfsTree::build(const BoardDescription &description, const std::string &directory,
                      std::string &error)
{
    const Entries entries = entriesOf(description);
    // A tree named by its contents: a changed description gets a tree of its own, and
    // processes sharing a board find the one already written.
    std::string root;
    std::error_code ec;
    if (directory.empty()) {
        root = makeTemporaryDirectory();
        if (root.empty() || !writeTree(root, entries, ec)) {
            error = "cannot write the sysfs entries in " + root + ": " + ec.message();
            return false;
        }
    } else {
        root = directory + "/sysfs-" + treeDigest(entries);
        BoardFileLock lock(directory);
        if (!fs::exists(root, ec)) {
            const std::string partial = root + ".tmp." + std::to_string(::getpid());
            fs::remove_all(partial, ec);
            if (!writeTree(partial, entries, ec) || (fs::rename(partial, root, ec), ec)) {
                error = "cannot write the sysfs entries in " + directory + ": " + ec.message();
                fs::remove_all(partial, ec);
                return false;
            }
        }
    }
    root_ = root;
    owned_.clear();
    for (const char *classDirectory : kClassDirectories) {
        struct stat st {
        };
        if (real::stat((std::string(kSysPrefix) + classDirectory).c_str(), &st) != 0)
            owned_.push_back(std::string(kSysPrefix) + classDirectory);
    }
    for (const auto &e : entries) {
        const std::string anchor = kSysPrefix + anchorOf(e.path);
        if (std::find(owned_.begin(), owned_.end(), anchor) == owned_.end() &&
            !owns(anchor.c_str()))
            owned_.push_back(anchor);
    }
    return true;
}

bool SysfsTree::owns(const char *path) const
{
    if (root_.empty() || std::strncmp(path, kSysPrefix, std::strlen(kSysPrefix)) != 0)
        return false;
    for (const auto &prefix : owned_)
        if (startsWithPath(path, prefix))
            return true;
    return false;
}

std::string SysfsTree::redirect(const char *path) const
{
    return root_ + (path + std::strlen(kSysPrefix) - 1);
}

std::string SysfsTree::unredirect(const std::string &path) const
{
    if (root_.empty() || !startsWithPath(path.c_str(), root_))
        return path;
    return "/sys" + path.substr(root_.size());
}

} // namespace boardsim
