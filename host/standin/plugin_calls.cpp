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

void SetCalledLibrary(const std::string& library) {
    if (watcher != nullptr) {  // only a watched process needs it
        Library() = library;
    }
}

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
