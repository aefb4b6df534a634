#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace driver {

// The number of lines of the regular file at `path` as the names tool
// reads them: a line ends at a line feed, and a last line without one
// still counts; an empty file has none. Nothing when the file is no
// regular file or cannot be read.
std::optional<std::uint64_t> CountLines(const std::string& path);

}  // namespace driver
