#include "view/view_folders.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "files/native_path.h"

namespace fs = std::filesystem;

namespace driver {

namespace {

// As many links as the system follows in one path.
constexpr int kMostLinks = 40;

// The path with its links followed (a missing last part kept as named);
// empty when it cannot be resolved.
fs::path Resolved(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(NativePath(path.empty() ? "." : path), error);
    const fs::path canonical = error ? fs::path() : fs::weakly_canonical(absolute, error);
    return error ? fs::path() : canonical.lexically_normal();
}

// Where `path` ends once every link on its way is followed, as the system
// follows them to open it; `dangling` when a link leads to no file (a
// write there would make a file wherever the link points).
fs::path FinalTarget(const std::string& path, bool& dangling) {
    std::error_code error;
    fs::path place = fs::absolute(NativePath(path.empty() ? "." : path), error);
    dangling = false;
    for (int hop = 0; hop < kMostLinks && fs::is_symlink(fs::symlink_status(place, error)); ++hop) {
        const fs::path target = fs::read_symlink(place, error);
        if (error) {
            return {};
        }
        place = target.is_absolute() ? target : place.parent_path() / target;
        dangling = !fs::exists(fs::symlink_status(place, error));
    }
    return Resolved(NativeText(place));
}

}  // namespace

ViewFolders::ViewFolders(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        const std::string resolved = NativeText(Resolved(folder));
        if (!resolved.empty() && std::find(folders_.begin(), folders_.end(), resolved) == folders_.end()) {
            folders_.push_back(resolved);
        }
    }
}

std::string ViewFolders::List() const {
    std::string list;
    for (const std::string& folder : folders_) {
        list += (list.empty() ? "" : ", ") + folder;
    }
    return list;
}

std::optional<Refusal> ViewFolders::Unreachable(const std::string& path, bool writing) const {
    bool dangling = false;
    const fs::path resolved = FinalTarget(path, dangling);
    if (dangling) {
        return Refusal{RefusalCode::OutsideReach,
                       "it is a symbolic link that leads to no file, which the viewer does not follow"};
    }
    for (const std::string& folder : folders_) {
        const fs::path inside = resolved.lexically_relative(NativePath(folder));
        if (inside.empty() || inside == "." || *inside.begin() == "..") {
            continue;
        }
        for (const fs::path& part : inside) {
            if (part.native()[0] == '.') {
                return Refusal{RefusalCode::OutsideReach,
                               "the viewer does not reach dotfiles or dot folders (" + NativeText(part) + ")"};
            }
        }
        // Another name of the file may lie anywhere: writing to it would
        // change a file outside the folders reached.
        std::error_code error;
        if (writing && fs::is_regular_file(resolved, error) && fs::hard_link_count(resolved, error) > 1 && !error) {
            return Refusal{RefusalCode::OutsideReach,
                           "the file has other names (hard links), which may lie outside the folders that the "
                           "viewer reaches, so the viewer does not write it"};
        }
        return std::nullopt;
    }
    return Refusal{RefusalCode::OutsideReach,
                   "it is outside the folders that the viewer reaches (" + List() + "; view --allow names more)"};
}

std::optional<Refusal> ServingRefusal(const ViewFolders& folders, const std::string& path) {
    std::optional<Refusal> refusal = folders.Unreachable(path);
    std::error_code error;
    if (refusal || fs::is_regular_file(NativePath(path), error)) {
        return refusal;
    }
    return Refusal{RefusalCode::FileMissing,
                   fs::exists(NativePath(path), error) ? "it is not a regular file" : "it does not exist"};
}

}  // namespace driver
