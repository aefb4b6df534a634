#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "win32/windows_standin.h"

namespace win32standin {

// The user of the stand-in's file dialogs is a responder that a test or the
// driver sets. A dialog asks it for a file (ChooseFile) until an answer is
// accepted or cancelled, and whether to replace an existing file
// (ConfirmOverwrite, save dialogs with OFN_OVERWRITEPROMPT).
enum class FileDialogKind { Open, Save };
enum class FileDialogStep { ChooseFile, ConfirmOverwrite };

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    FileDialogStep step = FileDialogStep::ChooseFile;
    const OPENFILENAMEA* record = nullptr;  // the caller's record, during the call
    int attempt = 0;                        // ChooseFile steps asked before this one
    std::string refusal;                    // why the previous choice was refused; "" at first
    std::string path;                       // ConfirmOverwrite: the existing file
};

struct FileDialogAnswer {
    enum class Action { Cancel, Choose, Confirm, Decline };
    Action action = Action::Cancel;
    std::string path;  // Choose: the name typed, absolute or relative

    static FileDialogAnswer Cancel() { return {Action::Cancel, {}}; }
    static FileDialogAnswer Choose(std::string p) { return {Action::Choose, std::move(p)}; }
    static FileDialogAnswer Confirm() { return {Action::Confirm, {}}; }
    static FileDialogAnswer Decline() { return {Action::Decline, {}}; }
};

using FileDialogResponder = std::function<FileDialogAnswer(const FileDialogRequest&)>;

// A dialog gives up after this many ChooseFile steps: it fails as if
// cancelled and reports a violation, so a responder that keeps giving
// refused answers cannot loop forever.
constexpr int kMaxFileDialogChoices = 16;

// A responder that plays back a script of answers in order and keeps the
// requests it saw. An exhausted script cancels.
class ScriptedFileDialog {
public:
    ScriptedFileDialog& Then(FileDialogAnswer answer) {
        script_.push_back(std::move(answer));
        return *this;
    }
    FileDialogAnswer operator()(const FileDialogRequest& request) {
        Seen seen{request.kind, request.step, request.attempt, request.refusal, request.path};
        seen_.push_back(seen);
        if (script_.empty()) {
            return FileDialogAnswer::Cancel();
        }
        FileDialogAnswer next = std::move(script_.front());
        script_.pop_front();
        return next;
    }

    struct Seen {
        FileDialogKind kind;
        FileDialogStep step;
        int attempt;
        std::string refusal;
        std::string path;
    };
    const std::vector<Seen>& Requests() const { return seen_; }
    std::size_t Pending() const { return script_.size(); }

private:
    std::deque<FileDialogAnswer> script_;
    std::vector<Seen> seen_;
};

// What the last GetOpenFileNameA/GetSaveFileNameA call received and gave.
// `record` is a copy as received: its pointers are the caller's and may no
// longer be valid; the texts they pointed to are copied beside it.
struct RecordedFileDialog {
    FileDialogKind kind = FileDialogKind::Open;
    OPENFILENAMEA record{};
    std::vector<std::string> filter;  // the items of lpstrFilter, without the closing empty one
    bool hasDefExt = false;
    std::string defExt;
    std::string initialFile;  // lpstrFile at entry, up to its first NUL
    bool hasInitialDir = false;
    std::string initialDir;
    bool hasTitle = false;
    std::string title;
    BOOL result = FALSE;
    DWORD extendedError = 0;
    std::string chosenPath;  // what was written to lpstrFile on success
};

}  // namespace win32standin
