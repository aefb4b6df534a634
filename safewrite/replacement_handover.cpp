// A staged temporary handed from a child process to its parent.
#include "handed_temporaries.h"
#include "replacement.h"
#include "replacement_pieces.h"
#include "temporary_files.h"

namespace safewrite {

std::optional<Handed> Replacement::HandOver() {
    if (!staged_ || finished_ || InPlace() || new_.path.empty()) {
        return std::nullopt;
    }
    Handed handed{new_.path, {}, newSize_};
    if (IdentityOf(new_.file, handed.identity) != Error::None || !safewrite::HandOver(new_.path)) {
        return std::nullopt;
    }
    new_.file.Close();
    new_.path.clear();
    return handed;
}

Replacement::Replacement(const std::string& path, const char* tag, const Handed& handed) : tag_(tag) {
    target_ = OpenTarget(path);
    openError_ = target_.error;
    if (openError_ == Error::None && target_.kind == Kind::Folder) {
        openError_ = Error::IsFolder;
    }
    missing_ = openError_ == Error::None && target_.kind == Kind::Missing;
    if (openError_ == Error::None) {
        openError_ = Adopt(handed);
    }
    open_ = openError_ == Error::None;
    staged_ = open_;
    RecoverJournals(target_.path.substr(0, FolderLength(target_.path)), tag_);
    RecoverJournals(SystemTemporaryFolder(), tag_);
}

// The child's temporary held here, checked to be the one it wrote whole,
// and made ready for Commit as Stage would have.
Error Replacement::Adopt(const Handed& handed) {
    new_.path = handed.temporary;
    if (!TakeOver(new_.path)) {
        new_.path.clear();
        return Error::StagedChanged;
    }
    Identity identity;
    Error error = OpenSource(new_.path, new_.file, newSize_);
    if (error == Error::None) {
        error = IdentityOf(new_.file, identity);
    }
    // Held again, as its maker held it, against a writer clearing stale
    // ones; one that another writer holds is not the child's.
    if (error == Error::None && identity == handed.identity) {
        error = new_.file.LockNow();
    }
    if (error == Error::NotFound || error == Error::InUse || (error == Error::None && !(identity == handed.identity))) {
        // Not the child's file, or none: whatever is there is not removed.
        new_.file.Close();
        Untrack(new_.path);
        new_.path.clear();
        return Error::StagedChanged;
    }
    if (error == Error::None && newSize_ != handed.size) {
        error = Error::StagedChanged;
    }
    if (error == Error::None && !missing_) {
        error = target_.kind == Kind::Regular ? Error::None : Error::NotRegular;
    }
    if (error == Error::None && !missing_) {
        inPlaceReason_ = ReasonToWriteInPlace();
        if (!inPlaceReason_ && KeepOwnerAndMode(target_.file, new_.file, new_.path) != Error::None) {
            inPlaceReason_ = "its owner or group cannot be kept";
        }
        error = InPlace() ? KeepOldBytes() : Error::None;
    }
    if (error != Error::None) {
        RemoveScratch(new_);
    }
    return error;
}

}  // namespace safewrite
