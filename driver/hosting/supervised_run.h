#pragma once

#include <functional>
#include <string>

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

// Runs `work`, which loads plug-ins and calls into them, in a process of
// its own, as audio hosts run their plug-ins, and gives back the bytes it
// returned once that process has ended cleanly: a plug-in that crashes,
// ends the process, or does not return from a call within the limit costs
// that process, never this one. Then this throws PluginFaultError, whose
// one line names the library and the call it was in. `work` must not
// throw, and must leave the libraries unloaded; whatever it started is
// ended with it, whatever ends this process. On Windows `work` runs in
// this process.
//
// With `exitHandlers`, the process then ends through its exit handlers,
// which run what the libraries left for the end (a crash there is theirs
// too); these are also the static destructors of the program that forked
// it, which must do nothing there that is not the process's own (a static
// object that removes a folder would remove it twice).
std::string RunSupervised(const std::function<std::string()>& work, bool exitHandlers = true);

}  // namespace driver
