// The C library calls that list directories and resolve links, for /dev and the board's sysfs.
#include "board.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <mutex>
#include <string>
#include <vector>
#include <unistd.h>

#define BOARDSIM_EXPORT extern "C" __attribute__((visibility("default")))

using namespace boardsim;

namespace {

constexpr const char *kDeviceDirectory = "/dev";

// The C library's own function of that name; resolved once.
template <class Fn>
Fn next(const char *name)
{
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

using OpendirFn = DIR *(*)(const char *);
using ReadlinkFn = ssize_t (*)(const char *, char *, size_t);
using ReadlinkatFn = ssize_t (*)(int, const char *, char *, size_t);
using RealpathFn = char *(*)(const char *, char *);
using FilterFn = int (*)(const dirent *);
using CompareFn = int (*)(const dirent **, const dirent **);
using ReaddirFn = dirent *(*)(DIR *);
using ClosedirFn = int (*)(DIR *);
using ScandirFn = int (*)(const char *, dirent ***, FilterFn, CompareFn);

bool isSysfsPath(const char *path)
{
    return path != nullptr && std::strncmp(path, "/sys/", 5) == 0 && Board::isBoardPath(path);
}

// The file standing for a sysfs path of the board, or the path itself.
std::string sysfsPath(const char *path)
{
    Board &board = Board::current();
    BoardLock lock(board.mutex);
    return board.sysfsPath(path);
}

bool isDeviceDirectory(const char *path)
{
    return path != nullptr &&
           (std::strcmp(path, kDeviceDirectory) == 0 || std::strcmp(path, "/dev/") == 0);
}

dirent *makeEntry(const std::string &name)
{
    auto *entry = static_cast<dirent *>(std::calloc(1, sizeof(dirent)));
    if (entry == nullptr)
        return nullptr;
    entry->d_reclen = sizeof(dirent);
    entry->d_type = DT_CHR;
    std::strncpy(entry->d_name, name.c_str(), sizeof entry->d_name - 1);
    return entry;
}

bool listed(dirent **list, int count, const std::string &name)
{
    for (int i = 0; i < count; ++i)
        if (name == list[i]->d_name)
            return true;
    return false;
}

// /dev as the C library lists it, with the board's device files added as the kernel would
// show them; the caller's filter and order apply to them as to the rest.
int scanDeviceDirectory(const char *dir, dirent ***namelist, FilterFn filter, CompareFn compare)
{
    static const auto realScandir = next<ScandirFn>("scandir");
    dirent **list = nullptr;
    int count = realScandir(dir, &list, filter, nullptr);
    if (count < 0)
        return count;
    std::vector<std::string> names;
    {
        Board &board = Board::current();
        BoardLock lock(board.mutex);
        names = board.deviceNames();
    }
    for (const auto &name : names) {
        if (listed(list, count, name))
            continue;
        dirent *entry = makeEntry(name);
        if (entry == nullptr)
            break;
        if (filter != nullptr && filter(entry) == 0) {
            std::free(entry);
            continue;
        }
        auto *grown = static_cast<dirent **>(std::realloc(list, sizeof *list * (count + 1)));
        if (grown == nullptr) {
            std::free(entry);
            break;
        }
        list = grown;
        list[count++] = entry;
    }
    if (compare != nullptr)
        std::qsort(list, static_cast<size_t>(count), sizeof *list,
                   reinterpret_cast<int (*)(const void *, const void *)>(compare));
    *namelist = list;
    return count;
}

// /dev opened for reading entry by entry: after the C library's own entries come the board's
// device files that /dev does not hold. A few listings at a time; more are left unextended.
struct DeviceListing {
    std::atomic<DIR *> dir{nullptr};
    std::vector<std::string> pending; // board device files still to be listed
    dirent entry{};
};
constexpr size_t kListings = 8;
DeviceListing g_listings[kListings];
std::mutex g_listingsMutex;

DeviceListing *listingOf(DIR *dir)
{
    for (auto &listing : g_listings)
        if (dir != nullptr && listing.dir.load(std::memory_order_acquire) == dir)
            return &listing;
    return nullptr;
}

void trackDeviceListing(DIR *dir)
{
    std::vector<std::string> names;
    {
        Board &board = Board::current();
        BoardLock lock(board.mutex);
        names = board.deviceNames();
    }
    std::lock_guard<std::mutex> guard(g_listingsMutex);
    for (auto &listing : g_listings) {
        if (listing.dir.load() == nullptr) {
            listing.pending = std::move(names);
            listing.dir.store(dir, std::memory_order_release);
            return;
        }
    }
}

void untrackDeviceListing(DIR *dir)
{
    std::lock_guard<std::mutex> guard(g_listingsMutex);
    if (DeviceListing *listing = listingOf(dir)) {
        listing->pending.clear();
        listing->dir.store(nullptr, std::memory_order_release);
    }
}

// The next entry of a tracked /dev listing: the C library's, with the board's names it
// shows taken off the pending list, then the pending ones.
dirent *nextDeviceEntry(DeviceListing &listing, dirent *real)
{
    std::lock_guard<std::mutex> guard(g_listingsMutex);
    auto &pending = listing.pending;
    if (real != nullptr) {
        pending.erase(std::remove(pending.begin(), pending.end(), real->d_name), pending.end());
        return real;
    }
    if (pending.empty())
        return nullptr;
    listing.entry = {};
    listing.entry.d_reclen = sizeof(dirent);
    listing.entry.d_type = DT_CHR;
    std::strncpy(listing.entry.d_name, pending.front().c_str(), sizeof listing.entry.d_name - 1);
    pending.erase(pending.begin());
    return &listing.entry;
}

// realpath() of a board path: sysfs entries resolve inside the tree and are named back as
// /sys/ paths; device files are their own names.
char *resolveBoardPath(const char *path, char *resolved)
{
    static const auto realRealpath = next<RealpathFn>("realpath");
    std::string result;
    if (std::strncmp(path, "/sys/", 5) == 0) {
        char inTree[PATH_MAX];
        if (realRealpath(sysfsPath(path).c_str(), inTree) == nullptr)
            return nullptr;
        Board &board = Board::current();
        BoardLock lock(board.mutex);
        result = board.sysfsOrigin(inTree);
    } else {
        struct stat st {
        };
        if (::stat(path, &st) != 0)
            return nullptr;
        result = path;
    }
    if (result.size() >= PATH_MAX) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    if (resolved == nullptr)
        return ::strdup(result.c_str());
    std::memcpy(resolved, result.c_str(), result.size() + 1);
    return resolved;
}

} // namespace

BOARDSIM_EXPORT DIR *opendir(const char *path)
{
    static const auto realOpendir = next<OpendirFn>("opendir");
    if (isSysfsPath(path))
        return realOpendir(sysfsPath(path).c_str());
    DIR *dir = realOpendir(path);
    if (dir != nullptr && isDeviceDirectory(path))
        trackDeviceListing(dir);
    return dir;
}

BOARDSIM_EXPORT dirent *readdir(DIR *dir)
{
    static const auto realReaddir = next<ReaddirFn>("readdir");
    dirent *entry = realReaddir(dir);
    DeviceListing *listing = listingOf(dir);
    return listing == nullptr ? entry : nextDeviceEntry(*listing, entry);
}

// On 64-bit systems the 64-bit entry is the same record.
static_assert(sizeof(dirent) == sizeof(dirent64) && alignof(dirent) == alignof(dirent64));
BOARDSIM_EXPORT dirent64 *readdir64(DIR *dir)
{
    return reinterpret_cast<dirent64 *>(readdir(dir));
}

BOARDSIM_EXPORT int closedir(DIR *dir)
{
    static const auto realClosedir = next<ClosedirFn>("closedir");
    untrackDeviceListing(dir);
    return realClosedir(dir);
}

BOARDSIM_EXPORT ssize_t readlink(const char *path, char *buf, size_t size) noexcept
{
    static const auto realReadlink = next<ReadlinkFn>("readlink");
    if (!isSysfsPath(path))
        return realReadlink(path, buf, size);
    return realReadlink(sysfsPath(path).c_str(), buf, size);
}

BOARDSIM_EXPORT ssize_t readlinkat(int dirfd, const char *path, char *buf, size_t size) noexcept
{
    static const auto realReadlinkat = next<ReadlinkatFn>("readlinkat");
    if (!isSysfsPath(path))
        return realReadlinkat(dirfd, path, buf, size);
    return realReadlinkat(dirfd, sysfsPath(path).c_str(), buf, size);
}

BOARDSIM_EXPORT char *realpath(const char *path, char *resolved) noexcept
{
    static const auto realRealpath = next<RealpathFn>("realpath");
    if (!Board::isBoardPath(path))
        return realRealpath(path, resolved);
    return resolveBoardPath(path, resolved);
}

BOARDSIM_EXPORT char *__realpath_chk(const char *path, char *resolved, size_t resolvedLength)
{
    if (resolved != nullptr && resolvedLength < PATH_MAX)
        std::abort();
    return realpath(path, resolved);
}

BOARDSIM_EXPORT char *canonicalize_file_name(const char *path) noexcept
{
    return realpath(path, nullptr);
}

BOARDSIM_EXPORT int scandir(const char *dir, dirent ***namelist, FilterFn filter, CompareFn compare)
{
    static const auto realScandir = next<ScandirFn>("scandir");
    if (isSysfsPath(dir))
        return realScandir(sysfsPath(dir).c_str(), namelist, filter, compare);
    if (!isDeviceDirectory(dir))
        return realScandir(dir, namelist, filter, compare);
    return scanDeviceDirectory(dir, namelist, filter, compare);
}

// The same record, as for readdir64.
BOARDSIM_EXPORT int scandir64(const char *dir, dirent64 ***namelist,
                              int (*filter)(const dirent64 *),
                              int (*compare)(const dirent64 **, const dirent64 **))
{
    return scandir(dir, reinterpret_cast<dirent ***>(namelist), reinterpret_cast<FilterFn>(filter),
                   reinterpret_cast<CompareFn>(compare));
}
