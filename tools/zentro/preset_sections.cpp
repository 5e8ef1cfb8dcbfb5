// Listing the sections of a preset file.
#include "preset_sections.h"

#include <fstream>
#include <strings.h>

#include "cli_error.h"

namespace zcli {
namespace {

constexpr const char *kHiddenPrefix = "Hidden:";
constexpr const char *kBlanks = " \t\r";

std::string trimmed(const std::string &text)
{
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

} // namespace

std::vector<PresetSection> readPresetSections(const std::string &path)
{
    std::ifstream in(path);
    if (!in)
        usageError("cannot read the preset file " + path);
    std::vector<PresetSection> sections;
    for (std::string line; std::getline(in, line);) {
        const std::string text = trimmed(line);
        const size_t close = text.find(']');
        if (text.empty() || text[0] != '[' || close == std::string::npos)
            continue;
        PresetSection section;
        section.name = trimmed(text.substr(1, close - 1));
        section.hidden = ::strncasecmp(section.name.c_str(), kHiddenPrefix,
                                       std::char_traits<char>::length(kHiddenPrefix)) == 0;
        sections.push_back(section);
    }
    return sections;
}

const PresetSection *findPresetSection(const std::vector<PresetSection> &sections,
                                       const std::string &name)
{
    for (const PresetSection &section : sections)
        if (::strcasecmp(section.name.c_str(), name.c_str()) == 0)
            return &section;
    return nullptr;
}

} // namespace zcli
