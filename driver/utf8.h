#pragma once

#include <string>

namespace driver {

// True when `text` is well-formed UTF-8: no stray or missing continuation
// bytes, no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& text);

}  // namespace driver
