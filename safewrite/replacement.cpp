#include "replacement.h"

#include <algorithm>

#include "temporary_files.h"

namespace safewrite {

// Pieces given all at once, as content.
class Replacement::Pieces final : public Content {
public:
    explicit Pieces(const std::vector<std::string_view>& pieces) : pieces_(pieces) {}
    Error EachPiece(const std::function<Error(std::string_view)>& put) const override {
        for (const std::string_view piece : pieces_) {
            if (const Error error = put(piece); error != Error::None) {
                return error;
            }
        }
        return Error::None;
    }

private:
    std::vector<std::string_view> pieces_;
};

namespace {

// Temporary names are random, so an attempt fails only when another
// program made the same name; a few attempts are plenty.
constexpr int kTemporaryAttempts = 16;

// Small pieces are gathered to this size before they are written; larger
// ones are written as they are. A million short names thus cost a few
// hundred writes, not a million.
constexpr std::size_t kGathered = std::size_t{256} * 1024;

Error WriteAll(File& file, const Content& content) {
    std::unique_ptr<char[]> buffer;
    std::size_t held = 0;
    const auto flush = [&] {
        const Error error = held > 0 ? file.Write(buffer.get(), held) : Error::None;
        held = 0;
        return error;
    };
    const auto copy = [&](const Content::SourceRange& range) {
        const Error flushed = flush();
        return flushed != Error::None ? flushed : range.file->CopyTo(file, range.offset, range.size);
    };
    Error error = content.EachPart(
        [&](std::string_view piece) {
        if (held + piece.size() > kGathered) {
            if (const Error flushed = flush(); flushed != Error::None) {
                return flushed;
            }
        }
        if (piece.size() >= kGathered) {
            return file.Write(piece.data(), piece.size());
        }
        if (!buffer) {
            buffer.reset(new char[kGathered]);
        }
        std::copy(piece.begin(), piece.end(), buffer.get() + held);
        held += piece.size();
        return Error::None;
        },
        copy);
    if (error == Error::None) {
        error = flush();
    }
    // On the disk before the file takes its name: a power cut after the
    // rename then leaves the new file whole, never an empty one.
    return error != Error::None ? error : file.Sync();
}

// Writes and closes: the first error of either.
Error WriteAndClose(File& file, const Content& content) {
    const Error written = WriteAll(file, content);
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
    pieces_ = std::make_unique<Pieces>(pieces);
    return Stage(*pieces_);
}

Error Replacement::Stage(const Content& content) {
    if (!open_ || staged_) {
        return Error::Other;
    }
    staged_ = true;
    content_ = &content;
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
    // The temporary stays open, and so held, until Commit renames it.
    const Error error = WriteAll(temporaryFile_, content);
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
    const Error error = Replace(temporaryFile_, temporary_, target_.path);
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
    // Files can be added there, but none renamed or removed: a temporary
    // could neither take the file's place nor be cleared away.
    if (FolderIsAppendOnly(target_.path.substr(0, FolderLength(target_.path)))) {
        return "the folder is append-only";
    }
    return "";
}

Error Replacement::MakeTemporary(bool forNewFile) {
    const std::string folder = target_.path.substr(0, FolderLength(target_.path));
    // A new file there could not take its name from a temporary.
    if (forNewFile && FolderIsAppendOnly(folder)) {
        return Error::Denied;
    }
    RemoveStaleTemporaries(folder, tag_);
    Error error = Error::Exists;
    for (int attempt = 0; attempt < kTemporaryAttempts && error == Error::Exists; ++attempt) {
        temporary_ = TemporaryName(folder, tag_);
        if (!Track(temporary_)) {
            temporary_.clear();
            return Error::TooManyFiles;
        }
        error = CreateTemporary(temporary_, !forNewFile, temporaryFile_);
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
    if (const Error error = WriteAndClose(target_.file, *content_); error != Error::None) {
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
