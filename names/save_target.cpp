#include "save_target.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>

#include "name_lines.h"

using native_file::Error;
using native_file::File;
using native_file::Kind;
using native_file::ReasonOf;

namespace {

// Temporary names are random, so an attempt fails only when another
// program made the same name; a few attempts are plenty.
constexpr int kTemporaryAttempts = 16;

// Writes all lines and closes the file: the first error of either.
Error WriteAndClose(File& file, const names_file::NameLines& names) {
    Error written = Error::None;
    for (const std::string& block : names.Blocks()) {
        if (written == Error::None) {
            written = file.Write(block.data(), block.size());
        }
    }
    const Error closed = file.Close();
    return written != Error::None ? written : closed;
}

std::uint32_t TemporarySeed() {
    auto seed = static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    try {
        seed ^= std::random_device{}();
    } catch (...) {
        // The clock alone still differs between saves.
    }
    return seed;
}

// A new temporary file in the folder of `target`, with a short name of its
// own, so that neither a long target name nor files left by earlier saves
// stand in the way.
Error CreateTemporary(const std::string& target, std::string& path, File& file) {
    std::mt19937 numbers(TemporarySeed());
    Error error = Error::Exists;
    for (int attempt = 0; attempt < kTemporaryAttempts && error == Error::Exists; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, ".~velkora-%08x.tmp", static_cast<unsigned>(numbers()));
        path = target.substr(0, native_file::FolderLength(target)) + name;
        error = native_file::CreateNew(path, true, file);
    }
    if (error != Error::None) {
        path.clear();
    }
    return error;
}

}  // namespace

SaveTarget::SaveTarget(const std::string& path) {
    // A file that appears between the look and the creation is looked at again.
    for (int look = 0; look < 2 && !open_; ++look) {
        target_ = native_file::OpenTarget(path);
        openError_ = target_.error;
        if (openError_ == Error::None && target_.kind == Kind::Folder) {
            openError_ = Error::IsFolder;
        }
        if (openError_ == Error::None && target_.kind == Kind::Missing) {
            openError_ = native_file::CreateNew(target_.path, false, target_.file);
            created_ = openError_ == Error::None;
            if (openError_ == Error::Exists) {
                continue;
            }
        }
        open_ = openError_ == Error::None;
        break;
    }
}

SaveTarget::~SaveTarget() {
    RemoveTemporary();
    if (created_ && !finished_) {
        target_.file.Close();
        native_file::Remove(target_.path);
    }
}

SaveResult SaveTarget::Stopped(const std::string& reason) const {
    SaveResult result;
    result.reason = open_ ? reason : ReasonOf(openError_);
    if (inPlaceStarted_) {
        result.outcome = SaveOutcome::WrittenInPart;
    } else if (created_ || (!open_ && target_.kind == Kind::Missing)) {
        result.outcome = SaveOutcome::NotWritten;
    } else {
        result.outcome = SaveOutcome::NotReplaced;
    }
    return result;
}

SaveResult SaveTarget::Write(const names_file::NameLines& names) {
    if (!open_ || finished_) {
        return Stopped("the file is not open");
    }
    try {
        return WriteOrThrow(names);
    } catch (...) {
        return Stopped("out of memory");
    }
}

SaveResult SaveTarget::WriteOrThrow(const names_file::NameLines& names) {
    if (created_) {
        const Error error = WriteAndClose(target_.file, names);
        if (error != Error::None) {
            return Stopped(ReasonOf(error));  // the destructor removes the file
        }
        finished_ = true;
        return {SaveOutcome::Written, names.size(), ""};
    }
    std::string reason = InPlaceReason();
    if (reason.empty()) {
        SaveResult result;
        if (TryReplace(names, result, reason)) {
            return result;
        }
    }
    return WriteInPlace(names, reason);
}

std::string SaveTarget::InPlaceReason() const {
    if (target_.kind == Kind::Other) {
        return ReasonOf(Error::NotRegular);
    }
    if (target_.linked) {
        return "the file has other hard links";
    }
    if (target_.viaLink) {
        return "a symbolic link";
    }
    return "";
}

bool SaveTarget::TryReplace(const names_file::NameLines& names, SaveResult& result, std::string& reason) {
    File temporary;
    const Error made = CreateTemporary(target_.path, temporary_, temporary);
    if (made == Error::NoSpace || made == Error::Io) {
        result = Stopped(ReasonOf(made));
        return true;
    }
    if (made != Error::None) {
        reason = made == Error::Denied ? "the folder is not writable"
                                       : std::string("no temporary file can be made: ") + ReasonOf(made);
        return false;
    }
    if (native_file::KeepOwnerAndMode(target_.file, temporary, temporary_) != Error::None) {
        temporary.Close();
        RemoveTemporary();
        reason = "its owner or group cannot be kept";
        return false;
    }
    if (const Error error = WriteAndClose(temporary, names); error != Error::None) {
        RemoveTemporary();
        result = Stopped(ReasonOf(error));
        return true;
    }
    // Some systems cannot replace a file that is still open.
    target_.file.Close();
    if (const Error error = native_file::Replace(temporary_, target_.path); error != Error::None) {
        RemoveTemporary();
        reason = error == Error::InUse ? ReasonOf(error) : std::string("replacing it failed: ") + ReasonOf(error);
        target_ = native_file::OpenTarget(target_.path);
        if (target_.error != Error::None || target_.kind == Kind::Missing || target_.kind == Kind::Folder) {
            result = Stopped(ReasonOf(target_.error != Error::None ? target_.error : Error::NotFound));
            return true;
        }
        return false;
    }
    temporary_.clear();
    finished_ = true;
    result = {SaveOutcome::Replaced, names.size(), ""};
    return true;
}

SaveResult SaveTarget::WriteInPlace(const names_file::NameLines& names, const std::string& reason) {
    if (const Error error = target_.file.Truncate(); error != Error::None) {
        return Stopped(ReasonOf(error));
    }
    inPlaceStarted_ = true;
    if (const Error error = WriteAndClose(target_.file, names); error != Error::None) {
        return Stopped(ReasonOf(error));
    }
    finished_ = true;
    return {SaveOutcome::WrittenInPlace, names.size(), reason};
}

void SaveTarget::RemoveTemporary() {
    if (!temporary_.empty()) {
        native_file::Remove(temporary_);
        temporary_.clear();
    }
}
