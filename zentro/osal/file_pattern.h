// Matching of file names against patterns in which "*" stands for any run of characters.
#ifndef ZENTRO_OSAL_FILE_PATTERN_H
#define ZENTRO_OSAL_FILE_PATTERN_H

#include <string_view>

namespace zentro {

// True when @name matches @pattern: "*" matches any run of characters (also none), every
// other character only itself, case-sensitively. Runs in O(pattern * name) at worst.
bool wildcardMatch(std::string_view pattern, std::string_view name);

} // namespace zentro

#endif // ZENTRO_OSAL_FILE_PATTERN_H
