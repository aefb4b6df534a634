#include "files/file_identity.h"

#include <filesystem>
#include <system_error>

#include "files/file_identity_platform.h"
#include "files/native_path.h"

namespace fs = std::filesystem;

namespace driver {

namespace {

// As many links as a system follows for one name (SYMLOOP_MAX is 40 on Linux).
constexpr int kMostLinks = 40;

// Where a write to `place`, a name of no file, would create its file: the
// symbolic links at its end followed; `dangling` when there were any.
fs::path WriteTarget(fs::path place, bool& dangling) {
    std::error_code error;
    for (int hop = 0; hop < kMostLinks && fs::is_symlink(fs::symlink_status(place, error)); ++hop) {
        const fs::path target = fs::read_symlink(place, error);
        if (error) {
            break;
        }
        place = target.is_absolute() ? target : place.parent_path() / target;
        dangling = true;
    }
    return place;
}

}  // namespace

std::string FilePlace::Key() const {
    return std::to_string(identity.device) + ":" + std::to_string(identity.file) + (exists ? "" : "/" + leaf);
}

std::optional<FilePlace> PlaceOf(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(NativePath(path.empty() ? "." : path), error);
    if (error) {
        return std::nullopt;
    }
    FilePlace place;
    if (const OpenOutcome opened = OpenPlace(NativeText(absolute), place); opened != OpenOutcome::Missing) {
        return opened == OpenOutcome::Opened ? std::optional(place) : std::nullopt;
    }
    bool dangling = false;
    const fs::path target = WriteTarget(absolute, dangling);
    const fs::path name = target.filename();
    FilePlace folder;
    if (name.empty() || name == "." || name == ".." ||
        OpenPlace(NativeText(target.parent_path()), folder) != OpenOutcome::Opened || !folder.folder) {
        return std::nullopt;
    }
    place = FilePlace{};
    place.dangling = dangling;
    place.identity = folder.identity;
    place.leaf = FoldedName(NativeText(name));
    place.realPath = NativeText(NativePath(folder.realPath) / name);
    return place;
}

}  // namespace driver
