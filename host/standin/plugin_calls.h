#pragma once

#include <string>

#include "host_api.h"

namespace standin {

// Who is told of every call into a plug-in: the library (its path as the
// user gave it) and the call, before it is made, and that it returned. A
// supervisor uses it to name what crashed or hung; with none, a call costs
// a test of a pointer.
class PluginCallWatcher {
public:
    virtual ~PluginCallWatcher() = default;
    virtual void Entering(const std::string& library, const std::string& call) = 0;
    virtual void Returned() = 0;
};

// From now on `watcher` (none: nobody) hears of the calls into plug-ins.
HOST_API void WatchPluginCalls(PluginCallWatcher* watcher);

// The library whose code the calls that follow go into, as far as the
// host knows: the tool that is open, or the one being loaded.
HOST_API void SetCalledLibrary(const std::string& library);
HOST_API const std::string& CalledLibrary();

// One call into a plug-in, from its construction to its end.
class HOST_API PluginCall {
public:
    explicit PluginCall(const std::string& call);
    PluginCall(const std::string& library, const std::string& call);
    ~PluginCall();
    PluginCall(const PluginCall&) = delete;
    PluginCall& operator=(const PluginCall&) = delete;
};

}  // namespace standin
