#include "view/view_folders.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "files/native_path.h"

namespace fs = std::filesystem;

namespace driver {

namespace {

// The path with its links followed (a missing last part kept as named);
// empty when it cannot be resolved.
fs::path Resolved(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(NativePath(path.empty() ? "." : path), error);
    const fs::path canonical = error ? fs::path() : fs::weakly_canonical(absolute, error);
    return error ? fs::path() : canonical.lexically_normal();
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

std::string ViewFolders::Refusal(const std::string& path) const {
    const fs::path resolved = Resolved(path);
    for (const std::string& folder : folders_) {
        const fs::path inside = resolved.lexically_relative(NativePath(folder));
        if (inside.empty() || inside == "." || *inside.begin() == "..") {
            continue;
        }
        for (const fs::path& part : inside) {
            if (part.native()[0] == '.') {
                return "the viewer does not reach dotfiles or dot folders (" + NativeText(part) + ")";
            }
        }
        return "";
    }
    return "it is outside the folders that the viewer reaches (" + List() +
           "; view --allow names more)";
}

std::string ServingRefusal(const ViewFolders& folders, const std::string& path) {
    std::string refusal = folders.Refusal(path);
    std::error_code error;
    if (!refusal.empty() || fs::is_regular_file(NativePath(path), error)) {
        return refusal;
    }
    return fs::exists(NativePath(path), error) ? "it is not a regular file" : "it does not exist";
}

}  // namespace driver
