#pragma once

#include <string>

#include "name_lines.h"
#include "names_result.h"
#include "replacement.h"

namespace names_tool {

// The file that a save writes, through the project's safe replacement
// (replacement.h): the constructor looks at what the path names and opens
// it as a direct write would have to, before the scene is read; Write then
// puts the names there as a whole, or leaves the file as it was (a new file
// is never left in part). Only where replacing is impossible is the file
// written in place, and the result says why.
class SaveTarget {
public:
    explicit SaveTarget(const std::string& path) : file_(path, "velkora") {}

    // False when nothing can be written there; nothing was changed.
    bool IsOpen() const { return file_.IsOpen(); }
    // The result of a save that stops now, before or instead of Write:
    // why the file did not open, or `reason` for a later failure.
    SaveResult Stopped(const std::string& reason) const;

    // Writes the lines. Allowed once, when open.
    SaveResult Write(const NameLines& names);

private:
    safewrite::Replacement file_;
};

}  // namespace names_tool
