#include "view/view_folders.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "files/file_identity.h"
#include "files/native_path.h"

namespace fs = std::filesystem;

namespace driver {

namespace {

// The real path of an existing folder; empty when it cannot be opened.
std::string RealFolder(const std::string& folder) {
    const std::optional<FilePlace> place = PlaceOf(folder.empty() ? "." : folder);
    return place && place->exists && place->folder ? place->realPath : std::string();
}

}  // namespace

ViewFolders::ViewFolders(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        const std::string resolved = RealFolder(folder);
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
    const std::optional<FilePlace> place = PlaceOf(path);
    if (!place) {
        return Refusal{RefusalCode::OutsideReach, "neither it nor the folder it would be in can be opened"};
    }
    return Unreachable(*place, writing);
}

std::optional<Refusal> ViewFolders::Unreachable(const FilePlace& place, bool writing) const {
    if (place.dangling) {
        return Refusal{RefusalCode::OutsideReach,
                       "it is a symbolic link that leads to no file, which the viewer does not follow"};
    }
    for (const std::string& folder : folders_) {
        const fs::path inside = NativePath(place.realPath).lexically_relative(NativePath(folder));
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
        if (writing && place.links > 1) {
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
    const std::optional<FilePlace> place = PlaceOf(path);
    if (!place) {
        return Refusal{RefusalCode::OutsideReach, "neither it nor the folder it would be in can be opened"};
    }
    if (std::optional<Refusal> refusal = folders.Unreachable(*place)) {
        return refusal;
    }
    if (place->regular) {
        return std::nullopt;
    }
    return Refusal{RefusalCode::FileMissing, place->exists ? "it is not a regular file" : "it does not exist"};
}

}  // namespace driver
