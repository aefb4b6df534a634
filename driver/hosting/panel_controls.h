#pragma once

#include <string>
#include <vector>

#include "win32/win_api.h"

namespace driver {

// A control of a tool's panel that a session can work: a custom button of
// the host or a radio button.
struct PanelControl {
    HWND window = nullptr;
    std::string caption;
    bool customButton = false;  // else a radio button
    bool enabled = false;
    bool checked = false;
};

// The panel's controls in creation order, read through the Windows calls
// and the host's custom-button state. Empty for no panel.
std::vector<PanelControl> PanelControls(HWND panel);

// The control with this caption and kind, or null.
HWND FindPanelControl(HWND panel, const std::string& caption, bool customButton);

// What changed between two readings of one panel, as transcript notes:
// "disabled: ...", "enabled: ...", "checked: ...", "unchecked: ...";
// a panel that has just opened is shown whole ("panel: ...").
std::vector<std::string> PanelChangeNotes(const std::vector<PanelControl>& before,
                                          const std::vector<PanelControl>& after);

}  // namespace driver
