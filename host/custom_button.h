#pragma once

#include "host_api.h"
#include "win32/win_api.h"

enum CustButtonType : int {
    CBT_PUSH = 0,
    CBT_CHECK = 1,
};

// The host's custom button control (window class "CustButton"). A pressed
// button sends WM_COMMAND with its control id to its parent dialog.
// Obtained with GetICustButton and returned with ReleaseICustButton; a
// released interface must not be used again.
class ICustButton {
public:
    virtual void EnableButton(int on) = 0;
    virtual void SetButtonType(int type) = 0;
    virtual void SetButtonChecked(int checked) = 0;
    virtual int IsChecked() = 0;
    virtual void SetButtonHighlight(COLORREF colour) = 0;

protected:
    ~ICustButton() = default;
};

// Registers the host's custom control classes for a module's dialogs.
HOST_API void InitCustomControls(HINSTANCE module);
// The custom-button interface of a "CustButton" window; the caller owns it
// until ReleaseICustButton.
HOST_API ICustButton* GetICustButton(HWND window);
HOST_API void ReleaseICustButton(ICustButton* button);
