#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "text/refusal.h"

namespace driver {

// A plug-in that crashed, ended its process or did not return from a call:
// one line naming the library and the call.
class PluginFaultError : public CodedError {
public:
    explicit PluginFaultError(const std::string& line) : CodedError(RefusalCode::PluginFault, line) {}
};

// How long one call into a plug-in may take before it is given up: the
// seconds of MORVANE_CALL_LIMIT (1 to 3600), else this default. A tool's
// longest call, an alignment of a million nodes, takes a few seconds.
constexpr int kDefaultCallLimitSeconds = 60;
constexpr int kMaxCallLimitSeconds = 3600;
int CallLimitSeconds();

// The work of the plug-ins' process: all it needs is `request`, bytes that
// cross to it, so that it can run in this program started anew where a
// process cannot be forked (Windows). It must not throw, and must leave the
// libraries unloaded.
using SupervisedWork = std::string (*)(const std::string& request);

// Runs `work` on `request` in a process of its own, as audio hosts run
// their plug-ins, and gives back the bytes it returned once that process
// has ended cleanly: a plug-in that crashes, ends the process, or does not
// return from a call within the limit costs that process, never this one.
// Then this throws PluginFaultError, whose one line names the library and
// the call it was in. Whatever that process started is ended with it,
// whatever ends this process, even what left its process group (a stage
// that adopts and ends them on POSIX systems, descendants.h; a job object
// on Windows). That process ends through its exit handlers, which
// run what the libraries left for the end (a crash there is theirs too).
std::string RunSupervised(const std::string& request, SupervisedWork work);

// In this program started as a plug-ins' process (`arguments` say so and
// name the handles it inherited): runs `work` on the request its
// supervisor sends, answers, and gives the status to end with. Otherwise
// none. (Windows only; a forked process needs no serving.)
std::optional<int> ServeSupervisor(const std::vector<std::string>& arguments, SupervisedWork work);

#ifndef _WIN32
// RunSupervised's fork: `work` may hold anything of this process. Without
// `exitHandlers` the process ends without them; with them, these are also
// the static destructors of the program that forked it, which must do
// nothing there that is not the process's own (a static object that
// removes a folder would remove it twice).
std::string RunSupervised(const std::function<std::string()>& work, bool exitHandlers = true);
#endif

}  // namespace driver
