#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace driver {

// Paths as the command line, sessions and the tools give them: narrow
// strings, bytes as they are on POSIX systems, UTF-8 on Windows (where the
// command line is read in UTF-16 and every file is named through the wide
// calls). std::filesystem reads a narrow string in an encoding of its own on
// Windows, so every path made from such a text, or turned back into one,
// goes through these two.
std::filesystem::path NativePath(const std::string& text);
std::string NativeText(const std::filesystem::path& path);

// std::fopen(path, "rb") for such a path.
std::FILE* OpenToRead(const std::string& path);

}  // namespace driver
