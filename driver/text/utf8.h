#pragma once

#include <cstddef>
#include <string>

namespace driver {

// The length in bytes of the well-formed UTF-8 character at `at` (1 for
// ASCII), or 0 when the bytes there are not one: a stray or missing
// continuation byte, an overlong form, a surrogate, or a character above
// U+10FFFF. `at` is before `end`.
std::size_t Utf8CharacterLength(const char* at, const char* end);

// True when the whole text is well-formed UTF-8.
bool IsValidUtf8(const std::string& text);

}  // namespace driver
