#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "hosting/file_dialog_user.h"
#include "session/action_report.h"

namespace driver {

// The names tool gives names by position: a names file with fewer lines
// than the scene has nodes leaves the last nodes their names, one with more
// has lines that are not read, and either way a line missing or added
// within the file gives every later node its neighbour's name.

// "\"few.txt\" has 7 lines and the scene 8 nodes: nodes from 7 on keep
// their names"; none where the counts agree.
[[nodiscard]] std::optional<std::string> NamesCountMismatch(const std::string& path, std::uint64_t lines,
                                                            std::size_t nodes);

// After a load through `dialog`: a warning where the file that it chose
// has another number of lines than the scene of `nodes` nodes. The count
// is taken of the file just loaded.
void ReportNamesCount(const FileDialogUser::Outcome& dialog, std::size_t nodes, ActionReport& report);

}  // namespace driver
