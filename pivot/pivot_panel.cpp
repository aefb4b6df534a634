#include "pivot_utility.h"

// Placeholder: the panel is built in its own change.
void PivotUtility::BeginEditParams(Interface* host, UtilityHandle* handle) {
    ip = host;
    utilityHandle = handle;
}
void PivotUtility::EndEditParams(Interface*, UtilityHandle*) {
    ip = nullptr;
    utilityHandle = nullptr;
}
void PivotUtility::SelectionChanged(Interface*, UtilityHandle*) {}
INT_PTR PivotUtility::DlgProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
void PivotUtility::EnablePickControls(bool) {}
void PivotUtility::EnableAlignButton(bool) {}
