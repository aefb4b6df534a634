#pragma once

#include <string>

namespace win32standin {

// UTF-16 text in the 8-bit code page of the A functions (Windows-1252):
// characters that the code page lacks become '?'.
std::string ToAnsi(const std::u16string& text);

// Case-insensitive equality of ASCII texts, as Windows compares class and
// resource names.
bool SameNameIgnoringCase(const std::string& a, const std::string& b);

}  // namespace win32standin
