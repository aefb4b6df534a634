#pragma once

// On Windows the project keeps text, paths among it, in UTF-8, and the
// system's wide calls take UTF-16: these convert between the two, and
// from the ANSI code page that the system's narrow calls (the tools' file
// dialogs) give. Windows only (wide_text_win32.cpp).
#if defined(_WIN32)

#  include <string>

namespace safewrite {

// The UTF-16 form of UTF-8 text; empty for text that is not UTF-8, so that
// a path that is no UTF-8 names no file.
std::wstring WideText(const std::string& utf8);
// The UTF-8 form of UTF-16 text (an unpaired surrogate becomes U+FFFD).
std::string Utf8Text(const std::wstring& wide);
// The UTF-8 form of text in the code page `codePage` (CP_ACP: the ANSI
// code page, which is UTF-8 itself in a program whose manifest asks for it).
std::string Utf8OfCodePage(const std::string& text, unsigned codePage);

}  // namespace safewrite

#endif
