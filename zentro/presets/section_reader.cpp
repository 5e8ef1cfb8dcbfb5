// Finds a preset section in its file (with the "Hidden:" prefixes) and reads its entries whole.
#include "presets/section_reader.h"

#include <array>
#include <new>

#include "presets/arguments.h"
#include "zentro_osal.h"

namespace zentro::presets {

namespace {

constexpr std::array<const char *, 3> kPrefixes = {"", "Hidden:", "Hidden: "};
// A buffer this large that still does not hold the section is not tried: the file is not a
// preset a sensor could need, and doubling further would take the machine's memory.
constexpr size_t kLargestSectionBuffer = size_t(1) << 30;

// osal_getsection's result for @name, growing @storage until the section fits. 0 when the
// section does not exist; nothing when it does not fit in any buffer we may take.
std::optional<size_t> readWhole(const std::string &file, const std::string &name,
                                std::vector<char> &storage)
{
    size_t capacity = kInitialSectionBuffer;
    for (;;) {
        try {
            storage.assign(capacity, '\0');
        } catch (const std::bad_alloc &) {
            return std::nullopt;
        }
        const int used = osal_getsection(name.c_str(), storage.data(), capacity, file.c_str());
        if (used <= 0)
            return 0;
        // A result that reaches capacity - 2 means the entries were cut: read again, larger.
        if (static_cast<size_t>(used) < capacity - 2)
            return static_cast<size_t>(used);
        if (capacity >= kLargestSectionBuffer)
            return std::nullopt;
        capacity *= 2;
    }
}

std::vector<std::string_view> splitEntries(const std::vector<char> &storage, size_t used)
{
    std::vector<std::string_view> entries;
    size_t start = 0;
    // The last byte of the used part is the list's closing NUL.
    while (start + 1 < used) {
        const std::string_view entry(storage.data() + start);
        if (entry.empty())
            break;
        entries.push_back(entry);
        start += entry.size() + 1;
    }
    return entries;
}

} // namespace

std::optional<std::vector<std::string_view>>
readSection(const std::string &file, const std::string &name, std::vector<char> &storage)
{
    const bool explicitlyHidden = findNoCase(name, "HIDDEN:") != std::string_view::npos;
    for (const char *prefix : kPrefixes) {
        const std::optional<size_t> used = readWhole(file, prefix + name, storage);
        if (!used)
            return std::nullopt;
        if (*used > 0)
            return splitEntries(storage, *used);
        if (explicitlyHidden)
            break;
    }
    return std::nullopt;
}

} // namespace zentro::presets
