// The revision text of an XML sensor-data file: "key: value" lines, often written as
// version-control keywords ("$Revision: 12 $"), become the revision number and tags.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "sensor_data/xml_elements.h"

namespace zentro {

namespace {

constexpr std::string_view kRevisionKey = "revision";
// Separates the key:value pairs of the revision information.
constexpr char kPairSeparator = ';';

std::string_view withoutDollars(std::string_view line)
{
    line = trimBlanks(line);
    if (!line.empty() && line.front() == '$')
        line.remove_prefix(1);
    if (!line.empty() && line.back() == '$')
        line.remove_suffix(1);
    return trimBlanks(line);
}

uint32_t decimalNumber(std::string_view text)
{
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

// Appends @pair to the revision information, as much of it as fits.
void appendPair(ze_sensor_t *sensor, const std::string &pair)
{
    char *info = sensor->revisionInfo;
    size_t length = strnlen(info, sizeof(sensor->revisionInfo) - 1);
    std::string piece = length > 0 ? std::string(1, kPairSeparator) + pair : pair;
    size_t kept = std::min(piece.size(), sizeof(sensor->revisionInfo) - 1 - length);
    memcpy(info + length, piece.data(), kept);
    info[length + kept] = '\0';
}

} // namespace

void applyRevisionText(ze_sensor_t *sensor, std::string_view text)
{
    int lineNumber = 0;
    while (!text.empty()) {
        size_t end = text.find_first_of("\r\n");
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        // "\r\n" ends one line, not two.
        if (end != std::string_view::npos && !text.empty() && text.front() == '\n' &&
            line.data()[line.size()] == '\r')
            text.remove_prefix(1);
        ++lineNumber;
        line = withoutDollars(line);
        if (line.empty())
            continue;
        size_t colon = line.find(':');
        std::string_view key =
            colon == std::string_view::npos ? "" : trimBlanks(line.substr(0, colon));
        std::string_view value = key.empty() ? line : trimBlanks(line.substr(colon + 1));
        if (equalsNoCase(key, kRevisionKey)) {
            sensor->revisionNumber = decimalNumber(value);
            continue;
        }
        std::string name = key.empty() ? "item" + std::to_string(lineNumber) : std::string(key);
        appendPair(sensor, name + ":" + std::string(value));
    }
}

} // namespace zentro
