#include "view/panel_layout.h"

#include "win32/standin_extensions.h"
#include "win32/window_queries.h"

namespace driver {

namespace {

std::string KindOf(HWND control) {
    const DWORD type = win32standin::StyleOf(control) & BS_TYPEMASK;
    if (winui::IsWindowClass(control, "CustButton")) {
        return "button";
    }
    if (winui::IsWindowClass(control, "Button")) {
        return type == BS_GROUPBOX ? "group" : type == BS_AUTORADIOBUTTON ? "radio" : "";
    }
    return winui::IsWindowClass(control, "Static") ? "static" : "";
}

}  // namespace

std::vector<ViewControl> PanelLayout(HWND panel, int& width, int& height) {
    std::vector<ViewControl> layout;
    width = height = 0;
    if (panel == nullptr) {
        return layout;
    }
    const win32standin::TemplateRect page = win32standin::TemplateRectOf(panel);
    width = page.cx;
    height = page.cy;
    for (HWND control : win32standin::Children(panel)) {
        const std::string kind = KindOf(control);
        if (kind.empty()) {
            continue;
        }
        const win32standin::TemplateRect place = win32standin::TemplateRectOf(control);
        layout.push_back({kind, win32standin::TextOf(control), place.x, place.y, place.cx, place.cy});
    }
    return layout;
}

}  // namespace driver
