// A gesture as the viewer takes it in: its lines parsed, and the answer it
// gives a file dialog judged and, for a names file that it loads, copied
// as it is read.
#include <filesystem>
#include <system_error>
#include <variant>

#include "files/display_path.h"
#include "files/file_identity.h"
#include "files/input_file.h"
#include "files/native_path.h"
#include "files/output_file.h"
#include "hosting/file_dialog_user.h"
#include "hosting/session_host.h"
#include "session/session.h"
#include "session/session_check.h"
#include "text/name_text.h"
#include "view/replayed_scene.h"
#include "view/view_session.h"

namespace driver {

// The gesture's actions and the dialog its last press opens, or why the
// gesture is refused before anything of it runs.
std::optional<Refusal> ViewSession::ParseGesture(const std::string& lines, std::vector<Action>& actions,
                                                 std::optional<PanelDialog>& dialog) {
    std::optional<Refusal> refusal;
    try {
        actions = ParseSession(lines, "viewer");
        dialog = FinalPressDialog(actions);
        refusal = GestureRefusal(actions, dialog);
        if (refusal) {
            refusal->message = Origin(standing_ + 1) + ": " + refusal->message;
        }
    } catch (const SessionError& e) {
        refusal = e.AsRefusal();
    }
    if (!refusal && actions.empty()) {
        refusal = Refusal{RefusalCode::BadSession,
                          Origin(standing_ + 1) + ": the gesture holds no action, so there is nothing to do or undo"};
    }
    return refusal;
}

// An answer and the press that it answers are one: the answer comes just
// before a press that opens a names file's dialog, and that press ends the
// gesture (nothing after it could be taken back once a file is written).
// The file chosen must be one that the viewer reaches.
std::optional<Refusal> ViewSession::GestureRefusal(const std::vector<Action>& actions,
                                                   const std::optional<PanelDialog>& dialog) const {
    for (std::size_t k = 0; k < actions.size(); ++k) {
        const auto* answer = std::get_if<AnswerDialog>(&actions[k].what);
        if (answer == nullptr) {
            continue;
        }
        if (k + 2 != actions.size() || !dialog) {
            return Refusal{RefusalCode::BadSession,
                           "an answer goes with the press that opens its dialog, as the gesture's last two lines"};
        }
        const std::string chosen = answer->cancel ? "" : dialog->FileFor(answer->path);
        if (const std::optional<Refusal> refusal =
                chosen.empty() ? std::nullopt : reach_.Unreachable(OpenedByDialog(chosen), dialog->saving)) {
            return Refusal{refusal->code, "answer " + Excerpt(chosen) + ": " + refusal->message};
        }
    }
    return std::nullopt;
}

// The file dialog that the gesture's last action opens, if it is a press
// of a button that opens one, as the check foresees it.
std::optional<PanelDialog> ViewSession::FinalPressDialog(std::vector<Action>& actions) const {
    if (actions.empty() || !std::holds_alternative<PressButton>(actions.back().what)) {
        return std::nullopt;
    }
    replayed_->checker->Foresee(actions);
    const std::shared_ptr<const CheckedPress>& press = actions.back().press;
    return press ? std::optional(press->dialog) : std::nullopt;
}

// Copies each names file that the gesture's press will load, as it is
// now, to the private folder, and has the tool read that copy: what the
// replays load is then exactly what the tool read, whatever becomes of the
// file meanwhile. The file is read once: a gesture tried first finds the
// copy its trial made. The file read is the one judged within reach, on
// the handle read from (else InputFileError, OutsideReach). A file that
// cannot be read is left to the tool, which says so.
std::vector<ViewNamesFile> ViewSession::CopyLoadedFiles(const std::vector<Action>& actions,
                                                        const std::optional<PanelDialog>& dialog, ProxyFiles& proxies) {
    const AnswerDialog* answer = FinalAnswer(actions);
    if (answer == nullptr || answer->cancel || !dialog || dialog->saving) {
        return {};
    }
    const std::string path = dialog->FileFor(answer->path);
    const std::string copy = NextCopy();
    std::error_code error;
    if (!std::filesystem::is_regular_file(NativePath(copy), error)) {
        const std::string opened = OpenedByDialog(path);
        const std::optional<FilePlace> place = PlaceOf(opened);
        if (place && place->regular) {
            if (const std::optional<Refusal> refusal = reach_.Unreachable(*place, false)) {
                throw InputFileError("answer " + Excerpt(path) + ": " + refusal->message, refusal->code);
            }
        }
        std::string bytes;
        try {
            bytes = place && place->regular ? ReadInputFile(opened, place->identity) : ReadInputFile(opened);
        } catch (const InputFileError& e) {
            if (e.Code() == RefusalCode::OutsideReach) {
                throw;
            }
            return {};
        }
        WriteOutputFiles({{copy, FileContent(std::move(bytes))}});
    }
    ++kept_;
    proxies.Add({answer->path, copy, Quoted(answer->path)});
    return {{actions.size() - 2, false, path, copy}};
}

// The name of the next names file kept.
std::string ViewSession::NextCopy() const { return keepFolder_ + "/names-" + std::to_string(kept_ + 1) + ".txt"; }

// Where a trial's tool saves the names file that a gesture chooses.
std::string ViewSession::TrialSaveFile() const { return keepFolder_ + "/tried-save.txt"; }

}  // namespace driver
