#pragma once

#include <string>
#include <vector>

#include "hosting/panel_controls.h"
#include "win32/win_api.h"

namespace driver {

// The panel's controls in creation order, read through the Windows calls
// and the host's custom-button state. Empty for no panel.
std::vector<PanelControl> PanelControls(HWND panel);

// The control with this caption and kind, or null.
HWND FindPanelControl(HWND panel, const std::string& caption, bool customButton);

}  // namespace driver
