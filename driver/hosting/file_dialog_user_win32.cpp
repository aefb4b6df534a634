// The real file dialogs of Windows: a robot works their windows with the
// answers of `next`; replacing an existing file is confirmed. Which call
// opened a dialog, and so whether it saves, the host tells.
#include "hosting/file_dialog_user.h"

#include <filesystem>
#include <system_error>

#include "files/native_path.h"
#include "standin/file_dialog_calls.h"
#include "win32/file_dialog_robot.h"

namespace driver {

namespace {

// The full path a typed name stands for: relative names are taken in the
// driver's working folder, with the extension that the dialog adds.
std::string ChosenPath(const std::filesystem::path& folder, const std::string& typed,
                       const std::string& defaultExtension) {
    std::filesystem::path path = NativePath(typed);
    if (!path.is_absolute() && !folder.empty()) {
        path = folder / path;
    }
    return NativeText(NativePath(DialogChoice(NativeText(path), defaultExtension)).lexically_normal());
}

}  // namespace

struct FileDialogUser::Platform {
    std::unique_ptr<winui::FileDialogRobot> robot;
    HWND dialog = nullptr;  // the dialog window answered last
    std::string refusal;    // the last notice, for the next name
    // A dialog makes the folder of the chosen file the working folder
    // (the tools do not ask it not to); the driver keeps its own.
    std::filesystem::path folder;
};

FileDialogUser::FileDialogUser(NextAnswer next)
    : platform_(std::make_unique<Platform>()), seen_(standin::FileDialogCallCount()) {
    Platform* state = platform_.get();
    std::error_code error;
    state->folder = std::filesystem::current_path(error);
    state->robot = std::make_unique<winui::FileDialogRobot>([next, state](const winui::DialogStep& step) {
        switch (step.kind) {
            case winui::DialogStep::Kind::Question:
                return winui::DialogAnswer::Yes();
            case winui::DialogStep::Kind::Notice:
                state->refusal = step.text;
                return winui::DialogAnswer::Ok();
            case winui::DialogStep::Kind::FileName:
            default:
                break;
        }
        const standin::FileDialogCall* call = standin::RunningFileDialogCall();
        if (call == nullptr) {
            return winui::DialogAnswer::Cancel();  // not a dialog a tool opened
        }
        if (step.window != state->dialog) {
            state->dialog = step.window;
            state->refusal.clear();
        }
        const std::optional<std::string> answer =
            next(call->saving, state->refusal.empty() ? std::nullopt : std::optional(state->refusal));
        state->refusal.clear();
        if (!answer) {
            return winui::DialogAnswer::Cancel();
        }
        return winui::DialogAnswer::Type(ChosenPath(state->folder, *answer, call->defaultExtension));
    });
}

FileDialogUser::~FileDialogUser() = default;

void FileDialogUser::AfterDialogs() {
    std::error_code error;
    if (!platform_->folder.empty()) {
        std::filesystem::current_path(platform_->folder, error);
    }
}

}  // namespace driver
