#include "replacement.h"

#include <algorithm>

#include "byte_copy.h"
#include "replacement_pieces.h"
#include "temporary_files.h"

namespace safewrite {

namespace {

// Temporary names are random, so an attempt fails only when another
// program made the same name; a few attempts are plenty.
constexpr int kTemporaryAttempts = 16;

// The room a file system that cannot be asked for it is given in a file of
// zeros, written in pieces of this size.
constexpr std::size_t kZeroPiece = std::size_t{1} << 20;

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
        const std::string folder = target_.path.substr(0, FolderLength(target_.path));
        // A new file there could not take its name from a temporary.
        openError_ = FolderIsAppendOnly(folder) ? Error::Denied : MakeTemporary(folder, true, new_);
    }
    open_ = openError_ == Error::None;
    // A write of the folder that was cut short is put right before anything else.
    RecoverJournals(target_.path.substr(0, FolderLength(target_.path)), tag_);
    RecoverJournals(SystemTemporaryFolder(), tag_);
}

Replacement::~Replacement() {
    if (reserved_ && !inPlaceStarted_) {
        Unreserve();
    }
    RemoveScratch(new_);
    RemoveScratch(reserve_);
    // Before the file, and with it its lock, is let go.
    if (!keptOld_) {
        journal_.Remove();
    }
}

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
        if (!inPlaceReason_) {
            const std::string folder = target_.path.substr(0, FolderLength(target_.path));
            const Error made = MakeTemporary(folder, false, new_);
            if (made == Error::NoSpace || made == Error::Io || made == Error::TooManyFiles) {
                return made;
            }
            if (made != Error::None) {
                inPlaceReason_ = made == Error::Denied
                                     ? "the folder is not writable"
                                     : std::string("no temporary file can be made: ") + ReasonOf(made);
            } else if (KeepOwnerAndMode(target_.file, new_.file, new_.path) != Error::None) {
                RemoveScratch(new_);
                inPlaceReason_ = "its owner or group cannot be kept";
            }
        }
        if (InPlace()) {
            return target_.kind == Kind::Regular ? StageInPlace(content) : Error::None;
        }
    }
    // The temporary stays open, and so held, until Commit renames it.
    Error error = WriteAll(new_.file, content, true);
    if (error == Error::None) {
        error = new_.file.SizeNow(newSize_);
    }
    if (error != Error::None) {
        RemoveScratch(new_);
    }
    return error;
}

// The new bytes whole in a temporary, and the old ones in another.
Error Replacement::StageInPlace(const Content& content) {
    Error error = MakeScratch(new_);
    if (error == Error::None) {
        error = WriteAll(new_.file, content, false);
    }
    if (error == Error::None) {
        error = new_.file.SizeNow(newSize_);
    }
    if (error == Error::None) {
        error = KeepOldBytes();
    }
    if (error != Error::None) {
        RemoveScratch(new_);
        journal_.Remove();
    }
    return error;
}

// Locked first: another writer's old bytes would be new ones half written.
Error Replacement::KeepOldBytes() {
    if (!target_.readable) {
        return Error::NotReadable;
    }
    Error error = LockWaiting(target_.file);
    if (error == Error::None) {
        error = target_.file.SizeNow(oldSize_);
    }
    return error != Error::None ? error : journal_.Keep(target_.path, target_.file, oldSize_, tag_);
}

Error Replacement::Reserve() {
    if (!staged_ || !InPlace() || target_.kind != Kind::Regular || reserved_ || finished_) {
        return Error::None;
    }
    reserved_ = true;
    bool held = false;
    Error error = target_.file.Reserve(newSize_, held);
    if (error == Error::None && !held && newSize_ > oldSize_) {
        error = ReserveBeside(newSize_ - oldSize_);
    }
    if (error != Error::None) {
        Unreserve();
    }
    return error;
}

// A file of zeros holds the room, and gives it to the file when removed.
Error Replacement::ReserveBeside(std::uint64_t size) {
    Error error = MakeScratch(reserve_);
    const std::unique_ptr<char[]> zeros(new char[kZeroPiece]());
    for (std::uint64_t at = 0; error == Error::None && at < size; at += kZeroPiece) {
        error =
            reserve_.file.Write(zeros.get(), static_cast<std::size_t>(std::min<std::uint64_t>(kZeroPiece, size - at)));
    }
    return error == Error::None ? reserve_.file.Sync() : error;
}

void Replacement::Unreserve() {
    if (reserved_ && !inPlaceStarted_) {
        target_.file.Unreserve(oldSize_);
        RemoveScratch(reserve_);
        reserved_ = false;
    }
}

Error Replacement::Commit() {
    if (!staged_ || finished_ || (!InPlace() && new_.path.empty())) {
        return Error::Other;
    }
    if (InPlace()) {
        return WriteInPlace();
    }
    // Some systems cannot replace a file that is still open.
    target_.file.Close();
    const Error error = Replace(new_.file, new_.path, target_.path);
    if (error == Error::None) {
        Untrack(new_.path);
        new_.path.clear();
        finished_ = true;
        return Error::None;
    }
    if (missing_) {
        RemoveScratch(new_);
        return error;
    }
    // The system refused the rename (another program holds the file): the
    // temporary's bytes go in place, the old ones kept meanwhile.
    target_ = OpenTarget(target_.path);
    Error reopened = target_.error;
    if (reopened == Error::None && target_.kind != Kind::Regular) {
        reopened = target_.kind == Kind::Other ? Error::NotRegular : Error::NotFound;
    }
    if (reopened == Error::None) {
        reopened = OpenSource(new_.path, new_.file, newSize_);
    }
    if (reopened == Error::None) {
        reopened = KeepOldBytes();
    }
    if (reopened != Error::None) {
        RemoveScratch(new_);
        journal_.Remove();
        return reopened;
    }
    inPlaceReason_ = error == Error::InUse ? ReasonOf(error) : std::string("replacing it failed: ") + ReasonOf(error);
    return WriteInPlace();
}

Error Replacement::WriteInPlace() {
    if (target_.kind != Kind::Regular) {
        // A device or a pipe has no old bytes to keep, nor a length to cut:
        // an interrupt may end its writing (a pipe may wait for its reader).
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
    const InterruptsHeld held;
    if (const Error error = Reserve(); error != Error::None) {
        return error;
    }
    RemoveScratch(reserve_);
    inPlaceStarted_ = true;
    Error error = CopyOver(new_.file, 0, target_.file, 0, newSize_);
    if (error == Error::None) {
        error = target_.file.Resize(newSize_);
    }
    if (error == Error::None) {
        error = target_.file.Sync();
    }
    RemoveScratch(new_);
    if (error != Error::None) {
        PutBackOldBytes();
        return error;
    }
    finished_ = true;
    return Error::None;
}

Error Replacement::PutBackOldBytes() {
    if (const Error error = journal_.PutBack(target_.file); error != Error::None) {
        // The old bytes stay where they are, for the user or the next run to take back.
        keptOld_ = journal_.Leave();
        return error;
    }
    inPlaceStarted_ = false;
    reserved_ = false;
    return Error::None;
}

Error Replacement::Restore() {
    if (!finished_ || !InPlace() || target_.kind != Kind::Regular) {
        return Error::None;
    }
    const InterruptsHeld held;
    finished_ = false;
    inPlaceStarted_ = true;
    return PutBackOldBytes();
}

std::optional<std::string> Replacement::ReasonToWriteInPlace() const {
    if (target_.kind == Kind::Other) {
        return ReasonOf(Error::NotRegular);
    }
    if (target_.linked) {
        return "the file has other hard links";
    }
    if (target_.mountPoint) {
        return "the file is a mount point";
    }
    if (target_.viaLink) {
        return "a symbolic link";
    }
    // Files can be added there, but none renamed or removed: a temporary
    // could neither take the file's place nor be cleared away.
    if (FolderIsAppendOnly(target_.path.substr(0, FolderLength(target_.path)))) {
        return "the folder is append-only";
    }
    return std::nullopt;
}

Error Replacement::MakeTemporary(const std::string& folder, bool forNewFile, Scratch& scratch) {
    RemoveStaleTemporaries(folder, tag_);
    Error error = Error::Exists;
    for (int attempt = 0; attempt < kTemporaryAttempts && error == Error::Exists; ++attempt) {
        scratch.path = TemporaryName(folder, tag_);
        if (!Track(scratch.path)) {
            scratch.path.clear();
            return Error::TooManyFiles;
        }
        error = CreateTemporary(scratch.path, !forNewFile, scratch.file);
        if (error != Error::None) {
            Untrack(scratch.path);
            scratch.path.clear();
        }
    }
    return error;
}

Error Replacement::MakeScratch(Scratch& scratch) {
    const std::string folder = target_.path.substr(0, FolderLength(target_.path));
    const Error beside = FolderIsAppendOnly(folder) ? Error::Denied : MakeTemporary(folder, false, scratch);
    if (beside == Error::None) {
        return beside;
    }
    const std::string system = SystemTemporaryFolder();
    return system.empty() || MakeTemporary(system, false, scratch) != Error::None ? beside : Error::None;
}

void Replacement::RemoveScratch(Scratch& scratch) {
    if (!scratch.path.empty()) {
        scratch.file.Close();
        Remove(scratch.path);
        Untrack(scratch.path);
        scratch.path.clear();
    }
}

}  // namespace safewrite
