#pragma once

#include <string>

#include "name_lines.h"
#include "names_result.h"
#include "native_file.h"

// The file that a save writes. The constructor looks at what the path names
// and opens it as a direct write would have to, before the scene is read;
// Write then puts the names there:
// - a new file is created, and removed again when writing it fails;
// - an existing regular file is replaced as a whole: the names go to a
//   temporary file beside it (beside the file itself when the path is a
//   symbolic link), which takes the file's owner and permissions and is
//   renamed onto it once all of it is written. Until then, and after any
//   failure, the file stays as it was;
// - where replacing is impossible, or would change which file the path
//   names (a device, a file with other hard links, an owner that cannot be
//   kept, a folder that takes no new file, a file that another program
//   holds), the file is written in place, as a direct write would.
class SaveTarget {
public:
    explicit SaveTarget(const std::string& path);
    SaveTarget(const SaveTarget&) = delete;
    SaveTarget& operator=(const SaveTarget&) = delete;
    // Removes what a save that did not finish made: its temporary file, or
    // the new file.
    ~SaveTarget();

    // False when nothing can be written there; nothing was changed.
    bool IsOpen() const { return open_; }
    // The result of a save that stops now, before or instead of Write:
    // why the file did not open, or `reason` for a later failure.
    SaveResult Stopped(const std::string& reason) const;

    // Writes the lines. Allowed once, when open.
    SaveResult Write(const names_file::NameLines& names);

private:
    SaveResult WriteOrThrow(const names_file::NameLines& names);
    // Why the file must be written in place; empty when it can be replaced.
    std::string InPlaceReason() const;
    // Tries to replace the file. Done: `result` holds the outcome. Not
    // done: replacing turned out impossible for `reason`, nothing changed.
    bool TryReplace(const names_file::NameLines& names, SaveResult& result, std::string& reason);
    SaveResult WriteInPlace(const names_file::NameLines& names, const std::string& reason);
    void RemoveTemporary();

    native_file::Target target_;
    bool open_ = false;
    bool created_ = false;        // the target is a new file, made by this save
    bool inPlaceStarted_ = false; // the existing file has been emptied
    bool finished_ = false;
    std::string temporary_;       // the temporary file while it exists
    native_file::Error openError_ = native_file::Error::None;
};
