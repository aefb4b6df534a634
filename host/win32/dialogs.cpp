#include "win32/standin_extensions.h"
#include "win32/standin_objects.h"

namespace win32standin {

namespace {

constexpr const char* kDialogClass = "#32770";

ResourceId TemplateName(LPCSTR name) {
    if (IS_INTRESOURCE(name)) {
        return ResourceId::Number(static_cast<std::uint16_t>(reinterpret_cast<UINT_PTR>(name)));
    }
    return ResourceId::Text(name);
}

bool ParentAllows(HWND parent, DWORD style, const char* caller) {
    if (parent != nullptr) {
        return detail::LiveWindow(parent, caller) != nullptr;
    }
    if ((style & WS_CHILD) != 0) {
        detail::ReportViolation(std::string(caller) + ": a WS_CHILD window needs a parent");
        return false;
    }
    return true;
}

void CreateControls(StandinWindow* dialog, const DialogTemplate& dialogTemplate) {
    for (const DialogItemTemplate& item : dialogTemplate.items) {
        StandinWindow* control = detail::NewWindow(dialog);
        control->className = item.className;
        control->text = item.title.kind == ResourceId::Kind::Text ? item.title.text : "";
        control->style = item.style;
        control->exStyle = item.exStyle;
        control->id = item.id;
        control->module = dialog->module;
        control->x = item.x;
        control->y = item.y;
        control->cx = item.cx;
        control->cy = item.cy;
    }
}

// The control that gets the focus first: the first one with WS_TABSTOP.
HWND FirstTabStop(const StandinWindow* dialog) {
    for (HWND child : dialog->children) {
        if ((child->style & WS_TABSTOP) != 0) {
            return child;
        }
    }
    return nullptr;
}

void Destroy(StandinWindow* window) {
    if (window->destroying) {
        return;
    }
    window->destroying = true;
    detail::Dispatch(window, WM_DESTROY, 0, 0);
    const std::vector<HWND> children = window->children;
    for (HWND child : children) {
        if (detail::IsLiveWindow(child)) {
            Destroy(child);
        }
    }
    detail::RetireWindow(window);
}

}  // namespace

}  // namespace win32standin

using namespace win32standin;

extern "C" HWND CreateDialogParamA(HINSTANCE module, LPCSTR templateName, HWND parent, DLGPROC proc, LPARAM param) {
    return detail::Guarded("CreateDialogParamA", HWND{nullptr}, [&]() -> HWND {
        StandinModule* known = detail::LiveModule(module, "CreateDialogParamA");
        if (known == nullptr || templateName == nullptr) {
            if (known != nullptr) {
                detail::ReportViolation("CreateDialogParamA: null template name");
            }
            return nullptr;
        }
        const ResourceId name = TemplateName(templateName);
        const ResourceEntry* entry = FindResource(known->resources, ResourceId::Number(kResourceDialog), name);
        if (entry == nullptr) {
            detail::ReportViolation("CreateDialogParamA: no dialog template " + name.ToString() + " in " +
                                    known->origin);
            return nullptr;
        }
        DialogTemplate dialogTemplate;
        std::string error;
        if (!ParseDialogTemplate(entry->data.data(), entry->data.size(), dialogTemplate, error)) {
            detail::ReportViolation("CreateDialogParamA: template " + name.ToString() + ": " + error);
            return nullptr;
        }
        if (!ParentAllows(parent, dialogTemplate.style, "CreateDialogParamA")) {
            return nullptr;
        }
        StandinWindow* dialog = detail::NewWindow(parent);
        dialog->isDialog = true;
        dialog->className = kDialogClass;
        dialog->text = dialogTemplate.title;
        dialog->style = dialogTemplate.style;
        dialog->exStyle = dialogTemplate.exStyle;
        dialog->module = module;
        dialog->x = dialogTemplate.x;
        dialog->y = dialogTemplate.y;
        dialog->cx = dialogTemplate.cx;
        dialog->cy = dialogTemplate.cy;
        dialog->hasFont = dialogTemplate.hasFont;
        dialog->font = dialogTemplate.font;
        dialog->dialogProc = proc;
        CreateControls(dialog, dialogTemplate);
        detail::Dispatch(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(FirstTabStop(dialog)), param);
        return detail::IsLiveWindow(dialog) ? dialog : nullptr;
    });
}

extern "C" HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                                int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    (void)param;
    return detail::Guarded("CreateWindowExA", HWND{nullptr}, [&]() -> HWND {
        if (className == nullptr || IS_INTRESOURCE(className)) {
            detail::ReportViolation("CreateWindowExA: the class must be given by name");
            return nullptr;
        }
        if (!ParentAllows(parent, style, "CreateWindowExA")) {
            return nullptr;
        }
        StandinWindow* window = detail::NewWindow(parent);
        window->className = className;
        window->text = windowName != nullptr ? windowName : "";
        window->style = style;
        window->exStyle = exStyle;
        window->id = (style & WS_CHILD) != 0 ? static_cast<int>(reinterpret_cast<UINT_PTR>(menu)) : 0;
        window->module = instance;
        window->x = x;
        window->y = y;
        window->cx = width;
        window->cy = height;
        return window;
    });
}

extern "C" BOOL DestroyWindow(HWND window) {
    return detail::Guarded("DestroyWindow", BOOL{FALSE}, [&]() -> BOOL {
        StandinWindow* target = detail::LiveWindow(window, "DestroyWindow");
        if (target == nullptr) {
            return FALSE;
        }
        Destroy(target);
        return TRUE;
    });
}

extern "C" BOOL IsWindow(HWND window) { return detail::IsLiveWindow(window) ? TRUE : FALSE; }
