#pragma once

#include <string>

#if !defined(_WIN32)
#include <signal.h>
#endif

// The temporary files of safe writing. A temporary is named
// ".~TAG-PID-NUMBER.tmp" after the program that writes it (TAG), its
// process (PID) and a random number, in the folder of the file that it is
// to replace, so that it is never taken for data, and one that a killed
// process left is known as such and removed by the next save there.
namespace safewrite {

// A fresh name for a temporary of this process, in the folder part
// `folder` (as FolderLength gives it).
std::string TemporaryName(const std::string& folder, const char* tag);

// Removes the temporaries of `tag` in `folder` whose processes have ended;
// each folder is looked at once in a process.
void RemoveStaleTemporaries(const std::string& folder, const char* tag);

// The temporaries that exist, in a fixed table that a signal handler can
// read. Track is called before the file is made and Untrack once it is
// renamed or removed; Track is false when the table is full.
bool Track(const std::string& path);
void Untrack(const std::string& path);

// Removes every tracked temporary; safe to call from a signal handler.
void RemoveTrackedTemporaries();

// For programs (not for libraries): from now on SIGINT, SIGTERM and SIGHUP
// remove the tracked temporaries and end the process with 128 + the
// signal's number. Without it, a library's temporaries are still removed
// on these signals, which then take their course. (POSIX systems only.)
void ExitOnInterrupt();

// Holds SIGINT, SIGTERM and SIGHUP back while it lives, so that a set of
// renames is not cut in two.
class InterruptsHeld {
public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
#if !defined(_WIN32)
    sigset_t saved_;
#endif
};

}  // namespace safewrite
