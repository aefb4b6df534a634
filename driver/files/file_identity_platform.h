#pragma once

#include <string>

#include "files/file_identity.h"

// The system's part of finding a file's place (file_identity_posix.cpp,
// file_identity_win32.cpp).
namespace driver {

enum class OpenOutcome {
    Opened,
    Missing,  // the last name names no file (its folder may exist)
    Failed,   // anything else: no access, a folder missing on the way
};

// Opens the absolute `path` as the system opens a file (links followed)
// and fills `place` from the handle: what it is, its identity and links,
// and the path of the handle.
OpenOutcome OpenPlace(const std::string& path, FilePlace& place);

// A file's last name as the system compares names (case folded on Windows).
std::string FoldedName(const std::string& name);

}  // namespace driver
