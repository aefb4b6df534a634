#pragma once

#include <string>

#include "host_api.h"
#include "win32/win_api.h"

// The common file dialogs that the loaded tools open, as the host sees
// their calls: which call opened a dialog (GetSaveFileNameA or
// GetOpenFileNameA) and what it returned. On Windows the host hooks the
// tools' imports of the two calls when it loads a tool library; elsewhere
// the stand-in Windows records them itself.
namespace standin {

struct FileDialogCall {
    bool saving = false;           // GetSaveFileNameA; else GetOpenFileNameA
    bool chosen = false;           // the call's result: a file was chosen
    DWORD extendedError = 0;       // CommDlgExtendedError() after the call: 0 for a cancel
    std::string path;              // the chosen path
    std::string defaultExtension;  // the record's lpstrDefExt: given to a name typed without one
};

// Calls finished so far, and the last one (null before the first).
HOST_API int FileDialogCallCount();
HOST_API const FileDialogCall* LastFileDialogCall();

// On Windows, the call that is running on this thread (its dialog is
// open), or null: what a user of the dialog's windows asks to know which
// dialog it sees. Always null elsewhere, where dialogs have no windows.
HOST_API const FileDialogCall* RunningFileDialogCall();

// What an extended error of the common dialogs means, for messages:
// "the chosen path is longer than the tool's buffer (FNERR_BUFFERTOOSMALL)".
HOST_API std::string FileDialogErrorText(DWORD extendedError);

#if defined(_WIN32)
// The loader hooks the calls in each tool library it loads, before the
// tool can open a dialog.
void HookFileDialogImports(HMODULE module);
#endif

}  // namespace standin
