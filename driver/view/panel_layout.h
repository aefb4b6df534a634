#pragma once

#include <vector>

#include "view/view_session.h"
#include "win32/win_api.h"

namespace driver {

// The panel's controls as its dialog template places them, in dialog
// units, with the panel's size; empty for no panel.
std::vector<ViewControl> PanelLayout(HWND panel, int& width, int& height);

}  // namespace driver
