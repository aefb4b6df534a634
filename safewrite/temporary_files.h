#pragma once

#include <string>

#if !defined(_WIN32)
#  include <signal.h>
#endif

// The temporary files of safe writing. A temporary is named
// ".~TAG-PID-NUMBER.tmp" after the program that writes it (TAG), its
// process (PID) and a random number, in the folder of the file that it is
// to replace, so that it is never taken for data. Its writer holds it
// while it lives (see CreateTemporary); one that no writer holds was left
// by a killed process, and the next save there removes it (where the file
// system takes no locks, only once its process has ended as far as this
// one can tell).
namespace safewrite {

// A fresh name for a temporary of this process, in the folder part
// `folder` (as FolderLength gives it).
std::string TemporaryName(const std::string& folder, const char* tag);

// Removes the temporaries of `tag` in `folder` that no writer holds; each
// folder is looked at once in a process.
void RemoveStaleTemporaries(const std::string& folder, const char* tag);

// The temporaries that exist, in a fixed table that a signal handler can
// read. Track is called before the file is made and Untrack once it is
// renamed or removed; Track is false when the table is full.
bool Track(const std::string& path);
void Untrack(const std::string& path);

// Removes every tracked temporary; safe to call from a signal handler.
void RemoveTrackedTemporaries();

// For programs (not for libraries): from now on SIGINT, SIGTERM, SIGHUP,
// SIGQUIT and SIGPIPE remove the tracked temporaries and end the process
// with 128 + the signal's number. Without it, a library's temporaries are
// still removed on these signals, which then take their course. A signal
// that the process ignores when the handler would be installed stays
// ignored. (POSIX systems only.)
void ExitOnInterrupt();

// While it lives, those signals, where this process handles them, are
// passed to the process group `group` (a supervised child and all it
// started) and held here: the child removes its temporaries and ends, or
// holds the signal while its tools save. When it goes, a signal that came
// ends this process (128 + N) if the child's work ended by an exception
// (the child ended by it), or unless TellInterruptsAtRunEnd was called; the
// program then ends by it (EndIfInterrupted) or tells it (TakeInterrupt).
// (A no-op on Windows, where a job object ends the child.)
class KilledOnInterrupt {
public:
    explicit KilledOnInterrupt(int group);
    ~KilledOnInterrupt();
    KilledOnInterrupt(const KilledOnInterrupt&) = delete;
    KilledOnInterrupt& operator=(const KilledOnInterrupt&) = delete;

private:
    int before_ = 0;
    int unwinding_ = 0;
};

// For a program whose supervised child's tools may save files: an interrupt
// that came while the child ran is left to it (see KilledOnInterrupt).
void TellInterruptsAtRunEnd();
// Ends the process by the interrupt that was held, if one came.
void EndIfInterrupted();
// The interrupt that was held (0: none), taken: it no longer ends anything.
int TakeInterrupt();

// Holds those signals back while it lives, so that a set of renames or a
// write in place is not cut in two: on this thread they wait, and on any
// other thread of the process they take effect once the last hold ends.
class InterruptsHeld {
public:
    InterruptsHeld();
    ~InterruptsHeld();
    // The signal that came while held (0: none), taken: it no longer ends
    // the process. Called on the holding thread, once its work is whole.
    int Take();
    // Holds them on this thread until the process ends, for a program
    // whose work is done: a signal that comes now changes nothing of what
    // it did, nor of the status it ends with.
    void KeepUntilExit() { kept_ = true; }
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    bool kept_ = false;
#if !defined(_WIN32)
    sigset_t saved_;
#endif
};

}  // namespace safewrite
