// The section names of an INI preset file, in file order.
#pragma once

#include <string>
#include <vector>

namespace zcli {

struct PresetSection {
    std::string name;
    bool hidden = false; // "Hidden: ..." sections are meant to be loaded by other sections
};

// Reads the "[Name]" headers of @path; throws a usage error when the file cannot be read.
std::vector<PresetSection> readPresetSections(const std::string &path);

// The section of @sections named @name, case-insensitively; null when there is none.
const PresetSection *findPresetSection(const std::vector<PresetSection> &sections,
                                       const std::string &name);

} // namespace zcli
