// Directory listings that hand out the entries whose names match a wildcard pattern.
#include "zentro_osal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <new>
#include <string>

#include "osal/file_pattern.h"
#include "osal/handles.h"

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;

// The finder handed to the caller together with the open directory behind it.
struct Finder {
    osal_find_t record{};
    zentro::UniqueDir dir;
    std::string pattern = "*";
    bool ended = false;
};

Finder *finderOf(osal_find_t *record)
{
    return record ? static_cast<Finder *>(record->listing) : nullptr;
}

bool isDotEntry(const char *name)
{
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// Status of an entry; a dangling symbolic link is still an entry and reports itself.
bool examine(DIR *dir, const char *name, struct stat &status)
{
    return fstatat(dirfd(dir), name, &status, 0) == 0 ||
           fstatat(dirfd(dir), name, &status, AT_SYMLINK_NOFOLLOW) == 0;
}

void storeEntry(osal_find_t &record, const char *name, const struct stat &status)
{
    osal_strcpy_s(record.name, sizeof(record.name), name);
    record.modificationTime =
        int64_t(status.st_mtim.tv_sec) * kNanosecondsPerSecond + status.st_mtim.tv_nsec;
}

int findNext(Finder &finder)
{
    while (!finder.ended) {
        const dirent *entry = readdir(finder.dir.get());
        if (!entry)
            break;
        if (isDotEntry(entry->d_name) || !zentro::wildcardMatch(finder.pattern, entry->d_name))
            continue;
        struct stat status;
        if (!examine(finder.dir.get(), entry->d_name, status))
            break;
        storeEntry(finder.record, entry->d_name, status);
        return 1;
    }
    finder.ended = true;
    return 0;
}

} // namespace

extern "C" {

ZE_API osal_find_t *osal_open_find_file(const char *directory)
{
    if (!directory)
        return nullptr;
    zentro::UniqueDir dir(opendir(directory));
    if (!dir)
        return nullptr;
    try {
        Finder *finder = new Finder;
        finder->dir = std::move(dir);
        finder->record.listing = finder;
        return &finder->record;
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

ZE_API int osal_find_first_file(osal_find_t *record, const char *pattern)
{
    Finder *finder = finderOf(record);
    if (!finder || !pattern)
        return 0;
    try {
        finder->pattern = pattern;
    } catch (const std::bad_alloc &) {
        return 0;
    }
    rewinddir(finder->dir.get());
    finder->ended = false;
    return findNext(*finder);
}

ZE_API int osal_find_next_file(osal_find_t *record)
{
    Finder *finder = finderOf(record);
    return finder ? findNext(*finder) : 0;
}

ZE_API void osal_close_find_file(osal_find_t *record)
{
    delete finderOf(record);
}

} // extern "C"
