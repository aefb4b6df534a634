#pragma once

// The names commands' file calls are those of the project's library for
// safe writing, shared with the driver, which take paths in UTF-8.
#include <string>

#include "file_calls.h"
#include "source_file.h"
#if defined(_WIN32)
#  include <windows.h>

#  include "wide_text.h"
#endif

namespace native_file = safewrite;

namespace names_tool {

// A path as the file dialog gives it, in the form that the file calls
// take: on Windows the dialog's ANSI code page becomes UTF-8 (the same
// bytes in a program whose code page is UTF-8).
inline std::string FilePathOf(const std::string& chosen) {
#if defined(_WIN32)
    return safewrite::Utf8OfCodePage(chosen, CP_ACP);
#else
    return chosen;
#endif
}

}  // namespace names_tool
