#pragma once

#include <functional>
#include <string>

#include <sys/types.h>

namespace driver {

// A forked process none of whose descendants outlives it, even one that
// left its process group or session (POSIX systems; on Windows a job
// object does this). Between this process and it stands a stage of its
// own, a child subreaper: what the process starts comes to the stage as
// the processes that started it end, and once the process has ended, or
// the stage is told to end it, or this process ends, the stage kills and
// reaps every descendant left, pass after pass until a pass finds none.
// Only then does the stage end, with the process's status (its exit
// status, or the signal that ended it): the stage is the child to watch,
// and its end is the end of all the run started.
//
// `work` runs in the forked process, given the number of its parent (the
// stage), and must not return. The stage passes on to that process the
// interrupting signals that this process sends it (SIGINT, SIGTERM,
// SIGHUP, SIGQUIT, SIGPIPE), to the group it leads where `ownGroup`,
// which the stage makes it. Returns the stage's number, or -1 (errno).
pid_t ForkWithDescendants(const std::function<void(pid_t parent)>& work, bool ownGroup);

// Tells the stage to end its process and all it started now.
void EndWithDescendants(pid_t stage);

// Waits for `child`, a child of this process, to end, and reaps it: its
// wait status, or -1 where it is none (errno).
int WaitForEnd(pid_t child);

// Readies a forked process to run a library's code: no core file, the
// signals' default actions (none of this process's handlers, which clean
// up its files) and none of them blocked.
void TakeDefaultSignalsWithoutCore();

// "SIGSEGV" for the signal that ended a process; "signal N" where the
// system has no name for it.
std::string SignalName(int signal);

}  // namespace driver
