// Wildcard lookup: the register-name pattern matcher and enumeration by pattern.
#include "registers/wildcard.h"

#include "zentro_reg.h"

namespace {

constexpr char kAnyRun = '*';
constexpr char kAnyOne = '?';

char foldCase(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool charMatches(char patternChar, char nameChar)
{
    return patternChar == kAnyOne || foldCase(patternChar) == foldCase(nameChar);
}

// Whether @segment (no "*" in it) matches the start of @text.
bool segmentMatchesAt(std::string_view segment, std::string_view text)
{
    if (segment.size() > text.size())
        return false;
    for (size_t i = 0; i < segment.size(); ++i) {
        if (!charMatches(segment[i], text[i]))
            return false;
    }
    return true;
}

// Position of the leftmost fit of @segment in @text, or npos.
size_t leftmostFit(std::string_view segment, std::string_view text)
{
    for (size_t at = 0; at + segment.size() <= text.size(); ++at) {
        if (segmentMatchesAt(segment, text.substr(at)))
            return at;
    }
    return std::string_view::npos;
}

} // namespace

namespace zentro {

bool registerPatternMatch(std::string_view pattern, std::string_view name)
{
    if (pattern.empty() || name.empty())
        return pattern.empty() && name.empty();
    // The part before the first "*" is anchored at the start of the name.
    size_t star = pattern.find(kAnyRun);
    std::string_view head = pattern.substr(0, star);
    if (star == std::string_view::npos)
        return head.size() == name.size() && segmentMatchesAt(head, name);
    if (!segmentMatchesAt(head, name))
        return false;
    name.remove_prefix(head.size());
    pattern.remove_prefix(star);

    while (!pattern.empty()) {
        // pattern starts with "*" here; a run of them acts as one.
        size_t segmentStart = pattern.find_first_not_of(kAnyRun);
        if (segmentStart == std::string_view::npos)
            return true; // a trailing "*" takes the rest of the name
        pattern.remove_prefix(segmentStart);
        std::string_view segment = pattern.substr(0, pattern.find(kAnyRun));
        size_t at = leftmostFit(segment, name);
        if (at == std::string_view::npos)
            return false;
        name.remove_prefix(at + segment.size());
        pattern.remove_prefix(segment.size());
    }
    return name.empty();
}

} // namespace zentro

extern "C" {

ZE_API ze_reg_t *ze_FindRegisterWildcard(ze_camera_t *camera, const char *pattern,
                                         int32_t *position)
{
    if (!camera || !camera->sensor || !camera->sensor->regs || !pattern || !*pattern)
        return nullptr;
    ze_sensor_t &sensor = *camera->sensor;
    int32_t start = position && *position > 0 ? *position : 0;
    for (int32_t i = start; i < sensor.regCount; ++i) {
        if (zentro::registerPatternMatch(pattern, sensor.regs[i].name)) {
            if (position)
                *position = i + 1;
            return &sensor.regs[i];
        }
    }
    return nullptr;
}

} // extern "C"
