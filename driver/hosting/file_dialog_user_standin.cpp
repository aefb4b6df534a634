// The file dialogs of the stand-in Windows: answers go to its responder.
#include "hosting/file_dialog_user.h"

#include <utility>

#include "standin/file_dialog_calls.h"
#include "win32/standin_extensions.h"

namespace driver {

struct FileDialogUser::Platform {};

FileDialogUser::FileDialogUser(NextAnswer next) : seen_(standin::FileDialogCallCount()) {
    win32standin::SetFileDialogResponder([next = std::move(next)](const win32standin::FileDialogRequest& request) {
        if (request.step == win32standin::FileDialogStep::ConfirmOverwrite) {
            return win32standin::FileDialogAnswer::Confirm();
        }
        const std::string answer = next(request.kind == win32standin::FileDialogKind::Save, request.refusal);
        return answer.empty() ? win32standin::FileDialogAnswer::Cancel()
                              : win32standin::FileDialogAnswer::Choose(answer);
    });
}

FileDialogUser::~FileDialogUser() { win32standin::SetFileDialogResponder(nullptr); }

void FileDialogUser::AfterDialogs() {}

}  // namespace driver
