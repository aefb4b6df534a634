// What a run does first in a folder: the journals that writers killed
// midway left there get their old bytes put back.
#include <cstdio>
#include <mutex>
#include <set>

#include "byte_copy.h"
#include "journal.h"

namespace safewrite {

namespace {

bool IsJournalName(const std::string& name) {
    const std::string suffix = ".journal";
    return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Whether `path` still names the file open as `file`.
bool StillNamed(const std::string& path, const File& file) {
    File again;
    std::uint64_t size = 0;
    Identity held;
    Identity named;
    return OpenSource(path, again, size) == Error::None && IdentityOf(file, held) == Error::None &&
           IdentityOf(again, named) == Error::None && held == named;
}

// Removed while still locked where the system can (a writer that has just
// made a journal of that name sees it gone), else once closed.
void RemoveHeld(const std::string& path, File& journal) {
    Remove(path);
    journal.Close();
    Remove(path);
}

void Say(const char* tag, const std::string& text) { std::fprintf(stderr, "%s: %s\n", tag, text.c_str()); }

// Puts back the old bytes of the journal at `path`, open as `journal`, whose
// writer is gone; false where they are kept.
bool PutBack(const char* tag, const std::string& path, File& journal, const journal_format::Parsed& header) {
    const std::string what = "\"" + header.path + "\" was left in part by a write that was cut short";
    Target target = OpenTarget(header.path);
    Identity identity;
    if (target.error != Error::None || target.kind != Kind::Regular ||
        IdentityOf(target.file, identity) != Error::None || !(identity == header.identity)) {
        Say(tag, what + ", and is no longer there to take its old bytes back: they are kept in \"" + path + "\"");
        return false;
    }
    if (const Error error = LockWaiting(target.file); error != Error::None) {
        Say(tag, what + ", and its old bytes cannot be put back now (" + ReasonOf(error) + "): they are kept in \"" +
                     path + "\"");
        return false;
    }
    // Its writer may have ended well while this one waited.
    if (!StillNamed(path, journal)) {
        return false;
    }
    Error error = CopyOver(journal, header.start, target.file, 0, header.size);
    if (error == Error::None) {
        error = target.file.Resize(header.size);
    }
    if (error == Error::None) {
        error = target.file.Sync();
    }
    if (error != Error::None) {
        Say(tag,
            what + "; putting its old bytes back failed (" + ReasonOf(error) + "): they are kept in \"" + path + "\"");
        return false;
    }
    RemoveHeld(path, journal);
    Say(tag, what + "; its old bytes are put back, as they were before it");
    return true;
}

}  // namespace

void RecoverJournals(const std::string& folder, const char* tag) {
    static std::mutex lock;
    static std::set<std::string> looked;
    {
        const std::lock_guard<std::mutex> held(lock);
        if (!looked.insert(folder).second) {
            return;
        }
    }
    for (const std::string& name : NamesInFolder(folder, ".~")) {
        const std::string path = folder + name;
        File journal;
        std::uint64_t size = 0;
        if (!IsJournalName(name) || OpenSource(path, journal, size) != Error::None || !IsPrivateFile(journal) ||
            journal.LockNow() != Error::None) {
            continue;  // not a journal, or its writer lives
        }
        const journal_format::Parsed header = journal_format::Parse(journal);
        if (!header.valid) {
            continue;  // not one of these: left as it is
        }
        if (header.state == journal_format::kBeingWritten) {
            // Cut short before the file's first byte changed.
            RemoveHeld(path, journal);
            continue;
        }
        PutBack(tag, path, journal, header);
    }
}

void RecoverJournalsBeside(const std::vector<std::string>& paths, const char* tag) {
    for (const std::string& path : paths) {
        if (!path.empty() && path != "-") {
            RecoverJournals(path.substr(0, FolderLength(path)), tag);
        }
    }
    RecoverJournals(SystemTemporaryFolder(), tag);
}

}  // namespace safewrite
