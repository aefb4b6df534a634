#pragma once

#include "button_dialog.h"
#include "win32/win_api.h"

namespace names_tool {

// Asks the user for a file with the common file dialog that `dialog`
// describes (its kind, filter and default extension; the
// system's own title). The dialog
// starts with the file name that `buffer` holds (of `capacity`
// characters). Non-zero when the user chose a file; its full path is then
// in `buffer`.
int ChooseFile(HWND owner, DWORD capacity, char* buffer, const ButtonDialog& dialog);

}  // namespace names_tool
