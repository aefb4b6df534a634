#pragma once

#include "cstr.h"

class Interface;

// Opaque handle that the host passes to an open utility; the tools do not
// use it.
class UtilityHandle;

// The host's interface for utility plug-ins, called on its user-interface
// thread. The utility does not own `ip` or `handle`.
class UtilityPlugin {
public:
    // The user opened the tool: build the panel.
    virtual void BeginEditParams(Interface* ip, UtilityHandle* handle) = 0;
    // The user is closing the tool: tear the panel down.
    virtual void EndEditParams(Interface* ip, UtilityHandle* handle) = 0;
    // The selection changed while the tool is open.
    virtual void SelectionChanged(Interface* ip, UtilityHandle* handle) {
        (void)ip;
        (void)handle;
    }
    // The host releases the utility.
    virtual void DeleteSelf() = 0;
    // A start-up parameter of the tool.
    virtual void SetStartupText(CStr text) { (void)text; }  // NOLINT(performance-unnecessary-value-param): host API

protected:
    ~UtilityPlugin() = default;
};
