#include "custom_button.h"
#include "color_manager.h"
#include "panel_frame.h"
#include "pivot_utility.h"
#include "resource.h"

// The pivot tool's panel: its set-up, the enabling of its controls by the
// selection, and the routing of its messages to Pick and Align.
namespace {

// The panel's custom buttons are null while the tool is closed.
void SetChecked(ICustButton* button, bool on) {
    if (button != nullptr) {
        button->SetButtonChecked(on ? TRUE : FALSE);
    }
}

}  // namespace

void PivotUtility::BeginEditParams(Interface* host, UtilityHandle* handle) {
    utilityHandle = handle;
    ip = host;
    panel = AddUtilityPage(host, this);
    alignButton = GetICustButton(GetDlgItem(panel, IDC_ALIGN));
    if (alignButton != nullptr) {
        alignButton->SetButtonType(CBT_PUSH);
    }
    pickButton = GetICustButton(GetDlgItem(panel, IDC_PICK));
    if (pickButton != nullptr) {
        pickButton->SetButtonType(CBT_CHECK);
        pickButton->SetButtonHighlight(GetColorManager()->ColorOf(COLOR_PICK_HIGHLIGHT));
    }
    pickStep = 0;
    SetChecked(pickButton, false);
    CheckDlgButton(panel, IDC_AXIS_X, BST_CHECKED);
    CheckDlgButton(panel, IDC_AXIS_Y, BST_UNCHECKED);
    CheckDlgButton(panel, IDC_AXIS_Z, BST_UNCHECKED);

    const int selected = host->SelectedNodeCount();
    EnableAlignButton(selected > 0);
    // Pivot by axis edits exactly one node, at opening as after a change
    // of the selection.
    EnablePickControls(selected == 1);
}

void PivotUtility::EndEditParams(Interface* host, UtilityHandle* handle) {
    (void)handle;
    // The mode's hooks use the Pick button, the panel and the interface:
    // it ends while they are still valid.
    StopPick();
    ReleasePanelButton(pickButton);
    ReleasePanelButton(alignButton);
    utilityHandle = nullptr;
    ip = nullptr;
    host->RemovePanelPage(panel);
    panel = nullptr;
}

void PivotUtility::SelectionChanged(Interface* host, UtilityHandle* handle) {
    (void)handle;
    // An active mode stays active; only its button shows unchecked.
    SetChecked(pickButton, false);
    const int selected = host->SelectedNodeCount();
    if (selected == 1) {
        EnablePickControls(true);
        EnableAlignButton(true);
    } else {
        EnablePickControls(false);
        EnableAlignButton(selected > 0);
    }
}

void PivotUtility::EnablePickControls(bool on) {
    if (pickButton != nullptr) {
        pickButton->EnableButton(on ? TRUE : FALSE);
    }
    for (int item : {IDC_AXIS_X, IDC_AXIS_Y, IDC_AXIS_Z}) {
        EnableWindow(GetDlgItem(panel, item), on ? TRUE : FALSE);
    }
}

void PivotUtility::EnableAlignButton(bool on) {
    if (alignButton != nullptr) {
        alignButton->EnableButton(on ? TRUE : FALSE);
    }
}

INT_PTR PivotUtility::DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
        case WM_DESTROY:
            return 1;
        case WM_COMMAND:
            // Every notification of an item runs its command.
            switch (LOWORD(wParam)) {
                case IDC_PICK:
                    // By the mode itself: the button may show unchecked while it runs.
                    if (IsActive()) {
                        StopPick();
                    } else {
                        pickStep = 0;
                        StartPick(PickHelper::kCrossCursor);
                    }
                    break;
                case IDC_ALIGN:
                    AlignSelected();
                    break;
                default:
                    break;
            }
            return 1;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            if (ip != nullptr) {
                ip->ForwardPanelMouse(window, message, wParam, lParam);
            }
            return 1;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            StopPick();
            SetChecked(pickButton, false);
            return 1;
        default:
            return 0;
    }
}
