#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace driver {

// A control of a tool's panel that a session can work: a custom button of
// the host or a radio button.
// It is read from the open panel by PanelControls (live_panel.h).
struct PanelControl {
    std::uintptr_t window = 0;  // which control it is, while its panel is open
    int id = 0;                 // its control id, as the panel's template gives it
    std::string caption;
    bool customButton = false;  // else a radio button
    bool enabled = false;
    bool checked = false;
};

// What changed between two readings of one panel, as transcript notes:
// "disabled: ...", "enabled: ...", "checked: ...", "unchecked: ...";
// a panel that has just opened is shown whole ("panel: ...").
std::vector<std::string> PanelChangeNotes(const std::vector<PanelControl>& before,
                                          const std::vector<PanelControl>& after);

}  // namespace driver
