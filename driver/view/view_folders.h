#pragma once

#include <optional>
#include <string>
#include <vector>

#include "files/file_identity.h"
#include "text/refusal.h"

namespace driver {

// The folders that the viewer reaches on the user's behalf, and no others:
// a path is let in when, every link on its way followed, it ends inside
// one of them and no part of it below that folder starts with a dot
// (dotfiles and dot folders hold settings and keys, never a scene's
// files). A link that leads to no file is refused (a write would make a
// file where it points), and so is, for writing, a file with other names
// (hard links), which may lie anywhere.
class ViewFolders {
public:
    explicit ViewFolders(const std::vector<std::string>& folders);

    // Why `path` may not be reached (OutsideReach), if it may not; to be
    // written when `writing`.
    std::optional<Refusal> Unreachable(const std::string& path, bool writing = false) const;
    std::optional<Refusal> Unreachable(const FilePlace& place, bool writing = false) const;
    // The folders, as the messages give them.
    std::string List() const;
    // Each folder, as the path of its handle.
    const std::vector<std::string>& Folders() const { return folders_; }

private:
    std::vector<std::string> folders_;  // canonical, each once
};

// A file that the viewer may serve: a regular file (links followed) that
// `folders` let in; why not, if not.
std::optional<Refusal> ServingRefusal(const ViewFolders& folders, const std::string& path);

}  // namespace driver
