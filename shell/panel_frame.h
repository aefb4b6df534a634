#pragma once

#include "custom_button.h"
#include "interface.h"
#include "module_state.h"
#include "shell_resource.h"
#include "win32/win_api.h"

// The frame of a utility panel page, shared by both tools. `Utility` is the
// tool's utility class; it provides the member dialog procedure
// `INT_PTR DlgProc(HWND, UINT, WPARAM, LPARAM)`.

// The frame dialog procedure, one per library: binds the page window to the
// utility object that WM_INITDIALOG carries and routes every later message
// to that object's DlgProc. Messages of an unbound window answer 0. No
// exception leaves it: a message whose handling fails answers 0.
template <class Utility>
INT_PTR CALLBACK FrameDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        auto* utility = reinterpret_cast<Utility*>(GetWindowLongA(window, GWL_USERDATA));
        if (message == WM_INITDIALOG) {
            SetWindowLongA(window, GWL_USERDATA, static_cast<LONG>(lParam));
            utility = reinterpret_cast<Utility*>(lParam);
        }
        if (utility == nullptr) {
            return 0;
        }
        return utility->DlgProc(window, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

// The opening step that adds the page: template 101 of this library, page
// title string 4, `utility` as the page parameter, utility panel category.
template <class Utility>
HWND AddUtilityPage(Interface* ip, Utility* utility) {
    return ip->AddPanelPage(ModuleHandle(), IDD_PANEL, FrameDialogProc<Utility>, GetString(IDS_PARAMS),
                            reinterpret_cast<LPARAM>(utility), 0, UTILITY_PANEL_CATEGORY);
}

// Gives back a custom button of the panel and forgets it. A button that
// GetICustButton could not give is null: nothing is released for it.
inline void ReleasePanelButton(ICustButton*& button) {
    if (button != nullptr) {
        ReleaseICustButton(button);
        button = nullptr;
    }
}
