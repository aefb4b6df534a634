#include "hosting/live_panel.h"

#include "standin/standin_custom_button.h"
#include "text/name_text.h"
#include "win32/window_queries.h"

namespace driver {

namespace {

bool IsRadioButton(HWND window) {
    return winui::IsWindowClass(window, "Button") &&
           (static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
}

std::string Join(const std::vector<std::string>& items) {
    std::string joined;
    for (const std::string& item : items) {
        joined += (joined.empty() ? "" : ", ") + item;
    }
    return joined;
}

}  // namespace

std::vector<PanelControl> PanelControls(HWND panel) {
    std::vector<PanelControl> controls;
    if (panel == nullptr) {
        return controls;
    }
    for (HWND child : winui::ChildWindows(panel)) {
        PanelControl control;
        control.window = reinterpret_cast<std::uintptr_t>(child);
        control.id = GetDlgCtrlID(child);
        if (winui::IsWindowClass(child, "CustButton")) {
            control.customButton = true;
            control.checked = standin::CustomButtonStateOf(child).checked;
        } else if (IsRadioButton(child)) {
            control.checked = SendMessageA(child, BM_GETCHECK, 0, 0) == BST_CHECKED;
        } else {
            continue;
        }
        control.caption = winui::WindowText(child);
        control.enabled = IsWindowEnabled(child) != FALSE;
        controls.push_back(control);
    }
    return controls;
}

HWND FindPanelControl(HWND panel, const std::string& caption, bool customButton) {
    for (const PanelControl& control : PanelControls(panel)) {
        if (control.customButton == customButton && control.caption == caption) {
            return reinterpret_cast<HWND>(control.window);
        }
    }
    return nullptr;
}

std::vector<std::string> PanelChangeNotes(const std::vector<PanelControl>& before,
                                          const std::vector<PanelControl>& after) {
    std::vector<std::string> notes;
    const bool samePanel = before.size() == after.size() && !before.empty() &&
                           before.front().window == after.front().window;
    if (samePanel) {
        std::vector<std::string> enabled, disabled, checked, unchecked;
        for (std::size_t i = 0; i < after.size(); ++i) {
            const PanelControl& was = before[i];
            const PanelControl& now = after[i];
            if (was.enabled != now.enabled) {
                (now.enabled ? enabled : disabled).push_back(Quoted(now.caption));
            }
            if (was.checked != now.checked) {
                (now.checked ? checked : unchecked).push_back(Quoted(now.caption));
            }
        }
        for (const auto& [label, items] : {std::pair{"disabled: ", &disabled}, std::pair{"enabled: ", &enabled},
                                           std::pair{"checked: ", &checked}, std::pair{"unchecked: ", &unchecked}}) {
            if (!items->empty()) {
                notes.push_back(label + Join(*items));
            }
        }
    } else if (!after.empty()) {
        std::vector<std::string> states;
        states.reserve(after.size());
        for (const PanelControl& control : after) {
            states.push_back(Quoted(control.caption) + (control.enabled ? " enabled" : " disabled") +
                             (control.checked ? " checked" : ""));
        }
        notes.push_back("panel: " + Join(states));
    }
    return notes;
}

}  // namespace driver
