#include "hosting/file_dialog_user.h"

#include <filesystem>
#include <system_error>

#include "files/native_path.h"
#include "standin/file_dialog_calls.h"
#include "win32/file_name_rules.h"

namespace driver {

std::string DialogChoice(const std::string& typed, const std::string& defaultExtension) {
    const std::filesystem::path path = NativePath(typed);
    std::error_code error;
    return std::filesystem::is_directory(path, error) ? typed
                                                      : file_name_rules::WithDefaultExtension(typed, defaultExtension);
}

std::string OpenedByDialog(const std::string& chosen) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(NativePath(chosen), error);
    return error ? chosen : NativeText(absolute.lexically_normal());
}

FileDialogUser::Outcome FileDialogUser::TakeOutcome() {
    Outcome outcome;
    const int count = standin::FileDialogCallCount();
    if (count == seen_) {
        return outcome;
    }
    seen_ = count;
    AfterDialogs();
    const standin::FileDialogCall* call = standin::LastFileDialogCall();
    if (call == nullptr) {
        return outcome;
    }
    outcome.ran = true;
    outcome.saving = call->saving;
    outcome.chosen = call->chosen;
    outcome.path = call->path;
    if (!call->chosen && call->extendedError != 0) {
        outcome.failure = standin::FileDialogErrorText(call->extendedError);
    }
    return outcome;
}

}  // namespace driver
