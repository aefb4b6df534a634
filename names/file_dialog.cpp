#include "file_dialog.h"

#include <cstddef>
#include <string>

namespace names_tool {

// The record in its layout without the fields that Windows 2000 added,
// which ends with lpTemplateName: 76 bytes on 32-bit Windows.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == 76, "the record of 76 bytes");
#endif

int ChooseFile(HWND owner, DWORD capacity, char* buffer, const ButtonDialog& dialog) {
    const std::string filter = dialog.Filter();
    OPENFILENAMEA record{};
    record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    record.hwndOwner = owner;
    record.lpstrFilter = filter.c_str();
    record.nFilterIndex = 0;
    record.lpstrFile = buffer;
    record.nMaxFile = capacity;
    record.lpstrDefExt = dialog.defaultExtension.empty() ? nullptr : dialog.defaultExtension.c_str();
    if (dialog.saving) {
        record.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
        return GetSaveFileNameA(&record);
    }
    record.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    return GetOpenFileNameA(&record);
}

}  // namespace names_tool
