// Finds a preset section in its file (with the "Hidden:" prefixes) and reads its entries whole.
#ifndef ZENTRO_PRESETS_SECTION_READER_H
#define ZENTRO_PRESETS_SECTION_READER_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentro::presets {

// First size of the section buffer; it doubles until the section fits.
inline constexpr size_t kInitialSectionBuffer = 16384;

// The entries of section @name of @file ("key=value" each, in file order), trying the name
// as given, then "Hidden:" and "Hidden: " before it unless it already says "HIDDEN:".
// Nothing when no such section exists or it cannot be held in memory.
std::optional<std::vector<std::string_view>>
readSection(const std::string &file, const std::string &name, std::vector<char> &storage);

} // namespace zentro::presets

#endif // ZENTRO_PRESETS_SECTION_READER_H
