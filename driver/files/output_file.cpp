#include "files/output_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <system_error>

#include "files/native_path.h"
#include "files/standard_output.h"
#include "files/system_reason.h"
#include "replacement.h"
#include "temporary_files.h"
#include "text/name_text.h"

#if defined(_WIN32)
#  include <io.h>
#  define MORVANE_ACCESS _access
constexpr int kWritable = 2;
#else
#  include <sys/resource.h>
#  include <unistd.h>
#  define MORVANE_ACCESS access
constexpr int kWritable = W_OK;
#endif

namespace driver {

namespace fs = std::filesystem;

namespace {

// The temporaries' names begin ".~morvane-".
constexpr const char* kTemporaryTag = "morvane";

// A file whose content copies from a file that changed is refused (the
// old one kept): before the copy, and after it, in case what it read
// changed as it read.
std::string NameOf(const OutputFile& file) { return file.path == "-" ? "standard output" : Excerpt(file.path); }

void CheckSources(const OutputFile& file) {
    if (const std::optional<std::string> changed = file.content.ChangedSource()) {
        throw OutputFileError(NameOf(file) + ": cannot be written: " + *changed);
    }
}

void CheckNotOwnSource(const OutputFile& file) {
#if defined(_WIN32)
    // A file open for reading cannot be replaced here, and a write in
    // place would empty what it copies from.
    if (file.content.CopiesFrom(file.path)) {
        throw OutputFileError(NameOf(file) +
                              ": cannot be written: it is the file that it copies from, "
                              "which cannot be replaced while it is read");
    }
#else
    (void)file;
#endif
}

// Why `file` was not written: for a write in place, which it had to be.
std::string WhyNotWritten(const OutputFile& file, const safewrite::Replacement* staged, safewrite::Error error) {
    const std::string how = staged != nullptr && staged->InPlace() && staged->IsRegular()
                                ? " in place (" + *staged->InPlaceReason() + ")"
                                : "";
    return NameOf(file) + ": cannot be written" + how + ": " + safewrite::ReasonOf(error);
}

[[noreturn]] void FailToWrite(const OutputFile& file, safewrite::Error error,
                              const safewrite::Replacement* staged = nullptr) {
    CheckSources(file);
    throw OutputFileError(WhyNotWritten(file, staged, error));
}

using Staged = std::vector<std::unique_ptr<safewrite::Replacement>>;

// The order of the commits: the writes in place of regular files first
// (each can put its old bytes back, and does after any failure of the
// run), then the renames, and devices and pipes last (nothing takes back
// what they were sent).
int PhaseOf(const safewrite::Replacement& file) { return !file.InPlace() ? 1 : file.IsRegular() ? 0 : 2; }

// The commit of file `failed` failed: the files written in place before it
// get their old bytes back, and the message says what is changed all the
// same (files renamed, devices written, a file left in part).
[[noreturn]] void FailToCommit(const std::vector<OutputFile>& files, Staged& staged, std::size_t failed,
                               safewrite::Error error, const std::vector<std::size_t>& done) {
    std::string changed;
    for (const std::size_t i : done) {
        if (PhaseOf(*staged[i]) != 0 || staged[i]->Restore() != safewrite::Error::None) {
            changed += (changed.empty() ? "" : ", ") + NameOf(files[i]);
        }
    }
    std::string message = WhyNotWritten(files[failed], staged[failed].get(), error);
    const std::optional<std::string>& kept = staged[failed]->KeptOldBytes();
    if (staged[failed]->Result() == safewrite::Outcome::WrittenInPart && kept) {
        message += "; it is left in part, and its old bytes are kept in " + Excerpt(*kept);
    }
    if (!changed.empty()) {
        message += "; written all the same, before the failure: " + changed;
    }
    throw OutputFileError(message);
}

// Takes the room of every write in place, then commits every staged file,
// in PhaseOf's order; on a failure, leaves as many files as it can as they
// were, and says which are not. The caller holds the interrupting signals.
void CommitAll(const std::vector<OutputFile>& files, Staged& staged, std::vector<InPlaceReason>& reasons) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (const safewrite::Error error = staged[i] ? staged[i]->Reserve() : safewrite::Error::None;
            error != safewrite::Error::None) {
            for (const auto& file : staged) {
                if (file) {
                    file->Unreserve();
                }
            }
            FailToWrite(files[i], error, staged[i].get());
        }
    }
    std::vector<std::size_t> done;
    for (int phase = 0; phase < 3; ++phase) {
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (!staged[i] || PhaseOf(*staged[i]) != phase) {
                continue;
            }
            if (const safewrite::Error error = staged[i]->Commit(); error != safewrite::Error::None) {
                FailToCommit(files, staged, i, error, done);
            }
            done.push_back(i);
            // A device or a pipe is written in place as a matter of course.
            if (staged[i]->IsRegular() && staged[i]->InPlace()) {
                reasons[i] = staged[i]->InPlaceReason();
            }
        }
    }
}

// Raises the limit of open files, as far as the system lets a process, to
// at least `needed` beyond those a run keeps open anyway.
void AllowOpenFiles(std::size_t needed) {
#if !defined(_WIN32)
    constexpr rlim_t kKeptOpen = 64;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur < needed + kKeptOpen) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? needed + kKeptOpen
                                                         : std::min<rlim_t>(limit.rlim_max, needed + kKeptOpen);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
#else
    (void)needed;
#endif
}

// The name that a write to `file` creates: where its chain of symbolic
// links ends, each link read from its own folder, as the system follows them.
fs::path CreatedName(fs::path file) {
    constexpr int kMaxLinks = 40;
    std::error_code error;
    for (int hop = 0; hop < kMaxLinks && fs::is_symlink(fs::symlink_status(file, error)); ++hop) {
        const fs::path target = fs::read_symlink(file, error);
        if (error) {
            break;
        }
        file = target.is_absolute() ? target : file.parent_path() / target;
    }
    return file;
}

}  // namespace

void CheckWritable(const std::string& path, const std::string& what) {
    if (path.empty()) {
        throw OutputFileError(what + ": the file name is empty");
    }
    std::error_code error;
    const fs::path file = NativePath(path);
    const fs::file_status status = fs::status(file, error);
    if (fs::is_directory(status)) {
        throw OutputFileError(what + " " + Excerpt(path) + ": is a folder");
    }
    if (fs::exists(status)) {
        if (MORVANE_ACCESS(path.c_str(), kWritable) != 0) {
            throw OutputFileError(what + " " + Excerpt(path) + ": the file is not writable");
        }
        return;
    }
    // A dangling link creates the file it names, in that file's folder.
    const fs::path created = CreatedName(file);
    const fs::path folder = created.has_parent_path() ? created.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, error)) {
        throw OutputFileError(what + " " + Excerpt(path) + ": the folder " + Excerpt(NativeText(folder)) +
                              " does not exist");
    }
    if (MORVANE_ACCESS(NativeText(folder).c_str(), kWritable) != 0) {
        throw OutputFileError(what + " " + Excerpt(path) + ": the folder " + Excerpt(NativeText(folder)) +
                              " is not writable");
    }
}

void FlushStandardOutput() {
    errno = 0;
    std::cout.flush();
    if (!std::cout) {
        // The first failure says why: a later write may fail for another reason, or set none.
        const int error = StandardOutputError() != 0 ? StandardOutputError() : errno;
        throw OutputFileError("standard output cannot be written: " + SystemReason(error != 0 ? error : EIO),
                              StandardOutputReaderGone() ? RefusalCode::ReaderGone : RefusalCode::NotWritable);
    }
}

void HandOverStagedFiles(std::vector<OutputFile>& files) {
    for (OutputFile& file : files) {
        if (file.path == "-" || file.staged) {
            continue;
        }
        CheckSources(file);
        CheckNotOwnSource(file);
        safewrite::Replacement staged(file.path, kTemporaryTag);
        if (!staged.IsOpen()) {
            FailToWrite(file, staged.OpenError());
        }
        if (const safewrite::Error error = staged.Stage(file.content); error != safewrite::Error::None) {
            FailToWrite(file, error, &staged);
        }
        CheckSources(file);
        // A file to be written in place is left to the parent, whole.
        if ((file.staged = staged.HandOver())) {
            file.content = FileContent();
        }
    }
}

std::vector<InPlaceReason> WriteOutputFiles(const std::vector<OutputFile>& files,
                                            std::optional<safewrite::InterruptsHeld>* holdUntilReported) {
    // Every file is written to its temporary first (a file written in
    // place keeps its old bytes in another), so that a failure (or an
    // interrupt) leaves all of them as they were; then all are put in
    // place at once. Each file and its temporaries stay open until then.
    AllowOpenFiles(4 * files.size());
    Staged staged(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].path == "-") {
            continue;
        }
        CheckSources(files[i]);
        CheckNotOwnSource(files[i]);
        staged[i] = files[i].staged
                        ? std::make_unique<safewrite::Replacement>(files[i].path, kTemporaryTag, *files[i].staged)
                        : std::make_unique<safewrite::Replacement>(files[i].path, kTemporaryTag);
        safewrite::Replacement& file = *staged[i];
        if (!file.IsOpen()) {
            FailToWrite(files[i], file.OpenError());
        }
        if (files[i].staged) {
            continue;
        }
        if (const safewrite::Error error = file.Stage(files[i].content); error != safewrite::Error::None) {
            FailToWrite(files[i], error, &file);
        }
    }
    for (const OutputFile& file : files) {
        CheckSources(file);
        if (file.path == "-") {
            const safewrite::Error error = file.content.EachPiece([](std::string_view piece) {
                std::cout.write(piece.data(), static_cast<std::streamsize>(piece.size()));
                return std::cout ? safewrite::Error::None : safewrite::Error::Io;
            });
            FlushStandardOutput();
            if (error != safewrite::Error::None) {
                FailToWrite(file, error);
            }
            CheckSources(file);
        }
    }
    std::vector<InPlaceReason> inPlace(files.size());
    // Held back from the first change to the last, an interrupt comes after all.
    std::optional<safewrite::InterruptsHeld> held;
    (holdUntilReported != nullptr ? *holdUntilReported : held).emplace();
    CommitAll(files, staged, inPlace);
    return inPlace;
}

}  // namespace driver
