#pragma once

// The Windows calls the panel tests need beyond the tools' own: the module a
// tool's panel comes from, a dialog procedure's own answer, and views of the
// windows. On Windows they are made of the real API over the built
// libraries; elsewhere they come from the stand-in Windows over the
// compiled resources.

#include <cstddef>
#include <string>
#include <vector>

#include "win32/win_api.h"
#if !defined(_WIN32)
#  include "win32/standin_extensions.h"
#endif

namespace testwin {

// The module of a tool's resources. `source` is the file name of the built
// library on Windows (next to the test program), the path of its compiled
// resources elsewhere. The module stays loaded until the process ends.
inline HINSTANCE LoadToolModule(const char* source) {
#if defined(_WIN32)
    return LoadLibraryA(source);
#else
    return win32standin::LoadModuleFromResFile(source);
#endif
}

// Calls a dialog's procedure directly and answers its own result, which
// SendMessageA hides for most messages.
inline INT_PTR CallDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
#if defined(_WIN32)
    const auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrA(dialog, DWLP_DLGPROC));
    return proc != nullptr ? proc(dialog, message, wParam, lParam) : 0;
#else
    return win32standin::CallDialogProc(dialog, message, wParam, lParam);
#endif
}

#if defined(_WIN32)
namespace detail {
inline BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<std::size_t*>(count);
    return TRUE;
}
inline BOOL CALLBACK CountTopLevel(HWND window, LPARAM count) {
    ++*reinterpret_cast<std::size_t*>(count);
    EnumChildWindows(window, CountChild, count);  // every descendant
    return TRUE;
}
}  // namespace detail
#endif

// The windows of this thread (on Windows) or of the stand-in, with their
// descendants.
inline std::size_t LiveWindowCount() {
#if defined(_WIN32)
    std::size_t count = 0;
    EnumThreadWindows(GetCurrentThreadId(), detail::CountTopLevel, reinterpret_cast<LPARAM>(&count));
    return count;
#else
    return win32standin::LiveWindowCount();
#endif
}

// Direct children in creation (z) order.
inline std::vector<HWND> Children(HWND window) {
#if defined(_WIN32)
    std::vector<HWND> children;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
#else
    return win32standin::Children(window);
#endif
}

inline std::string ClassNameOf(HWND window) {
#if defined(_WIN32)
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
#else
    return win32standin::ClassNameOf(window);
#endif
}

// The calls the Windows in use refused. Real Windows keeps no such list:
// misuse shows there as failed calls, which the tests check themselves.
inline std::vector<std::string> Violations() {
#if defined(_WIN32)
    return {};
#else
    return win32standin::Violations();
#endif
}
inline void ClearViolations() {
#if !defined(_WIN32)
    win32standin::ClearViolations();
#endif
}

// The system cursor id (32515 for IDC_CROSS) of a LoadCursorA handle; 0
// for any other.
inline int SystemCursorId(HCURSOR cursor) {
#if defined(_WIN32)
    if (cursor == nullptr) {
        return 0;
    }
    for (const int id :
         {32512, 32513, 32514, 32515, 32516, 32642, 32643, 32644, 32645, 32646, 32648, 32649, 32650, 32651}) {
        if (LoadCursorA(nullptr, MAKEINTRESOURCEA(id)) == cursor) {
            return id;
        }
    }
    return 0;
#else
    return win32standin::SystemCursorId(cursor);
#endif
}

}  // namespace testwin
