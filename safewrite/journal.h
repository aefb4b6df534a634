#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "file_calls.h"

// The journal of a write in place: the file's old bytes, kept beside it
// (in the system's temporary folder where its folder takes no new file) as
// ".~TAG-PID-NUMBER.journal" from before its first byte changes until its
// new bytes are whole and on the disk. A header names the file by its path,
// its identity and its old length, and says whether the old bytes are all
// there. Its writer holds it (and the file's writers' lock) while it lives;
// a journal that no writer holds was left by a writer that was killed, and
// the next run in its folder puts its bytes back (RecoverJournals). The
// clean-up of stale temporaries never takes a journal for one.
namespace safewrite {

class Journal {
public:
    // Keeps the first `size` bytes of `target` (at `targetPath`, open for
    // reading and locked by this writer): written after the header, put on
    // the disk, then marked whole and put on the disk again.
    Error Keep(const std::string& targetPath, File& target, std::uint64_t size, const char* tag);
    // Puts the kept bytes back over `target`, cuts it to their length and
    // puts it on the disk.
    Error PutBack(File& target);
    // Removes the journal, once the file is as it was or whole with its
    // new bytes.
    void Remove();
    // Leaves the journal for a later run to put back, and gives its path.
    std::string Leave();
    bool Exists() const { return !path_.empty(); }

private:
    Error Create(const std::string& folder, const char* tag);
    std::string path_;
    File file_;
    std::uint64_t size_ = 0;
    std::uint64_t start_ = 0;  // where the old bytes begin
};

// Takes the writers' lock of `file` (File::LockNow), waiting a few seconds
// at most for another writer to end: InUse after that.
Error LockWaiting(File& file);

// Puts back the old bytes that the journals in `folder` hold that no
// writer holds, before anything else is written there, and removes them;
// says so on standard error, after `tag` (the program's). A journal whose file is no longer the one it
// names (removed, replaced) is kept, and that said too. Each folder is
// looked at once in a process.
void RecoverJournals(const std::string& folder, const char* tag);

// The same for the folders of `paths` ("-" and "" are none) and the
// system's temporary folder: what a program does before it reads anything.
void RecoverJournalsBeside(const std::vector<std::string>& paths, const char* tag);

namespace journal_format {

// The header: what a journal begins with, and where its state is.
std::string Header(const std::string& targetPath, const Identity& identity, std::uint64_t size);
constexpr char kBeingWritten = 'w';
constexpr char kWhole = 'k';
std::uint64_t StateOffset();

// A header read back; `valid` false for a file that is no journal.
struct Parsed {
    bool valid = false;
    char state = 0;
    std::string path;
    Identity identity;
    std::uint64_t size = 0;
    std::uint64_t start = 0;
};
Parsed Parse(File& journal);

}  // namespace journal_format

}  // namespace safewrite
