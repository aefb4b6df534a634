#include "names_utility.h"

// Placeholder: the panel is built in its own change.
void NamesUtility::BeginEditParams(Interface* host, UtilityHandle* handle) {
    ip = host;
    utilityHandle = handle;
}
void NamesUtility::EndEditParams(Interface*, UtilityHandle*) {
    ip = nullptr;
    utilityHandle = nullptr;
}
INT_PTR NamesUtility::DlgProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
