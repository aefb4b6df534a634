#pragma once

#include "win32/win_api.h"

namespace names_tool {

// Asks the user for a text file with the common file dialog: the save
// dialog when `forSaving`, else the open dialog. The dialog starts with the
// file name that `buffer` holds (of `capacity` characters), offers "Text
// Files" (*.txt) and adds the extension "txt" to a name typed without one.
// Non-zero when the user chose a file; its full path is then in `buffer`.
int ChooseTextFile(HWND owner, DWORD capacity, char* buffer, bool forSaving);

}  // namespace names_tool
