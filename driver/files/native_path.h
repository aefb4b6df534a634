#pragma once

#include <filesystem>
#include <string>

namespace driver {

// Paths as the command line, sessions and the tools give them: narrow
// strings in the system's encoding for file names (bytes as they are on
// POSIX, the ANSI code page on Windows, as the tools' ANSI calls read them).
// std::filesystem reads a narrow string in an encoding of its own on
// Windows, so every path made from such a text, or turned back into one,
// goes through these two.
std::filesystem::path NativePath(const std::string& text);
std::string NativeText(const std::filesystem::path& path);

}  // namespace driver
