#include <algorithm>

#include "win32/standin_extensions.h"
#include "win32/standin_objects.h"

using namespace win32standin;

namespace {

// Copies `text` as Windows copies into a caller's buffer: at most
// capacity - 1 characters and a terminator; the count copied.
int CopyOut(const std::string& text, LPSTR buffer, int capacity) {
    if (buffer == nullptr || capacity <= 0) {
        return 0;
    }
    const std::size_t count = std::min(text.size(), static_cast<std::size_t>(capacity - 1));
    text.copy(buffer, count);
    buffer[count] = '\0';
    return static_cast<int>(count);
}

HWND FindItem(StandinWindow* dialog, int id) {
    for (HWND child : dialog->children) {
        if (child->id == id) {
            return child;
        }
    }
    return nullptr;
}

// The item `id` of a live dialog, or null with a violation naming `caller`.
StandinWindow* DialogItem(HWND dialog, int id, const char* caller) {
    StandinWindow* parent = detail::LiveWindow(dialog, caller);
    if (parent == nullptr) {
        return nullptr;
    }
    StandinWindow* item = FindItem(parent, id);
    if (item == nullptr) {
        detail::ReportViolation(std::string(caller) + ": the dialog has no item " + std::to_string(id));
    }
    return item;
}

}  // namespace

extern "C" HWND GetDlgItem(HWND dialog, int id) {
    return detail::Guarded("GetDlgItem", HWND{nullptr}, [&]() -> HWND {
        StandinWindow* parent = detail::LiveWindow(dialog, "GetDlgItem");
        return parent == nullptr ? nullptr : FindItem(parent, id);
    });
}

extern "C" BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    return detail::Guarded("CheckDlgButton", BOOL{FALSE}, [&]() -> BOOL {
        StandinWindow* item = DialogItem(dialog, id, "CheckDlgButton");
        if (item == nullptr) {
            return FALSE;
        }
        detail::Dispatch(item, BM_SETCHECK, check, 0);
        return TRUE;
    });
}

extern "C" UINT IsDlgButtonChecked(HWND dialog, int id) {
    return detail::Guarded("IsDlgButtonChecked", UINT{0}, [&]() -> UINT {
        StandinWindow* item = DialogItem(dialog, id, "IsDlgButtonChecked");
        return item == nullptr ? 0 : static_cast<UINT>(detail::Dispatch(item, BM_GETCHECK, 0, 0));
    });
}

extern "C" BOOL EnableWindow(HWND window, BOOL enable) {
    return detail::Guarded("EnableWindow", BOOL{FALSE}, [&]() -> BOOL {
        StandinWindow* target = detail::LiveWindow(window, "EnableWindow");
        if (target == nullptr) {
            return FALSE;
        }
        const BOOL wasDisabled = (target->style & WS_DISABLED) != 0 ? TRUE : FALSE;
        if (enable != 0) {
            target->style &= ~WS_DISABLED;
        } else {
            target->style |= WS_DISABLED;
        }
        return wasDisabled;
    });
}

extern "C" BOOL IsWindowEnabled(HWND window) {
    return detail::Guarded("IsWindowEnabled", BOOL{FALSE}, [&]() -> BOOL {
        StandinWindow* target = detail::LiveWindow(window, "IsWindowEnabled");
        return target != nullptr && (target->style & WS_DISABLED) == 0 ? TRUE : FALSE;
    });
}

extern "C" LONG GetWindowLongA(HWND window, int index) {
    return detail::Guarded("GetWindowLongA", LONG{0}, [&]() -> LONG {
        StandinWindow* target = detail::LiveWindow(window, "GetWindowLongA");
        if (target == nullptr) {
            return 0;
        }
        switch (index) {
            case GWL_USERDATA:
                return target->userData;
            case GWL_STYLE:
                return static_cast<LONG>(target->style);
            case GWL_EXSTYLE:
                return static_cast<LONG>(target->exStyle);
            case GWL_ID:
                return target->id;
            default:
                break;
        }
        if (target->isDialog && index == DWLP_MSGRESULT) {
            return static_cast<LONG>(target->msgResult);
        }
        if (target->isDialog && index == DWLP_USER) {
            return static_cast<LONG>(target->dialogUser);
        }
        detail::ReportViolation("GetWindowLongA: index " + std::to_string(index) + " is not supported");
        return 0;
    });
}

extern "C" LONG SetWindowLongA(HWND window, int index, LONG value) {
    return detail::Guarded("SetWindowLongA", LONG{0}, [&]() -> LONG {
        StandinWindow* target = detail::LiveWindow(window, "SetWindowLongA");
        if (target == nullptr) {
            return 0;
        }
        LONG previous = 0;
        switch (index) {
            case GWL_USERDATA:
                previous = target->userData;
                target->userData = value;
                return previous;
            case GWL_STYLE:
                previous = static_cast<LONG>(target->style);
                target->style = static_cast<DWORD>(value);
                return previous;
            case GWL_EXSTYLE:
                previous = static_cast<LONG>(target->exStyle);
                target->exStyle = static_cast<DWORD>(value);
                return previous;
            case GWL_ID:
                previous = target->id;
                target->id = static_cast<int>(value);
                return previous;
            default:
                break;
        }
        if (target->isDialog && index == DWLP_MSGRESULT) {
            previous = static_cast<LONG>(target->msgResult);
            target->msgResult = value;
            return previous;
        }
        if (target->isDialog && index == DWLP_USER) {
            previous = static_cast<LONG>(target->dialogUser);
            target->dialogUser = value;
            return previous;
        }
        detail::ReportViolation("SetWindowLongA: index " + std::to_string(index) + " is not supported");
        return 0;
    });
}

extern "C" int GetDlgCtrlID(HWND window) {
    return detail::Guarded("GetDlgCtrlID", 0, [&]() -> int {
        StandinWindow* target = detail::LiveWindow(window, "GetDlgCtrlID");
        return target == nullptr ? 0 : target->id;
    });
}

extern "C" HWND GetParent(HWND window) {
    return detail::Guarded("GetParent", HWND{nullptr}, [&]() -> HWND {
        StandinWindow* target = detail::LiveWindow(window, "GetParent");
        return target == nullptr ? nullptr : target->parent;
    });
}

extern "C" HWND GetWindow(HWND window, UINT relation) {
    return detail::Guarded("GetWindow", HWND{nullptr}, [&]() -> HWND {
        StandinWindow* target = detail::LiveWindow(window, "GetWindow");
        if (target == nullptr) {
            return nullptr;
        }
        if (relation == GW_CHILD) {
            return target->children.empty() ? nullptr : target->children.front();
        }
        if (relation == GW_HWNDNEXT && target->parent != nullptr) {
            const std::vector<HWND>& siblings = target->parent->children;
            for (std::size_t i = 0; i + 1 < siblings.size(); ++i) {
                if (siblings[i] == window) {
                    return siblings[i + 1];
                }
            }
        }
        return nullptr;
    });
}

extern "C" int GetWindowTextA(HWND window, LPSTR text, int capacity) {
    return detail::Guarded("GetWindowTextA", 0, [&]() -> int {
        StandinWindow* target = detail::LiveWindow(window, "GetWindowTextA");
        return target == nullptr ? 0 : CopyOut(target->text, text, capacity);
    });
}

extern "C" BOOL SetWindowTextA(HWND window, LPCSTR text) {
    return detail::Guarded("SetWindowTextA", BOOL{FALSE}, [&]() -> BOOL {
        StandinWindow* target = detail::LiveWindow(window, "SetWindowTextA");
        if (target == nullptr) {
            return FALSE;
        }
        return detail::Dispatch(target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
    });
}

extern "C" int GetClassNameA(HWND window, LPSTR name, int capacity) {
    return detail::Guarded("GetClassNameA", 0, [&]() -> int {
        StandinWindow* target = detail::LiveWindow(window, "GetClassNameA");
        return target == nullptr ? 0 : CopyOut(target->className, name, capacity);
    });
}

namespace win32standin {

namespace {

// A live window for the views below, which answer empty values for dead
// handles without a violation.
const StandinWindow* Peek(HWND window) { return detail::IsLiveWindow(window) ? window : nullptr; }

}  // namespace

std::vector<HWND> Children(HWND window) {
    const StandinWindow* target = Peek(window);
    return target == nullptr ? std::vector<HWND>{} : target->children;
}

std::string ClassNameOf(HWND window) {
    const StandinWindow* target = Peek(window);
    return target == nullptr ? std::string() : target->className;
}

std::string TextOf(HWND window) {
    const StandinWindow* target = Peek(window);
    return target == nullptr ? std::string() : target->text;
}

DWORD StyleOf(HWND window) {
    const StandinWindow* target = Peek(window);
    return target == nullptr ? 0 : target->style;
}

TemplateRect TemplateRectOf(HWND window) {
    const StandinWindow* target = Peek(window);
    if (target == nullptr) {
        return {};
    }
    return {target->x, target->y, target->cx, target->cy};
}

bool DialogFontOf(HWND window, DialogFont& font) {
    const StandinWindow* target = Peek(window);
    if (target == nullptr || !target->isDialog || !target->hasFont) {
        return false;
    }
    font = target->font;
    return true;
}

bool IsDialogWindow(HWND window) {
    const StandinWindow* target = Peek(window);
    return target != nullptr && target->isDialog;
}

}  // namespace win32standin
