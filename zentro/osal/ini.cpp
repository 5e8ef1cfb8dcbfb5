// Reading INI files: the entries of a section and the value of a section's first entry.
#include "zentro_osal.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "osal/handles.h"

namespace {

// Longest line taken from the file; the rest of a longer physical line is skipped.
constexpr size_t kMaxLineLength = 4095;
// The buffer into which a section is read to look up a value.
constexpr size_t kSectionBufferSize = 64 * 1024;

bool isWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isPrintable(char c)
{
    return c >= 0x20 && c < 0x7f;
}

// Hands out the file's lines, each cut to kMaxLineLength characters and at its first NUL.
class LineReader
{
public:
    explicit LineReader(FILE *file) : file_(file) {}

    // The next line without its line end; false at the end of the file.
    bool next(std::string &line)
    {
        line.clear();
        bool cut = false;
        int c;
        while ((c = getc_unlocked(file_)) != EOF && c != '\n') {
            // The tail of a long line is dropped rather than read as a line of its own: it
            // could otherwise pass for a section header or an entry.
            if (cut || line.size() == kMaxLineLength)
                continue;
            if (c == '\0')
                cut = true;
            else
                line.push_back(static_cast<char>(c));
        }
        return c == '\n' || !line.empty() || cut;
    }

private:
    FILE *file_;
};

std::string_view trimWhiteSpace(std::string_view text)
{
    while (!text.empty() && isWhiteSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isWhiteSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view skipLeadingBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view dropTrailingBlanksAndUnprintables(std::string_view text)
{
    while (!text.empty() && (isBlank(text.back()) || !isPrintable(text.back())))
        text.remove_suffix(1);
    return text;
}

std::string_view cutComment(std::string_view text)
{
    return text.substr(0, std::min(text.find(';'), text.find("//")));
}

// A trimmed line that opens a section.
bool isSectionHeader(std::string_view trimmed)
{
    return !trimmed.empty() && trimmed.front() == '[' && trimmed.find(']') != trimmed.npos;
}

bool isHeaderOf(std::string_view trimmed, const char *section)
{
    if (!isSectionHeader(trimmed))
        return false;
    std::string_view name = trimWhiteSpace(trimmed.substr(1, trimmed.find(']') - 1));
    // Lines hold no NUL, so the bounded comparison ends with the name.
    return name.size() == strlen(section) && osal_strnicmp(name.data(), section, name.size()) == 0;
}

// Advances @reader past the header of @section; false when the file has none.
bool findSection(LineReader &reader, const char *section)
{
    std::string line;
    while (reader.next(line)) {
        if (isHeaderOf(trimWhiteSpace(line), section))
            return true;
    }
    return false;
}

// Turns a line of a section into "key=value" in @entry; false for a line that holds none.
bool makeEntry(std::string_view line, std::string &entry)
{
    std::string_view text = dropTrailingBlanksAndUnprintables(skipLeadingBlanks(cutComment(line)));
    size_t equals = text.find('=');
    if (equals == text.npos)
        return false;
    entry.clear();
    for (char c : text.substr(0, equals)) {
        if (!isWhiteSpace(c))
            entry.push_back(c);
    }
    entry.push_back('=');
    entry.append(skipLeadingBlanks(text.substr(equals + 1)));
    return true;
}

// Packs entries into a caller's buffer: each ends in a NUL and one more NUL ends the list.
class EntryList
{
public:
    EntryList(char *buffer, size_t size)
        : buffer_(buffer), capacity_(std::min<size_t>(size >= 2 ? size - 2 : 0, INT_MAX - 1))
    {
        buffer_[0] = '\0';
    }

    // Stores @entry when it fits whole; a cut entry would read as a different value.
    bool add(std::string_view entry)
    {
        if (entry.size() >= capacity_ - used_) {
            overflowed_ = true;
            return false;
        }
        memcpy(buffer_ + used_, entry.data(), entry.size());
        used_ += entry.size();
        buffer_[used_++] = '\0';
        buffer_[used_] = '\0';
        return true;
    }

    // The characters used, the list's final NUL included. A list that lost entries says so
    // with at least the buffer size minus 2, so that the caller retries with a larger buffer.
    int result() const
    {
        const size_t used = used_ + 1;
        return static_cast<int>(overflowed_ ? std::max(used, capacity_) : used);
    }

private:
    char *buffer_;
    size_t capacity_;
    size_t used_ = 0;
    bool overflowed_ = false;
};

int readSection(const char *section, char *buffer, size_t size, const char *file)
{
    EntryList entries(buffer, size);
    zentro::UniqueFile stream(fopen(file, "r"));
    if (!stream)
        return 0;
    LineReader reader(stream.get());
    if (!findSection(reader, section))
        return 0;
    std::string line;
    std::string entry;
    while (reader.next(line)) {
        std::string_view trimmed = trimWhiteSpace(line);
        if (isSectionHeader(trimmed))
            break;
        if (makeEntry(trimmed, entry) && !entries.add(entry))
            break;
    }
    return entries.result();
}

// The value of the first entry of @list when its key begins with @key.
const char *firstEntryValue(const char *list, const char *key)
{
    const char *equals = strchr(list, '=');
    if (!equals)
        return nullptr;
    size_t keyLength = strlen(key);
    bool matches =
        static_cast<size_t>(equals - list) >= keyLength && osal_strnicmp(list, key, keyLength) == 0;
    return matches ? equals + 1 : nullptr;
}

const char *lookUpValue(const char *section, const char *key, const char *file,
                        std::vector<char> &buffer)
{
    if (!section || !key || !file)
        return nullptr;
    buffer.resize(kSectionBufferSize);
    if (osal_getsection(section, buffer.data(), buffer.size(), file) == 0)
        return nullptr;
    return firstEntryValue(buffer.data(), key);
}

} // namespace

extern "C" {

ZE_API int osal_getsection(const char *section, char *buffer, size_t size, const char *file)
{
    if (!buffer || size == 0)
        return 0;
    if (!section || !file) {
        buffer[0] = '\0';
        return 0;
    }
    try {
        return readSection(section, buffer, size, file);
    } catch (const std::bad_alloc &) {
        buffer[0] = '\0';
        return 0;
    }
}

ZE_API int osal_getprivateprofilestring(const char *section, const char *key,
                                        const char *default_value, char *out, size_t size,
                                        const char *file)
{
    if (!out || size == 0)
        return 0;
    const char *value = nullptr;
    std::vector<char> buffer;
    try {
        value = lookUpValue(section, key, file, buffer);
    } catch (const std::bad_alloc &) {
        value = nullptr;
    }
    if (!value)
        value = default_value ? default_value : "";
    osal_strcpy_s(out, size, value);
    return static_cast<int>(strlen(out));
}

} // extern "C"
