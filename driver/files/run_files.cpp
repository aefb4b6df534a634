#include "files/run_files.h"

#include <filesystem>
#include <system_error>

#include "files/native_path.h"

namespace driver {

namespace fs = std::filesystem;

namespace {

// Where a path leads: the normalised absolute path, links followed as far
// as they exist.
std::string PlaceOf(const fs::path& path) {
    std::error_code error;
    return fs::weakly_canonical(fs::absolute(path, error), error).string();
}

bool MayBeOneFile(RunFiles::Use a, RunFiles::Use b) {
    using Use = RunFiles::Use;
    if (a == Use::Written || b == Use::Written) {
        return false;
    }
    return !((a == Use::OnlyRead && b == Use::ToolWrites) || (a == Use::ToolWrites && b == Use::OnlyRead));
}

}  // namespace

std::string RunFiles::Add(const std::string& path, Use use, const std::string& role) {
    if (path.empty() || path == "-") {
        return "";
    }
    const fs::path native = NativePath(path);
    std::error_code error;
    const bool exists = fs::exists(native, error);
    const bool linked = exists && fs::hard_link_count(native, error) > 1 && !error;
    const std::string place = PlaceOf(native);
    // Two existing files are one where they are equivalent; a file with one
    // name is equivalent to another only at its own place.
    std::size_t first = files_.size();
    auto consider = [&](std::size_t k, bool samePlace) {
        const File& file = files_[k];
        if (k >= first || MayBeOneFile(file.use, use)) {
            return;
        }
        const bool same = file.exists && exists ? fs::equivalent(NativePath(file.path), native, error) : samePlace;
        if (same) {
            first = k;
        }
    };
    const auto [from, to] = byPlace_.equal_range(place);
    for (auto it = from; it != to; ++it) {
        consider(it->second, true);
    }
    for (const std::size_t k : linked ? linked_ : std::vector<std::size_t>()) {
        consider(k, false);
    }
    if (first < files_.size()) {
        return files_[first].role;
    }
    byPlace_.emplace(place, files_.size());
    if (linked) {
        linked_.push_back(files_.size());
    }
    files_.push_back({path, use, role, exists, linked});
    return "";
}

}  // namespace driver
