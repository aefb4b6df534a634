#include "hosting/panel_layout.h"

#include <cstdint>

#include "win32/dialog_template.h"
#include "win32/text_encoding.h"

namespace driver {

namespace {

// The kinds of control that a picture of a tool's panel shows; "" for
// any other.
std::string KindOf(const win32standin::DialogItemTemplate& item) {
    const DWORD type = item.style & BS_TYPEMASK;
    if (win32standin::SameNameIgnoringCase(item.className, "CustButton")) {
        return "button";
    }
    if (win32standin::SameNameIgnoringCase(item.className, "Button")) {
        return type == BS_GROUPBOX ? "group" : type == BS_AUTORADIOBUTTON ? "radio" : "";
    }
    return win32standin::SameNameIgnoringCase(item.className, "Static") ? "static" : "";
}

}  // namespace

PanelLayout PanelLayoutOf(HINSTANCE module, int templateId) {
    PanelLayout layout;
    HRSRC found = module == nullptr ? nullptr : FindResourceA(module, MAKEINTRESOURCEA(templateId), RT_DIALOG);
    HGLOBAL loaded = found == nullptr ? nullptr : LoadResource(module, found);
    const void* data = loaded == nullptr ? nullptr : LockResource(loaded);
    win32standin::DialogTemplate dialog;
    std::string error;
    if (data == nullptr || !win32standin::ParseDialogTemplate(static_cast<const std::uint8_t*>(data),
                                                              SizeofResource(module, found), dialog, error)) {
        return layout;
    }
    layout.width = dialog.cx;
    layout.height = dialog.cy;
    for (const win32standin::DialogItemTemplate& item : dialog.items) {
        std::string kind = KindOf(item);
        if (!kind.empty()) {
            const std::string text = item.title.kind == win32standin::ResourceId::Kind::Text ? item.title.text : "";
            layout.controls.push_back({std::move(kind), text, item.x, item.y, item.cx, item.cy});
        }
    }
    return layout;
}

}  // namespace driver
