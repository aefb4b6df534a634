#pragma once

// The objects behind the stand-in's handles and the registries that own
// them. Internal to the stand-in; users see handles only.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "win32/dialog_template.h"
#include "win32/res_file.h"
#include "win32/windows_standin.h"

// A module: the resources of one compiled resource file.
struct StandinModule {
    std::string origin;  // file path or caller's label
    std::vector<win32standin::ResourceEntry> resources;
    // The bytes it was loaded from, told apart by their size and hash, and
    // how many loads of them hold it.
    std::size_t size = 0;
    std::uint64_t hash = 0;
    std::size_t loads = 1;
};

// A system cursor.
struct StandinCursor {
    int id = 0;
};

// A window. Destroyed windows stay allocated, marked destroyed, so a stale
// handle is recognised and refused instead of being followed.
struct StandinWindow {
    std::string className;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    LONG userData = 0;        // GWL_USERDATA
    LONG_PTR msgResult = 0;   // DWLP_MSGRESULT of dialogs
    LONG_PTR dialogUser = 0;  // DWLP_USER of dialogs
    UINT check = BST_UNCHECKED;
    HWND parent = nullptr;
    std::vector<HWND> children;  // creation order
    bool isDialog = false;
    DLGPROC dialogProc = nullptr;
    HINSTANCE module = nullptr;
    // From the template, in dialog units; pixels for CreateWindowExA windows.
    int x = 0, y = 0, cx = 0, cy = 0;
    bool hasFont = false;
    win32standin::DialogFont font;
    bool destroying = false;
    bool destroyed = false;
};

namespace win32standin::detail {

// Records a refused call: a line on stderr and an entry of Violations().
void ReportViolation(const std::string& what);

// The window behind a live handle; null (and a violation naming `caller`)
// for null, destroyed or unknown handles.
StandinWindow* LiveWindow(HWND window, const char* caller);
bool IsLiveWindow(HWND window);
// A new live window, attached to `parent`'s children when it has one.
StandinWindow* NewWindow(HWND parent);
// Marks a window destroyed and detaches it from its parent.
void RetireWindow(StandinWindow* window);

StandinModule* LiveModule(HINSTANCE module, const char* caller);

// Delivers a message as Windows would: dialogs through their dialog
// procedure and the default dialog handling, controls by their class.
LRESULT Dispatch(StandinWindow* window, UINT message, WPARAM wParam, LPARAM lParam);
// Calls a dialog's procedure and logs the call; its raw result.
INT_PTR CallProc(StandinWindow* window, UINT message, WPARAM wParam, LPARAM lParam);

// Runs `body` so that no exception leaves an exported function: an escaped
// exception is reported and `failure` returned.
template <class Result, class Body>
Result Guarded(const char* function, Result failure, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::exception& e) {
        ReportViolation(std::string(function) + ": exception " + e.what());
    } catch (...) {
        ReportViolation(std::string(function) + ": unknown exception");
    }
    return failure;
}

}  // namespace win32standin::detail
