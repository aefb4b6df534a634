#include <algorithm>
#include <string>

#include "names_report.h"
#include "names_utility.h"
#include "panel_frame.h"
#include "resource.h"
#include "text_file_dialog.h"
#include "tool_log.h"

namespace {

constexpr DWORD kPathCapacity = 1024;

// A file command of the panel: the user chooses a text file, starting from
// an empty name, and the names are saved to it or loaded from it; the log
// then says what happened. A cancelled or failed dialog ends the command;
// no exception leaves it.
void RunFileCommand(NamesUtility& tool, bool saving) {
    try {
        char path[kPathCapacity] = {};
        if (ChooseTextFile(nullptr, kPathCapacity, path, saving) == 0) {
            return;
        }
        const std::string chosen(path, std::find(path, path + kPathCapacity, '\0'));
        const NamesReport report =
            saving ? ReportOf(chosen, tool.SaveNames(chosen)) : ReportOf(chosen, tool.LoadNames(chosen));
        LogToolEntry(tool.StoredInterface(), report.type, report.text.c_str());
    } catch (...) {
    }
}

}  // namespace

void NamesUtility::BeginEditParams(Interface* host, UtilityHandle* handle) {
    utilityHandle = handle;
    ip = host;
    panel = AddUtilityPage(host, this);
    // A button the host cannot give keeps its default setup.
    loadButton = GetICustButton(GetDlgItem(panel, IDC_LOAD_NAMES));
    if (loadButton != nullptr) {
        loadButton->SetButtonType(CBT_PUSH);
    }
    saveButton = GetICustButton(GetDlgItem(panel, IDC_SAVE_NAMES));
    if (saveButton != nullptr) {
        saveButton->SetButtonType(CBT_PUSH);
    }
}

void NamesUtility::EndEditParams(Interface* host, UtilityHandle*) {
    ReleasePanelButton(loadButton);
    ReleasePanelButton(saveButton);
    utilityHandle = nullptr;
    ip = nullptr;
    host->RemovePanelPage(panel);
    panel = nullptr;
}

INT_PTR NamesUtility::DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
        case WM_DESTROY:
            return 1;
        case WM_COMMAND:
            // Any notification of the two buttons starts their command.
            if (LOWORD(wParam) == IDC_SAVE_NAMES) {
                RunFileCommand(*this, true);
            } else if (LOWORD(wParam) == IDC_LOAD_NAMES) {
                RunFileCommand(*this, false);
            }
            return 1;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            if (ip != nullptr) {
                ip->ForwardPanelMouse(window, message, wParam, lParam);
            }
            return 1;
        default:
            return 0;
    }
}
