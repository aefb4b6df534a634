#pragma once

#include <string>
#include <vector>

#include "win32/win_api.h"

namespace driver {

// A control of a tool's panel as the panel's dialog template places it.
struct LaidOutControl {
    std::string kind;  // "static", "group", "radio", "button"
    std::string text;
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
};

// A panel as its dialog template lays it out: its size in dialog units
// and the controls that a picture of it shows, in the template's order.
struct PanelLayout {
    int width = 0, height = 0;
    std::vector<LaidOutControl> controls;
};

// The layout of the dialog template `templateId` of `module`, read from
// the module's resources as the page was made from them (FindResourceA,
// LoadResource, LockResource; on Windows from the tool's library itself,
// elsewhere from the resources that the stand-in loaded with it). Empty
// where the module has no such template or it cannot be read.
PanelLayout PanelLayoutOf(HINSTANCE module, int templateId);

}  // namespace driver
