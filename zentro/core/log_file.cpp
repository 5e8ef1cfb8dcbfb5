// Naming of the rotating log files: stem, number 0 to 4 and extension.
#include "core/log_file.h"

#include <array>
#include <cctype>
#include <memory>
#include <optional>
#include <string_view>

#include "zentro_osal.h"

namespace zentro {

namespace {

constexpr std::string_view kDefaultStem = "error_";
constexpr std::string_view kDefaultExtension = ".txt";

struct FinderCloser {
    void operator()(osal_find_t *finder) const { osal_close_find_file(finder); }
};
using Finder = std::unique_ptr<osal_find_t, FinderCloser>;

// The file number an entry of the log directory carries: the digits between
// the stem and the extension, nothing else.
std::optional<unsigned long> numberInName(std::string_view entry, std::string_view stemName,
                                          std::string_view extension)
{
    if (entry.size() <= stemName.size() + extension.size() || !entry.starts_with(stemName) ||
        !entry.ends_with(extension))
        return std::nullopt;
    std::string_view digits =
        entry.substr(stemName.size(), entry.size() - stemName.size() - extension.size());
    if (digits.size() > 9)
        return std::nullopt;
    unsigned long number = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        number = number * 10 + static_cast<unsigned long>(c - '0');
    }
    return number;
}

struct ExistingFile {
    int number;
    osal_filetime_t modificationTime;
};

} // namespace

std::string LogFileName::withNumber(int number) const
{
    return stem + std::to_string(number) + extension;
}

LogFileName splitLogFileName(const std::string &name)
{
    if (name.empty())
        return {std::string(osal_userHomeDir()) + "/" + std::string(kDefaultStem),
                std::string(kDefaultExtension)};

    LogFileName split{name, std::string(kDefaultExtension)};
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && name.find_first_of("/\\", dot) == std::string::npos) {
        split.extension = name.substr(dot);
        split.stem = name.substr(0, dot);
    }
    while (!split.stem.empty() && std::isdigit(static_cast<unsigned char>(split.stem.back())))
        split.stem.pop_back();
    return split;
}

int chooseLogFileNumber(const LogFileName &name)
{
    size_t slash = name.stem.find_last_of("/\\");
    std::string directory = slash == std::string::npos ? "." : name.stem.substr(0, slash + 1);
    std::string stemName = slash == std::string::npos ? name.stem : name.stem.substr(slash + 1);

    std::array<ExistingFile, kLogFileCount> found{};
    size_t count = 0;
    Finder finder(osal_open_find_file(directory.c_str()));
    std::string pattern = stemName + "*" + name.extension;
    for (bool more = finder && osal_find_first_file(finder.get(), pattern.c_str());
         more && count < found.size(); more = osal_find_next_file(finder.get())) {
        auto number = numberInName(finder->name, stemName, name.extension);
        if (number && *number < kLogFileCount)
            found[count++] = {static_cast<int>(*number), finder->modificationTime};
    }

    if (count < found.size()) {
        for (int candidate = 0; candidate < kLogFileCount; ++candidate) {
            bool taken = false;
            for (size_t i = 0; i < count; ++i)
                taken = taken || found[i].number == candidate;
            if (!taken)
                return candidate;
        }
    }
    // All five exist (or duplicates filled the list): overwrite the oldest.
    size_t oldest = 0;
    for (size_t i = 1; i < count; ++i) {
        if (osal_filetime_older(found[i].modificationTime, found[oldest].modificationTime))
            oldest = i;
    }
    return found[oldest].number;
}

} // namespace zentro
