#pragma once

// What the stand-in Windows offers beyond the Windows API: loading
// resources as modules, the user of the file dialogs, and views of its
// windows and of the calls it refused, for tests and the driver.

#include <cstddef>
#include <string>
#include <vector>

#include "win32/dialog_template.h"
#include "win32/file_dialog_responder.h"
#include "win32/res_file.h"
#include "win32/windows_standin.h"

namespace win32standin {

// Modules. A module lives until as many UnloadModule calls as loads of
// its bytes (the same label and bytes load the same module), else until
// the process ends. Null (and a violation) for a file that does not open
// or is not a valid .res file.
WIN_STANDIN_API HINSTANCE LoadModuleFromResBytes(const void* data, std::size_t size,
                                                 const std::string& label = "memory");
WIN_STANDIN_API HINSTANCE LoadModuleFromResFile(const std::string& path);
WIN_STANDIN_API void UnloadModule(HINSTANCE module);
// Why the bytes are no valid .res file, or "" when they are one; tells
// nothing on stderr.
WIN_STANDIN_API std::string ResourceBytesProblem(const void* data, std::size_t size);
// The resources of a module, or null for an unknown handle.
WIN_STANDIN_API const std::vector<ResourceEntry>* ModuleResources(HINSTANCE module);

// The file dialogs' user; an empty responder makes every dialog fail with a
// violation. The last record a dialog received, or null before the first.
WIN_STANDIN_API void SetFileDialogResponder(FileDialogResponder responder);
WIN_STANDIN_API const RecordedFileDialog* LastFileDialog();
WIN_STANDIN_API int FileDialogCount();

// Windows.
WIN_STANDIN_API std::size_t LiveWindowCount();
// Frees the windows destroyed so far. Until then a destroyed window's
// handle is told from any other; afterwards it is unknown, and its memory
// may be a new window's. The host calls it as it ends.
WIN_STANDIN_API void ForgetDestroyedWindows();
WIN_STANDIN_API std::vector<HWND> LiveWindows();
// Children in creation order; empty for a dead handle.
WIN_STANDIN_API std::vector<HWND> Children(HWND window);
WIN_STANDIN_API std::string ClassNameOf(HWND window);
WIN_STANDIN_API std::string TextOf(HWND window);
WIN_STANDIN_API DWORD StyleOf(HWND window);
struct TemplateRect {
    int x = 0, y = 0, cx = 0, cy = 0;
};
// Position and size in dialog units as the template gave them.
WIN_STANDIN_API TemplateRect TemplateRectOf(HWND window);
// False when the window is no dialog or its template had no font.
WIN_STANDIN_API bool DialogFontOf(HWND window, DialogFont& font);
WIN_STANDIN_API bool IsDialogWindow(HWND window);
// Calls a dialog's procedure directly and answers its own result, which
// SendMessageA hides for most messages as Windows does.
WIN_STANDIN_API INT_PTR CallDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Every message the stand-in delivered, in order.
struct LoggedMessage {
    HWND window = nullptr;
    int windowId = 0;
    std::string windowClass;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool toDialogProc = false;  // reached a dialog procedure
    LRESULT result = 0;         // the dialog procedure's own result, or the control's
};
WIN_STANDIN_API const std::vector<LoggedMessage>& MessageLog();
WIN_STANDIN_API void ClearMessageLog();

// Calls that were refused (misuse), in order; each was also written to stderr.
WIN_STANDIN_API const std::vector<std::string>& Violations();
WIN_STANDIN_API void ClearViolations();

// System calls made so far.
WIN_STANDIN_API int InitCommonControlsCalls();
// The system cursor id (32515 for IDC_CROSS) of a LoadCursorA handle; 0 for others.
WIN_STANDIN_API int SystemCursorId(HCURSOR cursor);

}  // namespace win32standin
