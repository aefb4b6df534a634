#include "files/run_files.h"

#include <filesystem>
#include <system_error>

#include "files/file_identity.h"
#include "files/native_path.h"
#include "text/name_text.h"

namespace driver {

namespace fs = std::filesystem;

const char* const kWrittenBeside = "a file that the run writes beside a scene it writes";

namespace {

bool MayBeOneFile(RunFiles::Use a, RunFiles::Use b) {
    using Use = RunFiles::Use;
    if (a == Use::Written || b == Use::Written) {
        return false;
    }
    return !((a == Use::OnlyRead && b == Use::ToolWrites) || (a == Use::ToolWrites && b == Use::OnlyRead));
}

// The key of the place that `path` leads to: its identity where it can
// be looked at, else its normalised absolute path (a run that writes
// there fails with the system's reason).
std::string PlaceKey(const std::string& path, RunFiles::Use use, std::optional<FilePlace>& place) {
    std::error_code error;
    // A tool's file is opened by its file dialog, which takes ".." by name.
    const bool byDialog = use == RunFiles::Use::ToolReads || use == RunFiles::Use::ToolWrites;
    const fs::path absolute = fs::absolute(NativePath(path), error).lexically_normal();
    place = PlaceOf(byDialog && !error ? NativeText(absolute) : path);
    if (place) {
        return place->Key();
    }
    return "?" + NativeText(absolute);
}

}  // namespace

std::optional<Refusal> RunFiles::Add(const std::string& path, Use use, const std::string& role) {
    if (path.empty() || path == "-") {
        return std::nullopt;
    }
    std::optional<FilePlace> place;
    const std::string key = PlaceKey(path, use, place);
    const auto [from, to] = byPlace_.equal_range(key);
    std::size_t first = files_.size();
    for (auto it = from; it != to; ++it) {
        if (it->second < first && !MayBeOneFile(files_[it->second].use, use)) {
            first = it->second;
        }
    }
    if (first < files_.size()) {
        return Refusal{RefusalCode::FileClash, files_[first].role};
    }
    byPlace_.emplace(key, files_.size());
    files_.push_back({path, use, role, place && place->exists ? std::optional(place->identity) : std::nullopt});
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
    for (const std::string& beside : named.outputBeside) {
        if (const std::optional<Refusal> clash = files.Add(beside, Use::Written, kWrittenBeside)) {
            throw RunFilesError("-o: " + QuotedExcerpt(beside) + ", the file it writes beside the scene, is " +
                                clash->message);
        }
    }
    // The transcript, or -o -, would be written into a file that the run needs.
    if (const std::optional<std::string> role = files.StandardOutputRole()) {
        throw RunFilesError("standard output is " + *role);
    }
    return files;
}

std::optional<std::string> RunFiles::StandardOutputRole() const {
    const std::optional<FileIdentity> output = StandardOutputIdentity();
    for (const File& file : files_) {
        if (output && file.identity && IsOutputFile(*output, *file.identity)) {
            return QuotedExcerpt(file.path) + ", " + file.role;
        }
    }
    return std::nullopt;
}

bool IsStandardOutput(const std::string& path) {
    if (path == "-") {
        return true;
    }
    const std::optional<FileIdentity> output = path.empty() ? std::nullopt : StandardOutputIdentity();
    const std::optional<FilePlace> place = output ? PlaceOf(path) : std::nullopt;
    return place && place->exists && IsOutputFile(*output, place->identity);
}

}  // namespace driver
