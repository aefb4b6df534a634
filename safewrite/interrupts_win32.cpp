// Interrupting signals on Windows: the console's handler runs on a thread
// of its own while the files are open, so a temporary that an interrupted
// run leaves is removed by the next save to its folder instead.
#include "interrupts.h"
#include "temporary_files.h"

namespace safewrite {

namespace detail {

void FirstTracked() {}
void NoneTracked() {}

}  // namespace detail

void ExitOnInterrupt() {}

KilledOnInterrupt::KilledOnInterrupt(int group) : before_(group) {}
KilledOnInterrupt::~KilledOnInterrupt() = default;
void TellInterruptsAtRunEnd() {}
void EndIfInterrupted() {}
int TakeInterrupt() { return 0; }
InterruptsHeld::InterruptsHeld() = default;
InterruptsHeld::~InterruptsHeld() = default;
int InterruptsHeld::Take() { return 0; }

}  // namespace safewrite
