#include "color_manager.h"
#include "custom_button.h"
#include "pivot_utility.h"
#include "resource.h"

// The pivot tool's panel: its buttons, the enabling of its controls by the
// selection, and the routing of its commands to Pick and Align.
namespace {

// The panel's custom buttons are null while the tool is closed.
void SetChecked(ICustButton* button, bool on) {
    if (button != nullptr) {
        button->SetButtonChecked(on ? TRUE : FALSE);
    }
}

}  // namespace

void PivotUtility::PanelOpened(Interface& host) {
    AddButton(IDC_ALIGN, CBT_PUSH);
    if (ICustButton* pick = AddButton(IDC_PICK, CBT_CHECK)) {
        pick->SetButtonHighlight(GetColorManager()->ColorOf(COLOR_PICK_HIGHLIGHT));
    }
    pickStep = PickStep::kMovePivot;
    SetChecked(Button(IDC_PICK), false);
    CheckDlgButton(Panel(), IDC_AXIS_X, BST_CHECKED);
    CheckDlgButton(Panel(), IDC_AXIS_Y, BST_UNCHECKED);
    CheckDlgButton(Panel(), IDC_AXIS_Z, BST_UNCHECKED);

    const int selected = host.SelectedNodeCount();
    EnableAlignButton(selected > 0);
    // Pivot by axis edits exactly one node, at opening as after a change
    // of the selection.
    EnablePickControls(selected == 1);
}

void PivotUtility::PanelClosing() {
    // The mode's hooks use the Pick button, the panel and the interface:
    // it ends while they are still valid.
    StopPick();
}

void PivotUtility::SelectionChanged(Interface* host, UtilityHandle* handle) {
    (void)handle;
    // An active mode stays active; only its button shows unchecked.
    SetChecked(Button(IDC_PICK), false);
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
    if (ICustButton* pick = Button(IDC_PICK)) {
        pick->EnableButton(on ? TRUE : FALSE);
    }
    for (int item : {IDC_AXIS_X, IDC_AXIS_Y, IDC_AXIS_Z}) {
        EnableWindow(GetDlgItem(Panel(), item), on ? TRUE : FALSE);
    }
}

void PivotUtility::EnableAlignButton(bool on) {
    if (ICustButton* align = Button(IDC_ALIGN)) {
        align->EnableButton(on ? TRUE : FALSE);
    }
}

void PivotUtility::Command(int item) {
    if (item == IDC_PICK) {
        // By the mode itself: the button may show unchecked while it runs.
        if (IsActive()) {
            StopPick();
        } else {
            pickStep = PickStep::kMovePivot;
            StartPick();
        }
    } else if (item == IDC_ALIGN) {
        AlignSelected();
    }
}

bool PivotUtility::RightButton() {
    StopPick();
    SetChecked(Button(IDC_PICK), false);
    return true;
}
