#pragma once

#include <functional>
#include <optional>
#include <string>

namespace driver {

// A library is first loaded, and asked for its class descriptor, in a
// process of its own, as audio hosts scan their plug-ins: a damaged one
// that crashes there (a bad entry address, a bad dynamic table that the
// system's loader trips over) costs that process, not the run, and is
// refused in one line. `load` is the whole load and check, which throws
// what it refuses; it runs in the other process. None when the library
// passed, else why not. Each file (its device, number, size and times) is
// probed once in a process. On Windows nothing is probed: the library's
// image is checked before the system maps it, in this process.
std::optional<std::string> ProbeLibrary(const std::string& path, const std::function<void()>& load);

// From now on no library is probed: this process is already one of the
// plug-ins' own, supervised (supervised_run.h).
void SkipLibraryProbes();

}  // namespace driver
