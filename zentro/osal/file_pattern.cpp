// Matching of file names against patterns in which "*" stands for any run of characters.
#include "osal/file_pattern.h"

namespace zentro {

bool wildcardMatch(std::string_view pattern, std::string_view name)
{
    constexpr size_t kNoStar = std::string_view::npos;
    size_t p = 0;
    size_t n = 0;
    // Only the latest star is retried: what an earlier star swallowed never needs to
    // change, which keeps the matching free of exponential backtracking.
    size_t star = kNoStar;
    size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            starName = n;
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (star != kNoStar) {
            p = star + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace zentro
