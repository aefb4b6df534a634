#include <algorithm>
#include <optional>
#include <string>

#include "button_dialog.h"
#include "file_dialog.h"
#include "module_state.h"
#include "names_report.h"
#include "names_utility.h"
#include "resource.h"
#include "tool_log.h"

namespace {

constexpr DWORD kPathCapacity = 1024;

// A file command of the panel: the user chooses a file in the dialog that
// the button's string describes, starting from an empty name, and the
// names are saved to it (a save dialog) or loaded from it; the log then
// says what happened. A cancelled or failed dialog ends the command.
void RunFileCommand(NamesUtility& tool, int button) {
    const char* described = GetString(button);
    const std::optional<ButtonDialog> dialog = ParseButtonDialog(described != nullptr ? described : "");
    char path[kPathCapacity] = {};
    if (!dialog || names_tool::ChooseFile(nullptr, kPathCapacity, path, *dialog) == 0) {
        return;
    }
    const bool saving = dialog->saving;
    const std::string chosen(path, std::find(path, path + kPathCapacity, '\0'));
    const names_tool::NamesReport report = saving ? names_tool::ReportOf(chosen, tool.SaveNames(chosen))
                                                  : names_tool::ReportOf(chosen, tool.LoadNames(chosen));
    LogToolEntry(tool.StoredInterface(), report.type, report.text.c_str());
}

}  // namespace

void NamesUtility::PanelOpened(Interface& host) {
    (void)host;
    AddButton(IDC_LOAD_NAMES, CBT_PUSH);
    AddButton(IDC_SAVE_NAMES, CBT_PUSH);
}

// Any notification of the two buttons starts their command.
void NamesUtility::Command(int item) {
    if (item == IDC_SAVE_NAMES || item == IDC_LOAD_NAMES) {
        RunFileCommand(*this, item);
    }
}
