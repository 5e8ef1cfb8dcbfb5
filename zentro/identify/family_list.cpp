// The family list: part numbers with their sensor family and features ("familyList.txt").
#include "identify/family_list.h"

#include <cstdio>
#include <optional>
#include <string_view>

#include "core/log.h"
#include "osal/handles.h"
#include "sensor_data/sensor_record.h"
#include "zentro_config.h"
#include "zentro_osal.h"

namespace zentro {

namespace {

constexpr size_t kMaxLineLength = 1023;
constexpr size_t kMaxFieldLength = ZE_TEXT_SIZE - 1;

void debugLine(const char *text)
{
    ZE_MSGLOG(ZE_LOG_DEBUG, text);
}

std::string_view trimmed(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Field @index of the comma-separated @line; nothing when the line has fewer fields.
std::optional<std::string_view> field(std::string_view line, size_t index)
{
    for (size_t i = 0; i < index; ++i) {
        const size_t comma = line.find(',');
        if (comma == std::string_view::npos)
            return std::nullopt;
        line.remove_prefix(comma + 1);
    }
    return trimmed(line.substr(0, line.find(',')));
}

std::string_view firstWord(std::string_view text)
{
    return text.substr(0, text.find_first_of(" \t"));
}

std::string limited(std::string_view text)
{
    return std::string(text.substr(0, kMaxFieldLength));
}

// Reads one line of at most kMaxLineLength characters; the rest of a longer one is
// dropped, and so is everything from a NUL on (no record text can hold one). False at the
// end of the file.
bool readLine(FILE *file, std::string &line)
{
    line.clear();
    bool cut = false;
    int c;
    while ((c = getc(file)) != EOF && c != '\n') {
        cut = cut || c == '\0' || line.size() == kMaxLineLength;
        if (!cut)
            line.push_back(static_cast<char>(c));
    }
    return c != EOF || !line.empty() || cut;
}

} // namespace

std::string familyListPath()
{
    return std::string(ze_Home()) + "/bin/familyList.txt";
}

namespace {

// The family list read line by line; see lookUpFamily.
bool readFamily(ze_sensor_t *sensor, const std::string &path)
{
    UniqueFile file(osal_fopen(path.c_str(), "r"));
    if (!file) {
        debugLine("familyList.txt; can't find familyList.txt");
        return false;
    }
    bool matched = false;
    std::string line;
    while (readLine(file.get(), line)) {
        if (line.starts_with('#'))
            continue;
        const std::string_view partNumber = firstWord(field(line, 0).value_or(""));
        if (partNumber.empty()) {
            debugLine("familyList.txt; didn't find PartNumber");
            return false;
        }
        const std::optional<std::string_view> family = field(line, 1);
        if (!family || family->empty()) {
            debugLine("familyList.txt; didn't find Family Name");
            return false;
        }
        if (limited(partNumber) != sensor->partNumber)
            continue;
        matched = true;
        copyText(sensor->familyName, limited(*family).c_str());
        const std::optional<std::string_view> features = field(line, 2);
        if (!features)
            debugLine("familyList.txt; didn't find Features");
        copyText(sensor->features, limited(features.value_or("")).c_str());
    }
    return matched;
}

} // namespace

bool lookUpFamily(ze_sensor_t *sensor, const std::string &path)
{
    // A lookup that fails leaves no family behind, nor features that belong to none.
    const bool found = readFamily(sensor, path);
    if (!found) {
        sensor->familyName[0] = '\0';
        sensor->features[0] = '\0';
    }
    return found;
}

} // namespace zentro
