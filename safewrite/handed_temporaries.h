#pragma once

#include <cstddef>
#include <string>

// Temporaries that a child process makes and hands over to the process
// that forked it, which puts them in place once the child has ended well.
namespace safewrite {

// While it lives, the temporaries that this process and the children it
// forks track (temporary_files.h) are also named in memory that they share,
// before each is made: this process removes what a child left, after any
// fault of the child, when it goes, and on the interrupting signals; and a
// temporary that a child handed over is taken over here (TakeOver). One
// lives at a time. On Windows, where no process is forked, the table is
// this process's own.
class ChildTemporaries {
public:
    // Throws std::bad_alloc where no memory can be shared.
    ChildTemporaries();
    // Removes every temporary still named, and stops sharing.
    ~ChildTemporaries();
    ChildTemporaries(const ChildTemporaries&) = delete;
    ChildTemporaries& operator=(const ChildTemporaries&) = delete;
};

// In a child: the tracked temporary at `path` is no longer this process's
// to remove, but stays named for its parent. False, and nothing done, where
// no ChildTemporaries shares it.
bool HandOver(const std::string& path);

// The temporary at `path`, which a child handed over, is this process's
// from now on, tracked as its own (`path` must live while tracked). False
// where no child named one there.
bool TakeOver(const std::string& path);

namespace detail {

// Track and Untrack in this process's own table alone.
bool TrackHere(const std::string& path);
void UntrackHere(const std::string& path);

// Track's and Untrack's part, where a table is shared: Share is false
// when the table is full or the path too long for it.
bool Share(const char* path);
void Unshare(const char* path);
// Whether `path` is named in the shared table.
bool IsShared(const char* path);
// Removes the temporaries named there; safe in a signal handler.
void RemoveShared();

// Memory that a forked child shares, zeroed, and its release.
void* SharedPages(std::size_t size);
void FreeSharedPages(void* pages, std::size_t size);

}  // namespace detail

}  // namespace safewrite
