#include "session/name_pattern.h"

#include <algorithm>

#include "text/utf8.h"

namespace driver {

// The last '*' is tried with ever longer runs while the rest does not fit;
// earlier ones need not be tried again, as whatever the later parts of the
// pattern fit, the last '*' can take up as well. No recursion, and time
// bounded by the product of the lengths.
bool NameMatches(const std::string& pattern, const std::string& name) {
    const bool utf8 = IsValidUtf8(name);
    const char* end = name.data() + name.size();
    auto character = [&](std::size_t at) {
        return utf8 ? std::max<std::size_t>(1, Utf8CharacterLength(name.data() + at, end)) : 1;
    };
    constexpr std::size_t kNone = std::string::npos;
    std::size_t p = 0, n = 0;
    std::size_t star = kNone, starAt = 0;  // the last '*' met, and where its run ends
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            starAt = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += character(n);
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (star != kNone) {
            p = star + 1;
            starAt += character(starAt);
            n = starAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace driver
