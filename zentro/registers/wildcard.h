// The register-name pattern matcher used by wildcard lookup and by presets.
#ifndef ZENTRO_REGISTERS_WILDCARD_H
#define ZENTRO_REGISTERS_WILDCARD_H

#include <string_view>

namespace zentro {

// True when @name matches @pattern, case-insensitively. "?" matches exactly one
// character and "*" any run, also none. A segment after a "*" (the text up to the next
// "*" or the end) is placed at its leftmost fit in the rest of the name and matching
// goes on behind it, without backtracking: "*AB" does not match "xABAB". A "*" at the
// end matches the rest. An empty pattern matches only an empty name and an empty name
// only an empty pattern.
bool registerPatternMatch(std::string_view pattern, std::string_view name);

} // namespace zentro

#endif // ZENTRO_REGISTERS_WILDCARD_H
