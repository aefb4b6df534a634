#include "tally_utility.h"

#include <cstdio>
#include <optional>
#include <string>

#include "button_dialog.h"
#include "interface.h"
#include "module_state.h"
#include "resource.h"
#include "scene_node.h"
#include "tool_log.h"

namespace {

constexpr DWORD kPathCapacity = 1024;

// The file that the user chose in the dialog the button's string
// describes; none where the dialog was cancelled.
std::optional<std::string> ChosenFile(const ButtonDialog& dialog) {
    char path[kPathCapacity] = {};
    const std::string filter = dialog.Filter();
    OPENFILENAMEA record{};
    record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    record.lpstrFilter = filter.c_str();
    record.lpstrFile = path;
    record.nMaxFile = kPathCapacity;
    record.lpstrDefExt = dialog.defaultExtension.c_str();
    record.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    if (GetSaveFileNameA(&record) == 0) {
        return std::nullopt;
    }
    return std::string(path);
}

}  // namespace

void TallyUtility::PanelOpened(Interface&) {
    AddButton(IDC_WRITE_TALLY, CBT_PUSH);
    CheckDlgButton(Panel(), IDC_TALLY_X, BST_CHECKED);
}

void TallyUtility::Command(int item) {
    const char* described = item == IDC_WRITE_TALLY ? GetString(item) : nullptr;
    const std::optional<ButtonDialog> dialog = ParseButtonDialog(described != nullptr ? described : "");
    const std::optional<std::string> chosen = dialog ? ChosenFile(*dialog) : std::nullopt;
    if (!chosen) {
        return;
    }
    Interface* host = StoredInterface();
    const char axis = IsDlgButtonChecked(Panel(), IDC_TALLY_Y) == BST_CHECKED   ? 'Y'
                      : IsDlgButtonChecked(Panel(), IDC_TALLY_Z) == BST_CHECKED ? 'Z'
                                                                                : 'X';
    std::string text = std::string("axis ") + axis + "\n";
    for (int i = 0; i < host->SelectedNodeCount(); ++i) {
        text += std::string(host->SelectedNode(i)->NodeName()) + "\n";
    }
    std::FILE* file = std::fopen(chosen->c_str(), "wb");
    const bool written = file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = file != nullptr && std::fclose(file) == 0;
    LogToolEntry(host, written && closed ? SYSLOG_INFO : SYSLOG_ERROR,
                 ("tally " + std::string(written && closed ? "written to " : "not written to ") + *chosen).c_str());
}
