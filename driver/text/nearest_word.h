#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace driver {

// The edits (a byte added, removed or replaced) that make `a` into `b`.
std::size_t EditDistance(std::string_view a, std::string_view b);

// The word of `words` nearest to a mistyped `typed`, for a "did you mean"
// hint: within two edits, and fewer edits than the word has bytes (so that
// "ab" is no hint for "cd"); the first of the nearest ones; null for none.
const char* NearestWord(std::string_view typed, const std::vector<const char*>& words);

}  // namespace driver
