#pragma once

#include <string>

namespace driver {

// True when `name` fits `pattern`, byte for byte as the tools compare names,
// where '*' in the pattern stands for any run of characters (none, too) and
// '?' for one character (one byte, in a name that is not UTF-8). A name
// that holds '*' or '?' is fitted by them as well.
bool NameMatches(const std::string& pattern, const std::string& name);

}  // namespace driver
