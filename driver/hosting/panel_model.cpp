#include "hosting/panel_model_reader.h"

#include <cstdint>

#include "button_dialog.h"
#include "hosting/file_dialog_user.h"
#include "win32/dialog_template.h"
#include "win32/file_name_rules.h"
#include "win32/text_encoding.h"

namespace driver {

namespace {

// The kinds of control that the model holds; "" for any other.
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

// The dialog that the string of the button's id describes, if any.
std::optional<PanelDialog> DialogOfButton(HINSTANCE module, int id) {
    char text[256] = {};
    if (id <= 0 || LoadStringA(module, static_cast<UINT>(id), text, sizeof text) <= 0) {
        return std::nullopt;
    }
    const std::optional<ButtonDialog> described = ParseButtonDialog(text);
    if (!described) {
        return std::nullopt;
    }
    return PanelDialog{described->saving, file_name_rules::SystemTitle(described->saving), described->defaultExtension};
}

}  // namespace

std::string PanelDialog::FileFor(const std::string& typed) const { return DialogChoice(typed, defaultExtension); }

PanelModel ReadPanelModel(HINSTANCE module, int templateId) {
    HRSRC found = module == nullptr ? nullptr : FindResourceA(module, MAKEINTRESOURCEA(templateId), RT_DIALOG);
    HGLOBAL loaded = found == nullptr ? nullptr : LoadResource(module, found);
    const void* data = loaded == nullptr ? nullptr : LockResource(loaded);
    win32standin::DialogTemplate dialog;
    std::string error;
    if (data == nullptr || !win32standin::ParseDialogTemplate(static_cast<const std::uint8_t*>(data),
                                                              SizeofResource(module, found), dialog, error)) {
        return PanelModel();
    }
    std::vector<ModelControl> controls;
    for (const win32standin::DialogItemTemplate& item : dialog.items) {
        ModelControl control;
        control.kind = KindOf(item);
        if (control.kind.empty()) {
            continue;
        }
        control.id = static_cast<int>(item.id);
        control.caption = item.title.kind == win32standin::ResourceId::Kind::Text ? item.title.text : "";
        control.x = item.x, control.y = item.y, control.width = item.cx, control.height = item.cy;
        if (control.kind == "button") {
            control.dialog = DialogOfButton(module, control.id);
        }
        controls.push_back(std::move(control));
    }
    return PanelModel(dialog.cx, dialog.cy, std::move(controls));
}

const ModelControl* PanelModel::Find(std::string_view kind, std::string_view caption) const {
    for (const ModelControl& control : controls_) {
        if (control.kind == kind && control.caption == caption) {
            return &control;
        }
    }
    return nullptr;
}

std::vector<std::string> PanelModel::Captions(std::string_view kind) const {
    std::vector<std::string> captions;
    for (const ModelControl& control : controls_) {
        if (control.kind == kind) {
            captions.push_back(control.caption);
        }
    }
    return captions;
}

const PanelDialog* PanelModel::DialogOf(std::string_view caption) const {
    const ModelControl* button = Find("button", caption);
    return button != nullptr && button->dialog ? &*button->dialog : nullptr;
}

const ModelControl* PanelModel::OpeningDialog(bool saving) const {
    for (const ModelControl& control : controls_) {
        if (control.dialog && control.dialog->saving == saving) {
            return &control;
        }
    }
    return nullptr;
}

}  // namespace driver
