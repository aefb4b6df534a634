#include "text_file_dialog.h"

#include <cstddef>

namespace names_tool {

// The record in its layout without the fields that Windows 2000 added,
// which ends with lpTemplateName: 76 bytes on 32-bit Windows.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == 76, "the record of 76 bytes");
#endif

namespace {

// One filter: description, pattern, and the empty string that closes the list.
constexpr char kTextFilter[] = "Text Files\0*.txt\0";

}  // namespace

int ChooseTextFile(HWND owner, DWORD capacity, char* buffer, bool forSaving) {
    OPENFILENAMEA record{};
    record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    record.hwndOwner = owner;
    record.lpstrFilter = kTextFilter;
    record.nFilterIndex = 0;
    record.lpstrFile = buffer;
    record.nMaxFile = capacity;
    record.lpstrDefExt = "txt";
    if (forSaving) {
        record.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
        return GetSaveFileNameA(&record);
    }
    record.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    return GetOpenFileNameA(&record);
}

}  // namespace names_tool
