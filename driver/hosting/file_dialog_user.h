#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace driver {

// The file that a file dialog takes for a typed name, read by the system
// dialogs' rule (win32/file_name_rules.h) with the dialog's default
// extension (the tool's: PanelDialog, or the running call's), unless it
// names a folder, which the dialogs refuse.
std::string DialogChoice(const std::string& typed, const std::string& defaultExtension);

// The file that a dialog's choice opens: made absolute in the working
// folder, its ".." taken away by name (as the dialogs take them, whether
// the parts before them exist or not). What a reach or clash check judges.
std::string OpenedByDialog(const std::string& chosen);

// Asked for the next answer when a file dialog wants a file name: a path,
// or none to cancel. `refusal` says why the dialog refused the previous
// answer (none at first).
using NextAnswer = std::function<std::optional<std::string>(bool saving, const std::optional<std::string>& refusal)>;

// Installs `next` as the user of every file dialog until the returned
// object is destroyed. Replacing an existing file is confirmed.
class FileDialogUser {
public:
    explicit FileDialogUser(NextAnswer next);
    ~FileDialogUser();
    FileDialogUser(const FileDialogUser&) = delete;
    FileDialogUser& operator=(const FileDialogUser&) = delete;

    // What the last file dialog call did, as the host recorded the call;
    // `ran` is false when no dialog ran since the last call.
    struct Outcome {
        bool ran = false;
        bool saving = false;                 // which call opened it
        bool chosen = false;                 // false: cancelled or failed
        std::string path;                    // the full path chosen
        std::optional<std::string> failure;  // why the dialog failed; none for a choice or a cancel
    };
    Outcome TakeOutcome();

private:
    // The platform's part once dialogs have run.
    void AfterDialogs();

    struct Platform;  // what the platform's dialogs need
    std::unique_ptr<Platform> platform_;
    int seen_ = 0;
};

}  // namespace driver
