#pragma once

#include <cctype>
#include <string>
#include <vector>

#include "win32/win_api.h"

// What a user of windows reads of them: through the Windows calls,
// so the same code serves the stand-in and real Windows.
namespace winui {

inline std::string WindowText(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// True when the window's class is `name`; class names ignore case.
inline bool IsWindowClass(HWND window, const std::string& name) {
    char actual[64] = {};
    GetClassNameA(window, actual, sizeof actual);
    const std::string found = actual;
    if (found.size() != name.size()) {
        return false;
    }
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(found[i])) != std::tolower(static_cast<unsigned char>(name[i]))) {
            return false;
        }
    }
    return true;
}

// The window's children, in creation order.
inline std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

}  // namespace winui
