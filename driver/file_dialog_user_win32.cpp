// The real file dialogs of Windows: a robot works their windows with the
// answers of `next`; replacing an existing file is confirmed.
#include "file_dialog_user.h"

#include <filesystem>
#include <system_error>

#include "file_dialog_robot_win32.h"

namespace driver {

namespace {

// The full path a typed name stands for: relative names are taken in the
// driver's working folder, and a name without extension gets the tools'
// default extension, as the dialog adds it.
std::string ChosenPath(const std::filesystem::path& folder, const std::string& typed) {
    std::filesystem::path path(typed);
    if (!path.is_absolute() && !folder.empty()) {
        path = folder / path;
    }
    if (!path.has_extension()) {
        path += ".txt";
    }
    return path.lexically_normal().string();
}

}  // namespace

struct FileDialogUser::Platform {
    std::unique_ptr<FileDialogRobot> robot;
    int dialogs = 0;           // file dialogs started
    HWND dialog = nullptr;     // the running (or last) dialog
    std::string refusal;       // the last notice, for the next name
    Outcome last;              // what the last dialog did so far
    // A dialog makes the folder of the chosen file the working folder
    // (the tools do not ask it not to); the driver keeps its own.
    std::filesystem::path folder;
};

FileDialogUser::FileDialogUser(NextAnswer next) : next_(std::move(next)), platform_(std::make_unique<Platform>()) {
    Platform* state = platform_.get();
    std::error_code error;
    state->folder = std::filesystem::current_path(error);
    state->robot = std::make_unique<FileDialogRobot>([this, state](const DialogStep& step) {
        switch (step.kind) {
        case DialogStep::Kind::Question:
            return DialogAnswer::Yes();
        case DialogStep::Kind::Notice:
            state->refusal = step.text;
            state->last.chosen = false;
            return DialogAnswer::Ok();
        case DialogStep::Kind::FileName:
        default:
            break;
        }
        if (step.window != state->dialog) {
            state->dialog = step.window;
            ++state->dialogs;
            state->refusal.clear();
            state->last = Outcome{};
            state->last.ran = true;
            // The tools give no title: the dialog's own one tells a save
            // dialog ("Save As") from an open one ("Open").
            state->last.saving = step.title.find("Save") != std::string::npos;
        }
        const std::string answer = next_(state->last.saving, state->refusal);
        state->refusal.clear();
        if (answer.empty()) {
            state->last.chosen = false;
            state->last.path.clear();
            return DialogAnswer::Cancel();
        }
        state->last.chosen = true;
        state->last.path = ChosenPath(state->folder, answer);
        return DialogAnswer::Type(state->last.path);
    });
}

FileDialogUser::~FileDialogUser() = default;

FileDialogUser::Outcome FileDialogUser::TakeOutcome() {
    if (platform_->dialogs == seen_) {
        return {};
    }
    seen_ = platform_->dialogs;
    std::error_code error;
    if (!platform_->folder.empty()) {
        std::filesystem::current_path(platform_->folder, error);
    }
    return platform_->last;
}

}  // namespace driver
