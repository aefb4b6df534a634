#pragma once

#include <string>
#include <vector>

namespace driver {

// The folders that the viewer reaches on the user's behalf, and no others:
// a path is let in when, its links followed, it lies inside one of them
// and no part of it below that folder starts with a dot (dotfiles and dot
// folders hold settings and keys, never a scene's files).
class ViewFolders {
public:
    explicit ViewFolders(const std::vector<std::string>& folders);

    // Why `path` may not be reached, or "" when it may.
    std::string Refusal(const std::string& path) const;
    // The folders, as the messages give them.
    std::string List() const;

private:
    std::vector<std::string> folders_;  // canonical, each once
};

// A file that the viewer may serve: a regular file (links followed) that
// `folders` let in; why not, or "".
std::string ServingRefusal(const ViewFolders& folders, const std::string& path);

}  // namespace driver
