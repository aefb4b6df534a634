#pragma once

// How the temporaries' table meets the signals, one file per platform:
// interrupts_posix.cpp and interrupts_win32.cpp.
namespace safewrite::detail {

// The first temporary is tracked, or the last one is no longer: a library
// then installs, or takes back, its handlers of the interrupting signals.
void FirstTracked();
void NoneTracked();

}  // namespace safewrite::detail
