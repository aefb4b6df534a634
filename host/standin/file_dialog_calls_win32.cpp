// On Windows the host learns of the tools' file dialog calls by hooking
// the tools' imports of GetSaveFileNameA and GetOpenFileNameA: each hook
// notes which call it is, runs the system's call and keeps its result,
// the path in UTF-8 (the tools' calls give it in the ANSI code page).
#include "standin/file_dialog_calls.h"

#include <cstring>

#include "wide_text.h"

namespace standin {

namespace {

int g_count = 0;
FileDialogCall g_last;
thread_local FileDialogCall* t_running = nullptr;

BOOL RunDialog(bool saving, LPOPENFILENAMEA record) {
    FileDialogCall call;
    call.saving = saving;
    try {
        if (record != nullptr && record->lpstrDefExt != nullptr) {
            call.defaultExtension = record->lpstrDefExt;
        }
    } catch (...) {
    }
    FileDialogCall* outer = t_running;
    t_running = &call;
    const BOOL result = saving ? GetSaveFileNameA(record) : GetOpenFileNameA(record);
    const DWORD error = CommDlgExtendedError();
    t_running = outer;
    // The system keeps the error for the tool to ask; nothing here calls a
    // dialog function before the tool may.
    try {
        call.chosen = result != FALSE;
        call.extendedError = result != FALSE ? 0 : error;
        if (result != FALSE && record != nullptr && record->lpstrFile != nullptr) {
            call.path =
                safewrite::Utf8OfCodePage(std::string(record->lpstrFile, strnlen(record->lpstrFile, record->nMaxFile)),
                                          CP_ACP);
        }
        g_last = std::move(call);
        ++g_count;
    } catch (...) {
    }
    return result;
}

BOOL WINAPI HookedGetSaveFileNameA(LPOPENFILENAMEA record) { return RunDialog(true, record); }
BOOL WINAPI HookedGetOpenFileNameA(LPOPENFILENAMEA record) { return RunDialog(false, record); }

}  // namespace

int FileDialogCallCount() { return g_count; }

const FileDialogCall* LastFileDialogCall() { return g_count == 0 ? nullptr : &g_last; }

const FileDialogCall* RunningFileDialogCall() { return t_running; }

// Every slot of the module's import address table that holds one of the
// two calls of comdlg32 gets the hook instead.
void HookFileDialogImports(HMODULE module) {
    HMODULE dialogs = GetModuleHandleA("comdlg32.dll");
    if (dialogs == nullptr) {
        return;  // no tool loaded so far imports it
    }
    const auto save = reinterpret_cast<ULONG_PTR>(GetProcAddress(dialogs, "GetSaveFileNameA"));
    const auto open = reinterpret_cast<ULONG_PTR>(GetProcAddress(dialogs, "GetOpenFileNameA"));
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) {
        return;
    }
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) {
        return;
    }
    for (auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         library->Name != 0; ++library) {
        for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk); slot->u1.Function != 0;
             ++slot) {
            ULONG_PTR hook = 0;
            if (slot->u1.Function == save) {
                hook = reinterpret_cast<ULONG_PTR>(&HookedGetSaveFileNameA);
            } else if (slot->u1.Function == open) {
                hook = reinterpret_cast<ULONG_PTR>(&HookedGetOpenFileNameA);
            }
            DWORD protection = 0;
            if (hook != 0 && VirtualProtect(&slot->u1.Function, sizeof hook, PAGE_READWRITE, &protection)) {
                slot->u1.Function = hook;
                VirtualProtect(&slot->u1.Function, sizeof hook, protection, &protection);
            }
        }
    }
}

}  // namespace standin
