#pragma once

#include "custom_button.h"
#include "host_api.h"
#include "win32/win_api.h"

// The stand-in host's custom buttons: windows of class "CustButton" whose
// button state the host keeps per window. Interfaces from GetICustButton
// are fresh objects; a released one is refused when used again.
namespace standin {

struct CustomButtonState {
    bool known = false;  // the host has seen the window through GetICustButton
    int type = CBT_PUSH;
    bool checked = false;
    bool highlightSet = false;
    COLORREF highlight = 0;
};

// The number of InitCustomControls calls so far.
HOST_API int InitCustomControlsCalls();

// The user presses the button: when it is enabled, a check button toggles
// its check and the parent dialog gets WM_COMMAND (id, BN_CLICKED); true.
// A disabled button does nothing and answers false (recorded in the journal).
HOST_API bool PressCustomButton(HWND button);

HOST_API CustomButtonState CustomButtonStateOf(HWND button);
// Interfaces handed out and not yet released.
HOST_API int OpenCustButtonCount();
// Frees the interfaces released so far and the states of windows that are
// gone (until then the last 1024 released interfaces are refused when used
// again; older ones are freed as more are released). The host calls it as
// it ends.
HOST_API void ForgetReleasedCustButtons();
// While `cannot` holds, GetICustButton gives null for every window, as a
// host that cannot give the interface would (tests of the tools' panels).
HOST_API void SetCustButtonsUnavailable(bool cannot);

}  // namespace standin
