// The outer skeleton of a plug-in library, compiled once per deliverable:
// "deliverable.h" (from the tool's folder) names the values that make the
// library what it is.
#include "deliverable.h"
#include "module_state.h"
#include "plugin_exports.h"
#include "win32/win_api.h"

namespace {

// Static objects of the library, constructed in this order at load (the
// utility object first, then the descriptor) and destroyed in reverse order
// at unload.
Deliverable::Utility g_utility;
Deliverable::ClassDesc g_classDesc;

bool g_controlsInitialised = false;

}  // namespace

Deliverable::Utility& Deliverable::TheUtility() { return g_utility; }

extern "C" {

const char* LibDescription() { return GetString(IDS_LIBDESCRIPTION); }

int LibNumberClasses() { return 1; }

ClassDesc* LibClassDesc(int i) { return i == 0 ? &g_classDesc : nullptr; }

unsigned long LibVersion() { return MORVANE_LIB_VERSION; }

// The library entry, called by the loader on every attach and detach, after
// the static objects exist. It records the module handle each time and
// initialises the host's custom controls and the common controls once.
BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    (void)reason;
    (void)reserved;
    SetModuleHandle(module);
    if (g_controlsInitialised) {
        return TRUE;
    }
    g_controlsInitialised = true;
    InitCustomControls(module);
    InitCommonControls();
    return TRUE;
}

}  // extern "C"
