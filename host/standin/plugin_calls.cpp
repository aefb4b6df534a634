#include "standin/plugin_calls.h"

namespace standin {

namespace {

PluginCallWatcher* watcher = nullptr;

std::string& Library() {
    static std::string library;
    return library;
}

}  // namespace

void WatchPluginCalls(PluginCallWatcher* newWatcher) { watcher = newWatcher; }

// Kept whether or not anyone watches: a watched copy of this process
// (a trial) names the tool that was open when it was made.
void SetCalledLibrary(const std::string& library) { Library() = library; }

const std::string& CalledLibrary() { return Library(); }

PluginCall::PluginCall(const std::string& call) : PluginCall(Library(), call) {}

PluginCall::PluginCall(const std::string& library, const std::string& call) {
    if (watcher != nullptr) {
        watcher->Entering(library, call);
    }
}

PluginCall::~PluginCall() {
    if (watcher != nullptr) {
        watcher->Returned();
    }
}

}  // namespace standin
