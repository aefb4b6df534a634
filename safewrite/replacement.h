#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "file_calls.h"
#include "journal.h"
#include "source_file.h"

namespace safewrite {

// What a file is to hold, handed out in pieces on demand, so that a large
// file need never be one string. The pieces may be asked for more than once
// (again for a write in place at Commit), and must be the same each time.
class Content {
public:
    virtual ~Content() = default;
    // Calls `put` with each piece in order; stops at the first error that
    // `put` gives, and gives it.
    virtual Error EachPiece(const std::function<Error(std::string_view)>& put) const = 0;

    // Bytes of a source file that the content holds as they are.
    struct SourceRange {
        const SourceFile* file;
        std::uint64_t offset;
        std::uint64_t size;
    };
    // The same pieces, where a content may hand a range of a source file to
    // `copy` instead of to `put`, to be copied file to file. A content
    // without such ranges need not override it.
    virtual Error EachPart(const std::function<Error(std::string_view)>& put,
                           const std::function<Error(const SourceRange&)>& copy) const {
        (void)copy;
        return EachPiece(put);
    }
};

// What a replacement has done to its file.
enum class Outcome {
    Replaced,        // an existing file replaced as a whole
    Written,         // a new file
    WrittenInPlace,  // an existing file rewritten directly: replacing it was impossible
    NotReplaced,     // the existing file is as it was
    NotWritten,      // no file was there, and none is now
    WrittenInPart,   // an in-place write failed midway, and its old bytes could not be put back
};

// A temporary that a Replacement staged in a child process and handed over
// (HandOver), for a Replacement of its parent to put in place.
struct Handed {
    std::string temporary;  // its path
    Identity identity;
    std::uint64_t size = 0;
};

// The one safe way to write a file. The constructor looks at what the path
// names and opens it as a direct write would have to; Stage writes the new
// content and Commit puts it in place:
// - the content goes to a temporary beside the file (beside the file itself
//   when the path is a symbolic link, or leads to one that does not exist
//   yet), which takes the old file's owner and permissions and is renamed
//   onto it in one step. Until then, after any failure and after an
//   interrupting signal the file stays as it was (or absent), and the
//   temporary is removed;
// - where replacing is impossible or would change which file the path
//   names (a file with other hard links, a mount point, a link that the
//   platform cannot follow, an owner that cannot be kept, a folder that
//   takes no new file, a file that another program holds), the file is
//   written in place at Commit, and InPlaceReason says why. The file is
//   locked against other writers (a second one waits a few seconds, then
//   is refused), and its old bytes are kept until the new ones are whole:
//   Stage writes the new content to a temporary and the old to a journal
//   (journal.h), on the disk before the first byte changes; Commit
//   reserves the room the new content needs without changing the file,
//   with the interrupting signals held, then copies it over the old, and
//   puts the old back after any failure. A writer killed midway leaves the
//   journal, which the next Replacement in that folder puts back. Where
//   that cannot be made sure, Stage refuses and nothing changes;
// - a device or a pipe is written directly at Commit.
class Replacement {
public:
    // `tag` names the temporaries (see temporary_files.h).
    Replacement(const std::string& path, const char* tag);
    // Takes the place of Stage with a temporary that a child staged for
    // `path` and handed over: open only where it is the very file the child
    // made (its identity and size), which the child named (handed_temporaries.h).
    // Where the file must now be written in place, its bytes are copied
    // there at Commit, the old ones kept as Stage keeps them.
    Replacement(const std::string& path, const char* tag, const Handed& handed);
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;
    // Removes the temporaries, and gives back room reserved and not used.
    ~Replacement();

    // False when nothing can be written there; OpenError says why.
    bool IsOpen() const { return open_; }
    Error OpenError() const { return openError_; }

    // Writes `content` to the temporary (for a write in place, and keeps
    // the old bytes). The content must live until Commit. Allowed once,
    // when open; after a failure the file is as it was. Small pieces are
    // gathered into larger writes.
    Error Stage(const Content& content);
    // The same for `pieces`, in order, which must live until Commit.
    Error Stage(const std::vector<std::string_view>& pieces);
    // For a write in place of a regular file, after Stage: takes the room
    // that the new content needs, so that Commit cannot run out of it.
    // Changes none of the file's bytes; Unreserve gives the room back.
    // Both are called with the interrupting signals held (InterruptsHeld),
    // which Commit holds by itself. Neither does anything for other writes.
    Error Reserve();
    void Unreserve();
    // Puts the staged content in the file's place. Allowed once, after Stage.
    Error Commit();
    // Puts back the old bytes of a file written in place by Commit, as a
    // run whose later file failed does; None when there was nothing to
    // put back.
    Error Restore();

    // In a child process, after Stage: hands the temporary over to the
    // parent (handed_temporaries.h), which puts it in place; this one then
    // neither removes nor commits it. None where the file is to be written
    // in place, or no parent shares the temporaries: the caller then
    // commits here, or hands the content itself over.
    std::optional<Handed> HandOver();

    // Whether Commit writes in place, and why (from Stage on).
    bool InPlace() const { return inPlaceReason_.has_value(); }
    const std::optional<std::string>& InPlaceReason() const { return inPlaceReason_; }
    // Whether the path names a regular file, or none yet (not a device or a pipe).
    bool IsRegular() const { return missing_ || target_.kind == Kind::Regular; }
    // What the file is now.
    Outcome Result() const;
    // Where the old bytes of a file left in part are kept; none for a file
    // not left in part.
    const std::optional<std::string>& KeptOldBytes() const { return keptOld_; }

private:
    // A temporary file, tracked while it exists.
    struct Scratch {
        std::string path;
        File file;
    };
    // Why the file as it is cannot be replaced; none where it can.
    [[nodiscard]] std::optional<std::string> ReasonToWriteInPlace() const;
    // A temporary in `folder`, readable by its owner alone unless it is to
    // become a new file.
    Error MakeTemporary(const std::string& folder, bool forNewFile, Scratch& scratch);
    // Beside the file where its folder takes one, else in the system's.
    Error MakeScratch(Scratch& scratch);
    Error StageInPlace(const Content& content);
    Error Adopt(const Handed& handed);
    Error KeepOldBytes();
    Error ReserveBeside(std::uint64_t size);
    Error WriteInPlace();
    Error PutBackOldBytes();
    static void RemoveScratch(Scratch& scratch);

    const char* tag_;
    Target target_;
    bool open_ = false;
    bool missing_ = false;  // no file was there: the temporary becomes a new one
    bool staged_ = false;
    bool reserved_ = false;        // room taken for the new bytes
    bool inPlaceStarted_ = false;  // the file's bytes differ from its old ones
    bool finished_ = false;
    Scratch new_;      // the new content
    Scratch reserve_;  // room for a write in place where the file system takes none ahead
    Journal journal_;  // a file written in place: its old bytes
    std::uint64_t oldSize_ = 0;
    std::uint64_t newSize_ = 0;
    std::optional<std::string> keptOld_;
    std::optional<std::string> inPlaceReason_;
    // The content staged, kept for a write in place of a device or a pipe.
    const Content* content_ = nullptr;
    class Pieces;
    std::unique_ptr<Pieces> pieces_;  // what Stage(pieces) stages
    Error openError_ = Error::None;
};

}  // namespace safewrite
