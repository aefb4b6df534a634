#pragma once

#include <vector>

#include "view/view_session.h"
#include "win32/win_api.h"

namespace driver {

// The panel's controls as its dialog template places them, in dialog
// units, with the panel's size; empty for no panel. Read from the Windows
// stand-in, which keeps the template's places: the viewer that asks is
// built only where the stand-in is (never in the Windows build).
std::vector<ViewControl> PanelLayout(HWND panel, int& width, int& height);

}  // namespace driver
