#include <algorithm>

#include "win32/standin_extensions.h"
#include "win32/standin_objects.h"
#include "win32/text_encoding.h"

namespace win32standin {

namespace {

std::vector<LoggedMessage>& Log() {
    static std::vector<LoggedMessage> log;
    return log;
}

// Logs a message at its delivery; SetLoggedResult fills in the result later.
std::size_t LogMessage(const StandinWindow* window, UINT message, WPARAM wParam, LPARAM lParam, bool toProc) {
    LoggedMessage entry;
    entry.window = const_cast<StandinWindow*>(window);
    entry.windowId = window->id;
    entry.windowClass = window->className;
    entry.message = message;
    entry.wParam = wParam;
    entry.lParam = lParam;
    entry.toDialogProc = toProc;
    Log().push_back(std::move(entry));
    return Log().size() - 1;
}

void SetLoggedResult(std::size_t index, UINT message, LRESULT result) {
    if (index < Log().size() && Log()[index].message == message) {
        Log()[index].result = result;
    }
}

bool IsButton(const StandinWindow* window) { return SameNameIgnoringCase(window->className, "Button"); }

DWORD ButtonType(const StandinWindow* window) { return window->style & BS_TYPEMASK; }

bool CanBeChecked(const StandinWindow* window) {
    switch (ButtonType(window)) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_3STATE:
        case BS_AUTO3STATE:
        case BS_AUTORADIOBUTTON:
            return true;
        default:
            return false;
    }
}

// The siblings of `button` in its group: from the nearest control at or
// before it that has WS_GROUP (or the first child) up to, not including,
// the next control with WS_GROUP.
std::vector<HWND> GroupOf(StandinWindow* button) {
    if (button->parent == nullptr) {
        return {button};
    }
    const std::vector<HWND>& siblings = button->parent->children;
    std::size_t index = 0;
    while (index < siblings.size() && siblings[index] != button) {
        ++index;
    }
    std::size_t start = index;
    while (start > 0 && (siblings[start]->style & WS_GROUP) == 0) {
        --start;
    }
    std::vector<HWND> group{siblings[start]};
    for (std::size_t i = start + 1; i < siblings.size() && (siblings[i]->style & WS_GROUP) == 0; ++i) {
        group.push_back(siblings[i]);
    }
    return group;
}

// BM_CLICK: what a press and release of the mouse button does.
void ClickButton(StandinWindow* button) {
    if ((button->style & WS_DISABLED) != 0) {
        return;
    }
    switch (ButtonType(button)) {
        case BS_GROUPBOX:
            return;
        case BS_AUTOCHECKBOX:
            button->check = button->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
            break;
        case BS_AUTO3STATE:
            button->check = (button->check + 1) % 3;
            break;
        case BS_AUTORADIOBUTTON:
            for (HWND other : GroupOf(button)) {
                if (other != button && IsButton(other) && ButtonType(other) == BS_AUTORADIOBUTTON) {
                    other->check = BST_UNCHECKED;
                }
            }
            button->check = BST_CHECKED;
            break;
        default:
            break;
    }
    if (button->parent != nullptr) {
        detail::Dispatch(button->parent, WM_COMMAND, MAKEWPARAM(button->id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
    }
}

// DefWindowProc's part of the messages the stand-in knows.
LRESULT DefaultProc(StandinWindow* window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETTEXT:
            window->text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
            return TRUE;
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(window->text.size());
        case WM_GETTEXT: {
            if (wParam == 0 || lParam == 0) {
                return 0;
            }
            char* out = reinterpret_cast<char*>(lParam);
            const std::size_t count = std::min(window->text.size(), static_cast<std::size_t>(wParam - 1));
            window->text.copy(out, count);
            out[count] = '\0';
            return static_cast<LRESULT>(count);
        }
        default:
            return 0;
    }
}

// The window procedure of the predefined button class, for what it handles.
LRESULT ButtonProc(StandinWindow* button, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case BM_GETCHECK:
            return CanBeChecked(button) ? static_cast<LRESULT>(button->check) : BST_UNCHECKED;
        case BM_SETCHECK:
            if (CanBeChecked(button)) {
                button->check = static_cast<UINT>(wParam) > BST_INDETERMINATE ? BST_CHECKED : static_cast<UINT>(wParam);
            }
            return 0;
        case BM_CLICK:
            ClickButton(button);
            return 0;
        default:
            return DefaultProc(button, message, wParam, lParam);
    }
}

// Messages whose result is the dialog procedure's own, not DWLP_MSGRESULT.
bool ReturnsProcResult(UINT message) { return message == WM_INITDIALOG; }

}  // namespace

namespace detail {

INT_PTR CallProc(StandinWindow* window, UINT message, WPARAM wParam, LPARAM lParam) {
    const std::size_t entry = LogMessage(window, message, wParam, lParam, window->dialogProc != nullptr);
    INT_PTR result = 0;
    if (window->dialogProc != nullptr) {
        try {
            result = window->dialogProc(window, message, wParam, lParam);
        } catch (...) {
            ReportViolation("an exception left the dialog procedure (message " + std::to_string(message) + ")");
            result = 0;
        }
    }
    SetLoggedResult(entry, message, result);
    return result;
}

LRESULT Dispatch(StandinWindow* window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window->isDialog) {
        const INT_PTR handled = CallProc(window, message, wParam, lParam);
        if (ReturnsProcResult(message)) {
            return handled;
        }
        if (!IsLiveWindow(window)) {
            return 0;
        }
        if (handled != 0) {
            return window->msgResult;
        }
        return DefaultProc(window, message, wParam, lParam);
    }
    const std::size_t entry = LogMessage(window, message, wParam, lParam, false);
    const LRESULT result = IsButton(window) ? ButtonProc(window, message, wParam, lParam)
                                            : DefaultProc(window, message, wParam, lParam);
    SetLoggedResult(entry, message, result);
    return result;
}

}  // namespace detail

const std::vector<LoggedMessage>& MessageLog() { return Log(); }

void ClearMessageLog() { Log().clear(); }

INT_PTR CallDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return detail::Guarded("CallDialogProc", INT_PTR{0}, [&]() -> INT_PTR {
        StandinWindow* window = detail::LiveWindow(dialog, "CallDialogProc");
        if (window == nullptr) {
            return 0;
        }
        if (!window->isDialog) {
            detail::ReportViolation("CallDialogProc: window of class " + window->className + " is no dialog");
            return 0;
        }
        return detail::CallProc(window, message, wParam, lParam);
    });
}

}  // namespace win32standin

extern "C" LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    using namespace win32standin;
    return detail::Guarded("SendMessageA", LRESULT{0}, [&]() -> LRESULT {
        StandinWindow* target = detail::LiveWindow(window, "SendMessageA");
        return target == nullptr ? 0 : detail::Dispatch(target, message, wParam, lParam);
    });
}
