#include "files/run_files.h"

#include <filesystem>
#include <system_error>

#if !defined(_WIN32)
#  include <sys/stat.h>
#endif

#include "files/native_path.h"
#include "text/name_text.h"

namespace driver {

namespace fs = std::filesystem;

namespace {

// As many links as a system follows for one name (SYMLOOP_MAX is 40 on
// Linux); beyond that, a link cycle or chain stays where it is.
constexpr int kMaxLinksFollowed = 40;

// Where a file would be opened: `path` made absolute, the links of its last
// name followed, a dangling one to the name that opening for writing
// creates, then the links of its folders resolved.
fs::path Destination(const fs::path& path) {
    std::error_code error;
    fs::path place = fs::absolute(path, error);
    for (int hop = 0; hop < kMaxLinksFollowed && fs::is_symlink(fs::symlink_status(place, error)); ++hop) {
        const fs::path target = fs::read_symlink(place, error);
        if (error) {
            break;
        }
        place = target.is_absolute() ? target : place.parent_path() / target;
    }
    const fs::path resolved = fs::weakly_canonical(place, error);
    return (error ? place : resolved).lexically_normal();
}

bool MayBeOneFile(RunFiles::Use a, RunFiles::Use b) {
    using Use = RunFiles::Use;
    if (a == Use::Written || b == Use::Written) {
        return false;
    }
    return !((a == Use::OnlyRead && b == Use::ToolWrites) || (a == Use::ToolWrites && b == Use::OnlyRead));
}

}  // namespace

std::optional<Refusal> RunFiles::Add(const std::string& path, Use use, const std::string& role) {
    if (path.empty() || path == "-") {
        return std::nullopt;
    }
    const fs::path native = NativePath(path);
    std::error_code error;
    const bool exists = fs::exists(native, error);
    const bool linked = exists && fs::hard_link_count(native, error) > 1 && !error;
    const std::string place = Destination(native).string();
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
        return Refusal{RefusalCode::FileClash, files_[first].role};
    }
    byPlace_.emplace(place, files_.size());
    if (linked) {
        linked_.push_back(files_.size());
    }
    files_.push_back({path, use, role, exists, linked});
    written_ += use == Use::Written ? 1 : 0;
    return std::nullopt;
}

RunFiles FilesOfRun(const CommandLineFiles& named, const std::vector<std::string>& referenced) {
    using Use = RunFiles::Use;
    if (IsStandardOutput(named.output) && IsStandardOutput(named.svg)) {
        throw RunFilesError("-o and --svg cannot both write to standard output");
    }
    RunFiles files;
    files.Add(named.scene, Use::OnlyRead, "the scene file, which is only read");
    files.Add(named.session, Use::OnlyRead, "the session, which is only read");
    for (const std::string& file : referenced) {
        files.Add(file, Use::OnlyRead, "a file that the scene file refers to, which is only read");
    }
    const struct {
        const char* option;
        const std::string& path;
        Use use;
        const char* role;
    } written[] = {
        {"NAMES", named.names, named.namesLoaded ? Use::ToolReads : Use::ToolWrites,
         named.namesLoaded ? "the names file the run reads" : "the names file the run writes"},
        {"-o", named.output, Use::Written, "the scene that -o writes"},
        {"--svg", named.svg, Use::Written, "the picture that --svg writes"},
    };
    for (const auto& file : written) {
        if (const std::optional<Refusal> clash = files.Add(file.path, file.use, file.role)) {
            throw RunFilesError(std::string(file.option) + ": " + QuotedExcerpt(file.path) + " is " + clash->message);
        }
    }
    // The transcript, or -o -, would be written into a file that the run needs.
    if (const std::optional<std::string> role = files.StandardOutputRole()) {
        throw RunFilesError("standard output is " + *role);
    }
    return files;
}

std::optional<std::string> RunFiles::StandardOutputRole() const {
#if !defined(_WIN32)
    struct stat output {};
    if (::fstat(1, &output) != 0 || !S_ISREG(output.st_mode)) {
        return std::nullopt;
    }
    for (const File& file : files_) {
        struct stat named {};
        if (::stat(file.path.c_str(), &named) == 0 && named.st_dev == output.st_dev && named.st_ino == output.st_ino) {
            return QuotedExcerpt(file.path) + ", " + file.role;
        }
    }
#endif
    return std::nullopt;
}

bool IsStandardOutput(const std::string& path) {
    if (path == "-") {
        return true;
    }
#if defined(_WIN32)
    return false;  // no file numbers to compare; "-" is its one name
#else
    struct stat named {};
    struct stat output {};
    return !path.empty() && ::fstat(1, &output) == 0 && ::stat(path.c_str(), &named) == 0 &&
           named.st_dev == output.st_dev && named.st_ino == output.st_ino;
#endif
}

}  // namespace driver
