#include "replacement.h"

#include "temporary_files.h"

namespace safewrite {

namespace {

// Temporary names are random, so an attempt fails only when another
// program made the same name; a few attempts are plenty.
constexpr int kTemporaryAttempts = 16;

Error WriteAll(File& file, const std::vector<std::string_view>& pieces) {
    for (const std::string_view piece : pieces) {
        if (const Error error = file.Write(piece.data(), piece.size()); error != Error::None) {
            return error;
        }
    }
    return file.Sync();
}

// Writes and closes: the first error of either.
Error WriteAndClose(File& file, const std::vector<std::string_view>& pieces) {
    const Error written = WriteAll(file, pieces);
    const Error closed = file.Close();
    return written != Error::None ? written : closed;
}

}  // namespace

Replacement::Replacement(const std::string& path, const char* tag) : tag_(tag) {
    target_ = OpenTarget(path);
    openError_ = target_.error;
    if (openError_ == Error::None && target_.kind == Kind::Folder) {
        openError_ = Error::IsFolder;
    }
    if (openError_ == Error::None && target_.kind == Kind::Missing) {
        // Made now, so that a folder that takes no new file shows at once.
        missing_ = true;
        openError_ = MakeTemporary(true);
    }
    open_ = openError_ == Error::None;
}

Replacement::~Replacement() { RemoveTemporary(); }

Outcome Replacement::Result() const {
    if (finished_) {
        return missing_ ? Outcome::Written : InPlace() ? Outcome::WrittenInPlace : Outcome::Replaced;
    }
    if (inPlaceStarted_) {
        return Outcome::WrittenInPart;
    }
    return missing_ || (!open_ && target_.kind == Kind::Missing) ? Outcome::NotWritten : Outcome::NotReplaced;
}

Error Replacement::Stage(const std::vector<std::string_view>& pieces) {
    if (!open_ || staged_) {
        return Error::Other;
    }
    staged_ = true;
    pieces_ = pieces;
    if (!missing_) {
        inPlaceReason_ = ReasonToWriteInPlace();
        if (inPlaceReason_.empty()) {
            const Error made = MakeTemporary(false);
            if (made == Error::NoSpace || made == Error::Io || made == Error::TooManyFiles) {
                return made;
            }
            if (made != Error::None) {
                inPlaceReason_ = made == Error::Denied
                                     ? "the folder is not writable"
                                     : std::string("no temporary file can be made: ") + ReasonOf(made);
            } else if (KeepOwnerAndMode(target_.file, temporaryFile_, temporary_) != Error::None) {
                RemoveTemporary();
                inPlaceReason_ = "its owner or group cannot be kept";
            }
        }
        if (InPlace()) {
            return Error::None;
        }
    }
    const Error error = WriteAndClose(temporaryFile_, pieces);
    if (error != Error::None) {
        RemoveTemporary();
    }
    return error;
}

Error Replacement::Commit() {
    if (!staged_ || finished_ || (!InPlace() && temporary_.empty())) {
        return Error::Other;
    }
    if (InPlace()) {
        return WriteInPlace();
    }
    // Some systems cannot replace a file that is still open.
    target_.file.Close();
    const Error error = Replace(temporary_, target_.path);
    if (error == Error::None) {
        Untrack(temporary_);
        temporary_.clear();
        finished_ = true;
        return Error::None;
    }
    RemoveTemporary();
    if (missing_) {
        return error;
    }
    target_ = OpenTarget(target_.path);
    if (target_.error != Error::None || target_.kind == Kind::Missing || target_.kind == Kind::Folder) {
        return target_.error != Error::None ? target_.error : Error::NotFound;
    }
    inPlaceReason_ = error == Error::InUse ? ReasonOf(error) : std::string("replacing it failed: ") + ReasonOf(error);
    return WriteInPlace();
}

std::string Replacement::ReasonToWriteInPlace() const {
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

Error Replacement::MakeTemporary(bool forNewFile) {
    const std::string folder = target_.path.substr(0, FolderLength(target_.path));
    RemoveStaleTemporaries(folder, tag_);
    Error error = Error::Exists;
    for (int attempt = 0; attempt < kTemporaryAttempts && error == Error::Exists; ++attempt) {
        temporary_ = TemporaryName(folder, tag_);
        if (!Track(temporary_)) {
            temporary_.clear();
            return Error::TooManyFiles;
        }
        error = CreateNew(temporary_, !forNewFile, temporaryFile_);
        if (error != Error::None) {
            Untrack(temporary_);
            temporary_.clear();
        }
    }
    return error;
}

Error Replacement::WriteInPlace() {
    if (const Error error = target_.file.Truncate(); error != Error::None) {
        return error;
    }
    inPlaceStarted_ = true;
    if (const Error error = WriteAndClose(target_.file, pieces_); error != Error::None) {
        return error;
    }
    finished_ = true;
    return Error::None;
}

void Replacement::RemoveTemporary() {
    if (!temporary_.empty()) {
        temporaryFile_.Close();
        Remove(temporary_);
        Untrack(temporary_);
        temporary_.clear();
    }
}

}  // namespace safewrite
