// The file dialogs of the stand-in Windows: answers go to its responder.
#include "file_dialog_user.h"

#include "win32/standin_extensions.h"

namespace driver {

struct FileDialogUser::Platform {};

FileDialogUser::FileDialogUser(NextAnswer next) : next_(std::move(next)), seen_(win32standin::FileDialogCount()) {
    win32standin::SetFileDialogResponder([this](const win32standin::FileDialogRequest& request) {
        if (request.step == win32standin::FileDialogStep::ConfirmOverwrite) {
            return win32standin::FileDialogAnswer::Confirm();
        }
        const std::string answer = next_(request.kind == win32standin::FileDialogKind::Save, request.refusal);
        return answer.empty() ? win32standin::FileDialogAnswer::Cancel() : win32standin::FileDialogAnswer::Choose(answer);
    });
}

FileDialogUser::~FileDialogUser() { win32standin::SetFileDialogResponder(nullptr); }

FileDialogUser::Outcome FileDialogUser::TakeOutcome() {
    Outcome outcome;
    const int count = win32standin::FileDialogCount();
    if (count == seen_) {
        return outcome;
    }
    seen_ = count;
    const win32standin::RecordedFileDialog* last = win32standin::LastFileDialog();
    if (last == nullptr) {
        return outcome;
    }
    outcome.ran = true;
    outcome.saving = last->kind == win32standin::FileDialogKind::Save;
    outcome.chosen = last->result != FALSE;
    outcome.path = last->chosenPath;
    return outcome;
}

}  // namespace driver
