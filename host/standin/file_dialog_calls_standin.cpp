// The stand-in Windows records the file dialog calls itself.
#include "standin/file_dialog_calls.h"

#include "win32/standin_extensions.h"

namespace standin {

namespace {

FileDialogCall g_last;

}  // namespace

int FileDialogCallCount() { return win32standin::FileDialogCount(); }

const FileDialogCall* LastFileDialogCall() {
    const win32standin::RecordedFileDialog* recorded = win32standin::LastFileDialog();
    if (recorded == nullptr) {
        return nullptr;
    }
    g_last.saving = recorded->kind == win32standin::FileDialogKind::Save;
    g_last.chosen = recorded->result != FALSE;
    g_last.extendedError = recorded->extendedError;
    g_last.path = recorded->chosenPath;
    g_last.defaultExtension = recorded->defExt;
    return &g_last;
}

const FileDialogCall* RunningFileDialogCall() { return nullptr; }

}  // namespace standin
