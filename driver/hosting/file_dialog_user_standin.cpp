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
        const std::optional<std::string> answer =
            next(request.kind == win32standin::FileDialogKind::Save,
                 request.refusal.empty() ? std::nullopt : std::optional(request.refusal));
        return answer ? win32standin::FileDialogAnswer::Choose(*answer) : win32standin::FileDialogAnswer::Cancel();
    });
}

FileDialogUser::~FileDialogUser() { win32standin::SetFileDialogResponder(nullptr); }

void FileDialogUser::AfterDialogs() {}

}  // namespace driver
